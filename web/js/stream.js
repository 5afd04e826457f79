// The service's event stream, kept open: when it breaks (the service
// restarted, the network dropped) it is opened again with a growing pause,
// after asking whether the session still holds.

import { get } from './api.js';

const kFirstPause = 1000;
const kLongestPause = 10000;

export class EventStream {
  // `handlers`: { link, status, level, alarms } each given the event's data;
  // `onOpen(open)` when the stream opens or breaks.
  constructor(handlers, onOpen) {
    this.handlers = handlers;
    this.onOpen = onOpen;
    this.source = null;
    this.pause = kFirstPause;
    this.timer = 0;
    this.stopped = true;
  }

  start() {
    this.stopped = false;
    this.open();
  }

  stop() {
    this.stopped = true;
    clearTimeout(this.timer);
    this.source?.close();
    this.source = null;
  }

  open() {
    if (this.stopped) return;
    const source = new EventSource('/api/v1/events');
    this.source = source;
    source.onopen = () => {
      this.pause = kFirstPause;
      this.onOpen(true);
    };
    for (const [name, handler] of Object.entries(this.handlers)) {
      source.addEventListener(name, (event) => {
        let data;
        try {
          data = JSON.parse(event.data);
        } catch {
          return;  // a torn event; the next one is whole
        }
        handler(data);
      });
    }
    // The browser's own retry gives up on an HTTP error (a 401 after a
    // restart, a 503 when too many listen), so every break is ours to mend.
    source.onerror = () => {
      source.close();
      if (this.source !== source || this.stopped) return;
      this.source = null;
      this.onOpen(false);
      this.timer = setTimeout(() => this.retry(), this.pause);
      this.pause = Math.min(this.pause * 2, kLongestPause);
    };
  }

  async retry() {
    if (this.stopped) return;
    const session = await get('/api/v1/session');
    if (this.stopped) return;
    if (session.status === 401) return;  // the login form takes over
    this.open();
  }
}
