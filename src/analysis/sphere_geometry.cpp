#include "analysis/sphere_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double degrees_per_radian = 180 / std::numbers::pi;

// Far enough below an orthographic camera for any sphere a picture can
// show; its value changes nothing seen.
constexpr double orthographic_depth = 1e6;

bool is_pinhole(const PictureCamera& camera) { return camera.focal_px > 0; }

// The direction away from the principal point in the picture plane (y up),
// and the distance; a point at the principal point gets the x axis.
void radial_direction(double px, double py, double& ux, double& uy, double& distance) {
  distance = std::hypot(px, py);
  if (distance > 0) {
    ux = px / distance, uy = py / distance;
  } else {
    ux = 1, uy = 0;
  }
}

// Where a cone of rays from a pinhole of focal length f meets the picture
// plane: its axis `axis` radians off the optical axis, its half-angle
// `half`. The section is an ellipse whose major axis lies on the line
// through the principal point, from f tan(axis - half) to
// f tan(axis + half), and whose minor semi-axis is
// f sin(half) / sqrt(cos(axis - half) cos(axis + half)); `centre` is the
// ellipse's distance from the principal point and `radius` the mean of
// its semi-axes.
struct ConeOutline {
  double centre;
  double radius;
};

ConeOutline outline_of_cone(double f, double axis, double half) {
  const double near = f * std::tan(axis - half);
  const double far = f * std::tan(axis + half);
  const double major = (far - near) / 2;
  const double minor =
      f * std::sin(half) / std::sqrt(std::cos(axis - half) * std::cos(axis + half));
  return {(near + far) / 2, (major + minor) / 2};
}

}  // namespace

double picture_plane_depth(const PictureCamera& camera) {
  return is_pinhole(camera) ? camera.focal_px : orthographic_depth;
}

Vector3 picture_plane_point(const PictureCamera& camera, double x, double y) {
  return {x - camera.width / 2.0, camera.height / 2.0 - y, -picture_plane_depth(camera)};
}

Ray camera_ray(const PictureCamera& camera, double x, double y) {
  const Vector3 on_plane = picture_plane_point(camera, x, y);
  if (is_pinhole(camera)) return {{0, 0, 0}, normalized(on_plane)};
  return {{on_plane.x, on_plane.y, 0}, {0, 0, -1}};
}

bool hit_sphere(const Ray& ray, const SphereInSpace& sphere, double& distance) {
  // The closest approach first, then back along the ray to the surface:
  // no difference of two large squares, so a far sphere loses no digits.
  const Vector3 to_centre = sphere.centre - ray.origin;
  const double along = dot(to_centre, ray.direction);
  const Vector3 across = to_centre - along * ray.direction;
  const double inside = sphere.radius * sphere.radius - dot(across, across);
  if (inside < 0) return false;
  distance = along - std::sqrt(inside);
  return true;
}

SphereInSpace sphere_from_outline(const PictureCamera& camera, const Circle& circle) {
  if (!is_pinhole(camera)) return {picture_plane_point(camera, circle.x, circle.y), circle.radius};
  const double f = camera.focal_px;
  double ux, uy, middle;
  radial_direction(circle.x - camera.width / 2.0, camera.height / 2.0 - circle.y, ux, uy, middle);
  // Newton's method on the cone's axis angle and half-angle, from the
  // cone through the circle's nearest and farthest points from the
  // principal point (exact for a circle about the principal point).
  const double near = std::atan2(middle - circle.radius, f);
  const double far = std::atan2(middle + circle.radius, f);
  double cone[2] = {(near + far) / 2, (far - near) / 2};
  for (int iteration = 0; iteration < 30; ++iteration) {
    const ConeOutline now = outline_of_cone(f, cone[0], cone[1]);
    const double miss[2] = {now.centre - middle, now.radius - circle.radius};
    if (std::abs(miss[0]) + std::abs(miss[1]) < 1e-12 * f) break;
    // The Jacobian by central differences.
    double jacobian[2][2];
    for (int k = 0; k < 2; ++k) {
      const double step = 1e-7;
      double plus[2] = {cone[0], cone[1]};
      double minus[2] = {cone[0], cone[1]};
      plus[k] += step;
      minus[k] -= step;
      const ConeOutline p = outline_of_cone(f, plus[0], plus[1]);
      const ConeOutline m = outline_of_cone(f, minus[0], minus[1]);
      jacobian[0][k] = (p.centre - m.centre) / (2 * step);
      jacobian[1][k] = (p.radius - m.radius) / (2 * step);
    }
    const double det = jacobian[0][0] * jacobian[1][1] - jacobian[0][1] * jacobian[1][0];
    if (!std::isfinite(det) || det == 0) break;
    const double d0 = (jacobian[1][1] * miss[0] - jacobian[0][1] * miss[1]) / det;
    const double d1 = (jacobian[0][0] * miss[1] - jacobian[1][0] * miss[0]) / det;
    const double next[2] = {cone[0] - d0, cone[1] - d1};
    if (!std::isfinite(next[0]) || !std::isfinite(next[1]) || next[1] <= 0 ||
        next[0] + next[1] >= std::numbers::pi / 2) {
      break;
    }
    cone[0] = next[0], cone[1] = next[1];
  }
  const Vector3 direction{std::sin(cone[0]) * ux, std::sin(cone[0]) * uy, -std::cos(cone[0])};
  return {f * direction, f * std::sin(cone[1])};
}

Circle sphere_outline(const PictureCamera& camera, const SphereInSpace& sphere) {
  if (!is_pinhole(camera)) {
    return {sphere.centre.x + camera.width / 2.0, camera.height / 2.0 - sphere.centre.y,
            sphere.radius};
  }
  const double distance = length(sphere.centre);
  const double half_angle = std::asin(std::min(1.0, sphere.radius / distance));
  const Vector3 direction = (1 / distance) * sphere.centre;
  const double axis = std::acos(std::clamp(-direction.z, -1.0, 1.0));
  double ux, uy, unused;
  radial_direction(direction.x, direction.y, ux, uy, unused);
  const ConeOutline outline = outline_of_cone(camera.focal_px, axis, half_angle);
  return {camera.width / 2.0 + outline.centre * ux, camera.height / 2.0 - outline.centre * uy,
          outline.radius};
}

Vector3 light_from_highlight(const PictureCamera& camera, const Circle& circle, double x,
                             double y) {
  const SphereInSpace sphere = sphere_from_outline(camera, circle);
  const Ray ray = camera_ray(camera, x, y);
  Vector3 normal;
  double distance;
  if (hit_sphere(ray, sphere, distance)) {
    normal = (1 / sphere.radius) * (ray.origin + distance * ray.direction - sphere.centre);
  } else {
    // Past the outline: the outline's point nearest the ray, whose normal
    // is square to the view.
    const Vector3 to_centre = sphere.centre - ray.origin;
    normal = normalized(dot(to_centre, ray.direction) * ray.direction - to_centre);
  }
  return normalized(reflected(-1 * ray.direction, normal));
}

double elevation_degrees(Vector3 direction) {
  return std::asin(std::clamp(direction.z, -1.0, 1.0)) * degrees_per_radian;
}

double azimuth_degrees(Vector3 direction) {
  if (direction.x == 0 && direction.y == 0) return 0;
  const double bearing = std::atan2(direction.x, direction.y) * degrees_per_radian;
  const double wrapped = bearing < 0 ? bearing + 360 : bearing;
  return wrapped < 360 ? wrapped : 0;  // -1e-17 + 360 rounds to 360
}
