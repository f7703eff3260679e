// The Deep Zoom pyramids of the planes: which level a zoom shows, which of
// its tiles a view covers, and a store that loads the tiles a view needs
// (and no others) into textures, the current view's first.

export function createPyramid(description) {
  return {
    width: description.width,
    height: description.height,
    tileSize: description.tile_size,
    overlap: description.overlap,
    maxLevel: description.levels - 1,
  };
}

// Map pixels per pixel of `level`: the full picture is the last level.
export function levelFactor(pyramid, level) {
  return 2 ** (pyramid.maxLevel - level);
}

export function levelSize(pyramid, level) {
  const f = levelFactor(pyramid, level);
  return [Math.ceil(pyramid.width / f), Math.ceil(pyramid.height / f)];
}

// The coarsest level whose pixels are no larger than a device pixel, for
// `pixels` device pixels per map pixel: magnified views show the full
// picture, a view at half size the level below it, and so on.
export function chooseLevel(pyramid, pixels) {
  if (pixels >= 1) return pyramid.maxLevel;
  const halvings = Math.floor(Math.log2(1 / pixels) + 1e-9);
  return Math.max(0, pyramid.maxLevel - halvings);
}

// The tiles of `level` that meet the map rectangle [x0, x1) x [y0, y1)
// (map pixels), centre first, so that the middle of the view arrives first.
export function visibleTiles(pyramid, level, x0, y0, x1, y1) {
  const f = levelFactor(pyramid, level);
  const [w, h] = levelSize(pyramid, level);
  const columns = Math.ceil(w / pyramid.tileSize);
  const rows = Math.ceil(h / pyramid.tileSize);
  const span = pyramid.tileSize * f;
  const c0 = Math.max(0, Math.floor(x0 / span));
  const r0 = Math.max(0, Math.floor(y0 / span));
  const c1 = Math.min(columns - 1, Math.ceil(x1 / span) - 1);
  const r1 = Math.min(rows - 1, Math.ceil(y1 / span) - 1);
  const tiles = [];
  for (let row = r0; row <= r1; ++row) {
    for (let column = c0; column <= c1; ++column) tiles.push({ level, column, row });
  }
  const cx = (x0 + x1) / 2;
  const cy = (y0 + y1) / 2;
  const distance = (t) => Math.hypot((t.column + 0.5) * span - cx, (t.row + 0.5) * span - cy);
  return tiles.sort((a, b) => distance(a) - distance(b));
}

// Where a tile lies: its own area in map pixels (clipped to the map), the
// level pixel at its texture's top-left (its overlap included), and the
// level's map pixels per texel.
export function tileGeometry(pyramid, level, column, row) {
  const f = levelFactor(pyramid, level);
  const [w, h] = levelSize(pyramid, level);
  const t = pyramid.tileSize;
  const x0 = column * t;
  const y0 = row * t;
  const x1 = Math.min(w, x0 + t);
  const y1 = Math.min(h, y0 + t);
  const mapX1 = Math.min(pyramid.width, x1 * f);
  const mapY1 = Math.min(pyramid.height, y1 * f);
  return {
    rect: [x0 * f, y0 * f, mapX1 - x0 * f, mapY1 - y0 * f],
    origin: [Math.max(0, x0 - pyramid.overlap), Math.max(0, y0 - pyramid.overlap)],
    factor: f,
  };
}

// The parent of a tile one level up the pyramid (coarser), or null at the
// top.
export function parentTile(tile) {
  if (tile.level === 0) return null;
  return { level: tile.level - 1, column: tile.column >> 1, row: tile.row >> 1 };
}

export function tileKey(plane, tile) {
  return `${plane}/${tile.level}/${tile.column}_${tile.row}`;
}

// Textures of tiles, loaded on request. request() replaces the wanted
// list: loads not yet started for tiles no longer wanted are dropped.
// Textures not wanted by the last request are released, least recently
// wanted first, once more than `limit` are held.
export function createTileStore({ load, upload, release, changed, limit = 320, concurrency = 6 }) {
  const entries = new Map();
  let queue = [];
  let loading = 0;
  let generation = 0;

  function evict() {
    if (entries.size <= limit) return;
    const idle = [...entries].filter(([, e]) => e.state !== 'loading' && e.wanted < generation);
    idle.sort((a, b) => a[1].wanted - b[1].wanted);
    for (const [key, entry] of idle.slice(0, entries.size - limit)) {
      if (entry.texture) release(entry.texture);
      entries.delete(key);
    }
  }

  function pump() {
    while (loading < concurrency && queue.length > 0) {
      const { plane, tile, key } = queue.shift();
      if (entries.has(key)) continue;
      const entry = { state: 'loading', wanted: generation, texture: null };
      entries.set(key, entry);
      loading += 1;
      load(plane, tile)
        .then((bitmap) => {
          entry.texture = upload(bitmap);
          if (bitmap.close) bitmap.close();
          entry.state = 'ready';
        })
        .catch((error) => {
          entry.state = 'failed';
          console.warn(`Relumo: tile ${key} could not be loaded: ${error.message ?? error}`);
        })
        .finally(() => {
          loading -= 1;
          evict();
          pump();
          changed();
        });
    }
  }

  return {
    // wanted: [{ plane, tile }] in the order they should arrive.
    request(wanted) {
      generation += 1;
      queue = [];
      for (const { plane, tile } of wanted) {
        const key = tileKey(plane, tile);
        const entry = entries.get(key);
        if (entry) entry.wanted = generation;
        else queue.push({ plane, tile, key });
      }
      pump();
    },
    // The texture, or null while it loads (or when it failed).
    texture(plane, tile) {
      const entry = entries.get(tileKey(plane, tile));
      return entry && entry.state === 'ready' ? entry.texture : null;
    },
    // Whether loading has ended, with a texture or without.
    settled(plane, tile) {
      const entry = entries.get(tileKey(plane, tile));
      return entry !== undefined && entry.state !== 'loading';
    },
    failures() {
      let count = 0;
      for (const entry of entries.values()) if (entry.state === 'failed') count += 1;
      return count;
    },
  };
}
