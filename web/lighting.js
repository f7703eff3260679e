// What a light and the enhancement settings become before the shader sees
// them, computed exactly as the desktop computes them, so that the shader
// only has per-pixel work left.

// The six fixed-point light weights W0 (u²), W1 (v²), W2 (uv), W3 (u),
// W4 (v), W5 (the constant term): u and v are single-precision numbers
// scaled by the single-precision 1023.999 and truncated, so that u = 1
// gives 1023; the products are shifted right by ten bits (rounding toward
// minus infinity) and kept as their low 16 bits, signed.
export function lightWeights(u, v) {
  const f = Math.fround;
  const scale = f(1023.999);
  const U = Math.trunc(f(f(u) * scale));
  const V = Math.trunc(f(f(v) * scale));
  const low16 = (x) => (x << 16) >> 16;
  return [
    low16(Math.imul(U, U) >> 10),
    low16(Math.imul(V, V) >> 10),
    low16(Math.imul(U, V) >> 10),
    low16(U),
    low16(V),
    1023,
  ];
}

// The unit vector half-way between the light (u, v, sqrt(1 - u² - v²))
// and the view (0, 0, 1), in double precision as the desktop computes it;
// beyond the unit circle (a light below the horizon, reachable only by
// extrapolating) its z falls linearly to 0 at radius 2 and stays there.
export function halfVector(u, v) {
  const fu = Math.fround(u);
  const fv = Math.fround(v);
  const d = fu * fu + fv * fv;
  const r = Math.sqrt(d);
  if (r <= 1) {
    const g = 1 + Math.sqrt(1 - d);
    const f = Math.sqrt(2 * g);
    return [fu / f, fv / f, g / f];
  }
  if (r <= 2) {
    const g = 2 - r;
    const f = Math.sqrt(g * g + fv * fv + fu * fu);
    return [fu / f, fv / f, g / f];
  }
  return [fu / r, fv / r, 0];
}
