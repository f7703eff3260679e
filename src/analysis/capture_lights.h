// A capture's light directions read from the glossy spheres in its
// photographs: the product behind "relumo-tool lights".
//
// Each photograph's light is where its mirror image, the highlight, falls
// on a sphere: the sphere's normal there halves the angle between the
// view and the light (sphere_geometry.h). The work, photograph by
// photograph and a few at a time, so memory holds a few photographs'
// spheres whatever the capture's size:
//
//   1. Without given circles, the spheres are found in a few of the
//      photographs decoded at 1/8 (sphere_candidates.h) and refined on a
//      few at full resolution (sphere_outline.h).
//   2. Every photograph is read around the spheres only: the bright spots
//      in each disc (highlight_spots.h) and, for found spheres, the points
//      of its outline.
//   3. Found circles are fitted to the outline points of all photographs.
//   4. Each disc's spots are sorted out: a spot in the same place in most
//      photographs is a fixed reflection (a room light, a window), not the
//      light, which moves; a spot whose direction lies below the object's
//      plane is a reflection of the table or the object; of the rest the
//      strongest is the light's, unless another is nearly as strong
//      (ambiguous). The others are reported.
//   5. With several spheres the direction is the mean of theirs, and the
//      largest angle between them is the capture's check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/highlight_spots.h"
#include "analysis/sphere_geometry.h"
#include "common/progress.h"
#include "common/vector3.h"

struct CaptureLightsOptions {
  std::vector<Circle> spheres;  // the spheres' circles; empty: find them
  double focal_px = 0;          // 0: orthographic camera
  int threads = 1;              // photographs decoded at once
  // Above 0: keep each photograph's view of each sphere, this many pixels
  // square, for a contact sheet.
  int thumbnail_size = 0;
  ProgressFn progress;  // photographs read, out of all the reading to do
};

enum class LightStatus { ok, missing, ambiguous };

// One sphere in one photograph.
struct SphereLight {
  LightStatus status = LightStatus::missing;
  std::string reason;  // why not ok
  double x = 0;        // the light's highlight, picture coordinates
  double y = 0;
  Vector3 direction;                  // unit, toward the light
  std::vector<HighlightSpot> others;  // the spots not taken for the light
};

struct PhotographLight {
  std::string path;
  LightStatus status = LightStatus::missing;  // ok when any sphere is
  std::string reason;
  std::vector<SphereLight> spheres;
  Vector3 direction;          // the unit mean of the spheres that are ok
  double spread_degrees = 0;  // the largest angle between those spheres' directions
};

// What a contact sheet shows of a sphere in a photograph: the square of the
// photograph centred on the circle, `half` pixels each way, as size x size
// grey levels, top row first.
struct SphereThumbnail {
  double x = 0;
  double y = 0;
  double half = 0;
  int size = 0;
  std::vector<std::uint8_t> grey;
};

struct CaptureLights {
  int width = 0;  // the photographs' size
  int height = 0;
  std::vector<Circle> spheres;                           // the circles used
  bool spheres_found = false;                            // found here rather than given
  std::vector<PhotographLight> photographs;              // in the given order
  std::vector<std::vector<SphereThumbnail>> thumbnails;  // [photograph][sphere]
};

// The light of every photograph in `paths`. False after a message on
// standard output naming the file or the circle when a photograph cannot
// be read or differs in size from the first, a given circle does not lie
// within the photographs, or no sphere is found. A photograph whose light
// is missing or ambiguous is not a failure: its status says so.
bool find_capture_lights(const std::vector<std::string>& paths, const CaptureLightsOptions& options,
                         CaptureLights& result);

// "ok", "missing" or "ambiguous".
const char* light_status_name(LightStatus status);
