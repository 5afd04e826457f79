// The active alarms, as the event stream sends them, each with its
// severity in words, and an acknowledge button for operators.

import { failureText, post } from './api.js';
import { alarmTitle, alarmValue, dateTime } from './format.js';

const $ = (id) => document.getElementById(id);

export class Alarms {
  constructor({ notify, changed }) {
    this.notify = notify;
    this.changed = changed;  // an alarm was acknowledged here
    this.mayAcknowledge = false;
    this.alarms = [];
  }

  setRole(role) {
    this.mayAcknowledge = role === 'operator' || role === 'admin';
    this.show();
  }

  onAlarms(data) {
    this.alarms = data.alarms ?? [];
    this.show();
  }

  show() {
    const list = $('alarm-list');
    list.replaceChildren();
    const count = $('alarm-count');
    const critical = this.alarms.some((a) => a.severity === 'critical');
    count.textContent = String(this.alarms.length);
    count.className = `count${this.alarms.length ? (critical ? ' crit' : ' warn') : ''}`;
    count.setAttribute('aria-label', `${this.alarms.length} active`);
    if (this.alarms.length === 0) {
      const item = document.createElement('li');
      item.className = 'none';
      item.textContent = '✓ No active alarms';
      list.append(item);
      return;
    }
    for (const alarm of this.alarms) {
      const item = document.createElement('li');
      item.className = `${alarm.severity}${alarm.acknowledged ? ' acknowledged' : ''}`;
      item.dataset.alarm = alarm.alarm;
      const severity = document.createElement('span');
      severity.className = 'sev';
      severity.textContent = alarm.severity === 'critical' ? '▲ Critical' : '● Warning';
      const name = document.createElement('span');
      name.className = 'name';
      name.textContent = alarmTitle(alarm.alarm);
      item.append(severity, name);
      if (!alarm.acknowledged && this.mayAcknowledge) {
        const button = document.createElement('button');
        button.type = 'button';
        button.textContent = 'Acknowledge';
        button.setAttribute('aria-label', `Acknowledge ${alarmTitle(alarm.alarm)}`);
        button.addEventListener('click', () => this.acknowledge(alarm.alarm, button));
        item.append(button);
      } else {
        item.append(document.createElement('span'));
      }
      const detail = document.createElement('span');
      detail.className = 'detail';
      const value = alarmValue(alarm);
      let text = `${value ? `${value} · ` : ''}raised ${dateTime(alarm.raised_at)}`;
      if (alarm.acknowledged) text += ` · acknowledged by ${alarm.acknowledged_by}`;
      detail.textContent = text;
      item.append(detail);
      list.append(item);
    }
  }

  async acknowledge(name, button) {
    button.disabled = true;
    const result = await post(`/api/v1/alarms/${encodeURIComponent(name)}/ack`);
    if (!result.ok && result.status !== 401) {
      this.notify(failureText(result));
      button.disabled = false;
      return;
    }
    const index = this.alarms.findIndex((a) => a.alarm === name);
    if (index >= 0 && result.ok) this.alarms[index] = result.data;
    this.show();
    this.changed();
  }
}
