// The controls and the input: the mode and its settings, the light's
// intensity and direction dial, reset, full screen and saving; dragging,
// the wheel, pinching and the keys on the canvas. Each changes the view
// state and calls `changed`; reflect() shows the state in the controls.

import { MODES, decimal, setLight, zoomAbout } from './view_state.js';

const LIGHT_STEP = 0.05;
const KEY_ZOOM = 1.25;
const PAN_FRACTION = 0.1;

function element(id) {
  return document.getElementById(id);
}

// Where a pointer is on an element, in CSS pixels from its top-left.
function position(event, target) {
  const box = target.getBoundingClientRect();
  return [event.clientX - box.left, event.clientY - box.top, box.width, box.height];
}

function isPanGesture(event) {
  return event.button === 1 || event.shiftKey || event.ctrlKey || event.altKey || event.metaKey;
}

export function bindControls({ state, canvas, changed, reset, save }) {
  const mode = element('mode');
  const sliders = ['kd', 'ks', 'exp', 'gain', 'intensity'].map((id) => element(id));
  const dial = element('light-dial');
  const marker = element('light-marker');
  const lightSettings = element('light-settings');

  // The sliders of the desktop: Kd and Ks over 0..1, the exponent over
  // 0..100, the gain over 1..101, the intensity over 0..4.
  mode.addEventListener('change', () => {
    if (MODES.includes(mode.value)) state.mode = mode.value;
    changed();
  });
  for (const slider of sliders) {
    slider.addEventListener('input', () => {
      state[slider.id] = slider.id === 'exp' ? Math.round(Number(slider.value)) : Number(slider.value);
      changed();
    });
  }
  element('reset').addEventListener('click', reset);
  element('save').addEventListener('click', save);
  element('fullscreen').addEventListener('click', () => {
    if (document.fullscreenElement) document.exitFullscreen();
    else document.documentElement.requestFullscreen().catch(() => {});
  });

  function moveLight(du, dv) {
    setLight(state, state.light[0] + du, state.light[1] + dv);
    changed();
  }

  // The light dial: the disc of directions seen from above, the marker at
  // the light's (u, v).
  function dialLight(event) {
    const [x, y, w, h] = position(event, dial);
    // The view box is 2.4 wide around the unit circle.
    setLight(state, ((x / w) * 2 - 1) * 1.2, (1 - (y / h) * 2) * 1.2);
    changed();
  }
  dial.addEventListener('pointerdown', (event) => {
    dial.setPointerCapture(event.pointerId);
    dialLight(event);
  });
  dial.addEventListener('pointermove', (event) => {
    if (dial.hasPointerCapture(event.pointerId)) dialLight(event);
  });

  // The canvas: one pointer steers the light (its position across the
  // canvas is the light's direction) or, with a modifier or the middle
  // button, pans; two pointers pan and pinch.
  const pointers = new Map();
  let gesture = null;
  function pinchState() {
    const [a, b] = [...pointers.values()];
    return { centre: [(a[0] + b[0]) / 2, (a[1] + b[1]) / 2], spread: Math.hypot(a[0] - b[0], a[1] - b[1]) };
  }
  function lightFromCanvas(event) {
    const [x, y, w, h] = position(event, canvas);
    setLight(state, (x / w) * 2 - 1, 1 - (y / h) * 2);
    changed();
  }
  canvas.addEventListener('pointerdown', (event) => {
    canvas.setPointerCapture(event.pointerId);
    canvas.focus({ preventScroll: true });
    const [x, y] = position(event, canvas);
    pointers.set(event.pointerId, [x, y]);
    if (pointers.size === 2) {
      gesture = { kind: 'pinch', ...pinchState() };
    } else if (pointers.size === 1) {
      gesture = isPanGesture(event) ? { kind: 'pan', last: [x, y] } : { kind: 'light' };
      if (gesture.kind === 'light') lightFromCanvas(event);
    }
  });
  // Moves arrive once a frame, so the release may come with a position
  // the last move did not report: both follow the pointer.
  function follow(event) {
    if (!pointers.has(event.pointerId) || !gesture) return;
    const [x, y] = position(event, canvas);
    pointers.set(event.pointerId, [x, y]);
    if (gesture.kind === 'light') {
      lightFromCanvas(event);
    } else if (gesture.kind === 'pan') {
      state.at = [state.at[0] - (x - gesture.last[0]) / state.scale, state.at[1] - (y - gesture.last[1]) / state.scale];
      gesture.last = [x, y];
      changed();
    } else if (gesture.kind === 'pinch' && pointers.size === 2) {
      const now = pinchState();
      state.at = [state.at[0] - (now.centre[0] - gesture.centre[0]) / state.scale,
        state.at[1] - (now.centre[1] - gesture.centre[1]) / state.scale];
      if (gesture.spread > 0 && now.spread > 0) {
        zoomAbout(state, now.spread / gesture.spread, now.centre[0], now.centre[1]);
      }
      Object.assign(gesture, now);
      changed();
    }
  }
  canvas.addEventListener('pointermove', follow);
  const release = (event) => {
    if (event.type === 'pointerup') follow(event);
    pointers.delete(event.pointerId);
    if (pointers.size === 0) gesture = null;
    else if (gesture && gesture.kind === 'pinch') gesture = { kind: 'pan', last: [...pointers.values()][0] };
  };
  canvas.addEventListener('pointerup', release);
  canvas.addEventListener('pointercancel', release);

  canvas.addEventListener('wheel', (event) => {
    event.preventDefault();
    const [x, y] = position(event, canvas);
    const lines = event.deltaMode === 1 ? 16 : event.deltaMode === 2 ? 400 : 1;
    zoomAbout(state, Math.exp(-event.deltaY * lines * 0.002), x, y);
    changed();
  }, { passive: false });

  const keyMoves = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, 1], ArrowDown: [0, -1] };
  function onKey(event, allowPan) {
    const move = keyMoves[event.key];
    if (move) {
      event.preventDefault();
      if (allowPan && event.shiftKey) {
        const [w, h] = [canvas.clientWidth, canvas.clientHeight];
        state.at = [state.at[0] + (move[0] * w * PAN_FRACTION) / state.scale,
          state.at[1] - (move[1] * h * PAN_FRACTION) / state.scale];
        changed();
      } else {
        moveLight(move[0] * LIGHT_STEP, move[1] * LIGHT_STEP);
      }
    } else if (allowPan && (event.key === '+' || event.key === '=' || event.key === '-')) {
      event.preventDefault();
      const factor = event.key === '-' ? 1 / KEY_ZOOM : KEY_ZOOM;
      zoomAbout(state, factor, canvas.clientWidth / 2, canvas.clientHeight / 2);
      changed();
    } else if (allowPan && event.key === '0') {
      event.preventDefault();
      reset();
    }
  }
  canvas.addEventListener('keydown', (event) => onKey(event, true));
  dial.addEventListener('keydown', (event) => onKey(event, false));

  return {
    reflect() {
      mode.value = state.mode;
      for (const group of document.querySelectorAll('.mode-settings')) {
        group.hidden = group.dataset.mode !== state.mode;
      }
      // The normals are shown as they are stored: no light plays a part.
      lightSettings.hidden = state.mode === 'normals';
      for (const slider of sliders) {
        if (document.activeElement !== slider) slider.value = String(state[slider.id]);
      }
      const [u, v] = state.light;
      marker.setAttribute('cx', String(u));
      marker.setAttribute('cy', String(-v));
      dial.setAttribute('aria-valuetext', `u ${decimal(u, 3)}, v ${decimal(v, 3)}`);
    },
  };
}
