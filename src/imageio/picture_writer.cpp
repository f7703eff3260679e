#include "imageio/picture_writer.h"

#include <cstdio>
#include <cstring>

#include "common/parallel.h"
#include "imageio/png_image.h"

namespace {

constexpr int tga_largest_side = 65535;

}  // namespace

bool tga_size_fits(const char* path, int width, int height) {
  if (width <= tga_largest_side && height <= tga_largest_side) return true;
  std::fprintf(stderr, "Can't write TGA file %s: %d x %d is beyond TGA's %d x %d\n", path, width,
               height, tga_largest_side, tga_largest_side);
  return false;
}

PictureWriter::PictureWriter() = default;
PictureWriter::~PictureWriter() = default;

bool PictureWriter::open(const char* path, PictureFormat format, int width, int height,
                         const PngNotes& notes, const char* tga_id) {
  format_ = format;
  path_ = path;
  width_ = width;
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "Can't write picture %s: the picture is empty\n", path);
    return false;
  }
  switch (format) {
    case PictureFormat::png: {
      if (!file_.open(path)) {
        std::fprintf(stderr, "Can't open PNG file %s for writing: %s\n", path,
                     std::strerror(file_.error()));
        return false;
      }
      std::string error;
      png_ = start_png_rows(file_.get(), width, height, 8, notes, error);
      if (png_ == nullptr) {
        std::fprintf(stderr, "Error writing PNG file %s: %s; no file was written\n", path,
                     error.c_str());
        return false;
      }
      return true;
    }
    case PictureFormat::ppm:
      if (!file_.open(path)) {
        std::fprintf(stderr, "Unable to open file for writing: %s\n", path);
        return false;
      }
      std::fprintf(file_.get(), "P6\n%i %i\n255\n", width, height);
      return true;
    case PictureFormat::tga:
      if (!tga_size_fits(path, width, height)) return false;
      if (!file_.open(path)) {
        std::fprintf(stderr, "write_tga: Unable to write to FILE *\n");
        return false;
      }
      swapped_.resize(static_cast<std::size_t>(width) * 3);
      write_failed_ = !write_tga_header(file_.get(), width, height, tga_id);
      return true;
  }
  return false;
}

bool PictureWriter::failed() const {
  return write_failed_ || (file_.get() != nullptr && std::ferror(file_.get()) != 0);
}

void PictureWriter::write_row(const std::uint8_t* rgb) {
  if (write_failed_) return;
  const std::size_t bytes = static_cast<std::size_t>(width_) * 3;
  switch (format_) {
    case PictureFormat::png: {
      std::string error;
      if (!write_png_row(*png_, rgb, error)) {
        std::fprintf(stderr, "Error writing PNG file %s: %s; no file was written\n", path_.c_str(),
                     error.c_str());
        write_failed_ = true;
      }
      return;
    }
    case PictureFormat::ppm:
      write_failed_ = std::fwrite(rgb, 1, bytes, file_.get()) != bytes;
      return;
    case PictureFormat::tga:
      // TGA keeps B, G, R.
      for (std::size_t i = 0; i < bytes; i += 3) {
        swapped_[i] = rgb[i + 2];
        swapped_[i + 1] = rgb[i + 1];
        swapped_[i + 2] = rgb[i];
      }
      write_failed_ = std::fwrite(swapped_.data(), 1, bytes, file_.get()) != bytes;
      return;
  }
}

bool PictureWriter::finish() {
  if (format_ == PictureFormat::png && !write_failed_) {
    std::string error;
    if (!end_png_rows(*png_, error)) {
      std::fprintf(stderr, "Error writing PNG file %s: %s; no file was written\n", path_.c_str(),
                   error.c_str());
      write_failed_ = true;
    }
  }
  png_.reset();
  const bool written = !write_failed_ && file_.commit();
  if (written) return true;
  switch (format_) {
    case PictureFormat::png:
      // An encoding failure has been reported where it happened.
      if (!write_failed_) report_write_failure("PNG file", path_.c_str(), file_.error());
      break;
    case PictureFormat::ppm:
      report_write_failure("PPM file", path_.c_str(), file_.error());
      break;
    case PictureFormat::tga:
      std::fprintf(stderr, "Error writing tga file\n");
      break;
  }
  return false;
}

bool write_picture_bands(PictureWriter& picture, int width, int height, int band_rows, int threads,
                         const std::function<void(int first, int end, std::uint8_t* rgb)>& make) {
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  for_each_band_in_order(
      threads, height, band_rows, picture.top_row_first(),
      [&](int first, int end, std::vector<std::uint8_t>& bytes) {
        bytes.resize(static_cast<std::size_t>(end - first) * row_bytes);
        make(first, end, bytes.data());
      },
      [&](int first, int end, const std::vector<std::uint8_t>& bytes) {
        for (int k = 0; k < end - first; ++k) {
          const int row = picture.top_row_first() ? end - first - 1 - k : k;
          picture.write_row(bytes.data() + static_cast<std::size_t>(row) * row_bytes);
        }
        // A full disk ends the work; finish reports it.
        return !picture.failed();
      });
  return picture.finish();
}
