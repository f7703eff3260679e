// The map evaluated per pixel on the GPU, mirroring the desktop's
// evaluators of packed 16-bit coefficients step for step.
//
// The shader is GLSL ES 1.00, which WebGL 1 and WebGL 2 both take, and
// works in 32-bit floats: every intermediate value of the plain
// arithmetic is an integer below 2^24 for the scales maps use, where a
// float is exact, and the shifts of the fixed-point code become floors of
// divisions by powers of two, which are exact too. One program is built
// per format and mode, with only their code in it: a GPU in software
// (SwiftShader) runs every branch it is given.

export const FORMATS = { lrgb: 0, rgb: 1 };
export const MODE_NUMBERS = { plain: 0, specular: 1, gain: 2, normals: 3 };

export const VERTEX_SHADER = `
precision highp float;
attribute vec2 a_corner;       // 0..1 across the quad
uniform vec4 u_rect;           // the tile's own area in map pixels: x, y, width, height
uniform vec2 u_at;             // the map position at the canvas's top-left corner
uniform float u_pixels;        // device pixels per map pixel
uniform vec2 u_canvas;         // the canvas in device pixels
void main() {
  vec2 device = (u_rect.xy + a_corner * u_rect.zw - u_at) * u_pixels;
  vec2 clip = device / u_canvas * 2.0 - 1.0;
  gl_Position = vec4(clip.x, -clip.y, 0.0, 1.0);
}
`;

const FRAGMENT_SHADER = `
precision highp float;
uniform sampler2D u_plane0;
uniform sampler2D u_plane1;
uniform sampler2D u_plane2;
uniform sampler2D u_plane3;
uniform sampler2D u_plane4;
uniform sampler2D u_plane5;
uniform sampler2D u_normals;
uniform bool u_exact;          // one texel per device pixel: sample texel centres
uniform vec2 u_at;
uniform float u_pixels;
uniform float u_canvas_height;
uniform float u_level_factor;  // map pixels per texel of the level shown
uniform vec2 u_tile_origin;    // the level pixel at the texture's top-left
uniform vec2 u_tile_size;      // the texture's size in texels
uniform vec3 u_scale_low;      // fixed-point scales (x 256) of a0, a1, a2
uniform vec3 u_scale_high;     // ... of a3, a4, a5
uniform vec3 u_bias_low;
uniform vec3 u_bias_high;
uniform vec3 u_weight_low;     // W0, W1, W2
uniform vec3 u_weight_high;    // W3, W4, W5
uniform float u_kd;
uniform float u_ks;
uniform float u_exponent;
uniform float u_gain;
uniform float u_intensity;
uniform vec3 u_half;           // the specular half-way vector

vec2 tex_coord;

float trunc_toward_zero(float x) { return x < 0.0 ? -floor(-x) : floor(x); }

// The texel's three bytes: exact integers when sampling centres, the
// filtered value between texels otherwise.
vec3 stored_bytes(sampler2D plane) {
  vec3 value = texture2D(plane, tex_coord).rgb * 255.0;
  return u_exact ? floor(value + 0.5) : value;
}

// A stored byte b of coefficient k as the packed form holds it:
// trunc((b - bias) * scale / 256) saturated to 16 bits.
vec3 packed_coefficients(vec3 b, vec3 scale, vec3 bias) {
  vec3 t = (b - bias) * scale / 256.0;
  vec3 q = vec3(trunc_toward_zero(t.x), trunc_toward_zero(t.y), trunc_toward_zero(t.z));
  return clamp(q, -32768.0, 32767.0);
}

// The diffuse-gain rewrite of one coefficient set (display units times
// 256, single precision, in the desktop's order of operations) at the
// normal's projection (nu, nv), stored as the packed form stores it:
// trunc(a' / 256) saturated to 16 bits.
void diffuse_gain(vec3 b_low, vec3 b_high, vec2 n, out vec3 low, out vec3 high) {
  vec3 a_low = (b_low - u_bias_low) * u_scale_low;
  vec3 a_high = (b_high - u_bias_high) * u_scale_high;
  float a0 = a_low.x, a1 = a_low.y, a2 = a_low.z, a3 = a_high.x, a4 = a_high.y, a5 = a_high.z;
  float nu = n.x / 127.0;
  float nv = n.y / 127.0;
  float g = u_gain;
  float o3 = (2.0 * a0 * nu + a2 * nv) * (1.0 - g) + a3;
  float o4 = (2.0 * a1 * nv + a2 * nu) * (1.0 - g) + a4;
  float o5 = (a0 * nu * nu + a1 * nv * nv + a2 * nu * nv) * (1.0 - g) + (a3 - o3) * nu +
             (a4 - o4) * nv + a5;
  vec3 r_low = vec3(g * a0, g * a1, g * a2) / 256.0;
  vec3 r_high = vec3(o3, o4, o5) / 256.0;
  low = clamp(vec3(trunc_toward_zero(r_low.x), trunc_toward_zero(r_low.y),
                   trunc_toward_zero(r_low.z)), -32768.0, 32767.0);
  high = clamp(vec3(trunc_toward_zero(r_high.x), trunc_toward_zero(r_high.y),
                    trunc_toward_zero(r_high.z)), -32768.0, 32767.0);
}

// a0 W0 + ... + a5 W5; the constant term is weighted by 1023, not 1024.
float weighted_sum(vec3 low, vec3 high) {
  return dot(low, u_weight_low) + dot(high, u_weight_high);
}

// Coefficients of one set, plain or rewritten by the diffuse gain.
void coefficients(vec3 b_low, vec3 b_high, vec2 n, out vec3 low, out vec3 high) {
#if MODE == 2
  diffuse_gain(b_low, b_high, n, low, high);
#else
  low = packed_coefficients(b_low, u_scale_low, u_bias_low);
  high = packed_coefficients(b_high, u_scale_high, u_bias_high);
#endif
}

// An RGB channel: the sum shifted right by 10, saturated to 16 bits, then
// clamped to a byte.
float rgb_channel(vec3 b_low, vec3 b_high, vec2 n) {
  vec3 low;
  vec3 high;
  coefficients(b_low, b_high, n, low, high);
  float q = clamp(floor(weighted_sum(low, high) / 1024.0), -32768.0, 32767.0);
  return clamp(q, 0.0, 255.0);
}

// LRGB: the luminance with one more bit (shifted right by 9, saturated,
// negative taken as 0) scales each colour byte C as floor(L2 C / 512).
vec3 lrgb_colour(vec3 b_low, vec3 b_high, vec3 colour, vec2 n) {
  vec3 low;
  vec3 high;
  coefficients(b_low, b_high, n, low, high);
  float l2 = max(clamp(floor(weighted_sum(low, high) / 512.0), -32768.0, 32767.0), 0.0);
  return min(floor(l2 * colour / 512.0), 255.0);
}

// Specular enhancement: the highlight 255 Ks (N.H)^exponent of the unit
// normal added to Kd times the evaluated colour, rounded to nearest and
// cut at 255.
vec3 specular(vec3 colour, vec3 normal_bytes) {
  vec3 n = normal_bytes - 128.0;
  float length_n = length(n);
  float s = length_n > 0.0 ? dot(n / length_n, u_half) : 0.0;
  float t;
  if (s > 1.0) t = 1.0;
  else if (s < 0.0) t = 0.0;
  else if (u_exponent == 0.0) t = 1.0;
  else if (s == 0.0) t = 0.0;
  else t = pow(s, u_exponent);
  float highlight = t * u_ks * 255.0;
  return min(floor(colour * u_kd + highlight + 0.5), 255.0);
}

void main() {
  vec2 device = vec2(gl_FragCoord.x, u_canvas_height - gl_FragCoord.y);
  vec2 map_position = u_at + device / u_pixels;
  vec2 texel = map_position / u_level_factor - u_tile_origin;
  tex_coord = (u_exact ? floor(texel) + 0.5 : texel) / u_tile_size;

#if MODE == 3
  gl_FragColor = vec4(stored_bytes(u_normals) / 255.0, 1.0);
#else
#if MODE == 0
  vec3 normal_bytes = vec3(128.0, 128.0, 255.0);
#else
  vec3 normal_bytes = stored_bytes(u_normals);
#endif
  vec2 n = normal_bytes.xy - 128.0;
#if FORMAT == 0
  vec3 colour = lrgb_colour(stored_bytes(u_plane0), stored_bytes(u_plane1), stored_bytes(u_plane2), n);
#else
  vec3 colour = vec3(rgb_channel(stored_bytes(u_plane0), stored_bytes(u_plane1), n),
                     rgb_channel(stored_bytes(u_plane2), stored_bytes(u_plane3), n),
                     rgb_channel(stored_bytes(u_plane4), stored_bytes(u_plane5), n));
#endif
#if MODE == 1
  colour = specular(colour, normal_bytes);
#endif
  // A light's intensity scales its picture, truncated and kept in a byte.
  colour = clamp(floor(colour * u_intensity), 0.0, 255.0);
  gl_FragColor = vec4(colour / 255.0, 1.0);
#endif
}
`;

// The fragment shader of one format (FORMATS) and mode (MODE_NUMBERS).
export function fragmentShader(format, mode) {
  return `#define FORMAT ${format}\n#define MODE ${mode}\n${FRAGMENT_SHADER}`;
}
