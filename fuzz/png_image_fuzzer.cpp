// Any bytes as a PNG picture for decode_png_rgb (photographs and masks of
// the fitter), and for its notes as render --from reads them: the text
// chunks, and the recorded view parsed as render's options.
#include <cstddef>
#include <cstdint>

#include "imageio/png_image.h"
#include "tool/arguments.h"
#include "tool/view_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A forged header may claim up to max_png_pixels; decoding that many from
  // a short stream fails at its first missing row, but allocating them
  // takes the fuzzer's time: keep to pictures of a million pixels here.
  if (size >= 24 && has_png_signature(data, size)) {
    const std::uint64_t width = (std::uint64_t{data[16]} << 24) | (data[17] << 16) | (data[18] << 8) | data[19];
    const std::uint64_t height = (std::uint64_t{data[20]} << 24) | (data[21] << 16) | (data[22] << 8) | data[23];
    if (width * height > (1u << 20)) return 0;
  }
  RgbImage* image = decode_png_rgb(data, size, "fuzz input");
  if (image != nullptr) free_rgb_image(image);
  PngNotes notes;
  if (decode_png_notes(data, size, "fuzz input", notes)) {
    for (const PngText& note : notes.texts) {
      try {
        parse_render_view(note.text);
      } catch (const UsageError&) {
      }
    }
  }
  return 0;
}
