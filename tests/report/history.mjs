// Made-up history files in the monitor's exact format, for the report's tests, its
// benchmark and the demo. Times are local wall-clock seconds since 01-01-1970 taken
// as if that clock had no zone, as the files hold them.
//
// As a program: node history.mjs [--days N] [--seed S] [--exact [--speed BIT/S]] FILE...
//   writes N days (default 7) of 5-minute rows ending 5 minutes before now into
//   each FILE, a new file with its header, an existing one only when it has no rows;
//   with --exact also the exact history of the same rows beside it (NAME.exact.csv).
import fs from 'node:fs';
import process from 'node:process';

export const HEADER = 'Date,Hour,Time,% In,% Out';
export const EXACT_HEADER = 'Date,Time,UTC,Seconds,In octets,Out octets,bps In,bps Out,Speed';

// A small seeded generator (mulberry32): the same files on every run.
export function random(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

const two = (n) => String(n).padStart(2, '0');

// "dd-mm-yyyy,hh,hh:mm:ss" of local seconds.
export function stamp(t) {
  const d = new Date(t * 1000);
  const h = two(d.getUTCHours());
  return `${two(d.getUTCDate())}-${two(d.getUTCMonth() + 1)}-${d.getUTCFullYear()},${h},${h}:` +
    `${two(d.getUTCMinutes())}:${two(d.getUTCSeconds())}`;
}

export const localSeconds = (year, month, day, hour = 0, minute = 0, second = 0) =>
  Date.UTC(year, month - 1, day, hour, minute, second) / 1000;

// The local clock now, as local seconds.
export function nowLocal() {
  const d = new Date();
  return localSeconds(d.getFullYear(), d.getMonth() + 1, d.getDate(), d.getHours(), d.getMinutes(), d.getSeconds());
}

// Office-hours traffic: busy on working days, quiet at night and at weekends, with noise.
export function traffic(t, rnd, level) {
  const hour = (t % 86400) / 3600;
  const weekday = new Date(t * 1000).getUTCDay();
  const day = Math.max(0, Math.sin(((hour - 7) / 12) * Math.PI));
  const week = weekday === 0 || weekday === 6 ? 0.25 : 1;
  const base = level * (0.08 + 0.9 * day * week) * (0.8 + 0.4 * rnd());
  const inPct = Math.min(100, Math.round(base + (rnd() < 0.003 ? 40 * rnd() : 0)));
  const outPct = Math.min(100, Math.round(base * (0.35 + 0.25 * rnd())));
  return [inPct, outPct];
}

// Rows every period seconds (with the few seconds' jitter of a real cycle) from
// start to end: { t, in, out } in file order.
export function* rows({ start, end, period = 300, seed = 1, level = 50 }) {
  const rnd = random(seed);
  for (let t = start; t <= end; t += period) {
    const at = t + Math.floor(rnd() * 8);
    const [i, o] = traffic(at, rnd, level);
    yield { t: at, in: i, out: o };
  }
}

export const rowText = (r) => `${stamp(r.t)},${r.in},${r.out}`;

// The file's bytes: the header, then each line after a CR LF, no line break at the end.
export function fileText(lines, header = HEADER) {
  return [header, ...lines].join('\r\n');
}

// Rows as the monitor measures them: each cycle's octets over its milliseconds
// (300 s and a few ms of jitter), the bit rate as it works it out (octets * 8000
// / ms, truncated), and the percentages of NAME.csv from that rate. utcOffset is
// the local clock's lead on UTC in seconds; speed(t) the link speed of a row.
export function* exactRows({ start, end, period = 300, seed = 1, level = 50, speed = () => 1e8, utcOffset = 3600 }) {
  const rnd = random(seed);
  for (let t = start; t <= end; t += period) {
    const at = t + Math.floor(rnd() * 8);
    const [i, o] = traffic(at, rnd, level);
    const s = speed(at);
    const ms = period * 1000 + Math.floor(rnd() * 40) - 20;
    // Whole percentages with a little more, so the rates are not round.
    const octetsIn = Math.floor((((i + rnd()) / 100) * s * ms) / 8000);
    const octetsOut = Math.floor((((o + rnd()) / 100) * s * ms) / 8000);
    const bpsIn = Math.floor((octetsIn * 8000) / ms);
    const bpsOut = Math.floor((octetsOut * 8000) / ms);
    yield { t: at, utc: at - utcOffset, ms, octetsIn, octetsOut, bpsIn, bpsOut, speed: s, hasIn: true, hasOut: true,
      in: Math.floor((bpsIn * 100) / s), out: Math.floor((bpsOut * 100) / s) };
  }
}

const seconds = (ms) => `${Math.floor(ms / 1000)}.${String(ms % 1000).padStart(3, '0')}`;

// "dd-mm-yyyy,hh:mm:ss,utc,seconds,in octets,out octets,bps in,bps out,speed"; a
// direction without hasIn / hasOut has empty fields, and Seconds too when neither has.
export function exactRowText(r) {
  const d = stamp(r.t).split(',');
  const any = r.hasIn || r.hasOut;
  return `${d[0]},${d[2]},${r.utc},${any ? seconds(r.ms) : ''},${r.hasIn ? r.octetsIn : ''},` +
    `${r.hasOut ? r.octetsOut : ''},${r.hasIn ? r.bpsIn : ''},${r.hasOut ? r.bpsOut : ''},${r.speed}`;
}

// The same row in NAME.csv.
export const percentText = (r) => `${stamp(r.t)},${r.hasIn ? r.in : ''},${r.hasOut ? r.out : ''}`;

function main(args) {
  let days = 7;
  let seed = 1;
  let exact = false;
  let speed = 1e8;
  const files = [];
  for (let i = 0; i < args.length; i++) {
    if (args[i] === '--days') days = Number(args[++i]);
    else if (args[i] === '--seed') seed = Number(args[++i]);
    else if (args[i] === '--exact') exact = true;
    else if (args[i] === '--speed') speed = Number(args[++i]);
    else files.push(args[i]);
  }
  if (!files.length || !(days > 0) || !(speed > 0)) {
    console.error('usage: node history.mjs [--days N] [--seed S] [--exact [--speed BIT/S]] FILE...');
    process.exit(2);
  }
  const end = nowLocal() - 300;
  const utcOffset = -new Date().getTimezoneOffset() * 60;
  files.forEach((file, k) => {
    if (fs.existsSync(file) && fs.readFileSync(file, 'latin1').includes('\n')) return;
    const opts = { start: end - days * 86400, end, seed: seed + k, level: 30 + 15 * (k % 4) };
    if (!exact) {
      const lines = [];
      for (const r of rows(opts)) lines.push(rowText(r));
      fs.writeFileSync(file, fileText(lines), 'latin1');
      return;
    }
    const percent = [];
    const precise = [];
    for (const r of exactRows({ ...opts, utcOffset, speed: () => speed })) {
      percent.push(percentText(r));
      precise.push(exactRowText(r));
    }
    fs.writeFileSync(file, fileText(percent), 'latin1');
    fs.writeFileSync(file.replace(/\.csv$/i, '') + '.exact.csv', fileText(precise, EXACT_HEADER), 'latin1');
  });
}

if (process.argv[1] && import.meta.url === new URL(`file://${process.argv[1]}`).href) main(process.argv.slice(2));
