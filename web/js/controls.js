// What an operator changes. Each control shows the value the transmitter
// accepted, except while someone is editing it; a change goes out as one
// PUT, and a refusal puts the control back to the accepted value and says
// the transmitter's own failure text, as the panel does. Tuning and going
// to standby ask first.

import { failureText, put } from './api.js';
import { tenths } from './format.js';

const $ = (id) => document.getElementById(id);
// A slider's change goes out once it has rested this long, so that holding
// an arrow key sends one change rather than one per step.
const kSettle = 350;

const kRanges = {
  frequency_mhz: [87.0, 108.0],
  power_setting_w: [0.3, 15.0],
  line_volume_step: [1, 13],
  mic_volume_step: [1, 30],
};

export class Controls {
  // `confirm(title, text, ok)` resolves true when the person agrees;
  // `notify(text)` shows a failure; `applied(status)` takes the answer.
  constructor({ confirm, notify, applied }) {
    this.confirm = confirm;
    this.notify = notify;
    this.applied = applied;
    this.status = null;
    this.mayChange = false;
    this.linkUp = false;
    this.busy = new Set();     // keys with a change under way
    this.editing = new Set();  // keys the person is changing
    this.timers = {};
    this.wire();
  }

  wire() {
    const frequency = $('c-frequency');
    // A status arriving while someone is in the field must not write over
    // what they are about to type.
    frequency.addEventListener('focus', () => this.editing.add('frequency_mhz'));
    frequency.addEventListener('input', () => this.editing.add('frequency_mhz'));
    frequency.addEventListener('blur', () => {
      if (this.status && frequency.value === tenths(this.status.frequency_mhz)) this.editing.delete('frequency_mhz');
    });
    frequency.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') {
        event.preventDefault();
        this.tune();
      } else if (event.key === 'Escape') {
        this.editing.delete('frequency_mhz');
        this.show();
      }
    });
    $('c-tune').addEventListener('click', () => this.tune());

    for (const [id, key, text] of [
      ['c-power', 'power_setting_w', tenths],
      ['c-line-volume', 'line_volume_step', String],
      ['c-mic-volume', 'mic_volume_step', String],
    ]) {
      const input = $(id);
      const output = $(`${id}-value`);
      input.addEventListener('input', () => {
        this.editing.add(key);
        output.textContent = text(Number(input.value));
      });
      input.addEventListener('change', () => {
        clearTimeout(this.timers[key]);
        this.timers[key] = setTimeout(() => {
          const value = key === 'power_setting_w' ? Math.round(Number(input.value) * 10) / 10 : Number(input.value);
          this.send(key, value);
        }, kSettle);
      });
    }

    $('c-air').addEventListener('click', () => this.pressAir());
    $('c-sound').addEventListener('click', () => this.send('sound', this.status?.sound === 'mono' ? 'stereo' : 'mono'));
    for (const [id, key] of [['c-echo', 'echo_on'], ['c-line', 'line_on'], ['c-mic', 'mic_on']]) {
      $(id).addEventListener('click', () => this.send(key, !this.status?.[key]));
    }
  }

  // `role` from the session: viewers see everything and change nothing.
  setRole(role) {
    this.mayChange = role === 'operator' || role === 'admin';
    const note = $('viewer-note');
    note.hidden = this.mayChange;
    note.textContent = this.mayChange
      ? ''
      : 'Read only: you are logged in as a viewer, so you can watch the transmitter but not change it. An operator or admin account can.';
    this.enable();
  }

  onLink(up) {
    this.linkUp = up;
    this.enable();
  }

  enable() {
    const allowed = this.mayChange && this.linkUp && this.status !== null;
    $('settings').disabled = !allowed;
    for (const element of $('settings').querySelectorAll('input, button')) {
      const key = element.dataset.key ?? (element.id === 'c-air' ? 'transmitter' : element.id === 'c-tune' ? 'frequency_mhz' : '');
      element.disabled = !allowed || this.busy.has(key);
    }
  }

  onStatus(status) {
    this.status = status;
    this.linkUp = status.link === 'up';
    this.show();
    this.enable();
  }

  // Every control to the accepted value, unless it is being edited.
  show() {
    const s = this.status;
    if (!s) return;
    const set = (key, apply) => {
      if (!this.editing.has(key) && !this.busy.has(key)) apply();
    };
    set('frequency_mhz', () => { $('c-frequency').value = tenths(s.frequency_mhz); });
    set('power_setting_w', () => {
      $('c-power').value = String(s.power_setting_w);
      $('c-power-value').textContent = tenths(s.power_setting_w);
    });
    set('line_volume_step', () => {
      $('c-line-volume').value = String(s.line_volume_step);
      $('c-line-volume-value').textContent = String(s.line_volume_step);
    });
    set('mic_volume_step', () => {
      $('c-mic-volume').value = String(s.mic_volume_step);
      $('c-mic-volume-value').textContent = String(s.mic_volume_step);
    });
    const on = s.transmitter === 'on';
    const air = $('c-air');
    air.textContent = on ? 'On air · go to standby…' : 'Standby · go on air';
    air.classList.toggle('on', on);
    const sound = s.sound === 'mono' ? 'Mono' : 'Stereo';
    $('c-sound').textContent = sound;
    $('c-sound').setAttribute('aria-label', `Sound: ${sound.toLowerCase()}`);
    $('c-echo').setAttribute('aria-pressed', String(Boolean(s.echo_on)));
    $('c-line').setAttribute('aria-pressed', String(Boolean(s.line_on)));
    $('c-mic').setAttribute('aria-pressed', String(Boolean(s.mic_on)));
  }

  async tune() {
    const input = $('c-frequency');
    const text = input.value.trim().replace(',', '.');
    const value = Number(text);
    const [min, max] = kRanges.frequency_mhz;
    if (text === '' || !Number.isFinite(value) || value < min || value > max ||
        Math.abs(value * 10 - Math.round(value * 10)) > 1e-6) {
      this.notify(`The frequency must be ${tenths(min)} to ${tenths(max)} MHz, in steps of 0.1.`);
      input.focus();
      return;
    }
    const target = Math.round(value * 10) / 10;
    if (this.status && Math.abs(target - this.status.frequency_mhz) < 0.05) {
      this.editing.delete('frequency_mhz');
      this.show();
      return;
    }
    const from = this.status ? `${tenths(this.status.frequency_mhz)} MHz` : 'its frequency';
    const agreed = await this.confirm(`Tune to ${tenths(target)} MHz?`,
      `The transmitter leaves ${from}. Listeners tuned there lose the station.`, 'Tune');
    this.editing.delete('frequency_mhz');
    if (!agreed) {
      this.show();
      return;
    }
    await this.send('frequency_mhz', target);
  }

  async pressAir() {
    if (!this.status) return;
    if (this.status.transmitter === 'on') {
      const agreed = await this.confirm('Go to standby?', 'The transmitter stops broadcasting until someone puts it on air again.', 'Standby');
      if (agreed) await this.send('transmitter', 'standby');
    } else {
      await this.send('transmitter', 'on');
    }
  }

  async send(key, value) {
    if (!this.mayChange || this.busy.has(key)) return;
    this.busy.add(key);
    this.enable();
    const control = document.querySelector(`[data-key="${key}"]`) ?? $('c-air');
    control.classList.add('busy');
    const result = await put('/api/v1/settings', { [key]: value });
    control.classList.remove('busy');
    this.busy.delete(key);
    this.editing.delete(key);
    if (result.ok) {
      this.applied(result.data);
    } else if (result.status !== 401) {
      this.notify(failureText(result));
    }
    this.show();
    this.enable();
  }
}
