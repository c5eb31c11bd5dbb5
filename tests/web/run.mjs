// Drives the web pages of build/web in the system's Chromium, headless, through the
// DevTools protocol, and checks what they show on their canvas. Prints one line per
// check, the measured figures, and screenshots into build/web-test; exits with 1 when a
// check failed. Run by scripts/web_test.sh after scripts/web.sh.
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import vm from 'node:vm';

import puppeteer from 'puppeteer-core';

import {playerPicture} from './picture.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const web = path.join(root, 'build/web');
const shots = path.join(root, 'build/web-test');
fs.mkdirSync(shots, {recursive: true});
// The native build, whose programs say what the pages must show and write.
const release = path.join(root, 'build/release');
const native = (program, args) =>
  execFileSync(path.join(release, program), args, {encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe']});

const failures = [];
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures.push(what);
  return ok;
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// ---- A static server for build/web, counting what each page asks for -----------------

const types = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm'};
const requests = [];
const server = http.createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
  const file = path.join(web, path.normalize(name));
  requests.push(name);
  if (!file.startsWith(web) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream'});
  fs.createReadStream(file).pipe(response);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const base = `http://127.0.0.1:${server.address().port}/`;

// ---- The browser: Debian's Chromium, a fresh profile, nothing fetched from outside ----

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.QUORVEL_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});

// Opens a page and keeps what its console says.
async function open(file) {
  const page = await browser.newPage();
  await page.setViewport({width: 1024, height: 800});
  const console_ = {lines: [], errors: []};
  page.on('console', (message) => {
    if (message.type() === 'error') console_.errors.push(message.text());
    console_.lines.push(message.text());
  });
  page.on('pageerror', (error) => console_.errors.push(error.message));
  requests.length = 0;
  await page.goto(base + file);
  return {page, console: console_};
}

// The canvas as 640x480 RGBA bytes.
// RGBA pixels of the page's screen canvas or, given a PNG file's bytes, of that picture as
// the browser itself decodes it.
async function canvasPixels(page, png = null) {
  const text = await page.evaluate(async (pngBase64) => {
    let canvas = document.getElementById('screen');
    if (pngBase64) {
      const image = new Image();
      image.src = 'data:image/png;base64,' + pngBase64;
      await image.decode();
      canvas = document.createElement('canvas');
      canvas.width = image.width;
      canvas.height = image.height;
      canvas.getContext('2d').drawImage(image, 0, 0);
    }
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let s = '';
    for (let i = 0; i < data.length; i += 0x8000) {
      s += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
    }
    return btoa(s);
  }, png ? png.toString('base64') : null);
  return new Uint8Array(Buffer.from(text, 'base64'));
}

async function canvasSize(page) {
  return page.$eval('#screen', (c) => ({width: c.width, height: c.height}));
}

// Pixels of `a` and `b` that differ within the box (inclusive corners).
function differing(a, b, x1 = 0, y1 = 0, x2 = 639, y2 = 479) {
  let count = 0;
  for (let y = y1; y <= y2; ++y) {
    for (let x = x1; x <= x2; ++x) {
      const i = (y * 640 + x) * 4;
      if (a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2]) ++count;
    }
  }
  return count;
}

// Pixels within the box that are not black.
function lit(a, x1, y1, x2, y2) {
  let count = 0;
  for (let y = y1; y <= y2; ++y) {
    for (let x = x1; x <= x2; ++x) {
      const i = (y * 640 + x) * 4;
      if (a[i] || a[i + 1] || a[i + 2]) ++count;
    }
  }
  return count;
}

// Polls `test` on the canvas every `everyMs` until it holds or `timeoutMs` passed.
async function waitForCanvas(page, test, timeoutMs, everyMs = 100) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const pixels = await canvasPixels(page);
    if (test(pixels)) return pixels;
    if (Date.now() > end) return null;
    await sleep(everyMs);
  }
}

function loadedOnce(program) {
  const js = requests.filter((r) => r === `/${program}.js`).length;
  const wasm = requests.filter((r) => r === `/${program}.wasm`).length;
  return check(js === 1 && wasm === 1,
               `${program}: one request for the .js (${js}) and one for the .wasm (${wasm})`);
}

function noConsoleErrors(program, console_) {
  check(console_.errors.length === 0,
        `${program}: no errors on the page's console` +
        (console_.errors.length ? `: ${console_.errors.slice(0, 3).join(' | ')}` : ''));
}

// ---- Scaling: where a page shows its screen -------------------------------------------

// Where the page shows its screen: the area it measured for it (device pixels), the
// area's box, and each visible canvas's box, rendering and backing size.
function placement(page) {
  return page.evaluate(() => {
    const screen = Module.quorvelScreen;
    const box = (e) => { const r = e.getBoundingClientRect(); return {x: r.left, y: r.top, w: r.width, h: r.height}; };
    const main = document.querySelector('main');
    return {
      area: screen ? {w: screen.areaWidth, h: screen.areaHeight} : null,
      main: box(main),
      shown: [...main.querySelectorAll('canvas')].filter((c) => getComputedStyle(c).visibility !== 'hidden')
          .map((c) => ({...box(c), rendering: getComputedStyle(c).imageRendering, width: c.width, height: c.height})),
    };
  });
}

// Whether the page, at devicePixelRatio 1, shows a screen of `shape` under `policy` where
// the native presenter puts it in a window the size of the page's area: its canvas (the
// picture and the border grown by the same factors) from that box, on whole pixels, sharp
// at whole factors and smoothed otherwise. Polls for up to `timeoutMs`, as a change of
// scaling shows at the next frame. Returns {ok, text}.
async function placedAs(page, shape, policy, timeoutMs = 2000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const p = await placement(page);
    let ok = false, text = `no screen on the page (${JSON.stringify(p)})`;
    if (p.area) {
      const lines = native('tests/quorvel_web_place', [shape.width, shape.height, shape.pixelAspect,
                                                        shape.border, p.area.w, p.area.h].map(String));
      const [x, y, w, h] = lines.split('\n').find((l) => l.startsWith(policy + ' ')).split(' ').slice(1).map(Number);
      const bx = (shape.border * w) / shape.width, by = (shape.border * h) / shape.height;
      const want = {x: Math.round(p.main.x) + x - bx, y: Math.round(p.main.y) + y - by, w: w + 2 * bx, h: h + 2 * by};
      const whole = w % shape.width === 0 && h % shape.height === 0;
      const shown = p.shown.length === 1 ? p.shown[0] : null;
      ok = p.area.w === Math.floor(p.main.w) && p.area.h === Math.floor(p.main.h) && shown !== null &&
           ['x', 'y', 'w', 'h'].every((k) => shown[k] === want[k]) &&
           shown.rendering === (whole ? 'pixelated' : 'auto');
      text = `in ${p.area.w}x${p.area.h} the canvas shows at ${shown ? `${shown.w}x${shown.h} (${shown.rendering})` +
             ` at ${shown.x},${shown.y}` : `${p.shown.length} canvases`}, the native ${policy} ${w}x${h} at ` +
             `${x},${y} in the area, framed at ${want.x},${want.y} on the page`;
    }
    if (ok || Date.now() > end) return {ok, text};
    await sleep(50);
  }
}

// A screenshot of the page's box (x, y, w, h) at devicePixelRatio 1 as RGBA bytes.
async function shotPixels(page, box) {
  const png = await page.screenshot({clip: {x: box.x, y: box.y, width: box.w, height: box.h}});
  return canvasPixels(page, Buffer.from(png));
}

// ---- The demonstration program --------------------------------------------------------

// Text rows are 16 pixels high: row r (1-based) covers y 16(r-1) .. 16r-1.
const promptRow = {x1: 0, y1: 448, x2: 359, y2: 463};  // row 29, left of the bars
const bars = {x1: 360, y1: 250, x2: 615, y2: 460};

async function testDemo() {
  const program = 'quorvel-demo';
  const {page, console: console_} = await open(`${program}.html`);
  const golden = {
    rgba: await canvasPixels(page, fs.readFileSync(path.join(root, 'tests/data/first_test_screen.png'))),
  };

  // The first test screen, its prompt blinking on row 29: everything but that row is the
  // native program's golden frame.
  const started = Date.now();
  const outsidePrompt = (p) =>
    differing(p, golden.rgba) === differing(p, golden.rgba, promptRow.x1, promptRow.y1,
                                            promptRow.x2, promptRow.y2);
  let atPrompt = await waitForCanvas(page, outsidePrompt, 90000, 200);
  const titleSeconds = (Date.now() - started) / 1000;
  if (!check(atPrompt !== null, `demo: reaches the first test screen (${titleSeconds.toFixed(1)} s)`)) {
    await page.screenshot({path: path.join(shots, `${program}-stuck.png`)});
    return;
  }
  loadedOnce(program);
  // The prompt blinks (a quarter of a second shown, a quarter blank): catch it shown.
  atPrompt = await waitForCanvas(page, (p) => differing(p, golden.rgba) === 0, 2000, 20);
  check(atPrompt !== null, 'demo: "Press <SPACE> to test." shows on row 29 as in the native program');
  await page.screenshot({path: path.join(shots, `${program}.png`)});

  // Each bar x = 360 + i shows register i; untouched, the registers hold the default
  // palette, which the golden frame was checked against natively.
  const screen = atPrompt || (await canvasPixels(page));
  let wrongBars = 0;
  for (let i = 0; i < 256; ++i) {
    if (differing(screen, golden.rgba, bars.x1 + i, bars.y1, bars.x1 + i, bars.y2) !== 0) ++wrongBars;
  }
  check(wrongBars === 0, `demo: the 256 colour bars show the default palette (${wrongBars} differ)`);

  // Space starts the first test, FadeIn from black over 1.92 s: 1.2 s in, the prompt is
  // gone, the marker stands at row 14 and the labels are lit but still dimmer than
  // at full colour.
  await page.keyboard.press('Space');
  await sleep(1200);
  const fading = await canvasPixels(page);
  const barLight = (p) => {
    let sum = 0;
    for (let x = bars.x1; x <= bars.x2; ++x) {
      const i = (300 * 640 + x) * 4;
      sum += p[i] + p[i + 1] + p[i + 2];
    }
    return sum;
  };
  const marker = lit(fading, 16, 208, 23, 223);  // row 14, column 3
  const label = lit(fading, 32, 208, 200, 223);
  const prompt = lit(fading, promptRow.x1, promptRow.y1, promptRow.x2, promptRow.y2);
  const share = barLight(fading) / barLight(screen);
  check(prompt === 0 && marker > 0 && label > 0 && share > 0.2 && share < 0.95,
        `demo: Space passes the prompt and FadeIn runs (prompt ${prompt} lit pixels, marker ` +
        `${marker}, label ${label}, bars at ${(share * 100).toFixed(0)}% of full light)`);
  await page.screenshot({path: path.join(shots, `${program}-fading.png`)});
  noConsoleErrors('demo', console_);
  await page.close();
}

// ---- Timing: the demo's fades and the frame loop, on the page's clock ------------------

const figures = [];

async function testTiming() {
  const program = 'quorvel-timing';
  const {page, console: console_} = await open(`tests/${program}.html`);
  // An animation-frame counter of the page's own, for the rate the browser gives.
  await page.evaluate(() => {
    window.animationFrames = 0;
    const count = () => {
      ++window.animationFrames;
      requestAnimationFrame(count);
    };
    requestAnimationFrame(count);
  });
  const end = Date.now() + 60000;
  let rafRate = null;
  while (!console_.lines.includes('timing done') && Date.now() < end) {
    if (rafRate === null && console_.lines.some((l) => l.startsWith('fade 2 '))) {
      // While the frame loop runs, count the browser's animation frames over a second.
      const before = await page.evaluate(() => [window.animationFrames, performance.now()]);
      await sleep(1000);
      const after = await page.evaluate(() => [window.animationFrames, performance.now()]);
      rafRate = ((after[0] - before[0]) * 1000) / (after[1] - before[1]);
    }
    await sleep(100);
  }
  check(console_.lines.includes('timing done'), 'timing: the page measured its fades and frames');
  for (const [speed, limit] of [[30, 2], [2, 5]]) {
    const runs = console_.lines.filter((l) => l.startsWith(`fade ${speed} `))
                              .map((l) => l.split(' ').map(Number));
    if (!check(runs.length > 0, `timing: fades at speed ${speed} measured`)) continue;
    const errors = runs.map(([, , ms, nominal]) => (Math.abs(ms - nominal) / nominal) * 100);
    const ms = median(runs.map((r) => r[2]));
    const error = median(errors);
    figures.push(`web fade at speed ${speed}: median ${ms.toFixed(1)} ms of ${runs[0][3]} ` +
                 `nominal (${runs.length} runs), error ${error.toFixed(2)}%`);
    figures.push(`target web-fade-${speed} ${error.toFixed(2)}% ${limit}% ` +
                 `${error <= limit ? 'met' : 'missed'}`);
  }
  const frames = console_.lines.find((l) => l.startsWith('frames '));
  if (check(frames !== undefined, 'timing: RunFrames returned and its captured state survived')) {
    const [, count, ms] = frames.split(' ').map(Number);
    const rate = ((count - 1) * 1000) / ms;  // count frames span count - 1 intervals
    check(count > 10, `timing: RunFrames ran ${count} frames in ${ms.toFixed(0)} ms`);
    figures.push(`web RunFrames: ${rate.toFixed(1)} frames/s; the page's animation frames: ` +
                 `${rafRate === null ? '?' : rafRate.toFixed(1)}/s`);
  }
  noConsoleErrors('timing', console_);
  await page.close();
}

// ---- Palettes per line: the canvas against the native read-back ----------------------

async function testLines() {
  const program = 'quorvel-lines';
  // "x y rrggbb" for the tested columns of every line, from the native ShownColor.
  const expected = native('tests/quorvel_web_lines', ['--print']).trim().split('\n')
      .map((line) => line.split(' ')).map(([x, y, rgb]) => [Number(x), Number(y), parseInt(rgb, 16)]);
  const {page, console: console_} = await open(`tests/${program}.html`);
  const end = Date.now() + 20000;
  while (!console_.lines.includes('lines ready') && Date.now() < end) await sleep(50);
  const ready = console_.lines.includes('lines ready');
  const {width, height} = await canvasSize(page);
  const pixels = await canvasPixels(page);
  const wrong = expected.filter(([x, y, rgb]) => {
    const i = (y * width + x) * 4;
    return ((pixels[i] << 16) | (pixels[i + 1] << 8) | pixels[i + 2]) !== rgb;
  });
  check(ready && width === 320 && height === 200 && expected.length === 17 * 200 && wrong.length === 0,
        `lines: the canvas (${width}x${height}) shows at ${expected.length} points of every line exactly ` +
        `the colours the native read-back gives (${wrong.length} differ` +
        `${wrong.length ? `, first at (${wrong[0][0]}, ${wrong[0][1]})` : ''})`);
  noConsoleErrors('lines', console_);
  await page.close();
}

// ---- The 320x200 raster example: gradient, bars, status bar, border ------------------

async function testRaster() {
  const program = 'quorvel-raster';
  const {page, console: console_} = await open(`${program}.html`);
  const border = 12;  // the example's border, in screen pixels on every side
  const width = 320 + 2 * border, height = 200 + 2 * border;
  const rgbAt = (p, x, y) => {
    const i = (y * width + x) * 4;
    return (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
  };
  const at = (p, x, y) => rgbAt(p, border + x, border + y);  // a screen pixel
  // Column 0 shows the sky's one register down to line 79: a gradient, one colour per few
  // lines, once the fade from black is over.
  const skyColours = (p) => new Set(Array.from({length: 80}, (_, y) => at(p, 0, y))).size;
  const shown = await waitForCanvas(page, (p) => p.length === width * height * 4 && skyColours(p) > 40, 20000);
  loadedOnce(program);
  await page.screenshot({path: path.join(shots, `${program}.png`)});
  if (!check(shown !== null, `raster: a 320x200 canvas inside a border of ${border} pixels, with a sky ` +
                             `gradient of ${shown ? skyColours(shown) : 0} colours in its top 80 lines`)) {
    await page.close();
    return;
  }
  // The border is one colour all round, the page's letterbox shows it too, and it cycles;
  // the copper bars move through the title's band (lines 100..175).
  const borderColours = (p) => {
    const colours = new Set();
    for (let x = 0; x < width; ++x) colours.add(rgbAt(p, x, 0)).add(rgbAt(p, x, height - 1));
    for (let y = 0; y < height; ++y) colours.add(rgbAt(p, 0, y)).add(rgbAt(p, width - 1, y));
    for (const [x, y] of [[border - 1, border - 1], [width - border, height - border]]) colours.add(rgbAt(p, x, y));
    return [...colours];
  };
  await sleep(500);
  // The canvas's corner and the letterbox at one instant: the presenter sets both at once.
  const [corner, letterbox] = await page.evaluate(() => {
    const [r, g, b] = document.getElementById('screen').getContext('2d').getImageData(0, 0, 1, 1).data;
    return [`rgb(${r}, ${g}, ${b})`, getComputedStyle(document.querySelector('main')).backgroundColor];
  });
  const later = await canvasPixels(page);
  let moved = 0;
  for (let y = 100; y < 176; ++y) if (at(shown, 0, y) !== at(later, 0, y)) ++moved;
  const [before, after] = [borderColours(shown), borderColours(later)];
  const hex = (c) => '#' + (0x1000000 + c).toString(16).slice(1);
  check(before.length === 1 && after.length === 1 && before[0] !== 0 && before[0] !== after[0] &&
        corner === letterbox,
        `raster: the border is one colour all round (${before.map(hex)}, half a second later ` +
        `${after.map(hex)}) that cycles, and the letterbox shows it (${letterbox} where the border is ${corner})`);
  check(moved > 0, `raster: the copper bars move (${moved} of the title band's lines changed in half a second)`);

  // Integer scaling, the default: whole factors near the pixel aspect (2x2 here), the
  // border grown with the picture; in a larger window 3x4, each screen pixel a block of
  // 3x4 pixels on the screenshot, and the border a band of 36 by 48 of them.
  const shape = {width: 320, height: 200, pixelAspect: 1.2, border};
  const first = await placedAs(page, shape, 'integer');
  check(first.ok, `raster: integer scaling places the canvas as natively: ${first.text}`);
  await page.setViewport({width: 1400, height: 1000});
  const larger = await placedAs(page, shape, 'integer');
  const [box] = (await placement(page)).shown;
  let blocks = 'not placed', fx = box.w / width, fy = box.h / height;
  if (larger.ok && fx === 3 && fy === 4) {
    const shot = await shotPixels(page, box);
    let broken = 0, edges = 0;
    for (let y = 0; y < box.h; ++y) {
      for (let x = 0; x < box.w; ++x) {
        const i = (y * box.w + x) * 4, at = ((y - (y % fy)) * box.w + x - (x % fx)) * 4;
        if ([0, 1, 2].some((c) => shot[i + c] !== shot[at + c])) ++broken;
        if (x % fx === 0 && x > 0 && [0, 1, 2].some((c) => shot[i + c] !== shot[i - 4 + c])) ++edges;
      }
    }
    blocks = `${broken} pixels off their ${fx}x${fy} block, ${edges} edges between blocks`;
    larger.ok = broken === 0 && edges > 1000;
  }
  check(larger.ok, `raster: resized, the page places it again, ${fx}x${fy}: ${larger.text}; ${blocks}`);
  await page.screenshot({path: path.join(shots, `${program}-3x4.png`)});
  noConsoleErrors('raster', console_);
  await page.close();
}

// ---- The showcase: it animates on its own --------------------------------------------

async function testShowcase() {
  const program = 'quorvel-showcase';
  const {page, console: console_} = await open(`${program}.html`);
  const shown = await waitForCanvas(page, (p) => lit(p, 0, 0, 639, 479) > 0, 20000);
  check(shown !== null, 'showcase: draws on its canvas');
  loadedOnce(program);
  await sleep(1000);
  const stats = () => page.evaluate(() => {
    const s = Module.quorvelScreen;
    return s ? {ticks: s.ticks, frames: s.frames, busyMs: s.busyMs, now: performance.now()} : null;
  });
  const first = await canvasPixels(page);
  const before = await stats();
  await sleep(500);
  const second = await canvasPixels(page);
  check(differing(first, second) > 0,
        `showcase: the canvas changes between two frames half a second apart ` +
        `(${differing(first, second)} pixels)`);
  await sleep(1500);
  const after = await stats();
  if (check(before && after, 'showcase: runs in the frame loop')) {
    const seconds = (after.now - before.now) / 1000;
    const ticks = after.ticks - before.ticks;
    const frames = after.frames - before.frames;
    figures.push(`web showcase: ${(frames / seconds).toFixed(1)} program frames/s at ` +
                 `${(ticks / seconds).toFixed(1)} animation frames/s (${((frames / ticks) * 100).toFixed(0)}%); ` +
                 `${((after.busyMs - before.busyMs) / ticks).toFixed(2)} ms of work per frame`);
  }
  await page.screenshot({path: path.join(shots, `${program}.png`)});
  // Escape ends the frame loop and the program, which closes its screen.
  await page.keyboard.press('Escape');
  const ended = await page.waitForFunction(
      () => document.getElementById('status').textContent.includes('ended'), {timeout: 5000})
      .then(() => true, () => false);
  check(ended, 'showcase: Escape ends the program and the page says so');
  noConsoleErrors('showcase', console_);
  await page.close();
}

// ---- The player: a picture made here, chosen on the page ------------------------------

async function testPlayer() {
  const program = 'quorvel-play';
  const picture = playerPicture();
  const {page, console: console_} = await open(`${program}.html`);
  const pickerShown = () => page.waitForFunction(
      () => getComputedStyle(document.getElementById('picker')).display !== 'none', {timeout: 20000})
      .then(() => true, () => false);
  const status = () => page.$eval('#status', (e) => e.textContent);
  await pickerShown();
  loadedOnce(program);
  await page.screenshot({path: path.join(shots, `${program}-picker.png`)});
  const input = await page.$('#file');
  // A JPEG, made here by the browser, is a picture the player does not read: the page has
  // the browser decode it into a true-colour BMP, which the player quantizes and shows.
  const jpeg = await page.evaluate(async () => {
    const canvas = new OffscreenCanvas(320, 240);
    const context = canvas.getContext('2d');
    const gradient = context.createLinearGradient(0, 0, 320, 240);
    gradient.addColorStop(0, '#f40');
    gradient.addColorStop(0.5, '#3c6');
    gradient.addColorStop(1, '#24f');
    context.fillStyle = gradient;
    context.fillRect(0, 0, 320, 240);
    const bytes = new Uint8Array(await (await canvas.convertToBlob({type: 'image/jpeg'})).arrayBuffer());
    return btoa(Array.from(bytes, (b) => String.fromCharCode(b)).join(''));
  });
  fs.writeFileSync(path.join(shots, 'gradient.jpg'), Buffer.from(jpeg, 'base64'));
  await input.uploadFile(path.join(shots, 'gradient.jpg'));
  const quantized = await page.waitForFunction(
      () => /quantized to \d+ colours/.test(document.getElementById('status').textContent) &&
            getComputedStyle(document.getElementById('picker')).display === 'none',
      {timeout: 10000}).then(() => true, () => false);
  const decoded = await page.evaluate(() => Module.FS.analyzePath('/gradient.jpg.bmp').exists);
  const litJpeg = (p) => p.reduce((n, v, i) => n + (i % 4 === 0 && (v || p[i + 1] || p[i + 2]) ? 1 : 0), 0);
  const shownJpeg = quantized && await waitForCanvas(page, (p) => p.length === 320 * 240 * 4 && litJpeg(p) > 70000, 10000);
  check(quantized && decoded && shownJpeg,
        `play: a JPEG is decoded by the browser into a BMP (${decoded ? '' : 'not '}written), quantized to ` +
        `256 colours and shown at its 320x240`);
  await page.keyboard.press('Escape');
  await pickerShown();

  // Plays a picture made here with the page's options; returns how many pixels of its
  // cycled band changed in half a second, or null when it never showed.
  const shows = (p) => picture.still.every(([x, y, rgb]) => {
    const i = (y * 640 + x) * 4;
    return p[i] === rgb[0] && p[i + 1] === rgb[1] && p[i + 2] === rgb[2];
  });
  async function play(made, {flags = '', cycles = '', shot = null} = {}) {
    await page.select('#flags', flags);
    await page.$eval('#cycles', (e, value) => { e.value = value; }, cycles);
    const file = path.join(shots, made.name);
    fs.writeFileSync(file, made.bytes);
    await input.uploadFile(file);
    const first = await waitForCanvas(page, shows, 20000);
    if (shot) await page.screenshot({path: path.join(shots, shot)});
    if (!first) return null;
    await sleep(500);
    const second = await canvasPixels(page);
    const {x1, y1, x2, y2} = made.cycled;
    return shows(second) ? differing(first, second, x1, y1, x2, y2) : null;
  }
  // Escape ends the player; the page offers the next choice over a cleared canvas.
  async function escape(what) {
    await page.keyboard.press('Escape');
    const back = await pickerShown();
    const left = lit(await canvasPixels(page), 0, 0, 639, 479);
    check(back && left === 0, `play: Escape after ${what} brings the picker back over a cleared canvas ` +
                              `(${left} pixels still lit)`);
  }

  // The still part of the picture shows its own colours; the cycled part moves.
  const moved = await play(picture, {shot: `${program}.png`});
  check(moved > 0, `play: shows ${picture.name} and cycles its colours (${moved} pixels of the ` +
                   'cycled band changed in half a second, the rest stayed)');
  // A switches to the exact aspect (987x740 of the 640x480 picture here), sharp: along a
  // row of the still stripes each edge blends one pixel at the most. A again goes back.
  const square = {width: 640, height: 480, pixelAspect: 1, border: 0};
  await page.keyboard.press('a');
  const exact = await placedAs(page, square, 'aspect');
  let sharp = 'not placed';
  if (exact.ok) {
    const [shown] = (await placement(page)).shown;
    const row = await shotPixels(page, {x: shown.x, y: shown.y + 100, w: shown.w, h: 1});
    const runs = [];  // lengths of runs of one colour
    for (let x = 0; x < shown.w; ++x) {
      const same = x > 0 && [0, 1, 2].every((c) => row[x * 4 + c] === row[x * 4 - 4 + c]);
      if (same) ++runs[runs.length - 1]; else runs.push(1);
    }
    const blended = runs.filter((n) => n < 100).length;
    sharp = `runs of one colour along a row: ${runs.join(' ')}`;
    exact.ok = runs.length === 8 + blended && blended >= 1 && runs.every((n, i) => n >= 100 || runs[i + 1] >= 100);
  }
  check(exact.ok, `play: A shows the exact aspect, sharp: ${exact.text}; ${sharp}`);
  await page.screenshot({path: path.join(shots, `${program}-aspect.png`)});
  await page.keyboard.press('a');
  const back = await placedAs(page, square, 'integer');
  check(back.ok, `play: A again goes back to whole factors: ${back.text}`);
  await escape(picture.name);
  await page.screenshot({path: path.join(shots, `${program}-after-escape.png`)});

  // A picture that marks no cycle active, as the web players' scenes do: its cycle runs,
  // the page says why, and it names no option the page does not have.
  const unmarked = playerPicture(0, 'unmarked.iff');
  const ran = await play(unmarked, {shot: `${program}-unmarked.png`});
  const note = await status();
  check(ran > 0 && /marks none of its colour cycles as running/.test(note),
        `play: a picture that marks no cycle active has them run (${ran} pixels changed; the page ` +
        `says "${note}")`);
  await escape(unmarked.name);
  // The page's choices are the player's options: --strict-flags keeps them still and says
  // why, --cycle adds a cycle.
  const strict = await play(playerPicture(0, 'unmarked-strict.iff'), {flags: '--strict-flags'});
  const hint = await status();
  check(strict === 0 && /without --strict-flags/.test(hint),
        `play: --strict-flags on the page keeps them still (${strict} pixels changed; "${hint}")`);
  await escape('--strict-flags');
  const added = await play(playerPicture(0, 'unmarked-cycle.iff'),
                           {flags: '--strict-flags', cycles: '32-95@30'});
  check(added > 0, `play: --cycle on the page adds a cycle (${added} pixels changed)`);
  await escape('--cycle');

  // The last picture downloads with the page's cycles, as an ILBM and as a scene.
  const client = await page.target().createCDPSession();
  const downloads = fs.mkdtempSync(path.join(shots, 'downloads-'));
  await client.send('Page.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  async function download(format) {
    await page.select('#format', format);
    await page.click('#download');
    const file = path.join(downloads, `unmarked-cycle.${format}`);
    for (let i = 0; i < 100 && !fs.existsSync(file); ++i) await sleep(50);
    return fs.existsSync(file) ? fs.readFileSync(file) : null;
  }
  const ilbm = await download('lbm');
  check(ilbm && ilbm.toString('latin1', 0, 4) === 'FORM' && ilbm.toString('latin1', 8, 12) === 'ILBM' &&
        ilbm.includes(Buffer.from('CRNG')), 'play: the picture downloads as an ILBM with its cycle');
  const scene = await download('json');
  let cycles = [];
  try { cycles = JSON.parse(scene.toString()).cycles; } catch (e) { cycles = []; }
  check(cycles.some((c) => c.low === 32 && c.high === 95 && c.rate > 0),
        `play: the picture downloads as a scene with the cycle typed on the page (${JSON.stringify(cycles)})`);

  // The PBM, GIF and PNG downloads hold what the native player writes from the same file
  // with the same options: the same pixels and palette (and the PBM its cycle), each read
  // back by the native quorvel-pic.
  const pageOptions = ['--quantize', '--strict-flags', '--cycle', '32-95@30'];
  const readBack = (file) => {
    fs.rmSync(`${file}.json`, {force: true});
    native('quorvel-pic', ['convert', file, `${file}.json`]);
    return JSON.parse(fs.readFileSync(`${file}.json`, 'utf8'));
  };
  const downloaded = {};
  for (const format of ['pbm', 'gif', 'png']) {
    const bytes = await download(format);
    if (!check(bytes !== null, `play: the picture downloads as ${format}`)) continue;
    downloaded[format] = bytes;
    const nativeFile = path.join(downloads, `native.${format}`);
    native('quorvel-play', ['--save', nativeFile, ...pageOptions, path.join(shots, 'unmarked-cycle.iff')]);
    const page_ = readBack(path.join(downloads, `unmarked-cycle.${format}`)), native_ = readBack(nativeFile);
    const same = ['width', 'height', 'colors', 'pixels', ...(format === 'pbm' ? ['cycles'] : [])]
        .every((k) => JSON.stringify(page_[k]) === JSON.stringify(native_[k]));
    const bytesSame = Buffer.compare(bytes, fs.readFileSync(nativeFile)) === 0;
    check(same && page_.pixels.length === 640 * 480,
          `play: the ${format} download reads back as the native player's ${format} of the same file and ` +
          `options (${page_.width}x${page_.height}, ${page_.colors.length} colours` +
          `${format === 'pbm' ? `, cycles ${JSON.stringify(page_.cycles)}` : ''}; the bytes ` +
          `${bytesSame ? 'are identical' : 'differ'})`);
  }

  // A GIF or PNG picture opens as the indexed picture it is, in its own colours, not
  // decoded by the browser and quantized.
  for (const format of ['gif', 'png']) {
    if (!downloaded[format]) continue;
    const shown = await play({...picture, name: `indexed.${format}`, bytes: downloaded[format]});
    const note = await status();
    check(shown !== null && !/quantized/.test(note),
          `play: a ${format} picture opens as indexed, in its own colours (${shown === null ? 'not shown' : 'shown'}` +
          `${note ? `; the page says "${note}"` : ''})`);
    await escape(`the ${format} picture`);
  }

  // The samples' scenes, one strict JSON with a day of palettes, one a JavaScript object
  // literal: each shows at its own size with one colour per still register (the scene's
  // own where no day of palettes moves them), and its cycles move.
  for (const name of ['waterfall.json', 'test_ramp.js']) {
    const file = path.join(root, 'samples', name);
    const text = fs.readFileSync(file, 'utf8');
    const scene = name.endsWith('.json') ? JSON.parse(text) : vm.runInNewContext(text);
    const cycled = new Set();
    for (const c of scene.cycles) for (let i = c.low; c.rate > 0 && i <= c.high; ++i) cycled.add(i);
    const exact = !scene.timeline;
    // Pixels of still registers whose colour is not the register's; -1 when the canvas is
    // not the scene's size.
    const wrongStill = (p) => {
      if (p.length !== scene.width * scene.height * 4) return -1;
      const seen = new Map();
      let wrong = 0;
      scene.pixels.forEach((index, n) => {
        if (cycled.has(index)) return;
        const rgb = (p[n * 4] << 16) | (p[n * 4 + 1] << 8) | p[n * 4 + 2];
        const [r, g, b] = scene.colors[index];
        if (!seen.has(index)) seen.set(index, exact ? (r << 16) | (g << 8) | b : rgb);
        if (seen.get(index) !== rgb) ++wrong;
      });
      return new Set(seen.values()).size > 8 ? wrong : -1;
    };
    await input.uploadFile(file);
    const first = await waitForCanvas(page, (p) => wrongStill(p) === 0, 20000);
    await page.screenshot({path: path.join(shots, `${program}-${name}.png`)});
    let moved = 0;
    if (first) {
      await sleep(500);
      const second = await canvasPixels(page);
      scene.pixels.forEach((index, n) => {
        if (cycled.has(index) && [0, 1, 2].some((c) => first[n * 4 + c] !== second[n * 4 + c])) ++moved;
      });
    }
    check(first !== null && moved > 0,
          `play: the scene ${name} shows at ${scene.width}x${scene.height}, each still register in ` +
          `${exact ? 'the scene\'s colour' : 'one colour'}, and its cycles move (${moved} cycled pixels ` +
          'changed in half a second)');
    await escape(name);
  }
  // Recording works in a page as natively: a second of the player into the program's
  // files, an animated GIF that the native quorvel-pic reads at the picture's size.
  const recording = await page.evaluate(() => new Promise((resolve) => {
    const gif = '/recorded.gif';
    Module.canvas.addEventListener('quorvelclose', () => {
      resolve(Module.FS.analyzePath(gif).exists ? Array.from(Module.FS.readFile(gif)) : null);
    }, {once: true});
    setTimeout(() => resolve('no end of the recording in 10 s'), 10000);
    try {
      Module.callMain(['--record', gif, '--seconds', '1', '/unmarked-cycle.iff']);
    } catch (e) {
      resolve(String(e));
    }
  }));
  let recorded = typeof recording === 'string' ? recording : '';
  if (Array.isArray(recording)) {
    const file = path.join(downloads, 'recorded.gif');
    fs.writeFileSync(file, Buffer.from(recording));
    try {
      const {width, height} = readBack(file);
      recorded = `${recording.length} bytes, read back at ${width}x${height}`;
      recorded += width === 640 && height === 480 ? '' : ' (not 640x480)';
    } catch (e) {
      recorded = `${recording.length} bytes that quorvel-pic cannot read: ${String(e.stderr).trim()}`;
    }
  }
  check(/ at 640x480$/.test(recorded),
        `play: --record writes an animated GIF in a page (${recorded || 'none written'}` +
        `${recorded ? '' : `; the page said ${JSON.stringify(console_.lines.slice(-2))}`})`);

  noConsoleErrors('play', console_);
  await page.close();
}

try {
  await testDemo();
  await testTiming();
  await testLines();
  await testRaster();
  for (const [program, run] of [['quorvel-showcase', testShowcase], ['quorvel-play', testPlayer]]) {
    if (check(fs.existsSync(path.join(web, `${program}.html`)), `${program}.html was built`)) await run();
  }
} finally {
  await browser.close();
  server.close();
  fs.rmSync(profile, {recursive: true, force: true});
}
for (const line of figures) console.log(line);
for (const f of fs.readdirSync(web).filter((f) => /\.(js|wasm)$/.test(f)).sort()) {
  console.log(`size ${f} ${fs.statSync(path.join(web, f)).size} bytes`);
}
console.log(`screenshots in ${path.relative(root, shots)}/`);
if (failures.length) {
  console.log(`${failures.length} browser check(s) failed`);
  process.exit(1);
}
console.log('All browser checks passed.');
