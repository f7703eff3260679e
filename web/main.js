// The page: opens the map, places the view (from the URL fragment, or
// fitted to the window), and draws a frame whenever the view changes or a
// tile arrives. <html data-ready="1"> says that every tile of the current
// view is drawn; it is "0" while a change is loading.

import { bindControls } from './controls.js';
import { halfVector, lightWeights } from './lighting.js';
import { openMapSource } from './map_source.js';
import { createRenderer } from './renderer.js';
import { FORMATS, MODE_NUMBERS } from './shader.js';
import {
  chooseLevel, createPyramid, createTileStore, parentTile, tileGeometry, tileKey, visibleTiles,
} from './tiles.js';
import { centreView, defaultView, fitView, readFragment, writeFragment } from './view_state.js';

const FRAGMENT_DELAY_MS = 250;

const root = document.documentElement;
const canvas = document.getElementById('view');

function showMessage(text) {
  const message = document.getElementById('message');
  message.textContent = text;
  message.hidden = text === '';
}

function canvasSize() {
  return [canvas.clientWidth, canvas.clientHeight];
}

async function start() {
  const source = await openMapSource();
  const description = source.description;
  if (description.title) {
    document.title = `${description.title} – Relumo`;
    document.getElementById('title').textContent = description.title;
  }
  const defaults = defaultView(description);
  const state = defaultView(description);
  const placed = readFragment(location.hash, state);
  root.classList.toggle('no-ui', !state.ui);

  const renderer = createRenderer(canvas, state.webgl1);
  root.dataset.webgl = String(renderer.version);
  const pyramid = createPyramid(description);
  const coefficientPlanes = description.planes.filter((plane) => plane !== 'normals');
  // The fixed-point scales are the published ones times 256, integers.
  const scales = description.scale.map((s) => Math.round(s * 256));

  let frameRequested = false;
  let fragmentTimer = 0;
  let written = '';
  const requestFrame = () => {
    if (frameRequested) return;
    frameRequested = true;
    requestAnimationFrame(drawFrame);
  };
  const store = createTileStore({
    load: source.load,
    upload: renderer.upload,
    release: renderer.release,
    changed: requestFrame,
  });

  function planesOf(mode) {
    if (mode === 'normals') return ['normals'];
    if (mode === 'plain') return coefficientPlanes;
    return [...coefficientPlanes, 'normals'];
  }

  // The tile with every plane the mode needs, ready to draw, or null.
  function drawable(tile, planes) {
    const textures = planes.map((plane) => store.texture(plane, tile));
    if (textures.some((texture) => texture === null)) return null;
    const normals = planes[planes.length - 1] === 'normals' ? textures.pop() : null;
    return { ...tileGeometry(pyramid, tile.level, tile.column, tile.row), planes: textures, normals };
  }

  function drawFrame() {
    frameRequested = false;
    const ratio = window.devicePixelRatio || 1;
    const [cssWidth, cssHeight] = canvasSize();
    const width = Math.max(1, Math.round(cssWidth * ratio));
    const height = Math.max(1, Math.round(cssHeight * ratio));
    if (canvas.width !== width) canvas.width = width;
    if (canvas.height !== height) canvas.height = height;

    const pixels = state.scale * ratio;
    const level = chooseLevel(pyramid, pixels);
    const x0 = Math.max(0, state.at[0]);
    const y0 = Math.max(0, state.at[1]);
    const x1 = Math.min(description.width, state.at[0] + width / pixels);
    const y1 = Math.min(description.height, state.at[1] + height / pixels);
    const tiles = x1 > x0 && y1 > y0 ? visibleTiles(pyramid, level, x0, y0, x1, y1) : [];
    const planes = planesOf(state.mode);
    store.request(tiles.flatMap((tile) => planes.map((plane) => ({ plane, tile }))));

    // Tiles still loading are stood in for by the nearest coarser tile
    // already loaded, drawn first so that the finer tiles cover it.
    const finished = [];
    const standIns = new Map();
    let complete = true;
    for (const tile of tiles) {
      const ready = drawable(tile, planes);
      if (ready) {
        finished.push(ready);
        continue;
      }
      if (!planes.every((plane) => store.settled(plane, tile))) complete = false;
      for (let parent = parentTile(tile); parent; parent = parentTile(parent)) {
        const key = tileKey('', parent);
        const standIn = standIns.get(key) ?? drawable(parent, planes);
        if (standIn) {
          standIns.set(key, { ...standIn, level: parent.level });
          break;
        }
      }
    }
    const order = [...standIns.values()].sort((a, b) => a.level - b.level);
    const [u, v] = state.light;
    renderer.draw(
      {
        width,
        height,
        at: state.at,
        pixels,
        format: FORMATS[description.format],
        mode: MODE_NUMBERS[state.mode],
        scale: scales,
        bias: description.bias,
        weights: lightWeights(u, v),
        kd: state.kd,
        ks: state.ks,
        exponent: state.exp,
        gain: state.gain,
        intensity: state.intensity,
        half: halfVector(u, v),
      },
      [...order, ...finished],
    );
    const failures = store.failures();
    showMessage(failures > 0 ? `${failures} tiles of this map could not be loaded.` : '');
    root.dataset.ready = complete ? '1' : '0';
  }

  function writeFragmentSoon() {
    clearTimeout(fragmentTimer);
    fragmentTimer = setTimeout(() => {
      written = writeFragment(state, defaults);
      history.replaceState(null, '', written);
    }, FRAGMENT_DELAY_MS);
  }

  let controls = null;
  function changed() {
    root.dataset.ready = '0';
    controls.reflect();
    requestFrame();
    writeFragmentSoon();
  }

  function place(placedByFragment) {
    const [w, h] = canvasSize();
    if (!placedByFragment) fitView(state, description, w, h);
    else if (state.at === null) centreView(state, description, w, h);
  }

  function reset() {
    const { ui, webgl1 } = state;
    Object.assign(state, defaultView(description), { ui, webgl1 });
    place(false);
    changed();
  }

  function save() {
    // The drawing buffer is kept only until the frame is shown, so the
    // picture is drawn and taken in one go.
    drawFrame();
    canvas.toBlob((blob) => {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(blob);
      link.download = `${(description.title || 'map').replace(/\.[^.]*$/, '')}-view.png`;
      link.click();
      setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    }, 'image/png');
  }

  controls = bindControls({ state, canvas, changed, reset, save });
  place(placed);
  changed();

  window.addEventListener('resize', requestFrame);
  window.addEventListener('hashchange', () => {
    if (location.hash === written) return;
    const { webgl1 } = state;
    Object.assign(state, defaultView(description), { webgl1 });
    const placedNow = readFragment(location.hash, state);
    root.classList.toggle('no-ui', !state.ui);
    place(placedNow);
    changed();
  });
}

start().catch((error) => {
  // A folder opened from disk: browsers fetch nothing for a file:// page.
  const hint = location.protocol === 'file:' && !document.getElementById('relumo-embedded')
    ? ' Serve this folder (for example with "python3 -m http.server" in it) and open it' +
      ' through the server, or publish the map as a single page (relumo-tool web MAP -o page.html).'
    : '';
  showMessage(`This map cannot be shown: ${error.message ?? error}.${hint}`);
  console.error(error);
});
