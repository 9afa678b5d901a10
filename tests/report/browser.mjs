// The report in a real browser: Debian's headless Chromium loads a page made from
// 400 days of generated exact history for ten interfaces (a speed change, a link
// whose vellary.cfg speed is not the rows', a stopped monitor, gaps, bad rows, a
// shared file, a missing one, one percent-only file, an alert log), and the DOM it
// rendered is read back over the DevTools protocol: the graphs, the points of two
// graphs and every legend's figures against what is worked out here from the rows,
// the month's volume, the page at phone width and printed. Leaves screenshots at
// 1280 and 400 px, the printed page as PDF and a picture of it in the artefact folder.
//
// node --experimental-websocket browser.mjs <vellary-report> <artefact folder>
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import process from 'node:process';
import { EXACT_HEADER, exactRowText, exactRows, fileText, nowLocal, percentText, rowText, rows, stamp } from
  './history.mjs';

const [program, artefacts] = process.argv.slice(2).map((p) => path.resolve(p));
const chromium = '/usr/bin/chromium';
const skip = (why) => {
  console.log(`SKIPPED: ${why}`);
  process.exit(77);
};
if (!fs.existsSync(chromium)) skip('chromium is not installed');
if (typeof WebSocket === 'undefined') skip('this node has no WebSocket (needs --experimental-websocket)');

const failures = [];
const fail = (text) => {
  failures.push(text);
  console.log(`FAILED: ${text}`);
};
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vellary-report-browser-'));
let browser = null;
const cleanup = () => {
  if (browser && browser.exitCode === null) browser.kill('SIGKILL');
  fs.rmSync(work, { recursive: true, force: true });
};
process.on('exit', cleanup);
setTimeout(() => {
  fail('the test did not finish within 150 s');
  process.exit(1);
}, 150000).unref();

// ---- the history ------------------------------------------------------------------
// It ends a minute before now: the report's month and its stopped-monitor check are
// of its own clock.
const end = nowLocal() - 60;
const start = end - 400 * 86400;
const hour = 3600;
const day = 86400;
const names = ['Core', 'Edge', 'WAN', 'LAN', 'Shared', 'Shared', 'DMZ', 'Lab', 'Spare', 'Guest'];
const cfgSpeeds = [1e9, 1e8, 1e7, 1e8, 1e9, 1e9, 1e8, 1e9, 1e8, 1e7];
const exact = {}; // file stem -> rows in file order
const take = (opts, keep = () => true) => [...exactRows({ start, end, ...opts })].filter((r) => keep(r.t));

// Core: 100 Mbit/s until 20 days ago, then 1 Gbit/s; three hours without a row in the last 24.
const upgrade = end - 20 * day;
const coreGap = [end - 10 * hour, end - 7 * hour];
exact.Core = take({ seed: 1, level: 40, speed: (t) => (t < upgrade ? 1e8 : 1e9) },
  (t) => !(t >= coreGap[0] && t < coreGap[1]));
exact.Edge = take({ seed: 2, level: 45 });
// WAN: vellary.cfg says 10 Mbit/s, the rows were written at 20 Mbit/s.
exact.WAN = take({ seed: 3, level: 35, speed: () => 2e7 });
// LAN: a spreadsheet touched it; its lines are text from here on.
const lanRows = take({ seed: 4, level: 50 });
const lan = lanRows.map(exactRowText);
const badAt = [1000, 5000, 90000];
lan[badAt[0]] = lan[badAt[0]].replace(/^(\d\d)-(\d\d)-(\d{4})/, '$1/$2/$3');
lan[badAt[1]] = lan[badAt[1]].replaceAll(',', ';');
lan[badAt[2]] = EXACT_HEADER;
// Shared: two interfaces of one name, their rows interleaved as the monitor writes them.
const twinA = take({ seed: 5, level: 20, speed: () => 1e9 });
const twinB = take({ seed: 6, level: 70, speed: () => 1e9 });
exact.Shared = twinA.flatMap((r, i) => [r, { ...twinB[i], t: r.t + 3, utc: r.utc + 3 }]);
// DMZ: one direction not measured for a day, a week ago.
exact.DMZ = take({ seed: 7, level: 40 }).map((r) =>
  (r.t > end - 8 * day && r.t < end - 7 * day ? { ...r, hasOut: false } : r));
// Lab: stopped three days ago.
const labEnd = end - 3 * day;
exact.Lab = take({ seed: 8, level: 30, speed: () => 1e9 }, (t) => t <= labEnd);
// Guest: no exact history, only its percentages.
const guest = [...rows({ start, end, seed: 10, level: 15 })];

const cfgLine = (name, speed, k) =>
  `${name},192.0.2.${k + 1},public,${speed},1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1,\r\n`;
fs.writeFileSync(path.join(work, 'vellary.cfg'), names.map((n, k) => cfgLine(n, cfgSpeeds[k], k)).join(''));
const write = (file, lines, header) => fs.writeFileSync(path.join(work, file), fileText(lines, header));
for (const [name, list] of Object.entries(exact)) {
  write(`${name}.exact.csv`, list.map(exactRowText), EXACT_HEADER);
  write(`${name}.csv`, list.map(percentText));
}
write('LAN.exact.csv', lan, EXACT_HEADER);
write('LAN.csv', lanRows.map(percentText));
write('Guest.csv', guest.map(rowText));
exact.LAN = lanRows.filter((_, i) => !badAt.includes(i));

// Alerts: Edge down for 40 minutes and above for an hour in its last 24 hours.
const alertAt = (t) => stamp(t).replace(/,\d\d,/, ',');
const downFrom = end - 5 * hour;
const aboveFrom = end - 3 * hour;
fs.writeFileSync(path.join(work, 'vellary-alerts.csv'), [
  'Date,Time,Interface,Event,% In,% Out,Detail',
  `${alertAt(downFrom)},Edge,down,,,192.0.2.2`,
  `${alertAt(downFrom + 2400)},Edge,up,3,1,192.0.2.2`,
  `${alertAt(aboveFrom)},Edge,above,93,12,192.0.2.2 In`,
  `${alertAt(aboveFrom + hour)},Edge,normal,41,10,192.0.2.2`,
  'garbage, not a row',
].join('\r\n'));

// ---- the report -----------------------------------------------------------------------
const t0 = process.hrtime.bigint();
const run = spawnSync(program, [], { cwd: work, encoding: 'utf8' });
const ms = Number(process.hrtime.bigint() - t0) / 1e6;
console.log(`vellary-report: exit ${run.status} in ${ms.toFixed(0)} ms ${run.stderr.trim()}`);
if (run.status !== 0) {
  fail(`vellary-report exited with ${run.status}: ${run.stderr}`);
  process.exit(1);
}
const page = path.join(work, 'vellary-report.html');
const html = fs.readFileSync(page, 'utf8');
for (const banned of ['<script', '<link', '<img', '@import', 'url(', 'src=']) {
  if (html.includes(banned)) fail(`the page holds ${banned}`);
}

// ---- the browser, over the DevTools protocol ----------------------------------------------
browser = spawn(chromium, ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', '--hide-scrollbars',
  `--user-data-dir=${path.join(work, 'profile')}`, '--remote-debugging-port=0', 'about:blank'],
{ stdio: ['ignore', 'ignore', 'pipe'] });
const endpoint = await new Promise((resolve, reject) => {
  let text = '';
  browser.stderr.on('data', (chunk) => {
    text += chunk;
    const m = text.match(/DevTools listening on (ws:\/\/\S+)/);
    if (m) resolve(m[1]);
  });
  browser.on('exit', (code) => reject(new Error(`chromium ended (${code}): ${text}`)));
});
const ws = new WebSocket(endpoint);
await new Promise((resolve, reject) => {
  ws.onopen = resolve;
  ws.onerror = reject;
});
let nextId = 1;
const pending = new Map();
const events = [];
const waiters = [];
ws.onmessage = (message) => {
  const msg = JSON.parse(message.data);
  if (msg.id && pending.has(msg.id)) {
    const { resolve, reject } = pending.get(msg.id);
    pending.delete(msg.id);
    if (msg.error) reject(new Error(`${msg.error.message}`));
    else resolve(msg.result);
    return;
  }
  events.push(msg);
  for (const w of waiters.splice(0)) w(msg);
};
const send = (method, params = {}, sessionId = undefined) => new Promise((resolve, reject) => {
  const id = nextId++;
  pending.set(id, { resolve, reject });
  ws.send(JSON.stringify({ id, method, params, sessionId }));
});
const until = (test) => new Promise((resolve) => {
  const found = events.find(test);
  if (found) return resolve(found);
  const wait = (msg) => (test(msg) ? resolve(msg) : waiters.push(wait));
  waiters.push(wait);
});

const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
const cmd = (method, params) => send(method, params, sessionId);
const evaluate = async (expression) => (await cmd('Runtime.evaluate', { returnByValue: true, expression })).result.value;
const viewport = (width, height, mobile = false) =>
  cmd('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile });
await cmd('Page.enable');
await cmd('Runtime.enable');
await cmd('Log.enable');
await viewport(1280, 900);
await cmd('Page.navigate', { url: `file://${page}` });
await until((m) => m.method === 'Page.loadEventFired' && m.sessionId === sessionId);

// Everything the checks need, read from the rendered DOM in one go.
const dom = await evaluate(`(() => {
  const graph = (svg) => {
    const [left, top, width, height] = svg.dataset.plot.split(' ').map(Number);
    const shape = (cls) => [...svg.querySelectorAll('.' + cls)].filter((e) => e.tagName !== 'path' &&
      e.tagName !== 'rect').map((e) => e.tagName === 'circle' ? [[+e.getAttribute('cx'), +e.getAttribute('cy')]]
      : e.getAttribute('points').split(' ').map((p) => p.split(',').map(Number)));
    const legend = [...svg.closest('figure').querySelectorAll('figcaption .fig')].map((s) => ({ ...s.dataset,
      text: s.textContent }));
    return { period: svg.dataset.period, kind: svg.dataset.kind, t0: +svg.dataset.t0, t1: +svg.dataset.t1,
      scale: +svg.dataset.scale, left, top, width, height, in: shape('in'), out: shape('out'),
      peakIn: shape('peak-in'), speed: shape('speed'), legend, caption: svg.closest('figure').querySelector(
        'figcaption').textContent, title: svg.querySelector(':scope > title')?.textContent || '',
      aria: svg.getAttribute('aria-label') || '', bands: [...svg.querySelectorAll('rect.band')].map((r) =>
        ({ cls: r.getAttribute('class'), x: +r.getAttribute('x'), w: +r.getAttribute('width') })),
      soFar: svg.querySelectorAll('circle.sofar').length, visible: svg.getBoundingClientRect().width > 300 };
  };
  const section = (id) => {
    const s = document.getElementById(id).closest('section');
    return { id: s.id, title: s.querySelector('h2').textContent, text: s.textContent,
      graphs: [...s.querySelectorAll('svg.graph')].map(graph),
      bad: [...s.querySelectorAll('ul.bad li')].map((li) => li.textContent) };
  };
  const rows = [...document.querySelectorAll('table.summary tbody tr')];
  return { graphs: document.querySelectorAll('svg.graph').length,
    sections: document.querySelectorAll('section').length,
    summary: rows.map((tr) => ({ cls: tr.className, cells: [...tr.cells].map((td) => td.textContent),
      bytes: [...tr.querySelectorAll('[data-bytes]')].map((e) => +e.dataset.bytes) })),
    alerts: [...document.querySelectorAll('table.alerts tbody tr')].map((tr) => [...tr.cells].map((td) =>
      td.textContent)),
    alertNote: document.querySelector('main').textContent.includes('vellary-alerts.csv line 6: garbage'),
    ifs: Array.from({ length: 10 }, (_, i) => document.getElementById('if' + (i + 1)) ? section('if' + (i + 1))
      : null),
    height: document.documentElement.scrollHeight };
})()`);

// ---- the figures, worked out from the rows -------------------------------------------
const widths = { day: 0, week: 1800, month: 7200, year: day };
const p95 = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted.length ? sorted[Math.ceil((sorted.length * 95) / 100) - 1] : undefined;
};
// One graph's legend from the rows: the average of the finished bins (all rows for
// 24 hours) as octets over time, the highest row and its time, the 95th percentile
// of the period's rows (of the latest 131,072 rows, all the report keeps), and the
// octets moved.
const KEPT = 131072;
function legendOf(list, g, dir) {
  const inPeriod = g.period === 'day' ? (t) => t > g.t0 && t <= g.t1 : (t) => t >= g.t0 && t < g.t1;
  const lastBin = g.period === 'day' ? Infinity : Math.floor(list.at(-1).t / widths[g.period]) * widths[g.period];
  let octets = 0;
  let time = 0;
  let volume = 0;
  let max = -1;
  let maxT = 0;
  const rates = [];
  list.forEach((r, i) => {
    if (!inPeriod(r.t) || !(dir === 'in' ? r.hasIn : r.hasOut)) return;
    const bps = dir === 'in' ? r.bpsIn : r.bpsOut;
    const o = dir === 'in' ? r.octetsIn : r.octetsOut;
    volume += o;
    if (i >= list.length - KEPT) rates.push(bps);
    if (bps > max) {
      max = bps;
      maxT = r.t;
    }
    if (r.t < lastBin) {
      octets += o;
      time += r.ms;
    }
  });
  return { avg: (octets * 8000) / time, max, maxT, p95: p95(rates), volume };
}
function checkLegends(label, list, g) {
  for (const dir of ['in', 'out']) {
    const got = g.legend.find((l) => l.dir === dir);
    const want = legendOf(list, g, dir);
    if (!got) {
      fail(`${label} ${g.period}: no ${dir} legend`);
      continue;
    }
    if (Math.abs(+got.avg - want.avg) > Math.max(0.002, want.avg * 1e-9)) {
      fail(`${label} ${g.period} ${dir}: average ${got.avg}, the rows give ${want.avg}`);
    }
    for (const key of ['max', 'p95', 'volume']) {
      if (+got[key] !== want[key]) fail(`${label} ${g.period} ${dir}: ${key} ${got[key]}, the rows give ${want[key]}`);
    }
    if (+got.maxT !== want.maxT) fail(`${label} ${g.period} ${dir}: maximum at ${got.maxT}, the rows give ${want.maxT}`);
    const when = stamp(want.maxT).replace(/,\d\d,/, ' ').slice(0, 16);
    if (!got.text.includes(`at ${when}`)) fail(`${label} ${g.period} ${dir}: "${got.text}" does not say ${when}`);
  }
}

// ---- the checks ---------------------------------------------------------------------------------
// Eight files with rows (the twins' once, Spare has none): four graphs each.
if (dom.graphs !== 32) fail(`${dom.graphs} graphs, not 32`);
if (dom.sections !== 9) fail(`${dom.sections} sections, not 9 (the shared file once)`);
const sectionOf = (name) => dom.ifs[names.indexOf(name)];
for (const name of ['Core', 'Edge', 'WAN', 'LAN', 'Shared', 'DMZ', 'Lab']) {
  for (const g of sectionOf(name).graphs) checkLegends(name, exact[name], g);
}
if (!sectionOf('Shared').graphs[3].caption.includes('The 95th percentiles leave out the')) {
  fail('Shared, 400 days: the caption does not say the percentile leaves out the oldest rows');
}

// Time and value of each drawn point of one direction: [[t, v], ...] per line.
const points = (g, dir) => g[dir].map((line) => line.map(([x, y]) => [
  g.t0 + ((x - g.left) / g.width) * (g.t1 - g.t0), ((g.top + g.height - y) / g.height) * g.scale]));
const near = (g, a, b) => Math.abs(a - b) <= (0.06 * g.scale) / g.height + 1e-9; // 0.05 px of rounding
const edge = sectionOf('Edge');
// Edge's week: one point per 30-minute bin, its octets over its time, and the peak line.
{
  const g = edge.graphs[1];
  const bins = new Map();
  for (const r of exact.Edge) {
    if (r.t < g.t0 || r.t >= g.t1) continue;
    const key = Math.floor(r.t / 1800);
    const b = bins.get(key) || { o: 0, ms: 0, max: 0 };
    b.o += r.octetsIn;
    b.ms += r.ms;
    b.max = Math.max(b.max, r.bpsIn);
    bins.set(key, b);
  }
  const got = points(g, 'in').flat();
  if (got.length !== bins.size) fail(`Edge, 7 days: ${got.length} points, ${bins.size} bins hold rows`);
  for (const [t, v] of got) {
    const b = bins.get(Math.floor(t / 1800));
    if (!b) fail(`Edge, 7 days: a point at ${t} where no row is`);
    else if (!near(g, v, (b.o * 8000) / b.ms)) fail(`Edge, 7 days: ${v} at ${t}, the rows give ${(b.o * 8000) / b.ms}`);
  }
  const peaks = points({ ...g, in: g.peakIn }, 'in').flat();
  if (peaks.length !== bins.size) fail(`Edge, 7 days: ${peaks.length} peak points for ${bins.size} bins`);
  for (const [t, v] of peaks) {
    const b = bins.get(Math.floor(t / 1800));
    if (b && !near(g, v, b.max)) fail(`Edge, 7 days: peak ${v} at ${t}, the highest row is ${b.max}`);
  }
  if (g.soFar !== 2 || !g.caption.includes('so far')) fail('Edge, 7 days: the last bin is not drawn as "so far"');
  if (!g.caption.includes('(finished bins)')) fail('Edge, 7 days: the legend does not say what its average counts');
}
// Edge's 24 hours: one point per row of (last - 24 h, last].
{
  const g = edge.graphs[0];
  const want = exact.Edge.filter((r) => r.t > exact.Edge.at(-1).t - day);
  const got = points(g, 'in').flat();
  if (got.length !== want.length) fail(`Edge, 24 hours: ${got.length} points for ${want.length} rows`);
  got.forEach(([t, v], i) => {
    const r = want[i];
    if (r && (Math.abs(t - r.t) > 60 || !near(g, v, r.bpsIn))) fail(`Edge, 24 hours: point ${i} is ${v} at ${t}`);
  });
  if (!g.caption.includes('one point per row') || g.caption.includes('share a point')) {
    fail(`Edge, 24 hours: the caption says "${g.caption.slice(0, 80)}"`);
  }
  // The alert periods as bands where the log puts them.
  const down = g.bands.find((b) => b.cls.includes('down'));
  const above = g.bands.find((b) => b.cls.includes('above'));
  const x = (t) => g.left + ((t - g.t0) / (g.t1 - g.t0)) * g.width;
  if (!down || Math.abs(down.x - x(downFrom)) > 0.2 || Math.abs(down.w - (x(downFrom + 2400) - x(downFrom))) > 0.2) {
    fail(`Edge, 24 hours: the down band is ${JSON.stringify(down)}`);
  }
  if (!above || Math.abs(above.w - (x(aboveFrom + hour) - x(aboveFrom))) > 0.2) fail('Edge: no above band');
}
// The summary: Edge's 24 hours and its month so far.
{
  const inRow = dom.summary.find((r) => r.cls === 'in' && r.cells[0] === 'Edge');
  const made = new Date();
  const monthStart = Date.UTC(made.getFullYear(), made.getMonth(), 1) / 1000;
  const month = exact.Edge.filter((r) => r.t >= monthStart);
  const want = [month.reduce((s, r) => s + r.octetsIn, 0)];
  const dayRows = exact.Edge.filter((r) => r.t > exact.Edge.at(-1).t - day);
  want.unshift(dayRows.reduce((s, r) => s + r.octetsIn, 0));
  if (!inRow || JSON.stringify(inRow.bytes) !== JSON.stringify(want)) {
    fail(`Edge's summary gives volumes ${inRow && inRow.bytes}, the rows give ${want}`);
  }
  if (inRow && !/Mbit\/s\d+ %/.test(inRow.cells[3])) fail(`Edge's summary "now" reads ${inRow.cells[3]}`);
}
// The speed change: the line steps from 100 Mbit/s to 1 Gbit/s in the month's graph, and the page says so.
{
  const core = sectionOf('Core');
  const g = core.graphs[2];
  const levels = new Set(points({ ...g, in: g.speed }, 'in').flat().map(([, v]) => Math.round(v / 1e7)));
  if (!levels.has(10) || !levels.has(100)) fail(`Core, 31 days: the speed line is at ${[...levels]} × 10 Mbit/s`);
  if (!core.text.includes('The link speed changed once')) fail('Core: the speed change is not told');
  if (!sectionOf('WAN').text.includes('vellary.cfg gives a link speed of 10 Mbit/s, the exact history\'s last row 20 Mbit/s')) {
    fail('WAN: the speed in vellary.cfg against the rows\' is not told');
  }
}
// The stopped monitor: no "now" figure, and when its last row was.
{
  const lab = dom.summary.find((r) => r.cls === 'in' && r.cells[0] === 'Lab');
  const when = stamp(exact.Lab.at(-1).t).replace(/,\d\d,/, ' ').slice(0, 16);
  if (!lab || !lab.cells.includes(`no rows since ${when}`)) fail(`Lab's summary reads ${lab && lab.cells}`);
  const edgeRow = dom.summary.find((r) => r.cls === 'in' && r.cells[0] === 'Edge');
  if (edgeRow.cells.some((c) => c.startsWith('no rows since'))) fail('Edge is taken for stopped');
}
// The shared file once, under both names; a direction not measured; the percent file.
if (sectionOf('Shared').title !== 'Shared + Shared') fail(`the shared file's title is ${sectionOf('Shared').title}`);
if (dom.ifs[5] && dom.ifs[5].id !== 'if5') fail('interface 6 has a section of its own');
{
  const dmzWeek = points(sectionOf('DMZ').graphs[1], 'out');
  if (dmzWeek.length < 2) fail('DMZ, 7 days: the day without Out is not a gap');
  const guestSection = sectionOf('Guest');
  if (!guestSection.graphs.every((g) => g.kind === 'pct')) fail('Guest has no exact history, yet is not drawn in %');
  const g = guestSection.graphs[1];
  const lastBin = Math.floor(g.t1 / 1800) - 1;
  const bins = new Map();
  for (const r of guest) {
    const key = Math.floor(r.t / 1800);
    if (r.t < g.t0 || r.t >= g.t1) continue;
    const b = bins.get(key) || { n: 0, s: 0 };
    b.n++;
    b.s += r.in;
    bins.set(key, b);
  }
  for (const [t, v] of points(g, 'in').flat()) {
    const b = bins.get(Math.floor(t / 1800));
    if (!b || !near(g, v, b.s / b.n)) fail(`Guest, 7 days: ${v} % at ${t}`);
  }
  let finished = 0;
  let n = 0;
  for (const [key, b] of bins) {
    if (key < lastBin) {
      finished += b.s;
      n += b.n;
    }
  }
  const legend = g.legend.find((l) => l.dir === 'in');
  if (Math.abs(+legend.avg - finished / n) > 0.001) fail(`Guest, 7 days: average ${legend.avg}, not ${finished / n}`);
}
// The gap, and the bad lines named by file and line (the header is line 1).
{
  const coreDay = points(sectionOf('Core').graphs[0], 'in');
  for (const line of coreDay) {
    for (let i = 1; i < line.length; i++) {
      if (line[i - 1][0] < coreGap[0] && line[i][0] >= coreGap[1] - 60) fail('Core, 24 hours: a line across the gap');
    }
  }
  const lanBad = sectionOf('LAN').bad.join('\n');
  for (const i of badAt) {
    if (!lanBad.includes(`LAN.exact.csv line ${(i + 2).toLocaleString('en')}:`)) fail(`LAN line ${i + 2} is not named`);
  }
}
// The alerts under the summary, newest first, and the garbage line named.
if (dom.alerts.length !== 4 || dom.alerts[0][2] !== 'normal' || dom.alerts[3][2] !== 'down') {
  fail(`the alerts table reads ${JSON.stringify(dom.alerts)}`);
}
if (!dom.alertNote) fail('the alert log\'s garbage line is not named');
// Screen readers: each graph says what it shows.
for (const s of dom.ifs.filter(Boolean)) {
  for (const g of s.graphs) {
    if (!g.title || g.title !== g.aria || !g.aria.startsWith(s.title.split(' + ')[0])) {
      fail(`${s.title} ${g.period}: title "${g.title}", aria-label "${g.aria}"`);
    }
  }
}
if (!dom.ifs.filter(Boolean).every((s) => s.graphs.every((g) => g.visible))) fail('a graph is narrower than 300 px');

// ---- no console errors, and pictures -----------------------------------------------------------
const errors = events.filter((m) => m.sessionId === sessionId && (m.method === 'Runtime.exceptionThrown' ||
  (m.method === 'Runtime.consoleAPICalled' && m.params.type === 'error') ||
  (m.method === 'Log.entryAdded' && m.params.entry.level === 'error')));
for (const e of errors) fail(`console: ${JSON.stringify(e.params).slice(0, 300)}`);

fs.mkdirSync(artefacts, { recursive: true });
const shoot = async (file, width, height) => {
  const shot = await cmd('Page.captureScreenshot', { format: 'png', clip: { x: 0, y: 0, width, height, scale: 1 },
    captureBeyondViewport: true });
  fs.writeFileSync(path.join(artefacts, file), Buffer.from(shot.data, 'base64'));
  console.log(`screenshot: ${path.join(artefacts, file)}`);
};
await viewport(1280, 900);
await shoot('report-browser.png', 1280, Math.min(dom.height, 6000));

// A phone: the page is as wide as the screen, the summary table scrolls by itself.
await viewport(400, 800, true);
const phone = await evaluate(`(() => { const s = document.querySelector('.scroll');
  return { page: document.documentElement.scrollWidth, body: document.body.scrollWidth,
    table: s.scrollWidth, box: s.clientWidth, graph: document.querySelector('svg.graph').getBoundingClientRect().width,
    height: document.documentElement.scrollHeight }; })()`);
console.log(`at 400 px: page ${phone.page} px wide, summary ${phone.table} px in a box of ${phone.box} px, ` +
  `graphs ${phone.graph.toFixed(0)} px`);
if (phone.page > 400 || phone.body > 400) fail(`at 400 px the page scrolls sideways: ${phone.page} px wide`);
if (phone.table <= phone.box) fail('at 400 px the summary table does not scroll in its box');
if (phone.graph > 400) fail(`at 400 px a graph is ${phone.graph} px wide`);
await shoot('report-phone.png', 400, Math.min(phone.height, 3000));

// Printed: no date wraps, and each figure stays whole with its caption.
await cmd('Emulation.setEmulatedMedia', { media: 'print' });
await viewport(794, 1123);
const printed = await evaluate(`(() => ({
  wrapped: [...document.querySelectorAll('.d')].filter((e) => e.getClientRects().length > 1).map((e) => e.textContent),
  avoid: getComputedStyle(document.querySelector('figure')).breakInside,
  captions: getComputedStyle(document.querySelector('figcaption')).breakAfter }))()`);
if (printed.wrapped.length) fail(`printed, dates wrap: ${printed.wrapped.slice(0, 3)}`);
if (printed.avoid !== 'avoid' || printed.captions !== 'avoid') fail(`printed, figures may split: ${JSON.stringify(printed)}`);
await shoot('report-print.png', 794, 1123);
await cmd('Emulation.setEmulatedMedia', { media: '' });
const pdf = await cmd('Page.printToPDF', { printBackground: true, pageRanges: '1-3' });
fs.writeFileSync(path.join(artefacts, 'report-print.pdf'), Buffer.from(pdf.data, 'base64'));
console.log(`printed: ${path.join(artefacts, 'report-print.pdf')}`);
ws.close();

if (failures.length) process.exit(1);
console.log(`report in Chromium: PASSED (${dom.graphs} graphs)`);
process.exit(0);
