// 8-bit RGB pictures written a row at a time: a picture of any size goes to
// its file without ever being whole in memory. PNG through libpng's row
// interface, binary PPM, and the uncompressed TGA of the viewer's
// screenshots. Every file is made through OutputFile: whole or absent.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/output_file.h"
#include "imageio/png_image.h"

enum class PictureFormat { png, ppm, tga };

class PictureWriter {
 public:
  PictureWriter();
  PictureWriter(const PictureWriter&) = delete;
  PictureWriter& operator=(const PictureWriter&) = delete;
  // A picture opened and not finished is discarded: no file is left.
  ~PictureWriter();

  // Opens `path` for a width x height picture in `format`; a PNG carries
  // `notes` (PPM and TGA hold none), a TGA `tga_id` as its image-ID text.
  // False after a message on standard error naming the file: it cannot be
  // made (as write_png_rgb, write_ppm and write_tga say it), the picture is
  // empty, or a TGA side is beyond the 65535 its header holds.
  bool open(const char* path, PictureFormat format, int width, int height,
            const PngNotes& notes = {}, const char* tga_id = nullptr);

  // The order the rows go in: the top row first (PNG, PPM) or the bottom
  // row first (TGA, whose origin is the lower left).
  bool top_row_first() const { return format_ != PictureFormat::tga; }

  // The next row in that order: width x 3 bytes, red, green, blue. A write
  // that fails is remembered; the rest are then skipped.
  void write_row(const std::uint8_t* rgb);

  // Whether a write has failed already (the picture can no longer be
  // written; finish reports why).
  bool failed() const;

  // Ends the file and puts it in place. False after a message on standard
  // error when any write failed; no file is left then.
  bool finish();

 private:
  PictureFormat format_ = PictureFormat::png;
  std::string path_;
  int width_ = 0;
  bool write_failed_ = false;
  OutputFile file_;                    // PPM and TGA
  std::vector<std::uint8_t> swapped_;  // a TGA row as B, G, R
  PngRows png_;
};

// Writes the whole picture `picture` was opened for, made a band of
// `band_rows` rows at a time on up to `threads` threads: make(first, end,
// rgb) fills picture rows first .. end - 1, bottom-up (row first first).
// A few bands are in memory at once. Returns picture.finish().
bool write_picture_bands(PictureWriter& picture, int width, int height, int band_rows, int threads,
                         const std::function<void(int first, int end, std::uint8_t* rgb)>& make);

// The 18-byte header and image-ID text of an uncompressed 24-bit TGA with
// its origin at the lower left; the ID is cut to 254 characters. False when
// the write fails.
bool write_tga_header(std::FILE* file, int width, int height, const char* id_text);

// Whether a picture fits a TGA header's 16-bit sides; prints "Can't write
// TGA file <path>: <w> x <h> is beyond TGA's 65535 x 65535" on standard
// error when not.
bool tga_size_fits(const char* path, int width, int height);
