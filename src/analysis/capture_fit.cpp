#include "analysis/capture_fit.h"

#include <cstdio>
#include <memory>

#include "analysis/light_positions.h"
#include "analysis/source_images.h"
#include "common/checked_alloc.h"
#include "common/file_names.h"
#include "imageio/photograph_file.h"
#include "ptm/compressed_header.h"
#include "writers/compressed_ptm_writer.h"
#include "writers/ptm_writer.h"

namespace {

struct CapturePhotograph {
  std::string path;
  LightDirection light;
};

struct MaskFreer {
  void operator()(std::uint8_t* mask) const { checked_free(mask); }
};
using MaskPtr = std::unique_ptr<std::uint8_t, MaskFreer>;

struct FitFreer {
  void operator()(PhotographFit* fit) const { free_photograph_fit(*fit); }
};

bool read_capture(const char* lp_path, std::vector<CapturePhotograph>& photographs) {
  std::vector<LightPosition> entries;
  if (!read_light_position_file(lp_path, entries)) return false;
  if (entries.empty()) {
    std::printf("Light position file %s lists no photographs\n", lp_path);
    return false;
  }
  for (LightPosition& entry : entries) {
    const std::string path = locate_source_photograph(lp_path, entry.name);
    // The fit sees only the projected direction (x, y), which a light below
    // the surface shares with its mirror image above: such a photograph is
    // fitted as if lit from above, most likely a sign flipped in the file.
    if (entry.z < 0) {
      std::fprintf(stderr,
                   "Warning: the light of photograph %s is below the horizon (z = %g); it is "
                   "fitted as if lit from above\n",
                   path.c_str(), static_cast<double>(entry.z));
    }
    normalise_light_direction(entry.x, entry.y, entry.z);
    photographs.push_back({path, {entry.x, entry.y}});
  }
  return true;
}

// Every photograph's size from its header, before any is decoded: a
// photograph of another size (or a missing one) found at the end of the
// first pass would waste it.
bool check_sizes(const std::vector<CapturePhotograph>& photographs, int& width, int& height) {
  for (std::size_t i = 0; i < photographs.size(); ++i) {
    int w = 0;
    int h = 0;
    if (!read_photograph_size(photographs[i].path.c_str(), w, h)) return false;
    if (i == 0) {
      width = w;
      height = h;
    } else if (w != width || h != height) {
      std::printf("Photograph %s is %d x %d pixels, but %s is %d x %d: a capture's photographs "
                  "share one size\n",
                  photographs[i].path.c_str(), w, h, photographs[0].path.c_str(), width, height);
      return false;
    }
  }
  return true;
}

template <typename Sample>
void mark_object(const std::vector<Sample>& rgb, std::size_t pixels, std::uint8_t* mask) {
  for (std::size_t p = 0; p < pixels; ++p) {
    mask[p] = (rgb[3 * p] | rgb[3 * p + 1] | rgb[3 * p + 2]) != 0 ? 1 : 0;
  }
}

// One byte per pixel, non-zero where any channel of the mask picture is.
// The picture is read bottom-up like the photographs, so pixels line up;
// its samples are taken as stored, no colour profile applied.
bool read_object_mask(const char* path, int width, int height, MaskPtr& mask) {
  PhotographRequest request;
  request.width = width;
  request.height = height;
  request.as_stored = true;
  Photograph picture;
  switch (read_photograph(path, request, picture)) {
    case PhotographRead::read:
      break;
    case PhotographRead::other_size:
      std::printf("Mask %s is %d x %d pixels, but the photographs are %d x %d\n", path,
                  picture.width, picture.height, width, height);
      return false;
    case PhotographRead::unreadable:
      return false;
  }
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  mask.reset(checked_alloc_array<std::uint8_t>(pixels));
  if (picture.bits == 16) {
    mark_object(picture.samples16, pixels, mask.get());
  } else {
    mark_object(picture.samples8, pixels, mask.get());
  }
  return true;
}

// The photograph decoded, of the size every header gave (a file replaced
// during the run is refused too). Its colour profile's problems are
// reported on the first pass only.
bool read_checked_photograph(const CapturePhotograph& photograph, int width, int height,
                             bool first_pass, Photograph& image) {
  PhotographRequest request;
  request.width = width;
  request.height = height;
  request.report_profile_problems = first_pass;
  switch (read_photograph(photograph.path.c_str(), request, image)) {
    case PhotographRead::read:
      return true;
    case PhotographRead::other_size:
      std::printf("Photograph %s is now %d x %d pixels, no longer %d x %d\n",
                  photograph.path.c_str(), image.width, image.height, width, height);
      return false;
    case PhotographRead::unreadable:
      break;
  }
  return false;
}

bool write_fitted_map(const Ptm& ptm, const char* out_path, bool jpegls) {
  if (!jpegls) return write_ptm_region(ptm, out_path, 0, 0, ptm.width, ptm.height);
  CompressedPtmOptions options;
  options.compression_type = compression_jpegls;
  options.near = 0;
  return write_compressed_ptm(ptm, out_path, options);
}

}  // namespace

bool fit_capture(const char* lp_path, const char* out_path, const CaptureFitOptions& options,
                 CaptureFitReport& report) {
  report = CaptureFitReport{};
  std::vector<CapturePhotograph> photographs;
  if (!read_capture(lp_path, photographs)) return false;
  if (photographs.size() > static_cast<std::size_t>(max_fit_photographs)) {
    std::printf("Light position file %s lists %zu photographs; a fit takes at most %d\n", lp_path,
                photographs.size(), max_fit_photographs);
    return false;
  }
  const int count = static_cast<int>(photographs.size());
  std::vector<LightDirection> lights;
  for (const CapturePhotograph& photograph : photographs) lights.push_back(photograph.light);

  // The lights first: a set that cannot be fitted is known without opening
  // a photograph.
  double inverse[6][6];
  if (!invert_normal_matrix(lights.data(), count, inverse)) {
    std::printf("Light position file %s: its %d light directions do not determine the six "
                "coefficients (at least six are needed, not all at one elevation or on one "
                "line)\n",
                lp_path, count);
    return false;
  }
  // The map is written only after the second pass over the photographs:
  // an output naming one of them would replace it at the end.
  for (const CapturePhotograph& photograph : photographs) {
    if (is_same_file(photograph.path.c_str(), out_path)) {
      std::printf("Output %s is one of the photographs of %s\n", out_path, lp_path);
      return false;
    }
  }
  int width = 0;
  int height = 0;
  if (!check_sizes(photographs, width, height)) return false;
  MaskPtr mask;
  if (options.mask_path != nullptr &&
      !read_object_mask(options.mask_path, width, height, mask)) {
    return false;
  }

  PhotographFit fit;
  begin_photograph_fit(lights.data(), count, width, height, options.layout, fit);
  std::unique_ptr<PhotographFit, FitFreer> fit_owner(&fit);
  const std::uint64_t steps = 2 * static_cast<std::uint64_t>(count);
  report_progress(options.progress, 0, steps);
  Photograph image;
  bool told_conversion = false;
  for (int i = 0; i < count; ++i) {
    if (!read_checked_photograph(photographs[i], width, height, true, image)) return false;
    tell_colour_conversion(image, photographs[i].path.c_str(), told_conversion);
    accumulate_photograph(fit, image, lights[i]);
    report_progress(options.progress, i + 1, steps);
  }
  solve_photograph_fit(fit);
  OwnedPtm ptm(make_fitted_ptm(fit, mask.get(), preferred_representation()));
  fit_owner.reset();

  // The map as it will be written (its stored bytes), relit at each
  // photograph's light.
  for (int i = 0; i < count; ++i) {
    if (!read_checked_photograph(photographs[i], width, height, false, image)) return false;
    const RelitErrors errors = relit_errors(*ptm, image, lights[i], mask.get());
    add_relit_errors(report.errors, errors);
    report.photographs.push_back({photographs[i].path, relit_rms(errors)});
    report_progress(options.progress, count + i + 1, steps);
  }
  report.width = width;
  report.height = height;
  for (int d = 0; d < 256; ++d) report.object_pixels += report.errors.counts[0][d];
  report.object_pixels /= count;
  return write_fitted_map(*ptm, out_path, options.jpegls);
}
