// The service's API as the page uses it: same origin, the session cookie,
// JSON both ways. A 401 anywhere means the session is over.

let onLoggedOut = () => {};

// `handler(reason)` runs whenever the service no longer knows this browser.
export function whenLoggedOut(handler) {
  onLoggedOut = handler;
}

// { ok, status, data }; never throws: a network failure is status 0.
export async function call(method, path, body) {
  const options = { method, credentials: 'same-origin', headers: { Accept: 'application/json' } };
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(path, options);
  } catch {
    return { ok: false, status: 0, data: { error: 'the service cannot be reached' } };
  }
  let data = null;
  if (response.status !== 204) {
    try {
      data = await response.json();
    } catch {
      data = { error: `unexpected answer (${response.status})` };
    }
  }
  if (response.status === 401 && path !== '/api/v1/session') {
    onLoggedOut('Your session has ended; please log in again.');
  }
  return { ok: response.ok, status: response.status, data };
}

export const get = (path) => call('GET', path);
export const put = (path, body) => call('PUT', path, body);
export const post = (path, body) => call('POST', path, body);

// What a failed call says, for a person.
export function failureText(result) {
  if (result.status === 0) return 'The service cannot be reached.';
  if (result.status === 403) return `Not allowed: ${result.data?.error ?? 'your role may not do this'}.`;
  if (result.status === 502) return `The transmitter refused: ${result.data?.error ?? 'failed'}.`;
  if (result.status === 503) return `Not done: ${result.data?.error ?? 'the link to the transmitter is down'}.`;
  return `Not done: ${result.data?.error ?? `error ${result.status}`}.`;
}
