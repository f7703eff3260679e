#include "imageio/tiff_photograph.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

struct TiffPhotograph {
  TIFF* tiff = nullptr;
  std::string name;
  std::string error;  // libtiff's last error message
  // The stream of open_tiff_photograph.
  const std::uint8_t* data = nullptr;
  std::uint64_t size = 0;
  std::uint64_t position = 0;
  // What open found out.
  int width = 0;
  int height = 0;
  int samples_per_pixel = 0;  // colours and extra samples
  int channels = 0;           // 1 grey, 3 RGB
  int bits = 0;               // 8 or 16
  bool planes = false;        // one plane per sample instead of interleaved samples
  bool min_is_white = false;
};

namespace {

// A strip or tile buffer larger than this and than the whole picture is
// refused: libtiff sizes it from the tags, which a damaged file can make
// enormous.
constexpr std::uint64_t min_chunk_limit = std::uint64_t{4} << 20;
// The most samples a pixel of a photograph read here: its colours and a
// few extra ones.
constexpr int max_samples_per_pixel = 8;

// libtiff's own allocations (its tables of strip offsets, its decoders'
// state) stay small for any photograph the reader takes.
constexpr tmsize_t max_libtiff_allocation = tmsize_t{256} << 20;

// libtiff also reports problems it gets over (an unknown tag's type): the
// last message before a failure is the one that explains it.
int keep_last_error(TIFF*, void* user_data, const char*, const char* format,
                    va_list arguments) {
  auto* photograph = static_cast<TiffPhotograph*>(user_data);
  char text[256];
  std::vsnprintf(text, sizeof text, format, arguments);
  photograph->error = text;
  return 1;  // handled: libtiff's global handler does not print it as well
}

int ignore_warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// ---- the in-memory stream ----

TiffPhotograph* stream_of(thandle_t handle) { return static_cast<TiffPhotograph*>(handle); }

tmsize_t read_stream(thandle_t handle, void* buffer, tmsize_t count) {
  TiffPhotograph* p = stream_of(handle);
  if (count <= 0 || p->position >= p->size) return 0;
  const std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(count), p->size - p->position);
  std::memcpy(buffer, p->data + p->position, n);
  p->position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t write_stream(thandle_t, void*, tmsize_t) { return -1; }

toff_t seek_stream(thandle_t handle, toff_t offset, int whence) {
  TiffPhotograph* p = stream_of(handle);
  const std::uint64_t base = whence == SEEK_CUR ? p->position : whence == SEEK_END ? p->size : 0;
  // libtiff passes negative offsets as large unsigned ones; past either
  // end a read simply finds nothing.
  p->position = base + offset;
  return p->position;
}

int close_stream(thandle_t) { return 0; }

toff_t stream_size(thandle_t handle) { return stream_of(handle)->size; }

// The stream is mapped as it lies, so libtiff decodes strips in place
// instead of copying them first.
int map_stream(thandle_t handle, void** base, toff_t* size) {
  TiffPhotograph* p = stream_of(handle);
  *base = const_cast<std::uint8_t*>(p->data);
  *size = p->size;
  return 1;
}

void unmap_stream(thandle_t, void*, toff_t) {}

// ---- what is read ----

void report_undecodable(const TiffPhotograph* p, const std::string& reason) {
  std::printf("TIFF photograph %s cannot be decoded: %s\n", p->name.c_str(),
              reason.empty() ? "libtiff gives no reason" : reason.c_str());
}

void report_kind(const TiffPhotograph* p, const char* kind) {
  std::printf("TIFF photograph %s is %s; only RGB and grey photographs of 8 or 16 bits are read\n",
              p->name.c_str(), kind);
}

bool readable_compression(std::uint16_t compression) {
  return compression == COMPRESSION_NONE || compression == COMPRESSION_LZW ||
         compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE ||
         compression == COMPRESSION_PACKBITS;
}

// Reads the tags of the first directory and checks that the photograph is
// of a kind the decoder takes.
bool read_layout(TiffPhotograph* p) {
  TIFF* tiff = p->tiff;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t photometric = 0;
  std::uint16_t samples = 1;
  std::uint16_t bits = 1;
  std::uint16_t format = SAMPLEFORMAT_UINT;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  std::uint16_t compression = COMPRESSION_NONE;
  if (TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
      TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) != 1 || width == 0 || height == 0 ||
      width > INT32_MAX || height > INT32_MAX) {
    report_undecodable(p, "it has no valid width and height");
    return false;
  }
  if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) != 1) {
    report_undecodable(p, "it does not say how its samples are colours (no photometric tag)");
    return false;
  }
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: p->channels = 1; break;
    case PHOTOMETRIC_RGB: p->channels = 3; break;
    case PHOTOMETRIC_SEPARATED: report_kind(p, "a CMYK picture"); return false;
    case PHOTOMETRIC_PALETTE: report_kind(p, "a palette picture"); return false;
    case PHOTOMETRIC_YCBCR: report_kind(p, "a YCbCr picture"); return false;
    default: report_kind(p, "a picture in another colour space"); return false;
  }
  if (format == SAMPLEFORMAT_IEEEFP) {
    report_kind(p, "a picture of floating-point samples");
    return false;
  }
  if (format != SAMPLEFORMAT_UINT) {
    report_kind(p, "a picture of signed or complex samples");
    return false;
  }
  if (bits != 8 && bits != 16) {
    const std::string kind = "a picture of " + std::to_string(bits) + "-bit samples";
    report_kind(p, kind.c_str());
    return false;
  }
  if (samples < p->channels) {
    report_undecodable(p, "it has fewer samples a pixel than its colours need");
    return false;
  }
  // Its colours and a few extra samples (alpha, a mask): strips are read
  // whole with every sample, so a forged count would size them by
  // gigabytes.
  if (samples > max_samples_per_pixel) {
    const std::string kind = "a picture of " + std::to_string(samples) + " samples a pixel";
    report_kind(p, kind.c_str());
    return false;
  }
  if (!readable_compression(compression) || TIFFIsCODECConfigured(compression) == 0) {
    std::printf(
        "TIFF photograph %s is compressed with method %u; uncompressed, LZW, Deflate and "
        "PackBits photographs are read\n",
        p->name.c_str(), compression);
    return false;
  }
  p->width = static_cast<int>(width);
  p->height = static_cast<int>(height);
  p->samples_per_pixel = samples;
  p->bits = bits;
  p->planes = planar == PLANARCONFIG_SEPARATE && samples > 1;
  p->min_is_white = photometric == PHOTOMETRIC_MINISWHITE;
  return true;
}

TIFFOpenOptions* open_options(TiffPhotograph* p) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, keep_last_error, p);
  TIFFOpenOptionsSetWarningHandlerExtR(options, ignore_warning, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, max_libtiff_allocation);
  return options;
}

TiffPhotograph* finish_open(TiffPhotograph* p) {
  if (p->tiff == nullptr) {
    report_undecodable(p, p->error);
    close_tiff_photograph(p);
    return nullptr;
  }
  if (!read_layout(p)) {
    close_tiff_photograph(p);
    return nullptr;
  }
  return p;
}

// ---- decoding ----

// One decoded strip or tile: `columns` x `rows` pixels whose top-left
// pixel is (x, y) of the picture, `stride` pixels apart from row to row;
// one sample of `plane` a pixel when the photograph is in planes.
struct Chunk {
  int x;
  int y;
  int columns;
  int rows;
  int stride;
  int plane;
};

template <typename Sample>
void place_chunk(const TiffPhotograph* p, const Sample* samples, const Chunk& c,
                 std::vector<Sample>& out) {
  const int step = p->planes ? 1 : p->samples_per_pixel;
  const Sample white = static_cast<Sample>(p->bits == 16 ? 0xFFFF : 0xFF);
  for (int r = 0; r < c.rows; ++r) {
    const Sample* in = samples + static_cast<std::size_t>(r) * c.stride * step;
    // The file's row y is the picture's row height - 1 - y.
    Sample* row = out.data() +
                  (static_cast<std::size_t>(p->height - 1 - (c.y + r)) * p->width + c.x) * 3;
    for (int x = 0; x < c.columns; ++x, in += step, row += 3) {
      if (p->channels == 1) {
        const Sample v = p->min_is_white ? static_cast<Sample>(white - in[0]) : in[0];
        row[0] = row[1] = row[2] = v;
      } else if (p->planes) {
        row[c.plane] = in[0];
      } else {
        row[0] = in[0];
        row[1] = in[1];
        row[2] = in[2];
      }
    }
  }
}

template <typename Sample>
bool decode_chunks(TiffPhotograph* p, std::vector<Sample>& out) {
  TIFF* tiff = p->tiff;
  const bool tiled = TIFFIsTiled(tiff) != 0;
  const std::uint64_t picture_bytes =
      static_cast<std::uint64_t>(p->width) * p->height * p->samples_per_pixel * sizeof(Sample);
  const tmsize_t chunk_bytes = tiled ? TIFFTileSize(tiff) : TIFFStripSize(tiff);
  if (chunk_bytes <= 0 ||
      static_cast<std::uint64_t>(chunk_bytes) > std::max(picture_bytes, min_chunk_limit)) {
    report_undecodable(p, tiled ? "its tiles are larger than the picture" : "its strips cannot be sized");
    return false;
  }
  std::vector<Sample> buffer((static_cast<std::size_t>(chunk_bytes) + sizeof(Sample) - 1) /
                             sizeof(Sample));
  std::uint32_t chunk_width = static_cast<std::uint32_t>(p->width);
  std::uint32_t chunk_height = 0;
  if (tiled) {
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &chunk_width);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &chunk_height);
  } else {
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &chunk_height);
    chunk_height = std::min<std::uint32_t>(chunk_height, static_cast<std::uint32_t>(p->height));
  }
  if (chunk_width == 0 || chunk_height == 0) {
    report_undecodable(p, "its strips or tiles have no size");
    return false;
  }
  // Only the colour planes are decoded; an alpha plane is skipped.
  const int planes = p->planes ? p->channels : 1;
  const int step = p->planes ? 1 : p->samples_per_pixel;
  for (int plane = 0; plane < planes; ++plane) {
    for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(p->height); y += chunk_height) {
      for (std::uint32_t x = 0; x < static_cast<std::uint32_t>(p->width); x += chunk_width) {
        const Chunk c{static_cast<int>(x), static_cast<int>(y),
                      static_cast<int>(std::min<std::uint32_t>(chunk_width, p->width - x)),
                      static_cast<int>(std::min<std::uint32_t>(chunk_height, p->height - y)),
                      static_cast<int>(chunk_width), plane};
        tmsize_t got;
        std::uint64_t needed;
        p->error.clear();
        if (tiled) {
          const std::uint32_t tile =
              TIFFComputeTile(tiff, x, y, 0, static_cast<std::uint16_t>(plane));
          got = TIFFReadEncodedTile(tiff, tile, buffer.data(), chunk_bytes);
          needed = static_cast<std::uint64_t>(chunk_bytes);
        } else {
          const std::uint32_t strip = TIFFComputeStrip(tiff, y, static_cast<std::uint16_t>(plane));
          got = TIFFReadEncodedStrip(tiff, strip, buffer.data(), chunk_bytes);
          needed = static_cast<std::uint64_t>(c.rows) * chunk_width * step * sizeof(Sample);
        }
        if (got < 0 || static_cast<std::uint64_t>(got) < needed) {
          report_undecodable(p, p->error.empty() ? "its data ends early" : p->error);
          return false;
        }
        place_chunk(p, buffer.data(), c, out);
      }
    }
  }
  return true;
}

}  // namespace

TiffPhotograph* open_tiff_photograph(const std::uint8_t* data, std::size_t size, const char* name) {
  auto* p = new TiffPhotograph;
  p->name = name;
  p->data = data;
  p->size = size;
  TIFFOpenOptions* options = open_options(p);
  p->tiff = TIFFClientOpenExt(name, "r", p, read_stream, write_stream, seek_stream, close_stream,
                              stream_size, map_stream, unmap_stream, options);
  TIFFOpenOptionsFree(options);
  return finish_open(p);
}

TiffPhotograph* open_tiff_photograph_file(const char* path) {
  auto* p = new TiffPhotograph;
  p->name = path;
  TIFFOpenOptions* options = open_options(p);
  p->tiff = TIFFOpenExt(path, "r", options);
  TIFFOpenOptionsFree(options);
  return finish_open(p);
}

int tiff_photograph_width(const TiffPhotograph* photograph) { return photograph->width; }

int tiff_photograph_height(const TiffPhotograph* photograph) { return photograph->height; }

int tiff_photograph_bits(const TiffPhotograph* photograph) { return photograph->bits; }

bool tiff_icc_profile(const TiffPhotograph* photograph, const std::uint8_t*& data,
                      std::size_t& size) {
  std::uint32_t count = 0;
  void* bytes = nullptr;
  if (TIFFGetField(photograph->tiff, TIFFTAG_ICCPROFILE, &count, &bytes) != 1 || bytes == nullptr ||
      count == 0) {
    return false;
  }
  data = static_cast<const std::uint8_t*>(bytes);
  size = count;
  return true;
}

bool decode_tiff_photograph(TiffPhotograph* photograph, Photograph& out) {
  allocate_photograph_samples(out, photograph->width, photograph->height, photograph->bits);
  return photograph->bits == 16 ? decode_chunks(photograph, out.samples16)
                                : decode_chunks(photograph, out.samples8);
}

void close_tiff_photograph(TiffPhotograph* photograph) {
  if (photograph == nullptr) return;
  if (photograph->tiff != nullptr) TIFFClose(photograph->tiff);
  delete photograph;
}
