#include "imageio/embedded_profile.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

std::uint32_t big_endian_16(const std::uint8_t* p) { return std::uint32_t{p[0]} << 8 | p[1]; }

std::uint32_t big_endian_32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// ---- JPEG ----

// JPEG markers (ITU-T T.81, Table B.1).
constexpr std::uint8_t marker_soi = 0xD8;
constexpr std::uint8_t marker_eoi = 0xD9;
constexpr std::uint8_t marker_sos = 0xDA;
constexpr std::uint8_t marker_app2 = 0xE2;
constexpr std::uint8_t marker_tem = 0x01;

// An APP2 payload of the profile: identifier, sequence number (from 1),
// number of markers, then the part of the profile.
constexpr char icc_identifier[] = "ICC_PROFILE";  // with its zero byte: 12 bytes
constexpr std::size_t icc_identifier_bytes = sizeof icc_identifier;
constexpr std::size_t icc_part_header_bytes = icc_identifier_bytes + 2;

struct ProfilePart {
  int sequence;
  int count;
  const std::uint8_t* data;
  std::size_t size;
};

// RSTn and TEM stand alone; every other marker before the scan has a
// two-byte length that counts itself.
bool stands_alone(std::uint8_t marker) {
  return marker == marker_tem || (marker >= 0xD0 && marker <= 0xD7);
}

std::vector<ProfilePart> jpeg_profile_parts(const std::uint8_t* data, std::size_t size) {
  std::vector<ProfilePart> parts;
  std::size_t at = 2;
  while (at < size && data[at] == 0xFF) {
    // Any number of 0xFF fill bytes may precede a marker (B.1.1.2).
    while (at < size && data[at] == 0xFF) ++at;
    if (at >= size) break;
    const std::uint8_t marker = data[at++];
    if (marker == marker_sos || marker == marker_eoi) break;
    if (stands_alone(marker)) continue;
    if (size - at < 2) break;
    const std::size_t length = big_endian_16(data + at);
    if (length < 2 || length > size - at) break;
    const std::uint8_t* payload = data + at + 2;
    const std::size_t payload_bytes = length - 2;
    if (marker == marker_app2 && payload_bytes >= icc_part_header_bytes &&
        std::memcmp(payload, icc_identifier, icc_identifier_bytes) == 0) {
      parts.push_back({payload[icc_identifier_bytes], payload[icc_identifier_bytes + 1],
                       payload + icc_part_header_bytes, payload_bytes - icc_part_header_bytes});
    }
    at += length;
  }
  return parts;
}

// ---- PNG ----

constexpr std::size_t png_signature_bytes = 8;
// Length, type, data, CRC.
constexpr std::size_t chunk_overhead = 12;
// PNG keywords are 1 to 79 bytes (11.3.4.1).
constexpr std::size_t max_keyword_bytes = 79;

bool inflate_profile(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out,
                     std::string& problem) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) {
    problem = "zlib could not start";
    return false;
  }
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = static_cast<uInt>(size);
  out.clear();
  std::uint8_t chunk[16384];
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = chunk;
    stream.avail_out = sizeof chunk;
    status = inflate(&stream, Z_NO_FLUSH);
    const std::size_t produced = sizeof chunk - stream.avail_out;
    if (out.size() + produced > max_icc_profile_bytes) {
      status = Z_MEM_ERROR;
      break;
    }
    out.insert(out.end(), chunk, chunk + produced);
  }
  inflateEnd(&stream);
  if (status == Z_STREAM_END) return true;
  out.clear();
  // Z_BUF_ERROR: the stream ends before its end; others: it is corrupt.
  problem = status == Z_MEM_ERROR ? "its iCCP chunk holds a profile larger than 16 MB"
                                  : "the compressed profile in its iCCP chunk is damaged";
  return false;
}

}  // namespace

EmbeddedProfile find_jpeg_icc_profile(const std::uint8_t* data, std::size_t size,
                                      std::vector<std::uint8_t>& profile, std::string& problem) {
  profile.clear();
  if (size < 2 || data[0] != 0xFF || data[1] != marker_soi) return EmbeddedProfile::none;
  const std::vector<ProfilePart> parts = jpeg_profile_parts(data, size);
  if (parts.empty()) return EmbeddedProfile::none;
  const int count = parts.front().count;
  std::vector<const ProfilePart*> by_sequence(static_cast<std::size_t>(count) + 1, nullptr);
  for (const ProfilePart& part : parts) {
    if (part.count != count || count == 0) {
      problem = "its ICC profile markers disagree on how many there are";
      return EmbeddedProfile::damaged;
    }
    if (part.sequence < 1 || part.sequence > count || by_sequence[part.sequence] != nullptr) {
      problem = "its ICC profile markers are numbered wrongly (marker " +
                std::to_string(part.sequence) + " of " + std::to_string(count) + ")";
      return EmbeddedProfile::damaged;
    }
    by_sequence[part.sequence] = &part;
  }
  if (static_cast<int>(parts.size()) != count) {
    problem = "its ICC profile is split over " + std::to_string(count) + " markers, of which " +
              std::to_string(parts.size()) + " are present";
    return EmbeddedProfile::damaged;
  }
  for (int s = 1; s <= count; ++s) {
    profile.insert(profile.end(), by_sequence[s]->data, by_sequence[s]->data + by_sequence[s]->size);
  }
  return EmbeddedProfile::found;
}

EmbeddedProfile find_png_icc_profile(const std::uint8_t* data, std::size_t size,
                                     std::vector<std::uint8_t>& profile, std::string& problem) {
  profile.clear();
  std::size_t at = png_signature_bytes;
  while (size >= chunk_overhead && at <= size - chunk_overhead) {
    const std::size_t length = big_endian_32(data + at);
    if (length > size - at - chunk_overhead) break;
    const std::uint8_t* type = data + at + 4;
    const std::uint8_t* chunk = type + 4;
    if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) break;
    if (std::memcmp(type, "iCCP", 4) == 0) {
      // The CRC covers the type and the data.
      const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, type, static_cast<uInt>(length + 4)));
      if (crc != big_endian_32(chunk + length)) {
        problem = "its iCCP chunk fails its CRC check";
        return EmbeddedProfile::damaged;
      }
      const std::size_t keyword_end =
          std::find(chunk, chunk + std::min(length, max_keyword_bytes + 1), 0) - chunk;
      if (keyword_end == 0 || keyword_end > max_keyword_bytes || keyword_end + 2 > length ||
          chunk[keyword_end + 1] != 0) {
        problem = "its iCCP chunk is malformed";
        return EmbeddedProfile::damaged;
      }
      const std::size_t stream_start = keyword_end + 2;
      if (!inflate_profile(chunk + stream_start, length - stream_start, profile, problem)) {
        return EmbeddedProfile::damaged;
      }
      return EmbeddedProfile::found;
    }
    at += chunk_overhead + length;
  }
  return EmbeddedProfile::none;
}
