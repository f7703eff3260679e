// Photographs of a made-up capture, for testing the light finder against
// lights whose directions are known exactly: one or more glossy black
// spheres standing on a grey table beside a textured object with white
// areas, lit by a flash (a small round light source) from a chosen
// direction, with sensor noise, encoded with the sRGB curve as cameras do.
// The object is in low relief (smooth bumps of a few pixels' height), so a
// map fitted to the photographs relights with shading of its own.
//
// The spheres are shaded as a camera sees black glass: the flash's mirror
// image (4 % Fresnel reflection of a source far brighter than the lit
// table, so it clips, with a faint glossy halo around it) and a faint
// diffuse term. The table and the object are matte, and the spheres cast
// shadows on them. Pixels on and around a sphere are averaged over a grid
// of rays, so the outline and the highlight fall on the picture with their
// sub-pixel positions intact; the object and the table take one ray per
// pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/sphere_geometry.h"
#include "common/grey_picture.h"
#include "common/rgb_image.h"
#include "common/vector3.h"
#include "imageio/photograph.h"

// A small round light source, far away.
struct SceneSource {
  Vector3 direction;            // unit, toward it
  double radius_degrees = 1.0;  // its angular radius
  double brightness = 1.0;      // its irradiance, the flash's being 1
};

// A sphere standing on the table: the picture point under its centre (on
// the table) and its radius, in pixels at the table's distance.
struct SceneSphere {
  double x = 0;
  double y = 0;
  double radius = 0;
};

struct SphereCaptureScene {
  int width = 0;
  int height = 0;
  double focal_px = 0;  // 0: orthographic, else a pinhole centred on the picture
  std::vector<SceneSphere> spheres;
  PixelRect object;                      // the object's rectangle on the table
  double flash_radius_degrees = 1.0;     // the flash's angular radius
  std::vector<SceneSource> room_lights;  // reflected in every photograph
  double noise = 2.0;                    // standard deviation, grey levels
  int samples_per_side = 4;              // rays per pixel on the spheres: this squared
};

struct SceneShot {
  Vector3 light;  // the flash, unit, toward it
  // False when something stands between the flash and the spheres: no
  // highlight, no diffuse light on them.
  bool flash_reaches_spheres = true;
  std::vector<SceneSource> extra_sources;  // reflected in this photograph only
  std::uint32_t seed = 1;                  // of the noise
};

// A width x height scene with `spheres` (1 or 2) of `radius` in a strip at
// the left, one low and one high, and the object filling most of the rest.
SphereCaptureScene sphere_capture_layout(int width, int height, double radius, int spheres);

PictureCamera scene_camera(const SphereCaptureScene& scene);

// The circle of sphere `index`'s outline in the picture.
Circle scene_sphere_circle(const SphereCaptureScene& scene, int index);

// What every photograph of a scene shares, worked out once: the table's
// and the object's reflectance per pixel, the spheres in space and the
// tone curve (sRGB).
struct SphereCaptureStage {
  SphereCaptureScene scene;
  std::vector<std::uint8_t> albedo;  // per pixel red, green, blue; 255 = 1
  std::vector<std::int8_t> slope;    // per pixel the normal's x and y, 127 = 1
  std::vector<SphereInSpace> spheres;
  std::vector<Circle> outlines;
  std::vector<float> tone;  // grey level of linear light i / (size - 1)
};

SphereCaptureStage prepare_sphere_capture(const SphereCaptureScene& scene, int threads);

// Renders one photograph into `out` (the scene's size, bottom-up), rows
// shared among `threads` threads; the pixels do not depend on their
// number.
void render_sphere_capture(const SphereCaptureStage& stage, const SceneShot& shot, RgbImage& out,
                           int threads);

// The same at 16 bits a sample (the noise and the tone curve scaled to
// 65535), into a photograph of the scene's size.
void render_sphere_capture(const SphereCaptureStage& stage, const SceneShot& shot, Photograph& out,
                           int threads);

// A unit light direction from its elevation above the table and its
// azimuth (degrees; 0 from the top of the picture, 90 from the right).
Vector3 direction_from_angles(double elevation_degrees, double azimuth_degrees);

// `count` light directions spread over the sky like a dome's: elevations
// evenly from `lowest` to `highest` degrees, each turned by the golden
// angle against the one before, so that every part of the sky gets some.
std::vector<Vector3> dome_light_directions(int count, double lowest, double highest);

// Renders `shots` and writes them as JPEG photographs at `quality` into
// `folder` (which must exist): photo_01.jpg, photo_02.jpg, ... in order,
// their paths appended to `paths`. False after a message when a file
// cannot be written.
bool write_sphere_capture(const SphereCaptureStage& stage, const std::vector<SceneShot>& shots,
                          const std::string& folder, int quality, int threads,
                          std::vector<std::string>& paths);
