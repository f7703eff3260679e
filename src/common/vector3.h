// Directions and points in space, for the geometry of lights, spheres and
// cameras: x to the right, y up, z toward the camera (the light-position
// file's axes).
#pragma once

#include <cmath>

struct Vector3 {
  double x = 0;
  double y = 0;
  double z = 0;
};

inline Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator*(double s, Vector3 a) { return {s * a.x, s * a.y, s * a.z}; }
inline double dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double length(Vector3 a) { return std::sqrt(dot(a, a)); }

// `a` scaled to unit length; the zero vector stays zero.
inline Vector3 normalized(Vector3 a) {
  const double n = length(a);
  return n > 0 ? (1 / n) * a : a;
}

// The mirror image of the direction `d` about the unit normal `n`:
// 2 (n . d) n - d, the law of reflection for directions pointing away from
// the surface.
inline Vector3 reflected(Vector3 d, Vector3 n) { return 2 * dot(n, d) * n - d; }

// The angle between two unit vectors in radians, accurate for small
// angles too (atan2 of the cross product's length and the dot product).
inline double angle_between(Vector3 a, Vector3 b) {
  const Vector3 c{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
  return std::atan2(length(c), dot(a, b));
}
