// Where the map comes from: the folder the page was served from (map.json
// and the tile files beside index.html, fetched relative to the page, so
// that any sub-path works), or the data embedded in a single-file page,
// which opens from disk where nothing can be fetched.

const EMBEDDED_ID = 'relumo-embedded';

// Tiles are decoded without any colour management: their bytes are
// coefficients.
const DECODE_OPTIONS = { premultiplyAlpha: 'none', colorSpaceConversion: 'none' };

function mimeType(description) {
  return description.tile_format === 'jpg' ? 'image/jpeg' : 'image/png';
}

function decodeBase64(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

function embeddedSource(element) {
  const data = JSON.parse(element.textContent);
  const description = data.map;
  const type = mimeType(description);
  return {
    description,
    load(plane, tile) {
      const text = data.tiles[`${plane}/${tile.level}/${tile.column}_${tile.row}`];
      if (text === undefined) return Promise.reject(new Error('not in this page'));
      return createImageBitmap(new Blob([decodeBase64(text)], { type }), DECODE_OPTIONS);
    },
  };
}

async function folderSource() {
  const response = await fetch('map.json');
  if (!response.ok) throw new Error(`map.json could not be loaded (HTTP ${response.status})`);
  const description = await response.json();
  const extension = description.tile_format;
  return {
    description,
    async load(plane, tile) {
      const url = `${plane}_files/${tile.level}/${tile.column}_${tile.row}.${extension}`;
      const tileResponse = await fetch(url);
      if (!tileResponse.ok) throw new Error(`HTTP ${tileResponse.status}`);
      return createImageBitmap(await tileResponse.blob(), DECODE_OPTIONS);
    },
  };
}

export async function openMapSource() {
  const element = document.getElementById(EMBEDDED_ID);
  return element ? embeddedSource(element) : folderSource();
}
