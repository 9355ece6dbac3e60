// Preview page benchmark: the page in headless Chromium against a real
// `tessaline-host serve` of the demo, render pane 900 × 760. Prints:
//
// 1. camera drag: from a drag's first pointer move to the first image of the
//    moved camera on screen (median over DRAGS drags), and the same from each
//    move of continuous drags (the image's lag behind the hand);
// 2. page load to first image (median over LOADS loads), with the server
//    idle and while it still renders the previous load's passes;
// 3. pick latency: GET /api/pick answered while a 256-sample pass renders
//    (median over PICKS picks).
//
//   node bench/preview_page_bench.mjs [BUILD_DIR]     (DRAGS=20 LOADS=12 PICKS=60)
// Needs the browser test's npm packages (scripts/setup.sh --tests) and /usr/bin/chromium.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { cpus, loadavg, tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const require = createRequire(join(root, 'tests/web/browser/package.json'));
const { chromium } = require('playwright-core');

const build = resolve(process.argv[2] ?? join(root, 'build'));
const counts = {
  drags: Number(process.env.DRAGS ?? 20), loads: Number(process.env.LOADS ?? 12), picks: Number(process.env.PICKS ?? 60),
};
const pane = { width: 900, height: 760 };
const stepMs = 30_000;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const worst = (values) => Math.max(...values);
const figure = (values) => (values.length === 0 ? 'none measured'
  : `median ${median(values).toFixed(0)} ms, worst ${worst(values).toFixed(0)} ms over ${values.length}`);

function startServer() {
  const child = spawn(join(build, 'tessaline-host'), ['serve', '--port', '0', '--listen', '127.0.0.1', '--stop-after', '900'],
    { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((done, fail) => {
    let printed = '';
    child.stdout.on('data', (chunk) => {
      printed += chunk;
      const match = printed.match(/http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]+/);
      if (match) done({ child, address: match[0] });
    });
    child.on('exit', (code) => fail(new Error(`serve ended (${code}): ${printed}`)));
  });
}

const dataset = (page) => page.locator('#render').evaluate((canvas) => ({ ...canvas.dataset }));
const waitForFinal = (page) => page.waitForFunction(
  () => document.querySelector('#render').dataset.final === 'true', null, { timeout: stepMs, polling: 10 });

async function sizePane(page) {
  const box = await page.locator('#view').boundingBox();
  const viewport = page.viewportSize();
  await page.setViewportSize({
    width: Math.round(viewport.width + pane.width - box.width), height: Math.round(viewport.height + pane.height - box.height),
  });
  await page.waitForFunction(({ width, height }) => {
    const data = document.querySelector('#render').dataset;
    return Number(data.width) === width && Number(data.height) === height && data.final === 'true';
  }, pane, { timeout: stepMs, polling: 20 });
}

async function loads(page) {
  const idle = [];
  const busy = [];
  for (let i = 0; i < counts.loads; ++i) {
    const settled = i % 2 === 0;
    if (settled) await waitForFinal(page);
    await page.reload();
    await page.waitForFunction(() => document.querySelector('#render').dataset.firstImageMs, null, { timeout: stepMs, polling: 5 });
    (settled ? idle : busy).push(Number((await dataset(page)).firstImageMs));
  }
  return { idle, busy };
}

async function paneCentre(page) {
  const box = await page.locator('#view').boundingBox();
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

// One drag: press, one move past the click slop, and the time to its image.
async function firstMoveOfDrags(page) {
  const times = [];
  const { x, y } = await paneCentre(page);
  for (let i = 0; i < counts.drags; ++i) {
    await waitForFinal(page);
    const before = Number((await dataset(page)).moves ?? 0);
    await page.mouse.move(x, y);
    await page.mouse.down();
    await page.mouse.move(x + (i % 2 === 0 ? 12 : -12), y + 3);
    await page.waitForFunction((n) => Number(document.querySelector('#render').dataset.moves ?? 0) > n, before,
      { timeout: stepMs, polling: 2 });
    times.push(Number((await dataset(page)).moveToImageMs));
    await page.mouse.up();
  }
  return times;
}

// Continuous drags at about 60 moves a second: every image's lag behind the move it shows.
async function continuousDrags(page) {
  await page.locator('#render').evaluate((canvas) => {
    window.moveLags = [];
    new MutationObserver(() => window.moveLags.push(Number(canvas.dataset.moveToImageMs)))
      .observe(canvas, { attributes: true, attributeFilter: ['data-move-to-image-ms'] });
  });
  const { x, y } = await paneCentre(page);
  for (let round = 0; round < 3; ++round) {
    await waitForFinal(page);
    await page.mouse.move(x, y);
    await page.mouse.down();
    for (let step = 1; step <= 60; ++step) {
      await page.mouse.move(x + Math.sin(step / 10) * 150, y + step);
      await page.waitForTimeout(16);
    }
    await page.mouse.up();
  }
  await page.waitForTimeout(300);
  return page.evaluate(() => window.moveLags);
}

// Picks over the pane while the server renders 256 samples per pixel.
async function picks(page) {
  return page.evaluate(async ({ count, width, height }) => {
    const headers = { 'X-Tessaline-Token': sessionStorage.getItem('tessaline-token'), 'Content-Type': 'application/json' };
    const post = (path, body) => fetch(path, { method: 'POST', headers, body: JSON.stringify(body) });
    await post('/api/render', { samples: 256 });
    const times = [];
    let whileRunning = 0;
    for (let i = 0; i < count; ++i) {
      const x = Math.floor(((i * 37) % 100) / 100 * width);
      const y = Math.floor(((i * 61) % 100) / 100 * height);
      const start = performance.now();
      const answer = await fetch(`/api/pick?x=${x}&y=${y}`, { headers });
      await answer.json();
      times.push(performance.now() - start);
      const status = await (await fetch('/api/status', { headers })).json();
      if (status.running) whileRunning += 1;
    }
    await post('/api/render', { samples: 16 });
    return { times, whileRunning };
  }, { count: counts.picks, ...pane });
}

async function main() {
  const work = mkdtempSync(join(tmpdir(), 'tessaline-page-bench-'));
  const { child, address } = await startServer();
  const browser = await chromium.launchPersistentContext(join(work, 'profile'), {
    executablePath: '/usr/bin/chromium', headless: true, viewport: { width: 1300, height: 840 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking'],
  });
  try {
    const page = browser.pages()[0] ?? await browser.newPage();
    await page.goto(address);
    await sizePane(page);
    const loaded = await loads(page);
    await sizePane(page);
    const dragFirst = await firstMoveOfDrags(page);
    const dragLags = await continuousDrags(page);
    const picked = await picks(page);
    console.log(`page bench: render pane ${pane.width} × ${pane.height}, demo scene, ${cpus().length} cores, load ${loadavg()[0].toFixed(1)}`);
    console.log(`camera drag, first move to image on screen: ${figure(dragFirst)} drags (target 100 ms)`);
    console.log(`camera drag, each move to its image during continuous drags: ${figure(dragLags)} images`);
    console.log(`page load to first image, server idle: ${figure(loaded.idle)} loads (target 300 ms)`);
    console.log(`page load to first image, server rendering: ${figure(loaded.busy)} loads`);
    console.log(`pick while a 256-sample pass renders: ${figure(picked.times)} picks (${picked.whileRunning} of them with the render running)`);
  } finally {
    await browser.close();
    child.kill('SIGINT');
    rmSync(work, { recursive: true, force: true });
  }
}

await main();
