// The schedule's five rows and the protection points: everyone reads
// them, an admin edits them. Also the device's identity.

import { failureText, get, put } from './api.js';
import { tenths } from './format.js';

const $ = (id) => document.getElementById(id);
const kOperations = [['nothing', 'Nothing'], ['start_up', 'Go on air'], ['shut_down', 'Go to standby']];

export class SiteSettings {
  constructor({ notify, saved }) {
    this.notify = notify;
    this.saved = saved;  // something was changed here: the log has news
    this.isAdmin = false;
    this.protectionEdited = false;
    $('schedule-form').addEventListener('submit', (event) => {
      event.preventDefault();
      this.saveSchedule();
    });
    $('protection-form').addEventListener('submit', (event) => {
      event.preventDefault();
      this.saveProtection();
    });
    for (const id of ['p-temperature', 'p-swr']) {
      $(id).addEventListener('input', () => { this.protectionEdited = true; });
    }
  }

  setRole(role) {
    this.isAdmin = role === 'admin';
    for (const element of document.querySelectorAll('.admin-only')) element.hidden = !this.isAdmin;
    for (const id of ['p-temperature', 'p-swr']) $(id).disabled = !this.isAdmin;
  }

  async load() {
    const [schedule, info] = await Promise.all([get('/api/v1/schedule'), get('/api/v1/info')]);
    if (schedule.ok) this.showSchedule(schedule.data.rows);
    if (info.ok) {
      $('d-serial').textContent = info.data.serial_number || '–';
      $('d-firmware').textContent = info.data.firmware_version || '–';
      $('d-type').textContent = info.data.device_type || '–';
    }
  }

  // The points come with every status; shown unless an admin is editing.
  onStatus(status) {
    if (this.protectionEdited) return;
    $('p-temperature').value = String(status.temperature_point_c);
    $('p-swr').value = tenths(status.swr_point_ratio);
  }

  showSchedule(rows) {
    const body = $('schedule-rows');
    body.replaceChildren(...rows.map((row) => {
      const tr = document.createElement('tr');
      tr.dataset.row = String(row.row);
      tr.dataset.everyDay = String(row.every_day);
      const head = document.createElement('th');
      head.scope = 'row';
      head.textContent = `${row.row}${row.every_day ? ' (every day)' : ''}`;
      const date = document.createElement('input');
      date.type = 'date';
      date.value = row.date;
      date.disabled = !this.isAdmin || row.every_day;
      date.hidden = row.every_day;
      date.setAttribute('aria-label', `Row ${row.row} date`);
      const dateCell = document.createElement('td');
      dateCell.append(date);
      if (row.every_day) dateCell.append('every day');
      const time = document.createElement('input');
      time.type = 'time';
      time.step = '1';
      time.value = row.time;
      time.disabled = !this.isAdmin;
      time.setAttribute('aria-label', `Row ${row.row} time`);
      const operation = document.createElement('select');
      operation.setAttribute('aria-label', `Row ${row.row} operation`);
      operation.disabled = !this.isAdmin;
      for (const [value, text] of kOperations) {
        const option = new Option(text, value, false, value === row.operation);
        operation.append(option);
      }
      const timeCell = document.createElement('td');
      timeCell.append(time);
      const operationCell = document.createElement('td');
      operationCell.append(operation);
      tr.append(head, dateCell, timeCell, operationCell);
      return tr;
    }));
  }

  async saveSchedule() {
    const rows = [...$('schedule-rows').querySelectorAll('tr')].map((tr) => {
      const [date, time, operation] = tr.querySelectorAll('input[type=date], input[type=time], select');
      const seconds = time.value.length === 5 ? `${time.value}:00` : time.value;
      return { date: date.value, time: seconds, operation: operation.value };
    });
    const result = await put('/api/v1/schedule', { rows });
    if (!result.ok) {
      if (result.status !== 401) this.notify(failureText(result));
      return;
    }
    this.showSchedule(result.data.rows);
    this.notify('The schedule is saved.', true);
    this.saved();
  }

  async saveProtection() {
    const body = {
      temperature_point_c: Number($('p-temperature').value),
      swr_point_ratio: Math.round(Number($('p-swr').value) * 10) / 10,
    };
    const result = await put('/api/v1/protection', body);
    this.protectionEdited = false;
    if (!result.ok) {
      if (result.status !== 401) this.notify(failureText(result));
      return;
    }
    this.onStatus(result.data);
    this.notify('The protection points are set.', true);
    this.saved();
  }
}
