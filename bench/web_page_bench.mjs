// The web page with a 240-megapixel map: publishing it with relumo-tool web
// (time, tiles per second, peak resident memory), the first complete view
// in headless Chromium from a local server (time and tiles fetched), and
// the frame time of a relight at 1920 x 1080. Chromium draws with
// SwiftShader here, WebGL in software on the processor: a GPU is far faster.
//
//   node bench/web_page_bench.mjs --tool build/relumo-tool --work /tmp/relumo-web-bench
//        [--width 16000 --height 15000] [--threads N] [--keep-map] [--page-only]
//
// --keep-map keeps the generated map for the next run; --page-only times
// the page on the site a previous run published.
//
// Needs playwright-core in tests/web (scripts/setup) and Debian's chromium.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { launchChromium, serveFolder } from '../tests/web/browser.mjs';

const options = { width: '16000', height: '15000' };
for (let i = 2; i < process.argv.length; ++i) {
  const key = process.argv[i].replace(/^--/, '');
  if (key === 'keep-map') options.keepMap = true;
  else if (key === 'page-only') options.pageOnly = true;
  else options[key] = process.argv[++i];
}
if (!options.tool || !options.work) {
  console.error('usage: node web_page_bench.mjs --tool RELUMO_TOOL --work DIR [--width W --height H] [--threads N]');
  process.exit(2);
}
const width = Number(options.width);
const height = Number(options.height);
const work = path.resolve(options.work);
fs.mkdirSync(work, { recursive: true });
const mapFile = path.join(work, `map-${width}x${height}.ptm`);
const site = path.join(work, 'site');

// An LRGB map of smooth waves with a little noise, like the benchmarks'
// fitted-looking maps (bench/support/smooth_map.cpp): scale 1.5, bias 128
// (0 for the constant term), written row by row.
function writeMap() {
  const header = `PTM_1.2\nPTM_FORMAT_LRGB\n${width}\n${height}\n1.5 1.5 1.5 1.5 1.5 1.5\n128 128 128 128 128 0\n`;
  const fd = fs.openSync(mapFile, 'w');
  fs.writeSync(fd, Buffer.from(header, 'latin1'));
  const across = Array.from({ length: 9 }, (_, k) => Float64Array.from({ length: width }, (_, x) => Math.sin(x * 0.004 * (k + 1))));
  let seed = 1;
  const noise = () => {
    seed = (seed * 1103515245 + 12345) >>> 0;
    return (seed >>> 16) % 9 - 4;
  };
  const row = Buffer.alloc(width * 6);
  const colourRow = Buffer.alloc(width * 3);
  for (let pass = 0; pass < 2; ++pass) {
    for (let y = 0; y < height; ++y) {
      const out = pass === 0 ? row : colourRow;
      const ks = pass === 0 ? [0, 1, 2, 3, 4, 5] : [6, 7, 8];
      for (let j = 0; j < ks.length; ++j) {
        const k = ks[j];
        const down = Math.cos(y * 0.003 * (9 - k));
        const wave = across[k];
        for (let x = 0; x < width; ++x) out[x * ks.length + j] = 128 + 90 * wave[x] * down + noise();
      }
      fs.writeSync(fd, out);
    }
  }
  fs.closeSync(fd);
}

function publish() {
  if (!fs.existsSync(mapFile)) {
    const start = Date.now();
    writeMap();
    console.log(`map ${width} x ${height}: ${(fs.statSync(mapFile).size / 1e9).toFixed(2)} GB written in ${seconds(start).toFixed(1)} s`);
  }

  // Publishing, timed with the peak resident memory of the process.
  fs.rmSync(site, { recursive: true, force: true });
  const threads = options.threads ?? String(Number(execFileSync('nproc', { encoding: 'utf8' })));
  const measured = execFileSync('python3', ['-c', `
import resource, subprocess, sys, time
start = time.time()
status = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(status, time.time() - start, usage.ru_maxrss, usage.ru_utime + usage.ru_stime)
`, options.tool, 'web', mapFile, '-o', site, '--threads', threads, '--quiet'], { encoding: 'utf8' });
  const [status, publishSeconds, peakKb, cpuSeconds] = measured.trim().split(' ').map(Number);
  if (status !== 0) {
    console.error(`relumo-tool web failed with status ${status}`);
    process.exit(1);
  }
  let tiles = 0;
  let bytes = 0;
  const walk = (folder) => {
    for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
      const file = path.join(folder, entry.name);
      if (entry.isDirectory()) walk(file);
      else if (/\.(png|jpg)$/.test(entry.name)) {
        tiles += 1;
        bytes += fs.statSync(file).size;
      }
    }
  };
  walk(site);
  console.log(`publishing on ${threads} threads: ${publishSeconds.toFixed(1)} s (processor time ${cpuSeconds.toFixed(1)} s), ` +
    `${tiles} tiles (${(bytes / 1e9).toFixed(2)} GB), ${(tiles / publishSeconds).toFixed(0)} tiles/s, ` +
    `peak resident memory ${(peakKb / 1024).toFixed(0)} MB`);
  if (!options.keepMap) fs.rmSync(mapFile);
}

function seconds(start) {
  return (Date.now() - start) / 1000;
}

if (!options.pageOnly) publish();

// The page from a local server.
const { server, base } = await serveFolder(site);
const browser = await launchChromium();
const page = await browser.newPage({ viewport: { width: 1920, height: 1080 } });
let fetched = 0;
page.on('request', (request) => {
  if (request.url().includes('_files/')) fetched += 1;
});
const start = Date.now();
await page.goto(`${base}/index.html`);
await page.waitForFunction(() => document.documentElement.dataset.ready === '1', null, { timeout: 600000, polling: 10 });
console.log(`first complete view at 1920 x 1080: ${seconds(start).toFixed(2)} s, ${fetched} tiles fetched ` +
  `(WebGL ${await page.evaluate(() => document.documentElement.dataset.webgl)}, SwiftShader)`);

// Relighting: the light moves before every frame; the time between
// frames, each of which draws the whole view.
const frames = await page.evaluate(async () => {
  const canvas = document.getElementById('view');
  const times = [];
  for (let i = 0; i < 40; ++i) {
    canvas.dispatchEvent(new KeyboardEvent('keydown', { key: i % 2 ? 'ArrowLeft' : 'ArrowRight', bubbles: true }));
    times.push(await new Promise((resolve) => requestAnimationFrame(resolve)));
  }
  const intervals = times.slice(1).map((t, i) => t - times[i]).sort((a, b) => a - b);
  return { median: intervals[Math.floor(intervals.length / 2)], canvas: [canvas.width, canvas.height] };
});
console.log(`relight frame time at ${frames.canvas.join(' x ')} device pixels: median ${frames.median.toFixed(1)} ms ` +
  '(software WebGL)');
await browser.close();
server.close();
