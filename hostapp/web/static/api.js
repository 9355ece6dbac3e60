// The server's HTTP API (hostapp/web/API.md). Every request carries the
// token of the page's own address; without it the server answers 403.
const token = new URLSearchParams(location.search).get('token') ?? '';

export class ServerError extends Error {
  constructor(message, status) {
    super(message);
    this.status = status;
  }
}

// A same-origin URL for path with the given query parameters and the token.
export function withToken(path, params = {}) {
  const url = new URL(path, location.origin);
  for (const [name, value] of Object.entries(params)) url.searchParams.set(name, String(value));
  url.searchParams.set('token', token);
  return url.pathname + url.search;
}

async function answerOf(response) {
  const body = await response.json().catch(() => ({}));
  if (!response.ok) throw new ServerError(body.error ?? `${response.status} ${response.statusText}`, response.status);
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

export async function getBlob(path, params, signal) {
  const response = await fetch(withToken(path, params), { signal });
  if (!response.ok) throw new ServerError(`${path}: ${response.status} ${response.statusText}`, response.status);
  return response.blob();
}
