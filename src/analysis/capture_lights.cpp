#include "analysis/capture_lights.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <mutex>
#include <numbers>

#include "analysis/sphere_candidates.h"
#include "analysis/sphere_outline.h"
#include "common/parallel.h"
#include "imageio/photograph_file.h"
#include "imageio/photograph_luminance.h"

namespace {

constexpr double degrees_per_radian = 180 / std::numbers::pi;

// Spheres smaller than this show their highlight on a pixel or two.
constexpr double least_sphere_radius = 8;
// Photographs decoded at 1/8 to find the spheres, and at full resolution
// to refine them before the main pass: spread over the capture.
constexpr int finding_photographs = 16;
constexpr int refining_photographs = 8;
constexpr int finding_scale = 8;
// How far a found circle may be off, in pixels, before refinement: the
// small pictures' pixel and a tenth of the radius for the cut level.
double rough_window(const Circle& c) { return 10 + 0.1 * c.radius; }
// Around a sphere the main pass reads the outline's window and the levels
// on its two sides.
constexpr double read_margin = refined_outline_window + 8;

// A spot is fixed when some spot lies this close to it (pixels, or a
// fiftieth of the radius) in at least half the other photographs.
double fixed_distance(const Circle& c) { return std::max(2.0, 0.02 * c.radius); }
constexpr int least_photographs_for_fixed = 4;
// A direction this far below the object's plane (z, about 3 degrees) is a
// reflection of the table or the object, not a light above them.
constexpr double lowest_light_z = -0.05;
// A second candidate this strong next to the first makes the choice
// ambiguous.
constexpr double ambiguous_ratio = 0.5;
// A found sphere must show the light in at least this share of the
// photographs; a dark round thing without a highlight is not a sphere.
constexpr double least_sphere_share = 0.5;

PixelRect rect_around(const Circle& c, double margin) {
  const double reach = c.radius + margin;
  const int left = static_cast<int>(std::floor(c.x - reach));
  const int top = static_cast<int>(std::floor(c.y - reach));
  return {left, top, static_cast<int>(std::ceil(c.x + reach)) - left,
          static_cast<int>(std::ceil(c.y + reach)) - top};
}

// `count` indices spread evenly over 0 .. total - 1 (all when fewer).
std::vector<int> spread_indices(int total, int count) {
  std::vector<int> indices;
  if (total <= count) {
    for (int i = 0; i < total; ++i) indices.push_back(i);
    return indices;
  }
  for (int k = 0; k < count; ++k) {
    indices.push_back(
        static_cast<int>(std::lround(static_cast<double>(k) * (total - 1) / (count - 1))));
  }
  return indices;
}

// Reports progress from any thread, one call at a time.
struct ProgressCounter {
  ProgressCounter(const ProgressFn& fn, std::uint64_t all) : progress(fn), total(all) {}
  const ProgressFn& progress;
  std::uint64_t total;
  std::uint64_t done = 0;
  std::mutex lock;

  void step() {
    std::lock_guard<std::mutex> hold(lock);
    report_progress(progress, ++done, total);
  }
};

// One photograph's reading: its size and what its spheres showed.
struct PhotographReading {
  bool read = false;
  int width = 0;
  int height = 0;
  std::vector<GreyPicture> crops;
};

// Reads the photographs `indices` of `paths` at 1 / scale around `rects`
// (none: whole), `threads` at a time, into `readings` (by position in
// `indices`). `use`, when given, sees each photograph read on the thread
// that read it, with its index in `paths`; it may take what it needs and
// empty the crops, so that memory holds only what is kept.
void read_photographs(const std::vector<std::string>& paths, const std::vector<int>& indices,
                      int scale, const std::vector<PixelRect>& rects, int threads,
                      ProgressCounter& counter, std::vector<PhotographReading>& readings,
                      const std::function<void(int index, PhotographReading&)>& use) {
  readings.assign(indices.size(), PhotographReading{});
  parallel_blocks(threads, static_cast<std::int64_t>(indices.size()), 1,
                  [&](std::int64_t begin, std::int64_t end) {
                    for (std::int64_t k = begin; k < end; ++k) {
                      PhotographReading& r = readings[k];
                      r.read = read_photograph_luminance(paths[indices[k]].c_str(), scale, rects,
                                                         r.crops, r.width, r.height);
                      if (r.read && use) use(indices[k], r);
                      counter.step();
                    }
                  });
}

// The first photograph (in order) that could not be read or differs in
// size; false after the message for a size.
bool all_read(const std::vector<std::string>& paths, const std::vector<int>& indices,
              const std::vector<PhotographReading>& readings, int width, int height) {
  for (std::size_t k = 0; k < readings.size(); ++k) {
    if (!readings[k].read) return false;  // the reader has named it
    if (readings[k].width != width || readings[k].height != height) {
      std::printf(
          "Photograph %s is %d x %d pixels, but %s is %d x %d: a capture's photographs "
          "share one size\n",
          paths[indices[k]].c_str(), readings[k].width, readings[k].height, paths[0].c_str(), width,
          height);
      return false;
    }
  }
  return true;
}

// Finds the spheres: candidates at 1/8, refined at full resolution.
bool find_spheres(const std::vector<std::string>& paths, const CaptureLightsOptions& options,
                  int width, int height, ProgressCounter& counter, std::vector<Circle>& spheres) {
  const int total = static_cast<int>(paths.size());
  const std::vector<int> finding = spread_indices(total, finding_photographs);
  std::vector<PhotographReading> small;
  read_photographs(paths, finding, finding_scale, {}, options.threads, counter, small, nullptr);
  if (!all_read(paths, finding, small, width, height)) return false;
  std::vector<GreyPicture> pictures;
  for (PhotographReading& r : small) pictures.push_back(std::move(r.crops[0]));
  small.clear();
  const std::vector<Circle> candidates = find_sphere_candidates(pictures, finding_scale);
  pictures.clear();

  const std::vector<int> refining = spread_indices(total, refining_photographs);
  std::vector<PixelRect> rects;
  for (const Circle& c : candidates) rects.push_back(rect_around(c, rough_window(c) + read_margin));
  std::vector<PhotographReading> crops;
  if (!candidates.empty()) {
    read_photographs(paths, refining, 1, rects, options.threads, counter, crops, nullptr);
    if (!all_read(paths, refining, crops, width, height)) return false;
  }
  spheres.clear();
  for (std::size_t s = 0; s < candidates.size(); ++s) {
    std::vector<const GreyPicture*> views;
    for (const PhotographReading& r : crops) views.push_back(&r.crops[s]);
    Circle refined;
    if (refine_sphere_circle(views, candidates[s], rough_window(candidates[s]), refined) &&
        refined.radius >= least_sphere_radius) {
      spheres.push_back(refined);
    }
  }
  if (spheres.empty()) {
    std::printf(
        "No sphere found in the photographs (a dark, round, glossy region whose highlight "
        "moves from photograph to photograph); give its circle with --sphere X,Y,R\n");
    return false;
  }
  return true;
}

bool lies_within(const Circle& c, int width, int height) {
  return c.radius >= least_sphere_radius && c.x - c.radius >= 0 && c.y - c.radius >= 0 &&
         c.x + c.radius <= width && c.y + c.radius <= height;
}

// The grey levels of the square of `crop` around `circle` at size x size:
// each pixel the mean of the crop's pixels whose centres fall in it when
// the crop is larger, the crop's pixel under its centre when smaller.
SphereThumbnail make_thumbnail(const GreyPicture& crop, const Circle& circle, int size) {
  SphereThumbnail t;
  t.x = circle.x;
  t.y = circle.y;
  t.half = circle.radius + read_margin - 1;
  t.size = size;
  t.grey.assign(static_cast<std::size_t>(size) * size, 0);
  if (crop.width == 0 || crop.height == 0) return t;
  const double step = 2 * t.half / size;  // crop pixels per thumbnail pixel
  // The crop's columns (or rows) whose centres lie in thumbnail pixel k's
  // span, at least the one under its centre.
  const auto span = [&](int k, double origin, int first, int count, int& from, int& to) {
    const double start = origin + k * step - first;
    from = std::max(0, static_cast<int>(std::ceil(start - 0.5)));
    to = std::min(count - 1, static_cast<int>(std::ceil(start + step - 0.5)) - 1);
    if (to < from)
      from = to = std::clamp(static_cast<int>(std::floor(start + step / 2)), 0, count - 1);
  };
  for (int ty = 0; ty < size; ++ty) {
    int y0, y1;
    span(ty, t.y - t.half, crop.top, crop.height, y0, y1);
    for (int tx = 0; tx < size; ++tx) {
      int x0, x1;
      span(tx, t.x - t.half, crop.left, crop.width, x0, x1);
      double sum = 0;
      for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) sum += crop.at(x, y);
      }
      const double mean = sum / ((y1 - y0 + 1) * (x1 - x0 + 1));
      t.grey[static_cast<std::size_t>(ty) * size + tx] =
          static_cast<std::uint8_t>(std::lround(255 * std::clamp(mean, 0.0, 1.0)));
    }
  }
  return t;
}

// What the main pass keeps of a photograph: per sphere its spots, the
// outline's points (found spheres) and the thumbnail.
struct SphereReading {
  DiscSpots spots;
  std::vector<OutlinePoint> outline;
  SphereThumbnail thumbnail;
};

std::string position_text(double x, double y) {
  char text[64];
  std::snprintf(text, sizeof text, "(%.1f, %.1f)", x, y);
  return text;
}

// Step 4 for one sphere over all photographs.
std::vector<SphereLight> sort_out_spots(const std::vector<const DiscSpots*>& discs,
                                        const Circle& circle, const PictureCamera& camera) {
  const int n = static_cast<int>(discs.size());
  const double near = fixed_distance(circle);
  std::vector<SphereLight> lights(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    SphereLight& light = lights[i];
    const std::vector<HighlightSpot>& spots = discs[i]->spots;
    std::vector<int> candidates;
    int fixed = 0, below = 0;
    for (std::size_t s = 0; s < spots.size(); ++s) {
      const Vector3 d = light_from_highlight(camera, circle, spots[s].x, spots[s].y);
      if (d.z < lowest_light_z) {
        ++below;
        continue;
      }
      int recurring = 0;
      for (int j = 0; j < n && n >= least_photographs_for_fixed; ++j) {
        if (j == i) continue;
        for (const HighlightSpot& other : discs[j]->spots) {
          if (std::hypot(other.x - spots[s].x, other.y - spots[s].y) <= near) {
            ++recurring;
            break;
          }
        }
      }
      if (n >= least_photographs_for_fixed && 2 * recurring >= n - 1) {
        ++fixed;
        continue;
      }
      candidates.push_back(static_cast<int>(s));
    }
    if (candidates.empty()) {
      light.status = LightStatus::missing;
      if (spots.empty()) {
        light.reason = "no highlight on the sphere";
      } else {
        light.reason = "no highlight but " + std::to_string(fixed + below) +
                       " reflection(s) that are not the light (" + std::to_string(fixed) +
                       " in the same place in most photographs, " + std::to_string(below) +
                       " below the object's plane)";
      }
      light.others = spots;
      continue;
    }
    const HighlightSpot& best = spots[candidates[0]];
    if (candidates.size() > 1 && spots[candidates[1]].strength >= ambiguous_ratio * best.strength) {
      const HighlightSpot& second = spots[candidates[1]];
      light.status = LightStatus::ambiguous;
      light.reason = "two highlights of similar strength, at " + position_text(best.x, best.y) +
                     " and " + position_text(second.x, second.y);
      light.others = spots;
      continue;
    }
    light.status = LightStatus::ok;
    light.x = best.x;
    light.y = best.y;
    light.direction = light_from_highlight(camera, circle, best.x, best.y);
    for (std::size_t s = 0; s < spots.size(); ++s) {
      if (static_cast<int>(s) != candidates[0]) light.others.push_back(spots[s]);
    }
  }
  return lights;
}

// Step 5: a photograph's light from its spheres'.
void combine_spheres(PhotographLight& photograph) {
  std::vector<Vector3> directions;
  bool any_ambiguous = false;
  std::string reasons;
  for (std::size_t s = 0; s < photograph.spheres.size(); ++s) {
    const SphereLight& light = photograph.spheres[s];
    if (light.status == LightStatus::ok) {
      directions.push_back(light.direction);
      continue;
    }
    any_ambiguous = any_ambiguous || light.status == LightStatus::ambiguous;
    if (!reasons.empty()) reasons += "; ";
    if (photograph.spheres.size() > 1) reasons += "sphere " + std::to_string(s + 1) + ": ";
    reasons += light.reason;
  }
  photograph.reason = reasons;
  if (directions.empty()) {
    photograph.status = any_ambiguous ? LightStatus::ambiguous : LightStatus::missing;
    return;
  }
  photograph.status = LightStatus::ok;
  Vector3 sum;
  for (const Vector3& d : directions) sum = sum + d;
  photograph.direction = normalized(sum);
  photograph.spread_degrees = 0;
  for (std::size_t a = 0; a < directions.size(); ++a) {
    for (std::size_t b = a + 1; b < directions.size(); ++b) {
      photograph.spread_degrees =
          std::max(photograph.spread_degrees,
                   angle_between(directions[a], directions[b]) * degrees_per_radian);
    }
  }
}

}  // namespace

const char* light_status_name(LightStatus status) {
  switch (status) {
    case LightStatus::ok:
      return "ok";
    case LightStatus::missing:
      return "missing";
    case LightStatus::ambiguous:
      return "ambiguous";
  }
  return "missing";
}

bool find_capture_lights(const std::vector<std::string>& paths, const CaptureLightsOptions& options,
                         CaptureLights& result) {
  result = CaptureLights{};
  if (paths.empty()) {
    std::printf("No photographs given\n");
    return false;
  }
  PhotographHeader header;
  if (!read_photograph_header(paths[0].c_str(), header)) return false;
  const int width = header.width;
  const int height = header.height;
  result.width = width;
  result.height = height;
  const int total = static_cast<int>(paths.size());
  const bool finding = options.spheres.empty();
  ProgressCounter counter(options.progress,
                          static_cast<std::uint64_t>(total) +
                              (finding ? spread_indices(total, finding_photographs).size() +
                                             spread_indices(total, refining_photographs).size()
                                       : 0));
  std::vector<Circle> circles = options.spheres;
  if (finding) {
    if (!find_spheres(paths, options, width, height, counter, circles)) return false;
  } else {
    for (const Circle& c : circles) {
      if (!lies_within(c, width, height)) {
        std::printf(
            "Sphere circle %g,%g,%g does not lie within the photographs (%d x %d pixels, "
            "as %s) with a radius of at least %g pixels\n",
            c.x, c.y, c.radius, width, height, paths[0].c_str(), least_sphere_radius);
        return false;
      }
    }
  }

  // Step 2: every photograph around the spheres.
  const std::size_t sphere_count = circles.size();
  std::vector<PixelRect> rects;
  for (const Circle& c : circles) rects.push_back(rect_around(c, read_margin));
  std::vector<std::vector<SphereReading>> spheres(paths.size());
  std::vector<int> everything(paths.size());
  for (int i = 0; i < total; ++i) everything[i] = i;
  std::vector<PhotographReading> readings;
  read_photographs(
      paths, everything, 1, rects, options.threads, counter, readings,
      [&](int index, PhotographReading& r) {
        std::vector<SphereReading>& mine = spheres[index];
        mine.resize(sphere_count);
        for (std::size_t s = 0; s < sphere_count; ++s) {
          mine[s].spots = find_disc_spots(r.crops[s], circles[s]);
          if (finding) {
            find_outline_points(r.crops[s], circles[s], refined_outline_window, mine[s].outline);
          }
          if (options.thumbnail_size > 0) {
            mine[s].thumbnail = make_thumbnail(r.crops[s], circles[s], options.thumbnail_size);
          }
        }
        r.crops.clear();  // only what is kept above outlives the reading
      });
  if (!all_read(paths, everything, readings, width, height)) return false;

  // Step 3: found circles from every photograph's outline.
  if (finding) {
    for (std::size_t s = 0; s < sphere_count; ++s) {
      std::vector<OutlinePoint> points;
      for (const std::vector<SphereReading>& photograph : spheres) {
        points.insert(points.end(), photograph[s].outline.begin(), photograph[s].outline.end());
      }
      Circle fitted;
      if (fit_outline_circle(points, fitted)) circles[s] = fitted;
    }
  }

  // Steps 4 and 5.
  const PictureCamera camera{width, height, options.focal_px};
  std::vector<std::vector<SphereLight>> per_sphere;
  for (std::size_t s = 0; s < sphere_count; ++s) {
    std::vector<const DiscSpots*> discs;
    for (const std::vector<SphereReading>& photograph : spheres)
      discs.push_back(&photograph[s].spots);
    per_sphere.push_back(sort_out_spots(discs, circles[s], camera));
  }
  // A found sphere that shows no light in most photographs was something
  // else dark and round.
  std::vector<std::size_t> kept;
  for (std::size_t s = 0; s < sphere_count; ++s) {
    int ok = 0;
    for (const SphereLight& light : per_sphere[s]) ok += light.status == LightStatus::ok;
    if (!finding || ok >= least_sphere_share * total) {
      kept.push_back(s);
    } else {
      std::printf(
          "The dark round region at %.1f,%.1f,%.1f shows a highlight in only %d of %d "
          "photographs: not taken for a sphere\n",
          circles[s].x, circles[s].y, circles[s].radius, ok, total);
    }
  }
  if (kept.empty()) {
    std::printf("No sphere found in the photographs; give its circle with --sphere X,Y,R\n");
    return false;
  }
  result.spheres_found = finding;
  for (std::size_t s : kept) result.spheres.push_back(circles[s]);
  result.photographs.resize(paths.size());
  if (options.thumbnail_size > 0) result.thumbnails.resize(paths.size());
  for (int i = 0; i < total; ++i) {
    PhotographLight& photograph = result.photographs[i];
    photograph.path = paths[i];
    for (std::size_t s : kept) {
      photograph.spheres.push_back(per_sphere[s][i]);
      if (options.thumbnail_size > 0)
        result.thumbnails[i].push_back(std::move(spheres[i][s].thumbnail));
    }
    combine_spheres(photograph);
  }
  return true;
}
