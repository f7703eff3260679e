#include "imageio/jpeg_region.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "imageio/libjpeg_glue.h"
#include "imageio/photograph_file.h"

namespace {

// Everything that must survive a longjmp out of libjpeg, on the heap: a
// local of the function that set the jump point has no defined value
// after the jump.
struct RegionDecoder {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  jpeg_progress_mgr progress;
  bool created = false;
};

void destroy(RegionDecoder* decoder) {
  if (decoder->created) jpeg_destroy_decompress(&decoder->cinfo);
  delete decoder;
}

using DecoderPointer = std::unique_ptr<RegionDecoder, decltype(&destroy)>;

PixelRect clipped(PixelRect rect, int width, int height) {
  const long long left = std::clamp<long long>(rect.left, 0, width);
  const long long top = std::clamp<long long>(rect.top, 0, height);
  const long long right =
      std::clamp<long long>(static_cast<long long>(rect.left) + rect.width, left, width);
  const long long bottom =
      std::clamp<long long>(static_cast<long long>(rect.top) + rect.height, top, height);
  return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
          static_cast<int>(bottom - top)};
}

// The decoding itself, between the jump point and its return; false when
// the stream ends the work early (the caller reports it).
bool decode_rows(RegionDecoder& decoder, PixelRect& rect, GreyPicture& out) {
  jpeg_decompress_struct& cinfo = decoder.cinfo;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 1) return false;
  rect = clipped(rect, static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
  out.left = rect.left;
  out.top = rect.top;
  out.width = rect.width;
  out.height = rect.height;
  out.samples.assign(static_cast<std::size_t>(rect.width) * rect.height, 0.0f);
  if (rect.width == 0 || rect.height == 0) return true;
  // The crop widens the columns to whole blocks; the first decoded column
  // is then `first`, at or left of the rectangle's.
  JDIMENSION first = static_cast<JDIMENSION>(rect.left);
  JDIMENSION columns = static_cast<JDIMENSION>(rect.width);
  if (columns < cinfo.output_width) jpeg_crop_scanline(&cinfo, &first, &columns);
  if (rect.top > 0 && jpeg_skip_scanlines(&cinfo, static_cast<JDIMENSION>(rect.top)) !=
                          static_cast<JDIMENSION>(rect.top)) {
    return false;
  }
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              cinfo.output_width, 1);
  const int offset = rect.left - static_cast<int>(first);
  constexpr float to_unit = 1.0f / 255.0f;
  for (int y = 0; y < rect.height; ++y) {
    // The memory source never suspends, so no row means no progress.
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) return false;
    float* target = out.samples.data() + static_cast<std::size_t>(y) * rect.width;
    for (int x = 0; x < rect.width; ++x) target[x] = row[0][offset + x] * to_unit;
  }
  // The rows below are of no use: destroying the decompressor unfinished
  // is allowed.
  return true;
}

}  // namespace

bool decode_jpeg_luminance(const std::uint8_t* data, std::size_t size, const char* name,
                           int scale_denominator, PixelRect rect, GreyPicture& out, int& width,
                           int& height) {
  out = GreyPicture{};
  DecoderPointer decoder(new RegionDecoder{}, destroy);
  jpeg_decompress_struct& cinfo = decoder->cinfo;
  cinfo.err = jumping_error_manager(decoder->error);
  if (setjmp(decoder->error.jump) != 0) {
    std::printf("JPEG photograph %s cannot be decoded\n", name);
    out = GreyPicture{};
    return false;
  }
  jpeg_create_decompress(&cinfo);
  decoder->created = true;
  install_scan_limit(&cinfo, decoder->progress);
  install_memory_source(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  width = static_cast<int>(cinfo.image_width);
  height = static_cast<int>(cinfo.image_height);
  if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) >
      max_photograph_pixels) {
    std::printf("Photograph %s is too large: %d x %d pixels, more than %llu\n", name, width, height,
                static_cast<unsigned long long>(max_photograph_pixels));
    return false;
  }
  // libjpeg makes grey of YCbCr (its Y), grey and RGB streams, not of
  // CMYK or YCCK.
  if (cinfo.jpeg_color_space != JCS_YCbCr && cinfo.jpeg_color_space != JCS_GRAYSCALE &&
      cinfo.jpeg_color_space != JCS_RGB) {
    std::printf("JPEG photograph %s is in a colour space without a luminance (CMYK)\n", name);
    return false;
  }
  cinfo.out_color_space = JCS_GRAYSCALE;
  cinfo.scale_num = 1;
  cinfo.scale_denom = static_cast<unsigned int>(scale_denominator);
  if (!decode_rows(*decoder, rect, out)) {
    std::printf("JPEG photograph %s cannot be decoded\n", name);
    out = GreyPicture{};
    return false;
  }
  return true;
}
