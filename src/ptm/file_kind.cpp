#include "ptm/file_kind.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/file_handle.h"
#include "ptm/reader.h"

namespace {

// The signatures pictures begin with, each at `offset`; `length` bytes of
// `bytes` must match.
struct PictureSignature {
  const char* format;
  std::size_t offset;
  std::size_t length;
  const char* bytes;
};

constexpr PictureSignature picture_signatures[] = {
    // SOI and the first marker's FF (ITU-T T.81, B.1.1.3).
    {"JPEG", 0, 3, "\xFF\xD8\xFF"},
    {"PNG", 0, 8, "\x89PNG\r\n\x1A\n"},
    {"GIF", 0, 6, "GIF87a"},
    {"GIF", 0, 6, "GIF89a"},
    // Byte order and the number 42 (TIFF 6.0, section 2), classic and BigTIFF.
    {"TIFF", 0, 4, "II*\0"},
    {"TIFF", 0, 4, "MM\0*"},
    {"TIFF", 0, 4, "II+\0"},
    {"TIFF", 0, 4, "MM\0+"},
    {"WebP", 8, 4, "WEBP"},
    // The signature box of JPEG 2000's file format (ISO/IEC 15444-1, I.5.1).
    {"JPEG 2000", 0, 12, "\0\0\0\x0CjP  \r\n\x87\n"},
    {"OpenEXR", 0, 4, "\x76\x2F\x31\x01"},
};

// Enough for every signature above and the BMP header's reserved fields.
constexpr std::size_t sniffed_bytes = 16;

bool is_space(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Netpbm's magic numbers: 'P', a digit, white space (PBM 1 and 4, PGM 2 and
// 5, PPM 3 and 6, PAM 7; PFM's "PF" and "Pf" for floating-point samples).
const char* netpbm_format(const std::uint8_t* b, std::size_t size) {
  if (size < 3 || b[0] != 'P' || !is_space(b[2])) return nullptr;
  switch (b[1]) {
    case '1':
    case '4':
      return "PBM";
    case '2':
    case '5':
      return "PGM";
    case '3':
    case '6':
      return "PPM";
    case '7':
      return "PAM";
    case 'F':
    case 'f':
      return "PFM";
    default:
      return nullptr;
  }
}

// "BM", the file size, then two reserved 16-bit fields that are zero: two
// letters alone begin too many text files.
bool is_bmp(const std::uint8_t* b, std::size_t size) {
  return size >= 10 && b[0] == 'B' && b[1] == 'M' && b[6] == 0 && b[7] == 0 && b[8] == 0 &&
         b[9] == 0;
}

const char* picture_format(const std::uint8_t* b, std::size_t size) {
  for (const PictureSignature& s : picture_signatures) {
    if (size >= s.offset + s.length && std::memcmp(b + s.offset, s.bytes, s.length) == 0) {
      return s.format;
    }
  }
  if (const char* netpbm = netpbm_format(b, size)) return netpbm;
  return is_bmp(b, size) ? "BMP" : nullptr;
}

// "a" or "an": every name above that begins with a vowel letter is spoken
// so too ("an OpenEXR"); the acronyms begin with consonant sounds.
const char* article(const char* format) {
  return std::strchr("AEIOU", format[0]) != nullptr ? "an" : "a";
}

}  // namespace

FileIdentity identify_file(const char* path) {
  FileIdentity identity;
  struct stat info {};
  if (stat(path, &info) != 0) {
    identity.kind = FileKind::missing;
    identity.error = errno;
    return identity;
  }
  if (S_ISDIR(info.st_mode)) {
    identity.kind = FileKind::folder;
    return identity;
  }
  FileHandle file(std::fopen(path, "rb"));
  if (!file) {
    identity.kind = FileKind::unopenable;
    identity.error = errno;
    return identity;
  }
  std::uint8_t start[sniffed_bytes];
  const std::size_t size = std::fread(start, 1, sizeof start, file.get());
  file.reset();
  if (size == 0 && S_ISREG(info.st_mode)) {
    identity.kind = FileKind::empty;
  } else if ((identity.picture = picture_format(start, size)) != nullptr) {
    identity.kind = FileKind::picture;
  } else if (starts_like_ptm_file(path)) {
    identity.kind = FileKind::ptm;
  }
  return identity;
}

std::string not_a_map_message(const char* path, const FileIdentity& identity) {
  const std::string name(path);
  switch (identity.kind) {
    case FileKind::missing:
    case FileKind::unopenable:
      return name + " cannot be opened: " + std::strerror(identity.error);
    case FileKind::folder:
      return name + " is a folder";
    case FileKind::empty:
      return name + " is empty";
    case FileKind::picture:
      return name + " is " + article(identity.picture) + " " + identity.picture +
             " picture, not a PTM map";
    case FileKind::ptm:
      return name + " is not a readable PTM map";
    case FileKind::other:
      break;
  }
  return name + " is not a PTM map";
}
