// The geometry of a mirror sphere photographed from above: where a ray
// from the camera meets it, which light direction a highlight at a point
// of the picture reflects, and the circle a sphere's outline makes.
//
// Pictures are measured in pixels from their top-left corner, x to the
// right and y down, so the centre of pixel (i, j) is (i + 0.5, j + 0.5).
// Space is the camera's: x to the right, y up, z toward the camera (the
// light-position file's axes), the camera looking down -z.
#pragma once

#include "common/vector3.h"

struct Circle {
  double x = 0;  // centre, picture coordinates
  double y = 0;
  double radius = 0;
};

// How the picture was taken: orthographic (a long lens far away; the
// default), or a pinhole of `focal_px` (focal length in pixels) whose
// principal point is the picture's centre.
struct PictureCamera {
  int width = 0;
  int height = 0;
  double focal_px = 0;  // 0: orthographic
};

struct Ray {
  Vector3 origin;
  Vector3 direction;  // unit
};

struct SphereInSpace {
  Vector3 centre;
  double radius = 0;
};

// The depth below the camera at which the picture's pixels are one unit of
// space apart: the focal length for a pinhole; for the orthographic camera
// any depth serves, and this one keeps every sphere in front of it.
double picture_plane_depth(const PictureCamera& camera);

// The point of space on the picture plane seen at picture point (x, y).
Vector3 picture_plane_point(const PictureCamera& camera, double x, double y);

// The ray from the camera through picture point (x, y).
Ray camera_ray(const PictureCamera& camera, double x, double y);

// The distance along `ray` to its first meeting with the sphere; false
// when it passes by.
bool hit_sphere(const Ray& ray, const SphereInSpace& sphere, double& distance);

// A sphere whose outline is `circle`. Orthographic: its centre lies on
// the picture plane under the circle's centre, with the circle's radius.
// Pinhole: the outline is where the cone of rays tangent to the sphere
// meets the picture plane, an ellipse stretched along the line through the
// principal point; its circle is the one a fit to the outline finds, about
// the ellipse's centre with the mean of its two semi-axes for radius. The
// cone's axis and half-angle are solved for from that, and the sphere is
// placed at the picture plane's depth, which leaves every direction
// unchanged.
SphereInSpace sphere_from_outline(const PictureCamera& camera, const Circle& circle);

// The circle of the sphere's outline, sphere_from_outline's inverse.
Circle sphere_outline(const PictureCamera& camera, const SphereInSpace& sphere);

// The direction toward the light (unit) whose mirror highlight on the
// sphere outlined by `circle` is seen at picture point (x, y): the view
// direction reflected about the sphere's normal there. A point outside the
// outline is taken at the outline.
Vector3 light_from_highlight(const PictureCamera& camera, const Circle& circle, double x, double y);

// The angle above the object's plane, asin(z), in degrees.
double elevation_degrees(Vector3 direction);

// The compass bearing in degrees, in [0, 360): 0 for light from the top
// of the picture, 90 from the right, 180 from the bottom, 270 from the
// left; atan2(x, y). 0 for a light straight above.
double azimuth_degrees(Vector3 direction);
