// How values read to a person on this page.

export const tenths = (value) => (value == null ? '–' : Number(value).toFixed(1));

// The panel's meter is full at this raw level; what is above shows full.
export const kLevelMeterTop = 255;

const kAlarmNames = {
  swr: 'SWR high',
  temperature: 'Temperature high',
  off_air: 'Off air',
  silence: 'Silence (dead air)',
  link: 'Link to the transmitter down',
  unexpected_standby: 'Unexpected standby',
  restart: 'Service restarted',
};
export const alarmTitle = (name) => kAlarmNames[name] ?? name;

const kAlarmUnits = { swr: '', temperature: ' °C', off_air: ' W', silence: '' };
export function alarmValue(alarm) {
  if (!(alarm.alarm in kAlarmUnits)) return '';
  const unit = kAlarmUnits[alarm.alarm];
  const shown = (v) => (alarm.alarm === 'temperature' || alarm.alarm === 'silence' ? String(Math.round(v)) : tenths(v));
  const side = alarm.alarm === 'off_air' || alarm.alarm === 'silence' ? 'under' : 'over';
  return `${shown(alarm.value)}${unit} ${side} ${shown(alarm.threshold)}${unit}`;
}

const kKindNames = {
  service: 'Service',
  link: 'Link',
  change: 'Change',
  schedule: 'Schedule',
  alarm_raised: 'Alarm raised',
  alarm_cleared: 'Alarm cleared',
  alarm_acknowledged: 'Acknowledged',
};
export const kindTitle = (kind) => kKindNames[kind] ?? kind;

const pad = (n) => String(n).padStart(2, '0');
// 2026-12-09 03:04:05 in the browser's own time zone.
export function dateTime(text) {
  const d = new Date(text);
  if (Number.isNaN(d.getTime())) return text;
  return `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())} ${pad(d.getHours())}:${pad(d.getMinutes())}:${pad(d.getSeconds())}`;
}
export function timeOfDay(ms) {
  const d = new Date(ms);
  return `${pad(d.getHours())}:${pad(d.getMinutes())}`;
}
export function shortDate(ms) {
  const d = new Date(ms);
  return `${pad(d.getDate())}.${pad(d.getMonth() + 1)}. ${pad(d.getHours())}h`;
}

// "5 s", "3 min", "2 h 10 min", "4 days"
export function duration(seconds) {
  const s = Math.max(0, Math.round(seconds));
  if (s < 90) return `${s} s`;
  if (s < 3600) return `${Math.round(s / 60)} min`;
  if (s < 86400) return `${Math.floor(s / 3600)} h ${Math.round((s % 3600) / 60)} min`;
  return `${Math.round(s / 86400)} days`;
}
