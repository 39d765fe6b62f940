// Runs SWF movies in a browser Flash player (Ruffle in headless Chromium) and prints what
// each movie traced, for the oracle tests.
//
//   node run-swf.mjs [--time MS] [--frames N] [--quiet N] [--until TEXT] [--count N]
//                    [--jobs N] [--shot DIR] [--click X,Y] movie.swf...
//
// The movies' frames do not follow the clock: the page's requestAnimationFrame is driven
// from here, one frame interval of the movie's own frame rate at a time, and the next frame
// is only played once the page has no network request open. So a movie plays the same
// frames, and loads what it loads between the same two frames, however busy the machine is.
//
// Each movie plays in a fresh tab until it traces TEXT (--until), or until it has traced N
// lines (--count; a negative N: no count) and then --quiet frames (default 12) passed without
// a further trace, or, with neither, until --quiet frames passed without a trace after the
// first one; at most --frames frames (default 240). --time (default 120000 ms) bounds the
// real time a movie may take from its tab's opening, load included: a movie that needs
// longer gets an #error. With --shot, the 550 x 400 stage is then saved as DIR/<n>.png (n the
// movie's place in the list, drawn by the WebGL renderer); with --click, the stage is then
// clicked at X,Y (pixels) and the movie plays on until it has traced --count lines in all
// and --quiet frames more, or else for --quiet frames. Options apply to the movies that
// follow them, so --count can differ from movie to movie.
// Output, per movie in the order given:
//   #movie <path>
//   #meta width=<px> height=<px> frameRate=<fps> numFrames=<n> swfVersion=<v>
//   #frames <n>          (frames played)
//   #shot <png path>     (with --shot)
//   #trace <text>        (one per trace; '\' is written '\\' and a line feed '\n')
//   #error <text>        (load failure, player panic, time limit)
//   #end
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import os from 'node:os';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const ruffleDir = path.join(here, 'node_modules', '@ruffle-rs', 'ruffle');

const usage = 'usage: node run-swf.mjs [--time MS] [--frames N] [--quiet N] [--until TEXT] ' +
  '[--count N] [--jobs N] [--shot DIR] [--click X,Y] movie.swf...';
const current = { time: 120000, frames: 240, quiet: 12, until: null, count: null, click: null };
let jobs = 4;
let shotDir = null;
const movies = [];  // { file, options }
const argv = process.argv.slice(2);
const number = (a, v) => {
  const n = Number(v);
  if (!Number.isFinite(n) || n < 0) {
    console.error(`${a} needs a number: ${v}\n${usage}`);
    process.exit(2);
  }
  return n;
};
for (let i = 0; i < argv.length; i++) {
  const a = argv[i];
  if (a === '--time') current.time = number(a, argv[++i]);
  else if (a === '--frames') current.frames = number(a, argv[++i]);
  else if (a === '--quiet') current.quiet = number(a, argv[++i]);
  else if (a === '--until') current.until = argv[++i];
  else if (a === '--count') current.count = Number(argv[++i]) < 0 ? null : number(a, argv[i]);
  else if (a === '--jobs') jobs = Math.max(1, number(a, argv[++i]));
  else if (a === '--shot') shotDir = path.resolve(argv[++i]);
  else if (a === '--click') current.click = argv[++i].split(',').map(Number);
  else movies.push({ file: path.resolve(a), options: { ...current } });
}
if (movies.length === 0) {
  console.error(usage);
  process.exit(2);
}

// requestAnimationFrame only queues its callbacks; __step(dt) runs them with a timestamp dt
// later than the last one and tells how many ran. Movie traces are kept in the page, in the
// order the player made them.
const page = `<!doctype html><html><head><meta charset="utf-8">
<script>(() => {
  let queue = [], nextId = 1, now = 0;
  window.requestAnimationFrame = (callback) => { queue.push({ id: nextId, callback }); return nextId++; };
  window.cancelAnimationFrame = (id) => { queue = queue.filter((q) => q.id !== id); };
  window.__step = (dt) => {
    now += dt;
    const due = queue;
    queue = [];
    for (const q of due) q.callback(now);
    return due.length;
  };
  window.__traces = [];
})();
window.RufflePlayer = window.RufflePlayer || {};
window.RufflePlayer.config = { autoplay: 'on', unmuteOverlay: 'hidden', splashScreen: false,
  preferredRenderer: '${shotDir ? 'webgl' : 'canvas'}', allowScriptAccess: true, logLevel: 'warn', publicPath: '/ruffle/',
  polyfills: false, warnOnUnsupportedContent: false, openUrlMode: 'deny', showSwfDownload: false,
  contextMenu: 'off' };</script>
<script src="/ruffle/ruffle.js"></script></head>
<body style="margin:0"><div id="stage"></div></body></html>`;

const types = { '.js': 'text/javascript', '.wasm': 'application/wasm', '.map': 'application/json' };
const server = http.createServer((req, res) => {
  const url = decodeURIComponent(req.url.split('?')[0]);
  if (url === '/' || url === '/index.html') {
    res.writeHead(200, { 'content-type': 'text/html' });
    return res.end(page);
  }
  let file = null;
  let headers = {};
  if (url.startsWith('/ruffle/')) {
    file = path.join(ruffleDir, path.basename(url));
    // The player's files do not change during a run: cached, the browser compiles its
    // WebAssembly once instead of once per tab.
    headers = { 'cache-control': 'max-age=3600' };
  } else if (url.startsWith('/movie/')) {
    const n = Number(path.basename(url, '.swf'));
    if (Number.isInteger(n) && n >= 0 && n < movies.length) file = movies[n].file;
  }
  if (!file || !fs.existsSync(file)) {
    res.writeHead(404);
    return res.end();
  }
  const type = types[path.extname(file)] || 'application/x-shockwave-flash';
  res.writeHead(200, { 'content-type': type, ...headers });
  fs.createReadStream(file).pipe(res);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const base = `http://127.0.0.1:${server.address().port}`;

// A busy machine can make the browser's start miss its time limit: try it again, in a
// fresh profile folder each time. Only the start is tried again, never a movie.
let userDataDir = null;
let context = null;
for (let attempt = 1; !context; attempt++) {
  userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'brivane-player-'));
  try {
    context = await chromium.launchPersistentContext(userDataDir, {
      executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
      headless: true,
      timeout: 120000,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync',
        '--proxy-server=http://127.0.0.1:9', '--autoplay-policy=no-user-gesture-required',
        '--mute-audio'],
    });
  } catch (e) {
    fs.rmSync(userDataDir, { recursive: true, force: true });
    console.error(`the browser did not start (attempt ${attempt}): ${e && e.message ? e.message : e}`);
    if (attempt >= 3) {
      server.close();
      process.exit(1);
    }
  }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function runMovie(index) {
  const { options } = movies[index];
  const result = { movie: movies[index].file, meta: null, frames: 0, shot: null, traces: [], errors: [] };
  const deadline = Date.now() + options.time;
  const left = () => Math.max(1, deadline - Date.now());
  const timedOut = () => new Error(`timed out after ${options.time} ms, ${result.frames} frames played`);
  const tab = await context.newPage();
  let open = 0;  // network requests of the tab that have not finished
  tab.on('request', () => open++);
  tab.on('requestfinished', () => open--);
  tab.on('requestfailed', () => open--);
  tab.on('pageerror', (e) => result.errors.push(`page error: ${e.message}`));
  tab.on('console', (m) => {
    const t = m.text();
    if (/panic/i.test(t)) result.errors.push(`player: ${t}`);
  });
  tab.setDefaultTimeout(options.time);

  // Waits until the page has no request open and has handled what the answers started.
  const settle = async () => {
    while (open > 0) {
      if (Date.now() >= deadline) throw timedOut();
      await sleep(5);
    }
    await tab.evaluate(() => new Promise((resolve) => setTimeout(resolve, 0)), undefined, { timeout: left() });
  };
  let interval = 1000 / 12;
  // Plays frames until stop(traces so far, frames since the last new trace) holds, until the
  // --until line has been traced (with `until`), or for `limit` frames.
  const play = async ({ stop = () => false, until = null, limit = options.frames }) => {
    let count = await tab.evaluate(() => window.__traces.length);
    let quiet = 0;
    for (let step = 0; step < limit && !result.errors.length && !stop(count, quiet); step++) {
      if (Date.now() >= deadline) throw timedOut();
      await settle();
      const now = await tab.evaluate(({ dt, until }) => ({
        ran: window.__step(dt), count: window.__traces.length,
        seen: until !== null && window.__traces.includes(until),
      }), { dt: interval, until });
      if (now.ran > 0) result.frames++;
      quiet = now.count === count ? quiet + 1 : 0;
      count = now.count;
      if (now.seen) break;
    }
  };
  // After the first trace (or the --count-th), --quiet frames without a new one.
  const done = (least) => (n, quiet) => quiet >= options.quiet && n >= least;

  try {
    await tab.goto(`${base}/`, { waitUntil: 'load', timeout: left() });
    const meta = await tab.evaluate(async ({ url }) => {
      const player = window.RufflePlayer.newest().createPlayer();
      player.style.width = '550px';
      player.style.height = '400px';
      document.getElementById('stage').appendChild(player);
      const loaded = new Promise((resolve) => {
        player.addEventListener('loadedmetadata', () => {
          player.traceObserver = (msg) => window.__traces.push(String(msg));
          resolve(player.metadata);
        });
      });
      player.load({ url, autoplay: 'on', allowScriptAccess: true, unmuteOverlay: 'hidden' });
      const m = await loaded;
      return { width: m.width, height: m.height, frameRate: m.frameRate,
               numFrames: m.numFrames, swfVersion: m.swfVersion };
    }, { url: `${base}/movie/${index}.swf` }).catch((e) => {
      throw Date.now() >= deadline ? new Error(`the movie did not load within ${options.time} ms`) : e;
    });
    result.meta = meta;
    // A step a little longer than the movie's frame interval and exactly representable, so
    // that each step plays exactly one frame.
    if (meta.frameRate > 0) interval = Math.ceil((1000 / meta.frameRate) * 1024) / 1024;

    if (options.until !== null) await play({ until: options.until });
    else if (options.click) await play({ stop: done(1) });
    else await play({ stop: done(options.count === null ? 1 : options.count) });
    if (shotDir && !result.errors.length) {
      // Two more frames, so that what the last frame placed has been drawn.
      await play({ limit: 2 });
      const file = path.join(shotDir, `${index}.png`);
      await tab.screenshot({ path: file, clip: { x: 0, y: 0, width: 550, height: 400 }, timeout: left() });
      result.shot = file;
    }
    if (options.click && !result.errors.length) {
      await tab.mouse.click(options.click[0], options.click[1], { timeout: left() });
      await play({ stop: done(options.count === null ? 0 : options.count) });
    }
    await settle();
  } catch (e) {
    result.errors.push(String(e && e.message ? e.message : e));
  }
  result.traces = await tab.evaluate(() => window.__traces).catch(() => result.traces);
  await tab.close().catch(() => {});
  return result;
}

const results = new Array(movies.length);
let next = 0;
async function worker() {
  while (next < movies.length) {
    const i = next++;
    results[i] = await runMovie(i);
  }
}
await Promise.all(Array.from({ length: Math.min(jobs, movies.length) }, worker));

const esc = (s) => s.replace(/\\/g, '\\\\').replace(/\n/g, '\\n').replace(/\r/g, '\\r');
let out = '';
for (const r of results) {
  out += `#movie ${r.movie}\n`;
  if (r.meta) {
    out += `#meta width=${r.meta.width} height=${r.meta.height} frameRate=${r.meta.frameRate} ` +
           `numFrames=${r.meta.numFrames} swfVersion=${r.meta.swfVersion}\n`;
    out += `#frames ${r.frames}\n`;
  }
  if (r.shot) out += `#shot ${r.shot}\n`;
  for (const t of r.traces) out += `#trace ${esc(t)}\n`;
  for (const e of r.errors) out += `#error ${esc(e)}\n`;
  out += '#end\n';
}
process.stdout.write(out);
await context.close();
server.close();
fs.rmSync(userDataDir, { recursive: true, force: true });
