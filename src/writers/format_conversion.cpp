#include "writers/format_conversion.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "analysis/map_refit.h"
#include "analysis/ptm_fit.h"
#include "common/lcg_random.h"
#include "ptm/coefficients.h"
#include "writers/palettize.h"
#include "writers/ptm_writer.h"

namespace {

enum class Family { rgb, luminance, lum, none };

Family family_of(int format) {
  switch (format) {
    case PTM_FORMAT_RGB:
    case PTM_FORMAT_JPEG_RGB:
    case PTM_FORMAT_JPEGLS_RGB:
      return Family::rgb;
    case PTM_FORMAT_LRGB:
    case PTM_FORMAT_PTM_LUT:
    case PTM_FORMAT_PTM_C_LUT:
    case PTM_FORMAT_JPEG_LRGB:
    case PTM_FORMAT_JPEGLS_LRGB:
      return Family::luminance;
    case PTM_FORMAT_LUM:
      return Family::lum;
    default:
      return Family::none;
  }
}

bool is_compressed(int format) { return format >= PTM_FORMAT_JPEG_RGB && format <= PTM_FORMAT_JPEGLS_LRGB; }

bool is_palette(int format) { return format == PTM_FORMAT_PTM_LUT || format == PTM_FORMAT_PTM_C_LUT; }

// The representation of the maps made from `ptm`: its own (stored too),
// except that LUM has no packed form, so a map made from a LUM map in
// memory takes this processor's.
CoefRepresentation made_representation(const Ptm& ptm) {
  if (ptm.format == PTM_FORMAT_LUM && has_integer_form(ptm)) return preferred_representation();
  return representation_of(ptm);
}

// Step `step` of `steps` equal parts of the whole conversion's progress.
ProgressFn step_progress(const ProgressFn& whole, int step, int steps) {
  if (!whole) return {};
  return [whole, step, steps](std::uint64_t done, std::uint64_t total) {
    constexpr std::uint64_t part = 1000;
    const std::uint64_t fraction = total == 0 ? part : done * part / total;
    whole(static_cast<std::uint64_t>(step) * part + fraction,
          static_cast<std::uint64_t>(steps) * part);
  };
}

bool region_inside(const PtmRect& r, const Ptm& ptm) {
  return r.w > 0 && r.h > 0 && r.xs >= 0 && r.ys >= 0 &&
         static_cast<std::int64_t>(r.xs) + r.w <= ptm.width &&
         static_cast<std::int64_t>(r.ys) + r.h <= ptm.height;
}

// Writes `map`, already of the target's family, in the target format.
bool write_in_format(const Ptm& map, const ConversionOptions& options, const char* path,
                     const ProgressFn& progress) {
  if (is_compressed(options.format)) {
    return write_compressed_ptm(
        map, path, conversion_plane_coding(options.format, options.quality, options.near), progress,
        options.threads);
  }
  if (is_palette(options.format)) {
    const int mode =
        options.format == PTM_FORMAT_PTM_LUT ? palette_mode_luminance : palette_mode_color;
    // A fresh sequence, as the viewer's first palette of a run draws: the
    // same map gives the same file every time.
    LcgRandom random;
    Palette palette;
    return cluster_palette(map, mode, random, palette, best_nearest_isa(), progress,
                           options.threads) &&
           output_paletized_LRGB_ptm(map, palette, mode, path);
  }
  return write_ptm_region(map, path, 0, 0, map.width, map.height);
}

bool convert_and_write(const Ptm& source, const ConversionOptions& options, const char* path,
                       ConversionReport& report) {
  const PtmRect whole{0, 0, source.width, source.height};
  const PtmRect rect = options.whole_map ? whole : options.region;
  // The same format uncompressed: the viewer's cropped writer, byte for byte.
  if (options.format == source.format) return write_cropped_ptm_file(source, rect, path);

  const Ptm* map = &source;
  OwnedPtm cropped;
  if (!options.whole_map) {
    cropped.reset(crop_ptm(source, rect));
    map = cropped.get();
  }
  const bool long_write = is_compressed(options.format) || is_palette(options.format);
  const int steps = (report.kind == ConversionKind::fit ? 1 : 0) + (long_write ? 1 : 0);
  int step = 0;
  OwnedPtm converted;
  if (report.kind == ConversionKind::fit) {
    const int target = family_of(options.format) == Family::rgb ? PTM_FORMAT_RGB : PTM_FORMAT_LRGB;
    RefitResult fit = refit_map(*map, target, made_representation(*map),
                                step_progress(options.progress, step++, steps));
    converted.reset(fit.ptm);
    report.fit_lights = fit.light_count;
    report.rms_error = fit.rms_error;
  } else if (report.kind == ConversionKind::requantize) {
    converted.reset(rgb_from_lrgb(*map));
  }
  if (converted) map = converted.get();
  return write_in_format(*map, options, path, step_progress(options.progress, step, steps));
}

}  // namespace

ConversionKind conversion_kind(int source_format, int target_format) {
  const Family source = family_of(source_format);
  const Family target = family_of(target_format);
  if (source == Family::none || target == Family::none || source_format > PTM_FORMAT_LRGB) {
    return ConversionKind::unsupported;
  }
  if (target == Family::lum) return source == Family::lum ? ConversionKind::copy : ConversionKind::unsupported;
  if (source == Family::lum) return ConversionKind::fit;
  if (source == Family::rgb) return target == Family::rgb ? ConversionKind::copy : ConversionKind::fit;
  if (target == Family::rgb) return ConversionKind::requantize;
  return is_palette(target_format) ? ConversionKind::palettize : ConversionKind::copy;
}

Ptm* crop_ptm(const Ptm& ptm, const PtmRect& rect) {
  Ptm* out = create_ptm(rect.w, rect.h, ptm.format, made_representation(ptm));
  std::memcpy(out->scale_bias, ptm.scale_bias, 12 * sizeof(std::int32_t));
  if (ptm.format == PTM_FORMAT_LUM) std::memcpy(out->color_matrix, ptm.color_matrix, 16 * sizeof(float));
  const int planes = ptm.format == PTM_FORMAT_RGB ? 6 : 2;
  for (int y = 0; y < rect.h; ++y) {
    const std::size_t from = static_cast<std::size_t>(rect.ys + y) * ptm.width + rect.xs;
    const std::size_t to = static_cast<std::size_t>(y) * rect.w;
    for (int j = 0; j < planes; ++j) {
      std::memcpy(out->coef_planes[j] + 3 * to, ptm.coef_planes[j] + 3 * from, 3 * rect.w);
    }
    for (int x = 0; x < rect.w; ++x) {
      if (ptm.format == PTM_FORMAT_LRGB) {
        std::uint8_t rgb[3];
        get_lrgb_color(ptm, from + x, rgb);
        set_lrgb_color(*out, to + x, rgb);
      } else if (ptm.format == PTM_FORMAT_LUM) {
        out->color_planes[0][to + x] = ptm.color_planes[0][from + x];
        out->color_planes[2][to + x] = ptm.color_planes[2][from + x];
      }
    }
  }
  convert_all_coefficients(*out);
  return out;
}

Ptm* rgb_from_lrgb(const Ptm& lrgb) {
  const std::int32_t* sb = lrgb.scale_bias;
  const std::size_t pixels = pixel_count(lrgb);
  std::vector<float> coefficients(18 * pixels);
  for (std::size_t p = 0; p < pixels; ++p) {
    const std::uint8_t* low = lrgb.coef_planes[0] + 3 * p;
    const std::uint8_t* high = lrgb.coef_planes[1] + 3 * p;
    std::uint8_t rgb[3];
    get_lrgb_color(lrgb, p, rgb);
    float* a = coefficients.data() + 18 * p;
    for (int k = 0; k < 6; ++k) {
      const int stored = k < 3 ? low[k] : high[k - 3];
      // The decoded coefficient as the evaluators hold it (int16), times
      // the colour over 256: exact in single precision.
      const float q = packed_coefficient(stored, sb[k], sb[6 + k]);
      for (int c = 0; c < 3; ++c) a[6 * c + k] = q * static_cast<float>(rgb[c]) / 256.0f;
    }
  }
  return make_rgb_ptm(RgbFit{lrgb.width, lrgb.height, coefficients.data()},
                      made_representation(lrgb));
}

CompressedPtmOptions conversion_plane_coding(int target_format, int quality, int near) {
  CompressedPtmOptions options;
  const bool jpegls =
      target_format == PTM_FORMAT_JPEGLS_RGB || target_format == PTM_FORMAT_JPEGLS_LRGB;
  options.compression_type = jpegls ? compression_jpegls : compression_jpeg;
  options.quality = quality;
  options.near = near;
  const bool rgb = target_format == PTM_FORMAT_JPEG_RGB || target_format == PTM_FORMAT_JPEGLS_RGB;
  const int luminance = rgb ? 6 : 0;  // the group the others are predicted from: green, or L
  options.planes[luminance + 1].reference = luminance;
  options.planes[luminance + 5].reference = luminance + 1;
  options.planes[luminance + 5].transformation = transform_invert;
  if (rgb) {
    // Green's six planes first, then red's and blue's, each from green.
    options.order.resize(18);
    int position = 0;
    for (int c : {1, 0, 2}) {
      for (int k = 0; k < 6; ++k) {
        options.order[6 * c + k] = position++;
        if (c != 1) options.planes[6 * c + k].reference = 6 + k;
      }
    }
  }
  return options;
}

bool write_converted_ptm(const Ptm& source, const ConversionOptions& options, const char* path,
                         ConversionReport& report) {
  report = ConversionReport{};
  report.kind = conversion_kind(source.format, options.format);
  if (report.kind == ConversionKind::unsupported) {
    std::printf("Cannot convert a %s map to %s\n", ptm_format_name(source.format),
                ptm_format_name(options.format));
    return false;
  }
  if (!options.whole_map && !region_inside(options.region, source)) {
    const PtmRect& r = options.region;
    std::printf("The region %d x %d at %d %d is not inside the %d x %d map\n", r.w, r.h, r.xs, r.ys,
                source.width, source.height);
    return false;
  }
  return convert_and_write(source, options, path, report);
}
