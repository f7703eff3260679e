#include "ptm/jpegls_plane.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "jpegls/jpegls.h"

namespace {

// The read cursor and the end of the stored stream, which the codec is
// never handed bytes beyond: a shorter delivery tells it the stream ended.
struct ReadCursor {
  const std::uint8_t* next;
  const std::uint8_t* end;
};

int read_stream(void* user, std::uint8_t* buffer, int capacity) {
  auto* cursor = static_cast<ReadCursor*>(user);
  const int count =
      static_cast<int>(std::min<std::ptrdiff_t>(capacity, cursor->end - cursor->next));
  std::memcpy(buffer, cursor->next, static_cast<std::size_t>(count));
  cursor->next += count;
  return count;
}

// The write cursor and the end of the destination plane: a line that would
// not fit is refused, which stops the decode.
struct WriteCursor {
  std::uint8_t* next;
  std::uint8_t* end;
};

int write_line(void* user, const std::uint8_t* line, int count) {
  auto* cursor = static_cast<WriteCursor*>(user);
  if (count < 0 || count > cursor->end - cursor->next) return 0;
  std::memcpy(cursor->next, line, static_cast<std::size_t>(count));
  cursor->next += count;
  return 1;
}

// The frame header of a stream, found the way the codec finds it (T.87
// C.1: markers are 0xFF and a byte with its high bit set, segments carry
// their length), so that a frame that is not this plane is refused before
// the codec sets out to decode it: a stream of a few bytes may describe a
// 65535 x 65535 image of several components, which the codec would decode
// whole. Unknown (no frame found) leaves the refusal to the codec.
struct FrameHeader {
  bool found = false;
  int width = 0;
  int height = 0;
  int components = 0;
  int bits = 0;
};

FrameHeader find_frame(const std::uint8_t* stream, std::size_t size) {
  FrameHeader frame;
  std::size_t i = 0;
  auto byte = [&](std::size_t at) { return at < size ? stream[at] : -1; };
  for (;;) {
    while (i < size && stream[i] != 0xFF) ++i;
    while (i < size && stream[i] == 0xFF) ++i;
    if (i >= size) return frame;
    const int code = stream[i++];
    if ((code & 0x80) == 0) continue;
    if (code == 0xD8 || (code >= 0xD0 && code <= 0xD7)) continue;  // no segment
    if (code == 0xF7) {
      if (i + 8 > size) return frame;
      frame.found = true;
      frame.bits = byte(i + 2);
      frame.height = byte(i + 3) << 8 | byte(i + 4);
      frame.width = byte(i + 5) << 8 | byte(i + 6);
      frame.components = byte(i + 7);
      return frame;
    }
    if (i + 2 > size) return frame;
    i += static_cast<std::size_t>(stream[i] << 8 | stream[i + 1]);
  }
}

void print_message(void*, const char* text) { std::fprintf(stderr, "%s\n", text); }

bool fits_plane(int stream_width, int stream_height, int components, int alphabet, int width,
                int height) {
  if (stream_width == width && stream_height == height && components == 1 && alphabet == 256) {
    return true;
  }
  std::fprintf(stderr,
               "JPEG-LS plane of %d x %d samples with %d components of alphabet %d does not fit a "
               "%d x %d plane of bytes\n",
               stream_width, stream_height, components, alphabet, width, height);
  return false;
}

// Encoder output gathered in a vector.
int append_stream(void* user, const std::uint8_t* buffer, int count) {
  auto* stream = static_cast<std::vector<std::uint8_t>*>(user);
  stream->insert(stream->end(), buffer, buffer + count);
  return 1;
}

struct PlaneSource {
  const std::uint8_t* next;
};

int read_plane_line(void* user, std::uint8_t* line, int count) {
  auto* source = static_cast<PlaneSource*>(user);
  std::memcpy(line, source->next, static_cast<std::size_t>(count));
  source->next += count;
  return 1;
}

}  // namespace

namespace {

// A codec with the stream's header read and found to be a plane of width x
// height, or null after the codec's messages and ours.
JlsCodec* start_plane_decode(ReadCursor& read, int width, int height) {
  const FrameHeader frame = find_frame(read.next, static_cast<std::size_t>(read.end - read.next));
  if (frame.found && !fits_plane(frame.width, frame.height, frame.components,
                                 1 << (frame.bits & 31), width, height)) {
    return nullptr;
  }
  JlsCodec* codec = JPEGLS_Create();
  if (codec == nullptr) {
    std::fprintf(stderr, "fatal error : JPEGLS_Create failed!\n");
    return nullptr;
  }
  JPEGLS_SetMessageHandler(codec, print_message, nullptr);
  JlsInfo info;
  if (StartDecode(codec, read_stream, &read) == 0) {
    std::fprintf(stderr, "StartDecode failed\n");
  } else if (GetInfo(codec, &info) == 0) {
    std::fprintf(stderr, "GetInfo failed\n");
  } else if (fits_plane(info.width, info.height, info.components, info.alphabet, width, height)) {
    return codec;
  }
  JPEGLS_Destroy(codec);
  return nullptr;
}

// The densest coding T.87 has is run mode at its longest run segment: one
// bit for 2^15 samples (J[RUNindex] is at most 15, A.7.1.1).
constexpr std::uint64_t run_mode_samples_per_byte = 8 * 32768;

}  // namespace

int decode_jpegls_plane(const std::uint8_t* stream, std::size_t stream_bytes,
                        std::uint8_t* destination, int width, int height) {
  ReadCursor read{stream, stream + stream_bytes};
  JlsCodec* codec = start_plane_decode(read, width, height);
  if (codec == nullptr) return 0;
  WriteCursor write{destination, destination + static_cast<std::size_t>(width) * height};
  if (DecodeFromCB(codec, write_line, &write) == 0) std::fprintf(stderr, "Decode CB failed\n");
  JPEGLS_Destroy(codec);
  return static_cast<int>(write.next - destination);
}

std::uint64_t probe_jpegls_plane(const std::uint8_t* stream, std::size_t stream_bytes, int width,
                                 int height) {
  ReadCursor read{stream, stream + stream_bytes};
  JlsCodec* codec = start_plane_decode(read, width, height);
  if (codec == nullptr) return 0;
  JPEGLS_Destroy(codec);
  return stream_bytes * run_mode_samples_per_byte;
}

bool encode_jpegls_plane(const std::uint8_t* plane, int width, int height, int near,
                         std::vector<std::uint8_t>& stream) {
  stream.clear();
  JlsCodec* codec = JPEGLS_Create();
  if (codec == nullptr) return false;
  JPEGLS_SetMessageHandler(codec, print_message, nullptr);
  JlsInfo info = JPEGLS_DefaultInfo();
  info.width = width;
  info.height = height;
  info.scan[0].near = near;
  PlaneSource source{plane};
  const bool encoded = StartEncode(codec, append_stream, &stream, info) != 0 &&
                       EncodeFromCB(codec, read_plane_line, &source) != 0;
  // The last buffered bytes reach the vector when the codec is destroyed.
  JPEGLS_Destroy(codec);
  return encoded;
}
