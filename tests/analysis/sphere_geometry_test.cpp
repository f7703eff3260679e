// The mirror sphere's geometry: which light a highlight at a point shows,
// in the light-position file's axes and the compass convention of
// elevation and azimuth; the outline of a sphere seen through a pinhole.
#include "analysis/sphere_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double pi = std::numbers::pi;
double radians(double degrees) { return degrees * pi / 180; }

}  // namespace

TEST(SphereGeometry, HighlightsGiveTheMirroredLightAsABearingAndAnElevation) {
  // A sphere of radius 100 at (300, 200) in a 640 x 480 picture, seen from
  // straight above. A highlight where the normal leans t from the view is
  // at r sin t from the centre, and the light leans 2 t: its elevation is
  // 90 - 2 t.
  const PictureCamera camera{640, 480, 0};
  const Circle circle{300, 200, 100};
  const double s20 = 100 * std::sin(radians(20));
  const double s30 = 100 * std::sin(radians(30));
  const double s40 = 100 * std::sin(radians(40));
  struct Case {
    const char* where;
    double x, y;
    double elevation, azimuth;
  };
  const Case cases[] = {
      {"centre", 300, 200, 90, 0},
      {"right", 300 + s30, 200, 30, 90},  // light from the right: x > 0
      {"above", 300, 200 - s20, 50, 0},   // the picture's top: y > 0
      {"below", 300, 200 + s40, 10, 180},
      {"left", 300 - s20, 200, 50, 270},
      {"upper right", 300 + s30 / std::sqrt(2.0), 200 - s30 / std::sqrt(2.0), 30, 45},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    const Vector3 light = light_from_highlight(camera, circle, c.x, c.y);
    EXPECT_NEAR(length(light), 1, 1e-12);
    EXPECT_NEAR(elevation_degrees(light), c.elevation, 1e-9);
    if (c.elevation < 90) {
      EXPECT_NEAR(azimuth_degrees(light), c.azimuth, 1e-9);
    }
    const double e = radians(c.elevation);
    const double a = radians(c.azimuth);
    EXPECT_NEAR(light.x, std::cos(e) * std::sin(a), 1e-12);
    EXPECT_NEAR(light.y, std::cos(e) * std::cos(a), 1e-12);
  }
  // Bearings stay in [0, 360): just west of north is not 360.
  EXPECT_LT(azimuth_degrees({-1e-17, 1, 0}), 360);
  EXPECT_EQ(azimuth_degrees({0, 0, 1}), 0);
}

TEST(SphereGeometry, PinholeOutlinesAreTheTangentConeAndLeaveDirectionsTrue) {
  const PictureCamera camera{2000, 1500, 1800};
  // A sphere of radius 60 at depth 1800 - 60, off the axis: the tangent
  // cone's half-angle is asin(60 / distance); its outline, a conic
  // section, is an ellipse whose nearest and farthest points from the
  // principal point lie at f tan(axis -+ that) and whose minor semi-axis is
  // f sin(half) / sqrt(cos(axis - half) cos(axis + half)). A circle fitted
  // to it has the mean of its semi-axes for radius.
  const SphereInSpace sphere{{-700, 400, -1740}, 60};
  const Circle outline = sphere_outline(camera, sphere);
  const double distance = length(sphere.centre);
  const double axis = std::acos(1740 / distance);
  const double half = std::asin(60 / distance);
  const double near = 1800 * std::tan(axis - half);
  const double far = 1800 * std::tan(axis + half);
  const double minor =
      1800 * std::sin(half) / std::sqrt(std::cos(axis - half) * std::cos(axis + half));
  EXPECT_NEAR(outline.radius, ((far - near) / 2 + minor) / 2, 1e-9);
  const double middle = (far + near) / 2;
  const double off_axis = std::hypot(700.0, 400.0);
  EXPECT_NEAR(outline.x, 1000 - middle * 700 / off_axis, 1e-9);
  EXPECT_NEAR(outline.y, 750 - middle * 400 / off_axis, 1e-9);  // y up in space, down in pictures
  // Back from the outline: the same cone, so the same direction to every
  // point of the sphere, though placed at another distance.
  const SphereInSpace back = sphere_from_outline(camera, outline);
  EXPECT_NEAR(back.radius / length(back.centre), 60 / distance, 1e-12);
  EXPECT_NEAR(angle_between(normalized(back.centre), normalized(sphere.centre)), 0, 1e-12);
  // The ray through the outline's farthest point grazes the sphere.
  const Ray grazing = camera_ray(camera, 1000 - far * 700 / off_axis, 750 - far * 400 / off_axis);
  const Vector3 to_centre = sphere.centre - grazing.origin;
  const double along = dot(to_centre, grazing.direction);
  EXPECT_NEAR(length(to_centre - along * grazing.direction), 60, 1e-6);
}
