// The readings: the bar's on-air and link badges, the amber displays, the
// level meter. Readings the service no longer has fresh are greyed and say
// so; they are never shown as current.

import { duration, kLevelMeterTop, tenths } from './format.js';

// A status older than this is old: the service refreshes it every 5 s at
// the latest while the link is up.
const kOldAfterMs = 12000;

const $ = (id) => document.getElementById(id);

export class Readings {
  constructor() {
    this.status = null;
    this.linkUp = null;
    this.streamOpen = false;
    this.firstShown = null;  // called once, when the first readings are on the page
    setInterval(() => this.showAge(), 1000);
  }

  onLink(data) {
    this.linkUp = data.link === 'up';
    this.showLink();
    this.showAge();
  }

  onStatus(status) {
    this.status = status;
    this.linkUp = status.link === 'up';
    const air = $('air');
    const on = status.transmitter === 'on';
    air.textContent = on ? 'On air' : 'Standby';
    air.className = `badge ${on ? 'badge-on' : 'badge-standby'}`;
    $('r-frequency').textContent = tenths(status.frequency_mhz);
    $('r-forward').textContent = tenths(status.forward_power_w);
    $('r-swr').textContent = tenths(status.swr_ratio);
    $('r-temperature').textContent = String(status.temperature_c);
    $('r-setting').textContent = tenths(status.power_setting_w);
    $('r-sound').textContent = status.sound === 'mono' ? 'Mono' : 'Stereo';
    $('r-echo').textContent = status.echo_on ? 'On' : 'Off';
    $('r-line').textContent = status.line_on ? 'On' : 'Off';
    $('r-mic').textContent = status.mic_on ? 'On' : 'Off';
    $('r-line-volume').textContent = String(status.line_volume_step);
    $('r-mic-volume').textContent = String(status.mic_volume_step);
    this.onLevel({ audio_level_raw: status.audio_level_raw, read_at: status.read_at });
    this.showLink();
    this.showAge();
    if (this.firstShown && status.read_at) {
      const shown = this.firstShown;
      this.firstShown = null;
      shown();
    }
    window.talvexPage?.noteReading(status.read_at);
  }

  onLevel(level) {
    const raw = level.audio_level_raw ?? 0;
    const fraction = Math.min(raw, kLevelMeterTop) / kLevelMeterTop;
    const fill = $('meter-fill');
    fill.style.width = `${(fraction * 100).toFixed(1)}%`;
    // The gradient stays put while the bar grows over it.
    fill.style.setProperty('--meter-scale', fraction > 0 ? `${(100 / fraction).toFixed(1)}%` : '100%');
    $('meter').setAttribute('aria-valuenow', String(Math.min(raw, kLevelMeterTop)));
    $('r-level').textContent = String(raw);
    window.talvexPage?.noteReading(level.read_at);
  }

  onStream(open) {
    this.streamOpen = open;
    this.showLink();
    this.showAge();
  }

  showLink() {
    const link = $('link');
    if (!this.streamOpen) {
      link.textContent = 'Service unreachable';
      link.className = 'badge badge-down';
    } else if (this.linkUp === null) {
      link.textContent = 'Link …';
      link.className = 'badge badge-unknown';
    } else {
      link.textContent = this.linkUp ? 'Link up' : 'Link down';
      link.className = `badge ${this.linkUp ? 'badge-up' : 'badge-down'}`;
    }
  }

  // Greys the readings and says how old they are once they are not current.
  showAge() {
    const readAt = this.status?.read_at ? Date.parse(this.status.read_at) : NaN;
    const ageMs = Number.isNaN(readAt) ? Infinity : Date.now() - readAt;
    const stale = !this.streamOpen || this.linkUp === false || ageMs > kOldAfterMs;
    $('readings').classList.toggle('stale', stale);
    const note = $('stale');
    const age = $('age');
    if (!stale) {
      note.hidden = true;
      age.textContent = '';
      return;
    }
    const old = Number.isFinite(ageMs) ? `read ${duration(ageMs / 1000)} ago` : 'never read';
    let why = 'Readings are old';
    if (!this.streamOpen) why = 'The service cannot be reached';
    else if (this.linkUp === false) why = 'Link down';
    note.textContent = `${why}: the readings below were ${old} and are not current.`;
    note.hidden = false;
    age.textContent = Number.isFinite(ageMs) ? `readings ${duration(ageMs / 1000)} old` : '';
  }
}
