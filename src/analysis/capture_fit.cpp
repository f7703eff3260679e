#include "analysis/capture_fit.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>

#include <tbb/parallel_pipeline.h>

#include "analysis/light_positions.h"
#include "analysis/source_images.h"
#include "common/available_memory.h"
#include "common/checked_alloc.h"
#include "common/file_names.h"
#include "common/parallel.h"
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

// Every photograph's header, before any is decoded: a photograph of
// another size (or a missing one) found at the end of the pass would waste
// it. `reading_bytes` is the most any of them takes to read.
bool check_headers(const std::vector<CapturePhotograph>& photographs, int& width, int& height,
                   std::uint64_t& reading_bytes) {
  for (std::size_t i = 0; i < photographs.size(); ++i) {
    PhotographHeader header;
    if (!read_photograph_header(photographs[i].path.c_str(), header)) return false;
    if (i == 0) {
      width = header.width;
      height = header.height;
    } else if (header.width != width || header.height != height) {
      std::printf("Photograph %s is %d x %d pixels, but %s is %d x %d: a capture's photographs "
                  "share one size\n",
                  photographs[i].path.c_str(), header.width, header.height,
                  photographs[0].path.c_str(), width, height);
      return false;
    }
    reading_bytes = std::max(reading_bytes, header.reading_bytes);
  }
  return true;
}

// The most the fit holds at once with `in_flight` photographs being read:
// the sums while they are summed, the map being made, or the map while
// they are read again to measure it.
std::uint64_t fit_memory(std::uint64_t pixels, const CaptureFitOptions& options,
                         std::uint64_t reading_bytes, int in_flight) {
  const FitFootprint fit = photograph_fit_footprint(pixels, options.layout);
  const std::uint64_t mask = options.mask_path != nullptr ? pixels : 0;
  const std::uint64_t photographs = reading_bytes * static_cast<std::uint64_t>(in_flight);
  std::uint64_t most = std::max(fit.summing + photographs, fit.mapping) + mask;
  if (options.measure_photographs) {
    // The map to relight beside the one to write.
    const int format = options.layout == FitLayout::lrgb ? PTM_FORMAT_LRGB : PTM_FORMAT_RGB;
    const std::uint64_t relit = ptm_storage_bytes(pixels, 1, format, preferred_representation());
    most = std::max(most, fit.map + relit + mask + photographs);
  }
  return most;
}

// How many photographs are decoded at once: one per thread and one more,
// so that the threads decode while one photograph is summed; fewer when
// that would not fit in the memory available, down to one. False after a
// message naming the memory the fit needs when even one is too many.
bool choose_in_flight(const CaptureFitOptions& options, int count, int width, int height,
                      std::uint64_t reading_bytes, CaptureFitReport& report) {
  const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  const std::uint64_t available = available_memory_bytes();
  // MemAvailable counts caches the kernel gives back only slowly and
  // memory other processes are about to take: a fit planned to the last
  // byte of it was ended by the kernel's out-of-memory killer (an RGB fit
  // of 240 megapixels, 21.1 GB resident of 21.5 GB available). An eighth
  // is left to them.
  const std::uint64_t usable = available - available / 8;
  int in_flight = options.threads > 1 ? std::min(options.threads + 1, count) : 1;
  while (in_flight > 1 && fit_memory(pixels, options, reading_bytes, in_flight) > usable) {
    --in_flight;
  }
  report.in_flight = in_flight;
  report.memory_needed = fit_memory(pixels, options, reading_bytes, in_flight);
  if (report.memory_needed <= usable) return true;
  std::printf("Fitting %d photographs of %d x %d pixels as %s needs %.1f GB of memory even with "
              "one photograph decoded at a time (%.0f bytes per map pixel); it may take %.1f GB "
              "of the %.1f GB available\n",
              count, width, height, options.layout == FitLayout::lrgb ? "LRGB" : "RGB",
              static_cast<double>(report.memory_needed) / 1e9,
              static_cast<double>(report.memory_needed) / static_cast<double>(pixels),
              static_cast<double>(usable) / 1e9, static_cast<double>(available) / 1e9);
  return false;
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

struct DecodedPhotograph {
  int index = 0;
  bool read = false;
  Photograph image;
};

// One pass over the photographs: decoded `in_flight` at a time on
// `threads` threads, and given to `use` one at a time in the order of the
// capture, whichever finished decoding first. A token of the pipeline is
// a photograph in flight, so no more than `in_flight` are ever held.
// False once one cannot be read (after its message) or `use` refuses one;
// the photographs after it are not started.
bool for_each_photograph(const std::vector<CapturePhotograph>& photographs, int width, int height,
                         bool first_pass, int threads, int in_flight,
                         const std::function<bool(int index, const Photograph& image)>& use) {
  const int count = static_cast<int>(photographs.size());
  int next = 0;
  std::atomic<bool> failed{false};
  // Photographs summed go back here with their samples' memory, and the
  // next decodes take them: no more than `in_flight` sets of samples are
  // ever allocated (see reset_photograph).
  std::mutex spare_lock;
  std::vector<std::shared_ptr<DecodedPhotograph>> spare;
  run_on_threads(threads, [&] {
    tbb::parallel_pipeline(
        static_cast<std::size_t>(std::max(1, in_flight)),
        tbb::make_filter<void, int>(tbb::filter_mode::serial_in_order,
                                    [&](tbb::flow_control& control) {
                                      if (next == count || failed) {
                                        control.stop();
                                        return 0;
                                      }
                                      return next++;
                                    }) &
            tbb::make_filter<int, std::shared_ptr<DecodedPhotograph>>(
                tbb::filter_mode::parallel,
                [&](int index) {
                  std::shared_ptr<DecodedPhotograph> decoded;
                  {
                    const std::lock_guard<std::mutex> hold(spare_lock);
                    if (!spare.empty()) {
                      decoded = std::move(spare.back());
                      spare.pop_back();
                    }
                  }
                  if (decoded == nullptr) decoded = std::make_shared<DecodedPhotograph>();
                  decoded->index = index;
                  decoded->read = !failed && read_checked_photograph(photographs[index], width,
                                                                     height, first_pass,
                                                                     decoded->image);
                  return decoded;
                }) &
            tbb::make_filter<std::shared_ptr<DecodedPhotograph>, void>(
                tbb::filter_mode::serial_in_order,
                [&](const std::shared_ptr<DecodedPhotograph>& decoded) {
                  if (!failed && !(decoded->read && use(decoded->index, decoded->image))) {
                    failed = true;
                  }
                  reset_photograph(decoded->image);
                  const std::lock_guard<std::mutex> hold(spare_lock);
                  spare.push_back(decoded);
                }));
  });
  return !failed;
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
  // The map is written only after the last pass over the photographs: an
  // output naming one of them would replace it at the end.
  for (const CapturePhotograph& photograph : photographs) {
    if (is_same_file(photograph.path.c_str(), out_path)) {
      std::printf("Output %s is one of the photographs of %s\n", out_path, lp_path);
      return false;
    }
  }
  int width = 0;
  int height = 0;
  std::uint64_t reading_bytes = 0;
  if (!check_headers(photographs, width, height, reading_bytes)) return false;
  if (!choose_in_flight(options, count, width, height, reading_bytes, report)) return false;
  MaskPtr mask;
  if (options.mask_path != nullptr &&
      !read_object_mask(options.mask_path, width, height, mask)) {
    return false;
  }

  PhotographFit fit;
  begin_photograph_fit(lights.data(), count, width, height, options.layout, options.threads, fit);
  std::unique_ptr<PhotographFit, FitFreer> fit_owner(&fit);
  const std::uint64_t steps = static_cast<std::uint64_t>(count) * (options.measure_photographs ? 2 : 1);
  report_progress(options.progress, 0, steps);
  bool told_conversion = false;
  const bool summed = for_each_photograph(
      photographs, width, height, true, options.threads, report.in_flight,
      [&](int i, const Photograph& image) {
        tell_colour_conversion(image, photographs[i].path.c_str(), told_conversion);
        accumulate_photograph(fit, image, lights[i]);
        report_progress(options.progress, i + 1, steps);
        return true;
      });
  if (!summed) return false;
  report.residuals = solve_photograph_fit(fit, mask.get());
  OwnedPtm ptm(make_fitted_ptm(fit, mask.get()));
  fit_owner.reset();
  report.width = width;
  report.height = height;
  report.photograph_count = count;
  report.object_pixels = report.residuals.samples / static_cast<std::uint64_t>(count);
  std::copy_n(ptm->scale_bias, 12, report.scale_bias);

  if (options.measure_photographs) {
    // The map as it will be written (its stored bytes), relit at each
    // photograph's light.
    const OwnedPtm relit(relightable_ptm(*ptm, preferred_representation()));
    report.photographs.resize(photographs.size());
    const bool measured = for_each_photograph(
        photographs, width, height, false, options.threads, report.in_flight,
        [&](int i, const Photograph& image) {
          const RelitErrors errors =
              relit_errors(*relit, image, lights[i], mask.get(), options.threads);
          add_relit_errors(report.errors, errors);
          report.photographs[i] = {photographs[i].path, relit_rms(errors)};
          report_progress(options.progress, count + i + 1, steps);
          return true;
        });
    if (!measured) return false;
  }
  return write_fitted_map(*ptm, out_path, options.jpegls);
}
