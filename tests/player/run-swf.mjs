// Runs SWF movies in a browser Flash player (Ruffle in headless Chromium) and prints what
// each movie traced, for the oracle tests.
//
//   node run-swf.mjs [--time MS] [--quiet MS] [--until TEXT] [--jobs N] [--shot DIR]
//                    [--click X,Y] movie.swf...
//
// Each movie plays in a fresh tab until it traces TEXT (when --until is given), until no new
// trace arrived for --quiet ms after the first one, or until --time ms have passed. With
// --shot, the 550 x 400 stage is then saved as DIR/<n>.png (n the movie's place in the list,
// drawn by the WebGL renderer); with --click, the stage is then clicked at X,Y (pixels) and
// the traces of the next second are kept too. Output, per movie in the order given:
//   #movie <path>
//   #meta width=<px> height=<px> frameRate=<fps> numFrames=<n> swfVersion=<v>
//   #shot <png path>     (with --shot)
//   #trace <text>        (one per trace; '\' is written '\\' and a line feed '\n')
//   #error <text>        (load failure or player panic)
//   #end
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import os from 'node:os';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const ruffleDir = path.join(here, 'node_modules', '@ruffle-rs', 'ruffle');

const opts = { time: 8000, quiet: 1500, until: null, jobs: 4, shot: null, click: null, movies: [] };
const argv = process.argv.slice(2);
for (let i = 0; i < argv.length; i++) {
  const a = argv[i];
  if (a === '--time') opts.time = Number(argv[++i]);
  else if (a === '--quiet') opts.quiet = Number(argv[++i]);
  else if (a === '--until') opts.until = argv[++i];
  else if (a === '--jobs') opts.jobs = Math.max(1, Number(argv[++i]));
  else if (a === '--shot') opts.shot = path.resolve(argv[++i]);
  else if (a === '--click') opts.click = argv[++i].split(',').map(Number);
  else opts.movies.push(path.resolve(a));
}
if (opts.movies.length === 0) {
  console.error('usage: node run-swf.mjs [--time MS] [--quiet MS] [--until TEXT] [--jobs N] movie.swf...');
  process.exit(2);
}

const page = `<!doctype html><html><head><meta charset="utf-8">
<script>window.RufflePlayer = window.RufflePlayer || {};
window.RufflePlayer.config = { autoplay: 'on', unmuteOverlay: 'hidden', splashScreen: false,
  preferredRenderer: '${opts.shot ? 'webgl' : 'canvas'}', allowScriptAccess: true, logLevel: 'warn', publicPath: '/ruffle/',
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
  if (url.startsWith('/ruffle/')) {
    file = path.join(ruffleDir, path.basename(url));
  } else if (url.startsWith('/movie/')) {
    const n = Number(path.basename(url, '.swf'));
    if (Number.isInteger(n) && n >= 0 && n < opts.movies.length) file = opts.movies[n];
  }
  if (!file || !fs.existsSync(file)) {
    res.writeHead(404);
    return res.end();
  }
  const type = types[path.extname(file)] || 'application/x-shockwave-flash';
  res.writeHead(200, { 'content-type': type });
  fs.createReadStream(file).pipe(res);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const base = `http://127.0.0.1:${server.address().port}`;

const userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'brivane-player-'));
const context = await chromium.launchPersistentContext(userDataDir, {
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--proxy-server=http://127.0.0.1:9', '--autoplay-policy=no-user-gesture-required',
    '--mute-audio'],
});

async function runMovie(index) {
  const result = { movie: opts.movies[index], meta: null, shot: null, traces: [], errors: [] };
  const tab = await context.newPage();
  tab.on('pageerror', (e) => result.errors.push(`page error: ${e.message}`));
  tab.on('console', (m) => {
    const t = m.text();
    if (/panic/i.test(t)) result.errors.push(`player: ${t}`);
  });
  await tab.exposeFunction('__trace', (t) => result.traces.push(t));
  try {
    await tab.goto(`${base}/`, { waitUntil: 'load' });
    const meta = await tab.evaluate(async ({ url, time }) => {
      const player = window.RufflePlayer.newest().createPlayer();
      player.style.width = '550px';
      player.style.height = '400px';
      document.getElementById('stage').appendChild(player);
      const loaded = new Promise((resolve, reject) => {
        player.addEventListener('loadedmetadata', () => {
          player.traceObserver = (msg) => window.__trace(String(msg));
          resolve(player.metadata);
        });
        player.addEventListener('loadeddata', () => {});
        setTimeout(() => reject(new Error('movie did not load')), time);
      });
      player.load({ url, autoplay: 'on', allowScriptAccess: true, unmuteOverlay: 'hidden' });
      const m = await loaded;
      return { width: m.width, height: m.height, frameRate: m.frameRate,
               numFrames: m.numFrames, swfVersion: m.swfVersion };
    }, { url: `${base}/movie/${index}.swf`, time: opts.time });
    result.meta = meta;
    const started = Date.now();
    let lastCount = -1;
    let lastChange = Date.now();
    for (;;) {
      await tab.waitForTimeout(50);
      const now = Date.now();
      if (result.traces.length !== lastCount) {
        lastCount = result.traces.length;
        lastChange = now;
      }
      if (opts.until !== null && result.traces.includes(opts.until)) break;
      if (opts.until === null && lastCount > 0 && now - lastChange >= opts.quiet) break;
      if (now - started >= opts.time) break;
      if (result.errors.length) break;
    }
    if (opts.shot && !result.errors.length) {
      // A few more frames, so that what the last frame placed has been drawn.
      await tab.waitForTimeout(500);
      const file = path.join(opts.shot, `${index}.png`);
      await tab.screenshot({ path: file, clip: { x: 0, y: 0, width: 550, height: 400 } });
      result.shot = file;
    }
    if (opts.click && !result.errors.length) {
      await tab.mouse.click(opts.click[0], opts.click[1]);
      await tab.waitForTimeout(1000);
    }
  } catch (e) {
    result.errors.push(String(e && e.message ? e.message : e));
  }
  await tab.close().catch(() => {});
  return result;
}

const results = new Array(opts.movies.length);
let next = 0;
async function worker() {
  while (next < opts.movies.length) {
    const i = next++;
    results[i] = await runMovie(i);
  }
}
await Promise.all(Array.from({ length: Math.min(opts.jobs, opts.movies.length) }, worker));

const esc = (s) => s.replace(/\\/g, '\\\\').replace(/\n/g, '\\n').replace(/\r/g, '\\r');
let out = '';
for (const r of results) {
  out += `#movie ${r.movie}\n`;
  if (r.meta) {
    out += `#meta width=${r.meta.width} height=${r.meta.height} frameRate=${r.meta.frameRate} ` +
           `numFrames=${r.meta.numFrames} swfVersion=${r.meta.swfVersion}\n`;
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
