// History charts drawn by Chart.js (the system's copy, loaded only once the
// readings are on the page): the mean of each step as a line, its minimum
// to maximum as a band behind it.

import { get } from './api.js';
import { shortDate, timeOfDay } from './format.js';

const kChartLibrary = '/javascript/chart.js/chart.min.js';
const kReadings = [
  { name: 'forward_power_w', colour: '#ffb02e' },
  { name: 'swr_ratio', colour: '#ff7a59' },
  { name: 'temperature_c', colour: '#4ea1ff' },
  { name: 'audio_level_raw', colour: '#2fbf71' },
];
// About 120 to 170 points whatever the span.
const kSteps = { 3600: 30, 86400: 600, 604800: 3600 };

let library = null;
function loadLibrary() {
  library ??= new Promise((resolve, reject) => {
    const script = document.createElement('script');
    script.src = kChartLibrary;
    script.onload = () => resolve(window.Chart);
    script.onerror = () => { library = null; reject(new Error('the chart library did not load')); };
    document.head.append(script);
  });
  return library;
}

export class History {
  constructor() {
    this.span = 3600;
    this.charts = {};
    this.started = false;
    for (const button of document.querySelectorAll('.history [data-span]')) {
      button.addEventListener('click', () => {
        this.span = Number(button.dataset.span);
        for (const other of document.querySelectorAll('.history [data-span]')) {
          other.setAttribute('aria-pressed', String(other === button));
        }
        this.refresh();
      });
    }
  }

  start() {
    if (this.started) return;
    this.started = true;
    this.refresh();
    setInterval(() => this.refresh(), 60000);
  }

  async refresh() {
    let Chart;
    try {
      Chart = await loadLibrary();
    } catch {
      return;  // tried again at the next refresh
    }
    const span = this.span;
    const to = new Date();
    const from = new Date(to.getTime() - span * 1000);
    await Promise.all(kReadings.map(async ({ name, colour }) => {
      const query = new URLSearchParams({ reading: name, from: from.toISOString(), to: to.toISOString(), step: String(kSteps[span]) });
      const result = await get(`/api/v1/history?${query}`);
      if (!result.ok || span !== this.span) return;
      const points = result.data.points.map((p) => ({ t: Date.parse(p.at), ...p }));
      document.getElementById(`chart-${name}`).closest('figure').classList.toggle('empty', points.length === 0);
      const series = (field) => points.map((p) => ({ x: p.t, y: p[field] }));
      const data = {
        datasets: [
          { label: 'min', data: series('min'), borderWidth: 0, pointRadius: 0, fill: false },
          { label: 'max', data: series('max'), borderWidth: 0, pointRadius: 0, fill: '-1', backgroundColor: `${colour}33` },
          // A point or two draw no line: they are shown as dots.
          { label: 'mean', data: series('mean'), borderColor: colour, backgroundColor: colour, borderWidth: 2,
            pointRadius: points.length < 3 ? 3 : 0, fill: false, tension: 0.2 },
        ],
      };
      const limits = { min: from.getTime(), max: to.getTime() };
      const chart = this.charts[name];
      if (chart) {
        chart.data = data;
        Object.assign(chart.options.scales.x, limits);
        chart.update('none');
        return;
      }
      this.charts[name] = new Chart(document.getElementById(`chart-${name}`), {
        type: 'line',
        data,
        options: {
          animation: false,
          maintainAspectRatio: false,
          parsing: false,
          normalized: true,
          spanGaps: false,
          interaction: { mode: 'nearest', axis: 'x', intersect: false },
          plugins: {
            legend: { display: false },
            tooltip: {
              filter: (item) => item.dataset.label === 'mean',
              callbacks: {
                title: (items) => (items.length ? new Date(items[0].parsed.x).toLocaleString() : ''),
                label: (item) => {
                  const [min, max] = item.chart.data.datasets.map((d) => d.data[item.dataIndex]?.y);
                  return `mean ${item.parsed.y} (min ${min}, max ${max})`;
                },
              },
            },
          },
          scales: {
            x: {
              type: 'linear', ...limits,
              grid: { color: '#2a323d' },
              ticks: { color: '#9aa4b2', maxTicksLimit: 6, callback: (v) => (this.span > 86400 ? shortDate(v) : timeOfDay(v)) },
            },
            y: { grid: { color: '#2a323d' }, ticks: { color: '#9aa4b2', maxTicksLimit: 5 }, beginAtZero: name !== 'swr_ratio' && name !== 'temperature_c' },
          },
        },
      });
    }));
  }
}
