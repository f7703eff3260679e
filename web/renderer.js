// WebGL: the context (WebGL 2 where the browser has it, WebGL 1 otherwise
// or when asked), the textures of the tiles, and the drawing of a frame.

import { VERTEX_SHADER, fragmentShader } from './shader.js';

const CONTEXT_ATTRIBUTES = {
  alpha: false,
  antialias: false,
  depth: false,
  stencil: false,
  premultipliedAlpha: false,
  preserveDrawingBuffer: false,
};

const UNIFORMS = [
  'u_rect', 'u_at', 'u_pixels', 'u_canvas', 'u_canvas_height', 'u_exact',
  'u_level_factor', 'u_tile_origin', 'u_tile_size', 'u_scale_low', 'u_scale_high', 'u_bias_low',
  'u_bias_high', 'u_weight_low', 'u_weight_high', 'u_kd', 'u_ks', 'u_exponent', 'u_gain',
  'u_intensity', 'u_half', 'u_plane0', 'u_plane1', 'u_plane2', 'u_plane3', 'u_plane4', 'u_plane5',
  'u_normals',
];

// The texture units of the planes: the coefficient planes in the order
// the map lists them, then the normals in the last unit.
const NORMALS_UNIT = 6;

function compile(gl, type, source) {
  const shader = gl.createShader(type);
  gl.shaderSource(shader, source);
  gl.compileShader(shader);
  if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS)) {
    throw new Error(`the shader does not compile: ${gl.getShaderInfoLog(shader)}`);
  }
  return shader;
}

// The program of one format and mode, with its uniforms' locations and
// its samplers bound to their units.
function link(gl, format, mode) {
  const program = gl.createProgram();
  gl.attachShader(program, compile(gl, gl.VERTEX_SHADER, VERTEX_SHADER));
  gl.attachShader(program, compile(gl, gl.FRAGMENT_SHADER, fragmentShader(format, mode)));
  gl.bindAttribLocation(program, 0, 'a_corner');
  gl.linkProgram(program);
  if (!gl.getProgramParameter(program, gl.LINK_STATUS)) {
    throw new Error(`the shaders do not link: ${gl.getProgramInfoLog(program)}`);
  }
  const uniform = {};
  for (const name of UNIFORMS) uniform[name] = gl.getUniformLocation(program, name);
  gl.useProgram(program);
  for (let unit = 0; unit <= NORMALS_UNIT; ++unit) {
    gl.uniform1i(uniform[unit === NORMALS_UNIT ? 'u_normals' : `u_plane${unit}`], unit);
  }
  return { program, uniform };
}

export function createRenderer(canvas, webgl1) {
  let gl = webgl1 ? null : canvas.getContext('webgl2', CONTEXT_ATTRIBUTES);
  const version = gl ? 2 : 1;
  if (!gl) gl = canvas.getContext('webgl', CONTEXT_ATTRIBUTES);
  if (!gl) throw new Error('this browser has no WebGL');
  const programs = new Map();
  const programOf = (format, mode) => {
    const key = `${format}/${mode}`;
    if (!programs.has(key)) programs.set(key, link(gl, format, mode));
    return programs.get(key);
  };
  const quad = gl.createBuffer();
  gl.bindBuffer(gl.ARRAY_BUFFER, quad);
  gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([0, 0, 1, 0, 0, 1, 1, 1]), gl.STATIC_DRAW);
  gl.enableVertexAttribArray(0);
  gl.vertexAttribPointer(0, 2, gl.FLOAT, false, 0, 0);
  // The tiles' bytes are coefficients, not colours: nothing may convert,
  // premultiply or flip them on the way in.
  gl.pixelStorei(gl.UNPACK_COLORSPACE_CONVERSION_WEBGL, gl.NONE);
  gl.pixelStorei(gl.UNPACK_PREMULTIPLY_ALPHA_WEBGL, false);
  gl.pixelStorei(gl.UNPACK_FLIP_Y_WEBGL, false);

  function upload(bitmap) {
    const texture = gl.createTexture();
    gl.bindTexture(gl.TEXTURE_2D, texture);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGB, gl.RGB, gl.UNSIGNED_BYTE, bitmap);
    return { texture, width: bitmap.width, height: bitmap.height, filter: gl.NEAREST };
  }

  function release(entry) {
    gl.deleteTexture(entry.texture);
  }

  function bind(unit, entry, filter) {
    gl.activeTexture(gl.TEXTURE0 + unit);
    gl.bindTexture(gl.TEXTURE_2D, entry.texture);
    if (entry.filter !== filter) {
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, filter);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, filter);
      entry.filter = filter;
    }
  }

  // frame: { width, height (device pixels), at, pixels (device pixels per
  // map pixel), format, mode, scale[6], bias[6], weights[6], kd, ks,
  // exponent, gain, intensity, half[3] }; tiles: [{ rect (map pixels),
  // origin (level pixels), factor, planes: [entries], normals: entry }].
  function draw(frame, tiles) {
    gl.viewport(0, 0, frame.width, frame.height);
    gl.clearColor(0.106, 0.106, 0.106, 1);
    gl.clear(gl.COLOR_BUFFER_BIT);
    const { program, uniform } = programOf(frame.format, frame.mode);
    gl.useProgram(program);
    gl.uniform2f(uniform.u_at, frame.at[0], frame.at[1]);
    gl.uniform1f(uniform.u_pixels, frame.pixels);
    gl.uniform2f(uniform.u_canvas, frame.width, frame.height);
    gl.uniform1f(uniform.u_canvas_height, frame.height);
    gl.uniform3f(uniform.u_scale_low, frame.scale[0], frame.scale[1], frame.scale[2]);
    gl.uniform3f(uniform.u_scale_high, frame.scale[3], frame.scale[4], frame.scale[5]);
    gl.uniform3f(uniform.u_bias_low, frame.bias[0], frame.bias[1], frame.bias[2]);
    gl.uniform3f(uniform.u_bias_high, frame.bias[3], frame.bias[4], frame.bias[5]);
    gl.uniform3f(uniform.u_weight_low, frame.weights[0], frame.weights[1], frame.weights[2]);
    gl.uniform3f(uniform.u_weight_high, frame.weights[3], frame.weights[4], frame.weights[5]);
    gl.uniform1f(uniform.u_kd, frame.kd);
    gl.uniform1f(uniform.u_ks, frame.ks);
    gl.uniform1f(uniform.u_exponent, frame.exponent);
    gl.uniform1f(uniform.u_gain, frame.gain);
    gl.uniform1f(uniform.u_intensity, frame.intensity);
    gl.uniform3f(uniform.u_half, frame.half[0], frame.half[1], frame.half[2]);
    for (const tile of tiles) {
      // One texel per device pixel is drawn texel for texel (the
      // desktop's picture at scale 1); any other zoom filters linearly.
      const texelsPerPixel = 1 / (frame.pixels * tile.factor);
      const exact = Math.abs(texelsPerPixel - 1) < 1e-9;
      const filter = exact ? gl.NEAREST : gl.LINEAR;
      // Every sampler gets a texture, used or not, so that no unit is
      // left incomplete.
      const reference = tile.planes[0] ?? tile.normals;
      for (let unit = 0; unit < NORMALS_UNIT; ++unit) bind(unit, tile.planes[unit] ?? reference, filter);
      bind(NORMALS_UNIT, tile.normals ?? reference, filter);
      gl.uniform1i(uniform.u_exact, exact ? 1 : 0);
      gl.uniform4f(uniform.u_rect, tile.rect[0], tile.rect[1], tile.rect[2], tile.rect[3]);
      gl.uniform1f(uniform.u_level_factor, tile.factor);
      gl.uniform2f(uniform.u_tile_origin, tile.origin[0], tile.origin[1]);
      gl.uniform2f(uniform.u_tile_size, reference.width, reference.height);
      gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
    }
  }

  return { gl, version, upload, release, draw };
}
