// The server's HTTP API (hostapp/web/API.md). Every API request carries the
// token of the page's own address: fetches in a header, the event stream and
// images (which cannot send headers) in the query. The page's files need none.
const tokenHeader = 'X-Tessaline-Token';

// boot.js, a plain script that runs before any module, took the token out of
// the address bar and the history (so that a copied address does not share
// it) and named this tab's page; both are kept for the tab's life.
const token = sessionStorage.getItem('tessaline-token') ?? '';

// This page's name and the number of its next edit: the server applies only
// the newest edit of a value from one page, however the requests overtake.
// The name lasts as long as the tab: a reloaded page is the same page to the
// server, which keeps its view.
export const pageId = sessionStorage.getItem('tessaline-page') ?? '';
let editNumber = 0;
export function nextEdit() {
  editNumber += 1;
  return { page: pageId, seq: editNumber };
}

// A same-origin URL for path with the given query parameters and the token,
// for what cannot send a header (an image, the event stream).
export function withToken(path, params = {}) {
  const url = new URL(path, location.origin);
  for (const [name, value] of Object.entries(params)) url.searchParams.set(name, String(value));
  url.searchParams.set('token', token);
  return url.pathname + url.search;
}

function urlOf(path, params = {}) {
  const url = new URL(path, location.origin);
  for (const [name, value] of Object.entries(params)) url.searchParams.set(name, String(value));
  return url.pathname + url.search;
}

// A refusal of our token means the server that gave it has gone: a restarted
// server has a new one. Whoever shows that to the user listens here.
const refusedListeners = [];
export function onTokenRefused(listener) {
  refusedListeners.push(listener);
}

function refusal(response, message) {
  if (response.status === 403) refusedListeners.forEach((listener) => listener());
  const error = new Error(message);
  error.status = response.status;
  return error;
}

async function answerOf(response) {
  const body = await response.json().catch(() => ({}));
  // The server words every refusal; its message is what the page shows.
  if (!response.ok) throw refusal(response, body.error ?? `${response.status} ${response.statusText}`);
  return body;
}

export async function getJson(path, params) {
  return answerOf(await fetch(urlOf(path, params), { headers: { [tokenHeader]: token } }));
}

export async function postJson(path, body) {
  const response = await fetch(urlOf(path), {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', [tokenHeader]: token },
    body: body === undefined ? undefined : JSON.stringify(body),
  });
  return answerOf(response);
}

// A body as it is (a file, FormData), with extra headers.
export async function postBody(path, body, headers = {}) {
  const response = await fetch(urlOf(path), { method: 'POST', headers: { ...headers, [tokenHeader]: token }, body });
  return answerOf(response);
}

export async function getBlob(path, params) {
  const response = await fetch(urlOf(path, params), { headers: { [tokenHeader]: token } });
  if (!response.ok) throw refusal(response, `${path}: ${response.status} ${response.statusText}`);
  return response.blob();
}
