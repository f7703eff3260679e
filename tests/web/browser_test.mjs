// The published page in Debian's Chromium, headless, with software WebGL
// (SwiftShader): maps published by relumo-tool web are opened through a
// local server on 127.0.0.1 (folders) and from disk (a single page), views
// are set through the URL fragment, and once the page says every tile is
// drawn (data-ready="1") its canvas is compared with relumo-tool render of
// the same map, light and mode, for maps of every kind the reader loads:
// LRGB, RGB, colour tables and compressed planes. Also: map.json and the
// IIIF info.json against the map, the tiles a view fetches, and the
// controls.
//
//   node browser_test.mjs --tool build/relumo-tool --map build/sample/relief.ptm --work DIR

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { launchChromium, serveFolder } from './browser.mjs';

const options = {};
for (let i = 2; i < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
for (const required of ['tool', 'map', 'work']) {
  if (!options[required]) {
    console.error('usage: node browser_test.mjs --tool RELUMO_TOOL --map MAP.ptm --work DIR');
    process.exit(2);
  }
}
const chromiumPath = options.chromium ?? '/usr/bin/chromium';
const work = path.resolve(options.work);
fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(work, { recursive: true });

let failures = 0;
const started = Date.now();
function check(condition, what) {
  const seconds = ((Date.now() - started) / 1000).toFixed(1).padStart(6);
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${seconds} s  ${what}`);
  if (!condition) failures += 1;
}

function tool(...args) {
  return execFileSync(options.tool, [...args, '--quiet'], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
}

// ---- maps and their publications ----

// A smooth LRGB map of width x height written byte by byte (PTM 1.2: the
// header, six coefficient bytes per pixel, then three colour bytes per
// pixel), larger than the window, for the tiles a view fetches.
function writeLargeMap(file, width, height) {
  const header = `PTM_1.2\nPTM_FORMAT_LRGB\n${width}\n${height}\n1 1 1 1 1 1\n128 128 128 128 128 0\n`;
  const pixels = width * height;
  const data = Buffer.alloc(pixels * 9);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const p = y * width + x;
      const wave = Math.sin(x / 37) * Math.cos(y / 23);
      data.set([100, 100, 128, 128 + Math.round(60 * wave), 128 + Math.round(60 * Math.sin(y / 41)), 150], p * 6);
      data.set([200, 120 + (x % 100), 60 + (y % 150)], pixels * 6 + p * 3);
    }
  }
  fs.writeFileSync(file, Buffer.concat([Buffer.from(header, 'latin1'), data]));
}

const maps = {
  lrgb: options.map,
  rgb: path.join(work, 'rgb.ptm'),
  lut: path.join(work, 'lut.ptm'),
  clut: path.join(work, 'clut.ptm'),
  jpegls: path.join(work, 'jpegls-rgb.ptm'),
  large: path.join(work, 'large.ptm'),
};
tool('convert', maps.lrgb, '-o', maps.rgb, '--format', 'rgb');
tool('convert', maps.lrgb, '-o', maps.lut, '--format', 'lut');
tool('convert', maps.lrgb, '-o', maps.clut, '--format', 'clut');
tool('convert', maps.rgb, '-o', maps.jpegls, '--format', 'jpegls-rgb', '--near', '2');
writeLargeMap(maps.large, 1600, 1200);

const site = path.join(work, 'site');
fs.mkdirSync(site);
tool('web', maps.lrgb, '-o', path.join(site, 'lrgb'));
tool('web', maps.rgb, '-o', path.join(site, 'rgb'), '--threads', '2');
tool('web', maps.lut, '-o', path.join(work, 'lut.html'));
tool('web', maps.clut, '-o', path.join(site, 'clut'));
tool('web', maps.jpegls, '-o', path.join(site, 'jpegls'));
tool('web', maps.large, '-o', path.join(site, 'large'), '--tile-size', '254');
tool('web', maps.lrgb, '-o', path.join(site, 'served'), '--iiif-base', 'https://example.org/maps/relief/');

const facts = new Map();
function info(map) {
  if (!facts.has(map)) facts.set(map, JSON.parse(tool('info', '--json', map).trim().split('\n')[0]));
  return facts.get(map);
}

// ---- the browser and the local server ----

const { server, base } = await serveFolder(site);
const browser = await launchChromium(chromiumPath);
const context = await browser.newContext({ viewport: { width: 800, height: 600 }, deviceScaleFactor: 1 });
const decoder = await context.newPage();

// Compares two PNG pictures of one size in the browser (decoded without
// colour management): the share of pixels whose every channel differs by
// at most `tolerance`, and the largest difference.
async function comparePngs(a, b, tolerance) {
  return decoder.evaluate(async ([first, second, limit]) => {
    async function pixels(base64) {
      const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
      const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }),
        { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
      const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
      const context2d = canvas.getContext('2d');
      context2d.drawImage(bitmap, 0, 0);
      return context2d.getImageData(0, 0, bitmap.width, bitmap.height);
    }
    const [p, q] = [await pixels(first), await pixels(second)];
    if (p.width !== q.width || p.height !== q.height) return { share: 0, worst: 255 };
    let close = 0;
    let worst = 0;
    for (let i = 0; i < p.data.length; i += 4) {
      let difference = 0;
      for (let c = 0; c < 3; ++c) difference = Math.max(difference, Math.abs(p.data[i + c] - q.data[i + c]));
      if (difference <= limit) close += 1;
      if (difference > worst) worst = difference;
    }
    return { share: close / (p.width * p.height), worst };
  }, [a.toString('base64'), b.toString('base64'), tolerance]);
}

async function openView(url) {
  const page = await context.newPage();
  const warnings = [];
  const errors = [];
  const tiles = [];
  page.on('console', (message) => {
    if (message.type() === 'warning') warnings.push(message.text());
    if (message.type() === 'error') errors.push(message.text());
  });
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('request', (request) => {
    if (request.url().includes('_files/')) tiles.push(new URL(request.url()).pathname);
  });
  await page.goto(url);
  await page.waitForFunction(() => document.documentElement.dataset.ready === '1', null, { timeout: 60000 });
  return { page, warnings, errors, tiles };
}

const references = new Map();
function reference(map, light, mode, settings) {
  const key = `${map}|${light}|${mode}|${settings.join(' ')}`;
  if (!references.has(key)) {
    const file = path.join(work, `reference-${references.size}.png`);
    // render refuses a light that plays no part in the picture.
    const lightOptions = mode === 'normals' ? [] : ['--light', light];
    tool('render', map, ...lightOptions, '--mode', mode, ...settings, '-o', file);
    references.set(key, fs.readFileSync(file));
  }
  return references.get(key);
}

// Opens the view at scale 1 with the map's top-left corner at the
// canvas's, and compares the map's area with the desktop's picture: the
// share of pixels whose every channel is within `tolerance` grey levels.
// `settings` are the enhancement's parameters as render takes them
// (--ks 0.7 ...), given to the page as the fragment's (ks=0.7 ...); an
// intensity is the light's third number for render.
async function compareView(name, url, map, light, mode, tolerance, share, webgl, settings = []) {
  const { width, height } = info(map);
  let fragment = '';
  let renderSettings = [];
  let renderLight = light;
  for (let i = 0; i < settings.length; i += 2) {
    const key = settings[i].replace(/^--/, '');
    fragment += `&${key}=${settings[i + 1]}`;
    if (key === 'intensity') renderLight = `${light},${settings[i + 1]}`;
    else renderSettings = [...renderSettings, settings[i], settings[i + 1]];
  }
  const view = await openView(`${url}#light=${light}&mode=${mode}&scale=1&at=0,0&ui=0${webgl === 1 ? '&gl=1' : ''}${fragment}`);
  const shot = await view.page.screenshot({ clip: { x: 0, y: 0, width, height } });
  const version = await view.page.evaluate(() => document.documentElement.dataset.webgl);
  fs.writeFileSync(path.join(work, `${name}-webgl${webgl}-${mode}-${light}.png`), shot);
  await view.page.close();
  const { share: fraction, worst } =
    await comparePngs(shot, reference(map, renderLight, mode, renderSettings), tolerance);
  check(version === String(webgl) && view.errors.length === 0 && fraction >= share,
    `${name} WebGL ${version} ${mode}${fragment} light ${light}: ${(100 * fraction).toFixed(3)} % of pixels within ${tolerance} ` +
    `(largest difference ${worst})${view.errors.length ? `; errors: ${view.errors.join('; ')}` : ''}`);
}

// ---- map.json and info.json against the map ----

for (const [name, map] of [['lrgb', maps.lrgb], ['rgb', maps.rgb]]) {
  const known = info(map);
  const description = JSON.parse(fs.readFileSync(path.join(site, name, 'map.json'), 'utf8'));
  const levels = Math.ceil(Math.log2(Math.max(known.width, known.height))) + 1;
  check(description.format === known.format && description.width === known.width &&
        description.height === known.height && JSON.stringify(description.scale) === JSON.stringify(known.scale) &&
        JSON.stringify(description.bias) === JSON.stringify(known.bias) && description.levels === levels &&
        description.default_view.mode === 'plain' && description.default_view.light.join() === '0,0',
  `${name} map.json describes the map (${description.format}, ${description.width} x ${description.height}, ${levels} levels)`);
  const planes = description.planes.every((plane) =>
    fs.existsSync(path.join(site, name, `${plane}.dzi`)) &&
    fs.existsSync(path.join(site, name, `${plane}_files`, String(levels - 1), `0_0.${description.tile_format}`)));
  check(planes && description.planes.length === (name === 'rgb' ? 7 : 4), `${name} has a Deep Zoom pyramid per plane`);
}
{
  const relative = JSON.parse(fs.readFileSync(path.join(site, 'lrgb', 'iiif', 'info.json'), 'utf8'));
  const served = JSON.parse(fs.readFileSync(path.join(site, 'served', 'iiif', 'info.json'), 'utf8'));
  const known = info(maps.lrgb);
  check(relative.id === 'iiif' && served.id === 'https://example.org/maps/relief/iiif' &&
        served.type === 'ImageService3' && served.profile === 'level0' &&
        served['@context'] === 'http://iiif.io/api/image/3/context.json' &&
        served.width === known.width && served.height === known.height,
  'info.json is an IIIF Image API 3.0 level 0 service of the map, its id relative or at --iiif-base');
  // A client's first requests: the tiles of the largest scale factor and
  // the listed size, at the paths the service's tiles and sizes imply.
  const large = JSON.parse(fs.readFileSync(path.join(site, 'large', 'iiif', 'info.json'), 'utf8'));
  const tile = large.tiles[0];
  const factor = tile.scaleFactors[tile.scaleFactors.length - 2];
  const span = tile.width * factor;
  const x = span;
  const w = Math.min(span, large.width - x);
  const h = Math.min(span, large.height);
  const sizePath = `${Math.ceil(w / factor)},${Math.ceil(h / factor)}`;
  const paths = [`iiif/${x},0,${w},${h}/${sizePath}/0/default.jpg`,
    `iiif/full/${large.sizes[0].width},${large.sizes[0].height}/0/default.jpg`, 'iiif/full/max/0/default.jpg'];
  const statuses = await Promise.all(paths.map((p) => fetch(`${base}/large/${p}`).then((r) => r.status)));
  check(statuses.every((s) => s === 200), `the IIIF tiles a client asks for are served (${paths.join(', ')})`);
}

// ---- the pictures ----

const lights = ['0,0', '0.55,0.4', '-0.7,-0.3'];
for (const light of lights) await compareView('lrgb', `${base}/lrgb/index.html`, maps.lrgb, light, 'plain', 1, 0.999, 2);
await compareView('lrgb', `${base}/lrgb/index.html`, maps.lrgb, '-0.5,0.6', 'specular', 2, 0.99, 2);
await compareView('lrgb', `${base}/lrgb/index.html`, maps.lrgb, '0.3,-0.6', 'gain', 2, 0.99, 2);
await compareView('lrgb', `${base}/lrgb/index.html`, maps.lrgb, '0,0', 'normals', 0, 1, 2);
await compareView('lrgb', `${base}/lrgb/index.html`, maps.lrgb, '0.2,0.7', 'specular', 2, 0.99, 2,
  ['--kd', '0.6', '--ks', '0.7', '--exp', '25', '--intensity', '1.5']);
await compareView('lrgb', `${base}/lrgb/index.html`, maps.lrgb, '-0.3,0.3', 'gain', 2, 0.99, 2, ['--gain', '4']);
await compareView('lrgb', `${base}/lrgb/index.html`, maps.lrgb, '0.1,0.1', 'plain', 1, 0.999, 2, ['--intensity', '0.6']);
await compareView('lrgb', `${base}/lrgb/index.html`, maps.lrgb, '0.55,0.4', 'plain', 1, 0.999, 1);
await compareView('lrgb', `${base}/lrgb/index.html`, maps.lrgb, '-0.5,0.6', 'specular', 2, 0.99, 1);
for (const light of lights.slice(1)) await compareView('rgb', `${base}/rgb/index.html`, maps.rgb, light, 'plain', 1, 0.999, 2);
await compareView('rgb', `${base}/rgb/index.html`, maps.rgb, '0.7,-0.2', 'specular', 2, 0.99, 2);
await compareView('rgb', `${base}/rgb/index.html`, maps.rgb, '-0.4,-0.4', 'gain', 2, 0.99, 1);
await compareView('rgb', `${base}/rgb/index.html`, maps.rgb, '-0.7,-0.3', 'plain', 1, 0.999, 1);
const page = `file://${path.join(work, 'lut.html')}`;
await compareView('lut', page, maps.lut, '0.55,0.4', 'plain', 1, 0.999, 2);
await compareView('lut', page, maps.lut, '-0.2,0.8', 'gain', 2, 0.99, 2);
await compareView('lut', page, maps.lut, '-0.7,-0.3', 'plain', 1, 0.999, 1);
await compareView('lut', page, maps.lut, '0.4,0.4', 'specular', 2, 0.99, 1);

// The other ways in: colour tables, and compressed planes.
await compareView('clut', `${base}/clut/index.html`, maps.clut, '0.4,-0.5', 'plain', 1, 0.999, 2);
await compareView('jpegls', `${base}/jpegls/index.html`, maps.jpegls, '-0.6,0.1', 'plain', 1, 0.999, 2);

// ---- the tiles a view fetches ----

// The tiles of Deep Zoom level `level` that meet the map rectangle seen
// in a canvas of width x height CSS pixels at `scale` from `at`.
function expectedTiles(description, scale, at, width, height, planes) {
  const maxLevel = description.levels - 1;
  const level = scale >= 1 ? maxLevel : Math.max(0, maxLevel - Math.floor(Math.log2(1 / scale) + 1e-9));
  const f = 2 ** (maxLevel - level);
  const span = description.tile_size * f;
  const x0 = Math.max(0, at[0]);
  const y0 = Math.max(0, at[1]);
  const x1 = Math.min(description.width, at[0] + width / scale);
  const y1 = Math.min(description.height, at[1] + height / scale);
  const expected = new Set();
  for (let row = Math.floor(y0 / span); row * span < y1; ++row) {
    for (let column = Math.floor(x0 / span); column * span < x1; ++column) {
      for (const plane of planes) expected.add(`/large/${plane}_files/${level}/${column}_${row}.png`);
    }
  }
  return expected;
}

{
  const description = JSON.parse(fs.readFileSync(path.join(site, 'large', 'map.json'), 'utf8'));
  const planes = description.planes.filter((plane) => plane !== 'normals');
  // The first view: the map fitted to the window.
  const first = await openView(`${base}/large/index.html`);
  await first.page.waitForFunction(() => location.hash.includes('scale='));
  const state = await first.page.evaluate(() => {
    const canvas = document.getElementById('view');
    const fields = Object.fromEntries(location.hash.slice(1).split('&').map((item) => item.split('=')));
    return { hash: location.hash, width: canvas.clientWidth, height: canvas.clientHeight,
      scale: Number(fields.scale), at: fields.at.split(',').map(Number) };
  });
  const expected = expectedTiles(description, state.scale, state.at, state.width, state.height, planes);
  const fetched = new Set(first.tiles);
  check(first.tiles.length === fetched.size && fetched.size === expected.size && [...expected].every((t) => fetched.has(t)),
    `the first view of the 1600 x 1200 map (${state.hash}) fetched only its ${expected.size} tiles (${first.tiles.length} requests)`);
  await first.page.screenshot({ path: path.join(work, 'large-first-view.png') });

  // Every control is labelled and reached with the Tab key; choosing a
  // mode changes the view; Save PNG saves the canvas.
  const controls = await first.page.evaluate(() => [...document.querySelectorAll('#controls input, #controls select')]
    .every((control) => control.labels.length > 0));
  const reached = [];
  await first.page.focus('#mode');
  for (let i = 0; i < 8; ++i) {
    reached.push(await first.page.evaluate(() => document.activeElement.id));
    await first.page.keyboard.press('Tab');
  }
  check(controls && ['mode', 'intensity', 'light-dial', 'reset', 'fullscreen', 'save', 'view'].every((id) => reached.includes(id)),
    `the controls are labelled and the Tab key reaches them (${reached.join(', ')})`);
  await first.page.selectOption('#mode', 'specular');
  await first.page.waitForFunction(() => location.hash.includes('mode=specular') &&
    document.documentElement.dataset.ready === '1' && !document.querySelector('[data-mode=specular]').hidden);
  const [download] = await Promise.all([first.page.waitForEvent('download'), first.page.click('#save')]);
  const saved = fs.readFileSync(await download.path());
  const canvasSize = await first.page.evaluate(() => [document.getElementById('view').width, document.getElementById('view').height]);
  check(download.suggestedFilename() === 'large-view.png' && saved.readUInt32BE(16) === canvasSize[0] &&
        saved.readUInt32BE(20) === canvasSize[1],
  `the mode menu shows the specular settings, and Save PNG saved ${download.suggestedFilename()} of ${canvasSize.join(' x ')}`);
  await first.page.selectOption('#mode', 'plain');

  // The keys: the light moves and the fragment follows; a drag with Shift pans.
  await first.page.focus('#view');
  await first.page.keyboard.press('ArrowLeft');
  await first.page.waitForFunction(() => location.hash.startsWith('#light=-0.05,0&'));
  await first.page.waitForFunction(() => document.documentElement.dataset.ready === '1');
  const box = await first.page.locator('#view').boundingBox();
  await first.page.keyboard.down('Shift');
  await first.page.mouse.move(box.x + 400, box.y + 300);
  await first.page.mouse.down();
  await first.page.mouse.move(box.x + 300, box.y + 250, { steps: 4 });
  await first.page.mouse.up();
  await first.page.keyboard.up('Shift');
  // The fragment is written a moment after the last change; the pan is
  // 100 x 50 CSS pixels, in map pixels at the view's scale.
  const target = [state.at[0] + 100 / state.scale, state.at[1] + 50 / state.scale];
  const panned = await first.page.waitForFunction(([x, y]) => {
    const at = location.hash.match(/at=([-\d.]+),([-\d.]+)/);
    return at && Math.abs(Number(at[1]) - x) < 1 && Math.abs(Number(at[2]) - y) < 1;
  }, target, { timeout: 10000 }).then(() => true, () => false);
  const moved = await first.page.evaluate(() => location.hash);
  check(panned && moved.startsWith('#light=-0.05,0&'),
    `the arrow key moved the light and a Shift drag panned by the pointer's path (${moved})`);
  await first.page.close();

  // A view at full size fetches the tiles of the last level it covers.
  const zoomed = await openView(`${base}/large/index.html#light=0.2,0.2&mode=plain&scale=1&at=300,200&ui=0`);
  const zoomedExpected = expectedTiles(description, 1, [300, 200], 800, 600, planes);
  check(zoomed.tiles.length === zoomedExpected.size && zoomed.tiles.every((t) => zoomedExpected.has(t)),
    `a full-size view fetched its ${zoomedExpected.size} tiles and no others (${zoomed.tiles.length} requests)`);
  await zoomed.page.close();

  // A malformed parameter is left out with a warning; the rest applies.
  const malformed = await openView(`${base}/lrgb/index.html#light=one,two&mode=gain&scale=1&at=0,0&ui=0`);
  const hash = await malformed.page.evaluate(() => new Promise((resolve) => setTimeout(() => resolve(location.hash), 400)));
  check(malformed.warnings.some((w) => w.includes('light=one,two')) && hash.startsWith('#light=0,0&mode=gain&'),
    `a malformed light is ignored with a warning (${hash})`);
  await malformed.page.close();
}

await browser.close();
server.close();
console.log(failures === 0 ? 'All browser checks passed' : `${failures} browser checks failed`);
process.exit(failures === 0 ? 0 : 1);
