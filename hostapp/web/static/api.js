// The server's HTTP API (hostapp/web/API.md). Every request carries the
// token of the page's own address; without it the server answers 403.
const token = new URLSearchParams(location.search).get('token') ?? '';

// A same-origin URL for path with the given query parameters and the token.
export function withToken(path, params = {}) {
  const url = new URL(path, location.origin);
  for (const [name, value] of Object.entries(params)) url.searchParams.set(name, String(value));
  url.searchParams.set('token', token);
  return url.pathname + url.search;
}

async function answerOf(response) {
  const body = await response.json().catch(() => ({}));
  // The server words every refusal; its message is what the page shows.
  if (!response.ok) throw new Error(body.error ?? `${response.status} ${response.statusText}`);
  return body;
}

export async function getJson(path, params) {
  return answerOf(await fetch(withToken(path, params)));
}

export async function postJson(path, body) {
  const response = await fetch(withToken(path), {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body),
  });
  return answerOf(response);
}

export async function getBlob(path, params) {
  const response = await fetch(withToken(path, params));
  if (!response.ok) throw new Error(`${path}: ${response.status} ${response.statusText}`);
  return response.blob();
}
