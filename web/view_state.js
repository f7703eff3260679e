// The view: one object holds everything the picture depends on, and the URL
// fragment is its text, so that a view can be shared as a link.
//
//   #light=U,V&mode=plain|specular|gain|normals&scale=S&at=X,Y
//    [&kd=K&ks=K&exp=N&gain=G&intensity=I][&ui=0][&gl=1]
//
// S is CSS pixels per map pixel; (X, Y) is the map position (x from the
// left, y from the top of the picture, in map pixels) at the canvas's
// top-left corner. kd, ks, exp, gain and intensity appear only when they
// differ from the map's defaults (the desktop viewer's starting values).

export const MODES = ['plain', 'specular', 'gain', 'normals'];

// The square of light positions the desktop reaches while extrapolating.
const MAX_LIGHT = 3;
const MIN_SCALE = 1 / 4096;
const MAX_SCALE = 256;

// The state a map opens with: its default view, not yet placed (scale and
// at are set by fitting it to the window).
export function defaultView(description) {
  const d = description.default_view;
  return {
    light: [d.light[0], d.light[1]],
    mode: d.mode,
    kd: d.kd,
    ks: d.ks,
    exp: d.exp,
    gain: d.gain,
    intensity: d.intensity,
    scale: null,
    at: null,
    ui: true,
    webgl1: false,
  };
}

function numbers(text, count) {
  const parts = text.split(',');
  if (parts.length !== count) return null;
  const values = parts.map((part) => (/^[-+]?(\d+\.?\d*|\.\d+)(e[-+]?\d+)?$/i.test(part) ? Number(part) : NaN));
  return values.every(Number.isFinite) ? values : null;
}

function within(value, low, high) {
  return value !== null && value >= low && value <= high ? value : null;
}

// Each parameter's reader: the value for the state, or null when the text
// is malformed.
const PARAMETERS = {
  light: (text) => {
    const v = numbers(text, 2);
    return v && Math.abs(v[0]) <= MAX_LIGHT && Math.abs(v[1]) <= MAX_LIGHT ? v : null;
  },
  mode: (text) => (MODES.includes(text) ? text : null),
  scale: (text) => within(numbers(text, 1)?.[0] ?? null, MIN_SCALE, MAX_SCALE),
  at: (text) => numbers(text, 2),
  kd: (text) => within(numbers(text, 1)?.[0] ?? null, 0, 255),
  ks: (text) => within(numbers(text, 1)?.[0] ?? null, 0, 255),
  exp: (text) => {
    const v = numbers(text, 1)?.[0] ?? null;
    return Number.isInteger(v) ? within(v, 0, 1000) : null;
  },
  gain: (text) => within(numbers(text, 1)?.[0] ?? null, 1, 101),
  intensity: (text) => within(numbers(text, 1)?.[0] ?? null, 0, 255),
  ui: (text) => (text === '0' ? false : text === '1' ? true : null),
  gl: (text) => (text === '1' ? true : text === '2' ? false : null),
};

// Applies the fragment to `state`; a malformed or unknown parameter is
// left out with a warning on the console. Returns whether it placed the
// view (gave a scale).
export function readFragment(hash, state) {
  const text = hash.startsWith('#') ? hash.slice(1) : hash;
  let placed = false;
  let at = null;
  for (const item of text.split('&')) {
    if (item === '') continue;
    const equals = item.indexOf('=');
    const key = equals < 0 ? item : item.slice(0, equals);
    const raw = equals < 0 ? '' : decodeURIComponent(item.slice(equals + 1));
    const read = Object.prototype.hasOwnProperty.call(PARAMETERS, key) ? PARAMETERS[key] : null;
    const value = read ? read(raw) : null;
    if (value === null) {
      console.warn(`Relumo: ignoring the view parameter "${item}"`);
      continue;
    }
    if (key === 'gl') state.webgl1 = value;
    else if (key === 'at') at = value;
    else state[key] = value;
    if (key === 'scale') placed = true;
  }
  if (placed) state.at = at;
  return placed;
}

// Short decimal text: at most `places` decimals, no trailing zeros.
export function decimal(value, places) {
  const text = value.toFixed(places);
  return text.includes('.') ? text.replace(/\.?0+$/, '') : text;
}

export function writeFragment(state, defaults) {
  const parts = [
    `light=${decimal(state.light[0], 4)},${decimal(state.light[1], 4)}`,
    `mode=${state.mode}`,
    `scale=${Number(state.scale.toPrecision(6))}`,
    `at=${decimal(state.at[0], 2)},${decimal(state.at[1], 2)}`,
  ];
  for (const key of ['kd', 'ks', 'exp', 'gain', 'intensity']) {
    if (state[key] !== defaults[key]) parts.push(`${key}=${Number(state[key].toPrecision(6))}`);
  }
  if (!state.ui) parts.push('ui=0');
  if (state.webgl1) parts.push('gl=1');
  return '#' + parts.join('&');
}

// The scale and corner that show the whole map centred in a canvas of
// width x height CSS pixels.
export function fitView(state, description, width, height) {
  const scale = Math.min(MAX_SCALE, width / description.width, height / description.height);
  state.scale = Number.isFinite(scale) && scale >= MIN_SCALE ? scale : MIN_SCALE;
  centreView(state, description, width, height);
}

export function centreView(state, description, width, height) {
  state.at = [
    (description.width - width / state.scale) / 2,
    (description.height - height / state.scale) / 2,
  ];
}

// Zooms by `factor` keeping the map position under the canvas point
// (x, y) (CSS pixels) where it is.
export function zoomAbout(state, factor, x, y) {
  const scale = Math.min(MAX_SCALE, Math.max(MIN_SCALE, state.scale * factor));
  state.at = [state.at[0] + x / state.scale - x / scale, state.at[1] + y / state.scale - y / scale];
  state.scale = scale;
}

// The light moved to (u, v), kept on the unit disc the way a light above
// the surface can be, to three decimals so that the fragment holds it
// exactly.
export function setLight(state, u, v) {
  const r = Math.hypot(u, v);
  if (r > 1) {
    u /= r;
    v /= r;
  }
  state.light = [Math.round(u * 1000) / 1000, Math.round(v * 1000) / 1000];
}
