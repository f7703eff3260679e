#include "ptm/ptm.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/checked_alloc.h"
#include "common/end_program.h"
#include "ptm/coefficients.h"

namespace {

bool is_rgb_storage(int format) {
  return format == PTM_FORMAT_RGB || format == PTM_FORMAT_JPEG_RGB ||
         format == PTM_FORMAT_JPEGLS_RGB;
}

bool is_lrgb_storage(int format) {
  return format == PTM_FORMAT_LRGB || format == PTM_FORMAT_JPEG_LRGB ||
         format == PTM_FORMAT_JPEGLS_LRGB;
}

// What one pixel of a map costs in each kind of array.
struct StorageLayout {
  int coef_planes;    // planes of 3 bytes per pixel
  int color_planes;   // planes of 1 byte per pixel (LUM uses 0 and 2)
  int wide_channels;  // arrays of 6 int32 per pixel
  int packed_bytes;   // packed bytes per pixel
  bool color_matrix;
};

bool storage_layout(int format, CoefRepresentation representation, StorageLayout& layout) {
  const bool packed = representation == CoefRepresentation::packed;
  const int wide = representation == CoefRepresentation::wide ? 1 : 0;
  if (is_rgb_storage(format)) {
    layout = {6, 0, 3 * wide, packed ? packed_rgb_values_per_pixel * 2 : 0, false};
  } else if (is_lrgb_storage(format)) {
    layout = {2, packed ? 0 : 3, wide, packed ? 16 : 0, false};
  } else if (format == PTM_FORMAT_LUM) {
    layout = {2, 2, representation == CoefRepresentation::stored ? 0 : 1, 0, true};
  } else {
    return false;
  }
  return true;
}

Ptm* allocate_record(int width, int height, int format) {
  auto* ptm = checked_alloc_array<Ptm>(1);
  *ptm = Ptm{};
  ptm->width = width;
  ptm->height = height;
  ptm->format = format;
  ptm->scale_bias = checked_alloc_array<std::int32_t>(12);
  return ptm;
}

void free_integer_arrays(Ptm* ptm) {
  for (auto*& channel : ptm->coef_int) {
    checked_free(channel);
    channel = nullptr;
  }
  checked_free(ptm->lum_coef_int);
  checked_free(ptm->packed_rgb);
  checked_free(ptm->packed_lrgb);
  ptm->lum_coef_int = nullptr;
  ptm->packed_rgb = nullptr;
  ptm->packed_lrgb = nullptr;
}

void release_coef_planes(Ptm* ptm) {
  for (auto*& plane : ptm->coef_planes) {
    checked_free(plane);
    plane = nullptr;
  }
}

void release_color_planes(Ptm* ptm) {
  for (auto*& plane : ptm->color_planes) {
    checked_free(plane);
    plane = nullptr;
  }
}

// The integer arrays of `ptm`'s format in `representation` (LUM: wide).
void allocate_integer_arrays(Ptm& ptm, CoefRepresentation representation) {
  StorageLayout layout{};
  if (ptm.format == PTM_FORMAT_LUM) representation = CoefRepresentation::wide;
  if (!storage_layout(ptm.format, representation, layout)) return;
  const std::size_t pixels = pixel_count(ptm);
  if (layout.wide_channels == 3) {
    for (auto*& channel : ptm.coef_int) channel = checked_alloc_array<std::int32_t>(pixels * 6);
  } else if (layout.wide_channels == 1) {
    ptm.lum_coef_int = checked_alloc_array<std::int32_t>(pixels * 6);
  }
  if (layout.packed_bytes != 0) {
    if (is_rgb_storage(ptm.format)) {
      ptm.packed_rgb = checked_alloc_array<std::int16_t>(pixels * packed_rgb_values_per_pixel);
    } else {
      ptm.packed_lrgb = checked_alloc_array<PackedLrgbTexel>(pixels);
    }
  }
}

}  // namespace

CoefRepresentation representation_of(const Ptm& ptm) {
  if (uses_packed(ptm)) return CoefRepresentation::packed;
  return has_integer_form(ptm) ? CoefRepresentation::wide : CoefRepresentation::stored;
}

std::uint64_t ptm_storage_bytes(std::uint64_t width, std::uint64_t height, int format,
                                CoefRepresentation representation) {
  StorageLayout layout{};
  if (!storage_layout(format, representation, layout)) return 0;
  const std::uint64_t pixels = width * height;
  const std::uint64_t per_pixel = 3u * layout.coef_planes + layout.color_planes +
                                  24u * layout.wide_channels + layout.packed_bytes;
  return pixels * per_pixel + 12 * sizeof(std::int32_t) + (layout.color_matrix ? 64 : 0) +
         sizeof(Ptm);
}

bool ptm_size_fits(std::int64_t width, std::int64_t height, int format,
                   CoefRepresentation representation) {
  if (width <= 0 || height <= 0 || width > INT32_MAX / height) return false;
  const std::uint64_t memory = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                               static_cast<std::uint64_t>(sysconf(_SC_PAGE_SIZE));
  return ptm_storage_bytes(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                           format, representation) <= memory;
}

Ptm* create_ptm(int width, int height, int format, CoefRepresentation representation) {
  StorageLayout layout{};
  if (!storage_layout(format, representation, layout)) {
    std::printf("create_ptm error: unrecognized format\n");
    end_program(-1);
  }
  Ptm* ptm = allocate_record(width, height, format);
  const std::size_t pixels = pixel_count(*ptm);
  for (int i = 0; i < layout.coef_planes; ++i) {
    ptm->coef_planes[i] = checked_alloc_array<std::uint8_t>(pixels * 3);
  }
  if (layout.color_planes == 3) {
    for (auto*& plane : ptm->color_planes) plane = checked_alloc_array<std::uint8_t>(pixels);
  } else if (layout.color_planes == 2) {
    ptm->color_planes[0] = checked_alloc_array<std::uint8_t>(pixels);
    ptm->color_planes[2] = checked_alloc_array<std::uint8_t>(pixels);
  }
  allocate_integer_arrays(*ptm, representation);
  if (layout.color_matrix) ptm->color_matrix = checked_alloc_array<float>(16);
  return ptm;
}

Ptm* create_ptm(int width, int height, int format) {
  return create_ptm(width, height, format, preferred_representation());
}

Ptm ptm_rows_view(const Ptm& map, int first_row, int rows) {
  Ptm view = map;
  view.height = rows;
  view.mask = nullptr;
  const std::size_t first =
      static_cast<std::size_t>(first_row) * static_cast<std::size_t>(map.width);
  for (auto*& plane : view.coef_planes) {
    if (plane != nullptr) plane += first * 3;
  }
  for (auto*& plane : view.color_planes) {
    if (plane != nullptr) plane += first;
  }
  for (auto*& channel : view.coef_int) {
    if (channel != nullptr) channel += first * 6;
  }
  if (view.lum_coef_int != nullptr) view.lum_coef_int += first * 6;
  if (view.packed_rgb != nullptr) view.packed_rgb += first * packed_rgb_values_per_pixel;
  if (view.packed_lrgb != nullptr) view.packed_lrgb += first;
  if (view.normals != nullptr) view.normals += first * 3;
  return view;
}

void add_integer_form(Ptm& view, CoefRepresentation representation) {
  allocate_integer_arrays(view, representation);
  convert_all_coefficients(view);
}

void release_integer_form(Ptm& view) { free_integer_arrays(&view); }

Ptm* create_stored_ptm(int width, int height, int format) {
  return create_ptm(width, height, format, CoefRepresentation::stored);
}

void free_ptm(Ptm* ptm) {
  if (ptm == nullptr) return;
  release_coef_planes(ptm);
  release_color_planes(ptm);
  free_integer_arrays(ptm);
  checked_free(ptm->color_matrix);
  checked_free(ptm->normals);
  checked_free(ptm->mask);
  checked_free(ptm->scale_bias);
  checked_free(ptm);
}

Ptm* create_derived_ptm(const Ptm& source) {
  return create_derived_ptm(source, source.width, source.height);
}

Ptm* create_derived_ptm(const Ptm& source, int width, int height) {
  Ptm* derived = create_ptm(width, height, source.format, representation_of(source));
  release_coef_planes(derived);
  if (derived->color_matrix != nullptr) {
    checked_free(derived->color_matrix);
    derived->color_matrix = source.color_matrix;
  }
  return derived;
}

Ptm* create_derived_ptm_shared(const Ptm& source) {
  Ptm* derived = create_derived_ptm(source);
  release_color_planes(derived);
  for (int i = 0; i < 3; ++i) derived->color_planes[i] = source.color_planes[i];
  return derived;
}

void free_derived_ptm(Ptm* ptm) {
  if (ptm == nullptr) return;
  release_color_planes(ptm);
  free_derived_ptm_shared(ptm);
}

bool shares_color_planes(const Ptm& derived, const Ptm& source) {
  for (int i = 0; i < 3; ++i) {
    if (derived.color_planes[i] != nullptr && derived.color_planes[i] == source.color_planes[i]) {
      return true;
    }
  }
  return false;
}

void own_color_planes(Ptm& derived, const Ptm& source) {
  if (!shares_color_planes(derived, source)) return;
  const std::size_t pixels = pixel_count(derived);
  for (auto*& plane : derived.color_planes) {
    if (plane == nullptr) continue;
    auto* own = checked_alloc_array<std::uint8_t>(pixels);
    std::memcpy(own, plane, pixels);
    plane = own;
  }
}

void free_derived_ptm_of(Ptm* ptm, const Ptm& source) {
  if (ptm != nullptr && shares_color_planes(*ptm, source)) {
    free_derived_ptm_shared(ptm);
  } else {
    free_derived_ptm(ptm);
  }
}

void free_derived_ptm_shared(Ptm* ptm) {
  if (ptm == nullptr) return;
  free_integer_arrays(ptm);
  checked_free(ptm->normals);
  checked_free(ptm->scale_bias);
  checked_free(ptm);
}

namespace {

// Extended precision, so that the truncation sees the exact blend of
// 32-bit corners.
std::int32_t bilerp(long double c00, long double c10, long double c01, long double c11, float fx,
                    float fy) {
  const long double x = fx;
  const long double y = fy;
  return static_cast<std::int32_t>(((1 - x) * c00 + x * c10) * (1 - y) +
                                   y * ((1 - x) * c01 + x * c11));
}

}  // namespace

std::int32_t bilerp_s8(std::int32_t c00, std::int32_t c10, std::int32_t c01, std::int32_t c11,
                       float fx, float fy) {
  return bilerp(static_cast<std::int8_t>(c00), static_cast<std::int8_t>(c10),
                static_cast<std::int8_t>(c01), static_cast<std::int8_t>(c11), fx, fy);
}

std::int32_t bilerp_u8(std::int32_t c00, std::int32_t c10, std::int32_t c01, std::int32_t c11,
                       float fx, float fy) {
  return bilerp(static_cast<std::uint8_t>(c00), static_cast<std::uint8_t>(c10),
                static_cast<std::uint8_t>(c01), static_cast<std::uint8_t>(c11), fx, fy);
}

std::int32_t bilerp_s16(std::int32_t c00, std::int32_t c10, std::int32_t c01, std::int32_t c11,
                        float fx, float fy) {
  return bilerp(static_cast<std::int16_t>(c00), static_cast<std::int16_t>(c10),
                static_cast<std::int16_t>(c01), static_cast<std::int16_t>(c11), fx, fy);
}

std::int32_t bilerp_s32(std::int32_t c00, std::int32_t c10, std::int32_t c01, std::int32_t c11,
                        float fx, float fy) {
  return bilerp(c00, c10, c01, c11, fx, fy);
}

const char* ptm_format_name(int format) {
  static const char* const names[] = {"rgb",      "lum",       "lrgb",       "lut",        "clut",
                                      "jpeg-rgb", "jpeg-lrgb", "jpegls-rgb", "jpegls-lrgb"};
  return format >= 0 && format <= PTM_FORMAT_JPEGLS_LRGB ? names[format] : "unknown";
}
