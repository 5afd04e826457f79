// The page: a login, then the transmitter. Everything live arrives over the
// service's event stream; the page itself never asks the transmitter.

import { call, get, post, whenLoggedOut } from './api.js';
import { Alarms } from './alarms.js';
import { Controls } from './controls.js';
import { History } from './history.js';
import { EventLog } from './log.js';
import { Readings } from './readings.js';
import { SiteSettings } from './schedule.js';
import { EventStream } from './stream.js';

const $ = (id) => document.getElementById(id);

// What the page measures of itself, for the browser benchmarks: when the
// first readings were on it, and how long each reading took from the end
// of its exchange on the line to the page.
window.talvexPage = {
  firstReadingsMs: null,
  latenciesMs: [],
  lastReadAt: '',
  noteReading(readAt) {
    if (!readAt || readAt === this.lastReadAt) return;
    this.lastReadAt = readAt;
    if (this.latenciesMs.length >= 10000) this.latenciesMs.splice(0, 5000);
    this.latenciesMs.push(Date.now() - Date.parse(readAt));
  },
};

let noticeTimer = 0;
function notify(text, information = false) {
  const notice = $('notice');
  $('notice-text').textContent = text;
  notice.classList.toggle('info', information);
  notice.hidden = false;
  clearTimeout(noticeTimer);
  // A failure stays until dismissed; good news goes by itself.
  if (information) noticeTimer = setTimeout(() => { notice.hidden = true; }, 4000);
}
$('notice-close').addEventListener('click', () => { $('notice').hidden = true; });

// Resolves true when the person presses `ok`; Escape and Cancel are no.
function confirm(title, text, ok) {
  const dialog = $('confirm');
  $('confirm-title').textContent = title;
  $('confirm-text').textContent = text;
  $('confirm-ok').textContent = ok;
  dialog.returnValue = 'cancel';
  dialog.showModal();
  $('confirm-ok').focus();
  return new Promise((resolve) => {
    dialog.addEventListener('close', () => resolve(dialog.returnValue === 'ok'), { once: true });
  });
}

const log = new EventLog();
const readings = new Readings();
const history = new History();
const settings = new SiteSettings({ notify, saved: () => log.soon() });
const controls = new Controls({
  confirm,
  notify,
  applied: (status) => {
    readings.onStatus(status);
    controls.onStatus(status);
    log.soon();
  },
});
const alarms = new Alarms({ notify, changed: () => log.soon() });

// What moves by itself in a status; the rest moves when something happened.
const kMoving = ['read_at', 'forward_power_w', 'swr_ratio', 'temperature_c', 'audio_level_raw'];
let lastStatusText = '';
const stream = new EventStream({
  link: (data) => {
    readings.onLink(data);
    controls.onLink(data.link === 'up');
    log.soon();
  },
  status: (status) => {
    readings.onStatus(status);
    controls.onStatus(status);
    settings.onStatus(status);
    // Something changed other than the readings' time: the log may know why.
    const text = JSON.stringify(Object.entries(status).filter(([key]) => !kMoving.includes(key)));
    if (text !== lastStatusText) {
      if (lastStatusText) log.soon();
      lastStatusText = text;
    }
  },
  level: (level) => readings.onLevel(level),
  alarms: (data) => {
    alarms.onAlarms(data);
    log.soon();
  },
}, (open) => {
  readings.onStream(open);
  if (!open) controls.onLink(false);
});

function showApp(session) {
  $('login').hidden = true;
  $('main').hidden = false;
  document.querySelector('.states').hidden = false;
  $('who').hidden = false;
  $('who-name').textContent = `${session.user} (${session.role})`;
  if (session.site) $('site').textContent = session.site;
  controls.setRole(session.role);
  alarms.setRole(session.role);
  settings.setRole(session.role);
  readings.firstShown = () => {
    window.talvexPage.firstReadingsMs = performance.now();
    performance.mark('talvex-readings-shown');
    history.start();
  };
  stream.start();
  settings.load();
  log.refresh();
}

function showLogin(why = '') {
  stream.stop();
  $('main').hidden = true;
  $('who').hidden = true;
  $('login').hidden = false;
  $('login-why').textContent = why;
  $('login-why').hidden = !why;
  $('login-error').textContent = '';
  $('login-password').value = '';
  // Nothing is known of the transmitter before a login.
  document.querySelector('.states').hidden = true;
  $('login-user').focus();
}

whenLoggedOut((why) => showLogin(why));

$('login-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  const button = event.submitter ?? $('login-form').querySelector('button');
  button.disabled = true;
  const result = await post('/api/v1/session', { user: $('login-user').value, password: $('login-password').value });
  button.disabled = false;
  if (!result.ok) {
    $('login-error').textContent = result.status === 401 ? 'Wrong user name or password.' : (result.data?.error ?? 'The service cannot be reached.');
    return;
  }
  showApp(result.data);
});

$('logout').addEventListener('click', async () => {
  await call('DELETE', '/api/v1/session');
  showLogin('You are logged out.');
});

// Until the service answers, the login says so and the page asks again.
async function boot() {
  const session = await get('/api/v1/session');
  if (session.ok) {
    showApp(session.data);
  } else if (session.status === 401) {
    showLogin();
  } else {
    showLogin('The service cannot be reached; trying again…');
    setTimeout(boot, 5000);
  }
}
boot();
