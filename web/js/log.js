// The event log, newest first, filtered by kind. It is fetched again soon
// after anything that writes to it shows on the page (a change, an alarm,
// the link), and once a minute for what does not (a login elsewhere).

import { get } from './api.js';
import { dateTime, kindTitle } from './format.js';

const $ = (id) => document.getElementById(id);
const kRows = 200;
const kSoon = 800;  // the service writes its log from a thread of its own

export class EventLog {
  constructor() {
    this.timer = 0;
    this.generation = 0;
    $('log-kind').addEventListener('change', () => this.refresh());
    setInterval(() => this.refresh(), 60000);
  }

  // Fetches again shortly; many calls in a burst fetch once.
  soon() {
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.refresh(), kSoon);
  }

  async refresh() {
    const generation = ++this.generation;
    const kind = $('log-kind').value;
    const query = new URLSearchParams({ limit: String(kRows) });
    if (kind) query.set('kind', kind);
    const result = await get(`/api/v1/log?${query}`);
    if (!result.ok || generation !== this.generation) return;
    const rows = $('log-rows');
    const fresh = result.data.events.map((event) => {
      const row = document.createElement('tr');
      const cells = [dateTime(event.at), null, event.user || '–', event.text];
      for (const text of cells) {
        const cell = document.createElement('td');
        if (text === null) {
          const kindTag = document.createElement('span');
          kindTag.className = `kind ${event.kind}`;
          kindTag.textContent = kindTitle(event.kind);
          cell.append(kindTag);
        } else {
          cell.textContent = text;
        }
        row.append(cell);
      }
      return row;
    });
    if (fresh.length === 0) {
      const row = document.createElement('tr');
      const cell = document.createElement('td');
      cell.colSpan = 4;
      cell.className = 'muted';
      cell.textContent = 'Nothing logged yet.';
      row.append(cell);
      fresh.push(row);
    }
    rows.replaceChildren(...fresh);
  }
}
