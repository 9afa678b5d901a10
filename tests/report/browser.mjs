// The report in a real browser: Debian's headless Chromium loads a page made from
// 400 days of generated history (ten interfaces, gaps, a clock set back, bad rows,
// a shared file, a missing one), and the DOM it rendered is read back over the
// DevTools protocol: the graphs, the points of two graphs against averages worked
// out here from the rows, the gap, the bad rows named, no console error. Leaves a
// screenshot of the page in the artefact folder.
//
// node --experimental-websocket browser.mjs <vellary-report> <artefact folder>
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import process from 'node:process';
import { HEADER, fileText, localSeconds, rowText, rows } from './history.mjs';

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
  fail('the test did not finish within 90 s');
  process.exit(1);
}, 90000).unref();

// ---- the history ------------------------------------------------------------------
const end = localSeconds(2026, 11, 3, 12, 0, 0);
const start = end - 400 * 86400;
const hour = 3600;
const day = 86400;
const names = ['Core', 'Edge', 'WAN', 'LAN', 'Shared', 'Shared', 'DMZ', 'Lab', 'Spare', 'Guest'];
const speeds = [1e9, 1e8, 1e7, 1e8, 1e9, 1e9, 1e8, 1e9, 1e8, 1e7];
const series = {}; // file name -> rows in file order
const take = (opts, keep = () => true) => [...rows({ start, end, ...opts })].filter((r) => keep(r.t));

// Core: three hours without a row in the last 24, and two days twenty days back.
const coreGap = [end - 10 * hour, end - 7 * hour];
series.Core = take({ seed: 1, level: 60 }, (t) => !(t >= coreGap[0] && t < coreGap[1]) &&
  !(t >= end - 20 * day && t < end - 18 * day));
series.Edge = take({ seed: 2, level: 45 });
// WAN: the clock set back an hour at 03:00, 9 hours before the end: 02:00 to 02:55 twice.
const back = end - 9 * hour;
series.WAN = take({ seed: 3, level: 35 }, (t) => t < back);
series.WAN.push(...take({ seed: 33, level: 35 }, (t) => t >= back - hour));
// LAN: a spreadsheet touched it; the lines are strings from here on.
const lanRows = take({ seed: 4, level: 50 });
const lan = lanRows.map(rowText);
const badAt = [1000, 5000, 5001, 90000];
lan[badAt[0]] = lan[badAt[0]].replace(/^(\d\d)-(\d\d)-(\d{4})/, '$1/$2/$3');
lan[badAt[1]] = lan[badAt[1]].replaceAll(',', ';');
lan[badAt[2]] = '';
lan[badAt[3]] = HEADER;
lan.push('03-11-2026,12,12:0'); // cut short while the monitor wrote it
// Shared: two interfaces of one name, their rows interleaved as the monitor writes
// them, the second a few seconds after the first in each cycle.
const twinA = take({ seed: 5, level: 20 });
const twinB = take({ seed: 6, level: 70 });
series.Shared = twinA.flatMap((r, i) => [r, { ...twinB[i], t: r.t + 3 }]);
// DMZ: a busy last week, above 100 % at times.
series.DMZ = take({ seed: 7, level: 40 }).map((r) =>
  r.t > end - 7 * day && (r.t % day) > 10 * hour && (r.t % day) < 11 * hour ? { ...r, in: 120 + (r.in % 20) } : r);
series.Lab = take({ seed: 8, level: 30 }, (t) => t > end - 3 * day);
series.Guest = take({ seed: 10, level: 15 });

const cfgLine = (name, speed) =>
  `${name},192.0.2.${names.indexOf(name) + 1},public,${speed},1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1,\r\n`;
fs.writeFileSync(path.join(work, 'vellary.cfg'), names.map((n, i) => cfgLine(n, speeds[i])).join(''));
const write = (name, lines) => fs.writeFileSync(path.join(work, `${name}.csv`), fileText(lines));
for (const [name, list] of Object.entries(series)) write(name, list.map(rowText));
write('LAN', lan);

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
await cmd('Page.enable');
await cmd('Runtime.enable');
await cmd('Log.enable');
await cmd('Emulation.setDeviceMetricsOverride', { width: 1340, height: 900, deviceScaleFactor: 1, mobile: false });
await cmd('Page.navigate', { url: `file://${page}` });
await until((m) => m.method === 'Page.loadEventFired' && m.sessionId === sessionId);

// Everything the checks need, read from the rendered DOM in one go.
const { result } = await cmd('Runtime.evaluate', {
  returnByValue: true,
  expression: `(() => {
    const graph = (svg) => {
      const [left, top, width, height] = svg.dataset.plot.split(' ').map(Number);
      const shape = (cls) => [...svg.querySelectorAll('.' + cls)].filter((e) => e.tagName !== 'path').map((e) =>
        e.tagName === 'circle' ? [[+e.getAttribute('cx'), +e.getAttribute('cy')]]
          : e.getAttribute('points').split(' ').map((p) => p.split(',').map(Number)));
      return { period: svg.dataset.period, t0: +svg.dataset.t0, t1: +svg.dataset.t1, scale: +svg.dataset.scale,
        left, top, width, height, in: shape('in'), out: shape('out'),
        visible: svg.getBoundingClientRect().width > 300 };
    };
    const section = (id) => {
      const s = document.getElementById(id);
      return { title: s.querySelector('h2').textContent, text: s.textContent,
        graphs: [...s.querySelectorAll('svg.graph')].map(graph),
        bad: [...s.querySelectorAll('ul.bad li')].map((li) => li.textContent) };
    };
    return { graphs: document.querySelectorAll('svg.graph').length,
      summary: [...document.querySelectorAll('table.summary tbody tr')].map((tr) =>
        [...tr.cells].map((td) => td.textContent)),
      sections: Array.from({ length: 10 }, (_, i) => section('if' + (i + 1))),
      height: document.documentElement.scrollHeight };
  })()`,
});
const dom = result.value;

// ---- the checks ---------------------------------------------------------------------------------
if (dom.graphs !== 4 * 8) fail(`${dom.graphs} graphs, not 32 (eight files with rows)`);
const periods = { day: 0, week: 1800, month: 7200, year: day };
// Time and value of each drawn point of one direction: [[t, v], ...] per line.
const points = (g, dir) => g[dir].map((line) => line.map(([x, y]) => [
  g.t0 + ((x - g.left) / g.width) * (g.t1 - g.t0), ((g.top + g.height - y) / g.height) * g.scale]));
const near = (g, a, b) => Math.abs(a - b) <= (0.06 * g.scale) / g.height + 1e-9; // 0.05 px of rounding

// The averages of the bins of one period, from the rows.
function expected(list, width, graphEnd) {
  const lastKey = Math.floor(graphEnd / width);
  const bins = new Map();
  for (const r of list) {
    const key = Math.floor(r.t / width);
    if (key > lastKey - (width === 1800 ? 336 : width === 7200 ? 372 : 400) && key <= lastKey) {
      const b = bins.get(key) || { n: 0, in: 0, out: 0 };
      b.n++;
      b.in += r.in;
      b.out += r.out;
      bins.set(key, b);
    }
  }
  return bins;
}
function compareBins(label, g, list) {
  const width = periods[g.period];
  const want = expected(list, width, list[list.length - 1].t);
  for (const dir of ['in', 'out']) {
    const got = points(g, dir).flat();
    if (got.length !== want.size) fail(`${label} ${dir}: ${got.length} points, ${want.size} bins hold rows`);
    for (const [t, v] of got) {
      const b = want.get(Math.floor(t / width));
      if (!b) fail(`${label} ${dir}: a point at ${t} where no row is`);
      else if (!near(g, v, b[dir] / b.n)) fail(`${label} ${dir}: ${v.toFixed(2)} at ${t}, the rows give ${b[dir] / b.n}`);
    }
  }
}
const edge = dom.sections[1];
compareBins('Edge, 7 days', edge.graphs[1], series.Edge);
compareBins('Edge, 400 days', edge.graphs[3], series.Edge);
// One point per row over the 24 hours up to the last row.
const lastDay = (list) => list.filter((r) => r.t >= list.at(-1).t - day);
const edgeDay = points(edge.graphs[0], 'in').flat();
const edgeRows = lastDay(series.Edge);
if (edgeDay.length !== edgeRows.length) fail(`Edge, 24 hours: ${edgeDay.length} points for ${edgeRows.length} rows`);
edgeDay.forEach(([t, v], i) => {
  const r = edgeRows[i];
  if (r && (Math.abs(t - r.t) > 60 || !near(edge.graphs[0], v, r.in))) fail(`Edge, 24 hours: point ${i} is ${v} at ${t}`);
});
// The summary: now, average and maximum of the last 24 hours.
const avg = (list, dir) => list.reduce((s, r) => s + r[dir], 0) / list.length;
const edgeSummary = dom.summary[1].slice(2, 8).map(Number);
const wantSummary = [edgeRows.at(-1).in, avg(edgeRows, 'in'), Math.max(...edgeRows.map((r) => r.in)),
  edgeRows.at(-1).out, avg(edgeRows, 'out'), Math.max(...edgeRows.map((r) => r.out))];
if (!wantSummary.every((v, i) => Math.abs(v - edgeSummary[i]) <= 0.05 + 1e-9)) {
  fail(`Edge's summary reads ${edgeSummary.join(' ')}, the rows give ${wantSummary.join(' ')}`);
}

// The gap: more than one line, and none drawn across the three hours.
const coreDay = dom.sections[0].graphs[0];
const coreLines = points(coreDay, 'in');
if (coreLines.length < 2) fail(`Core, 24 hours: ${coreLines.length} line(s) across a 3-hour gap`);
for (const line of coreLines) {
  for (let i = 1; i < line.length; i++) {
    if (line[i - 1][0] < coreGap[0] && line[i][0] >= coreGap[1] - 60) fail('Core, 24 hours: a line across the gap');
  }
}
const coreWeek = points(dom.sections[0].graphs[1], 'in');
if (coreWeek.length < 2) fail('Core, 7 days: the 3-hour gap is not drawn as one');
// The bad rows, named by file and line (the header is line 1, the first row line 2).
const lanBad = dom.sections[3].bad.join('\n');
for (const i of badAt) {
  if (!lanBad.includes(`LAN.csv line ${(i + 2).toLocaleString('en')}:`)) fail(`LAN.csv line ${i + 2} is not named`);
}
if (!lanBad.includes(`LAN.csv line ${(lan.length + 1).toLocaleString('en')}: 03-11-2026,12,12:0`)) {
  fail('the cut-short last line is not named');
}
if (!dom.sections[3].text.includes('5 lines could not be read')) fail('LAN: the bad lines are not counted');
if (dom.sections[6].graphs[0].scale !== 150) fail(`DMZ's scale tops at ${dom.sections[6].graphs[0].scale}, not 150`);
if (dom.sections[6].graphs[3].scale !== 100) fail("DMZ's daily averages need no more than 100 %");
if (!dom.sections.every((s) => s.graphs.every((g) => g.visible))) fail('a graph is drawn narrower than 300 px');

// ---- no console errors, and a picture ----------------------------------------------------------------
const errors = events.filter((m) => m.sessionId === sessionId && (m.method === 'Runtime.exceptionThrown' ||
  (m.method === 'Runtime.consoleAPICalled' && m.params.type === 'error') ||
  (m.method === 'Log.entryAdded' && m.params.entry.level === 'error')));
for (const e of errors) fail(`console: ${JSON.stringify(e.params).slice(0, 300)}`);

await cmd('Emulation.setDeviceMetricsOverride', { width: 1340, height: dom.height, deviceScaleFactor: 1,
  mobile: false });
const shot = await cmd('Page.captureScreenshot', { format: 'png' });
fs.mkdirSync(artefacts, { recursive: true });
fs.writeFileSync(path.join(artefacts, 'report-browser.png'), Buffer.from(shot.data, 'base64'));
console.log(`screenshot: ${path.join(artefacts, 'report-browser.png')}`);
ws.close();

if (failures.length) process.exit(1);
console.log(`report in Chromium: PASSED (${dom.graphs} graphs)`);
process.exit(0);
