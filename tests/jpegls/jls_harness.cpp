#include "jls_harness.h"

#include <charls/charls.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string testdata_path(const std::string& relative) {
  return std::string(RELUMO_TESTDATA_DIR) + "/" + relative;
}

namespace {

struct ReadCursor {
  const std::string* bytes;
  std::size_t position;
};

int read_from_memory(void* user, std::uint8_t* buffer, int capacity) {
  auto* cursor = static_cast<ReadCursor*>(user);
  const std::size_t left = cursor->bytes->size() - cursor->position;
  const int n = static_cast<int>(std::min<std::size_t>(left, static_cast<std::size_t>(capacity)));
  std::memcpy(buffer, cursor->bytes->data() + cursor->position, static_cast<std::size_t>(n));
  cursor->position += static_cast<std::size_t>(n);
  return n;
}

int write_to_memory(void* user, const std::uint8_t* buffer, int count) {
  static_cast<std::string*>(user)->append(reinterpret_cast<const char*>(buffer),
                                          static_cast<std::size_t>(count));
  return 1;
}

void collect_message(void* user, const char* text) {
  auto* messages = static_cast<std::string*>(user);
  messages->append(text);
  if (messages->empty() || messages->back() != '\n') messages->push_back('\n');
}

struct LineSink {
  TestImage* image;
  std::size_t next;
};

int take_line(void* user, const std::uint8_t* line, int byte_count) {
  auto* sink = static_cast<LineSink*>(user);
  TestImage& image = *sink->image;
  const bool two_byte = image.bits > 8;
  const int count = two_byte ? byte_count / 2 : byte_count;
  if (sink->next + static_cast<std::size_t>(count) > image.samples.size()) return 0;
  for (int i = 0; i < count; ++i) {
    std::uint16_t value = line[i];
    if (two_byte) std::memcpy(&value, line + 2 * i, 2);
    image.samples[sink->next++] = value;
  }
  return 1;
}

struct LineSource {
  const TestImage* image;
  std::size_t next;
};

int give_line(void* user, std::uint8_t* line, int byte_count) {
  auto* source = static_cast<LineSource*>(user);
  const TestImage& image = *source->image;
  const bool two_byte = image.bits > 8;
  const int count = two_byte ? byte_count / 2 : byte_count;
  for (int i = 0; i < count; ++i) {
    const std::uint16_t value = image.samples[source->next++];
    if (two_byte) {
      std::memcpy(line + 2 * i, &value, 2);
    } else {
      line[i] = static_cast<std::uint8_t>(value);
    }
  }
  return 1;
}

}  // namespace

DecodeOutcome decode_jls(const std::string& stream) {
  DecodeOutcome outcome;
  JlsCodec* codec = JPEGLS_Create();
  JPEGLS_SetMessageHandler(codec, collect_message, &outcome.messages);
  ReadCursor cursor{&stream, 0};
  outcome.started = StartDecode(codec, read_from_memory, &cursor) != 0;
  if (outcome.started && GetInfo(codec, &outcome.info) != 0) {
    TestImage& image = outcome.image;
    image.width = outcome.info.width;
    image.height = outcome.info.height;
    image.components = outcome.info.components;
    image.bits = 1;
    while ((1 << image.bits) < outcome.info.alphabet) ++image.bits;
    image.samples.assign(static_cast<std::size_t>(image.width) * image.height * image.components,
                         0);
    LineSink sink{&image, 0};
    outcome.decoded = DecodeFromCB(codec, take_line, &sink) != 0;
  }
  JPEGLS_Destroy(codec);
  return outcome;
}

JlsInfo info_for(const TestImage& image, int interleave, int near) {
  JlsInfo info = JPEGLS_DefaultInfo();
  info.width = image.width;
  info.height = image.height;
  info.components = image.components;
  info.alphabet = 1 << image.bits;
  info.scan[0].interleave = interleave;
  info.scan[0].near = near;
  info.scan[0].alphabet = info.alphabet;
  info.scan[0].components = image.components;
  return info;
}

EncodeOutcome encode_jls(const TestImage& image, JlsInfo info) {
  EncodeOutcome outcome;
  JlsCodec* codec = JPEGLS_Create();
  JPEGLS_SetMessageHandler(codec, collect_message, &outcome.messages);
  LineSource source{&image, 0};
  outcome.encoded = StartEncode(codec, write_to_memory, &outcome.stream, info) != 0 &&
                    EncodeFromCB(codec, give_line, &source) != 0;
  JPEGLS_Destroy(codec);
  return outcome;
}

namespace {

// Pixel-interleaved samples to one plane per component, or back.
std::vector<std::uint16_t> to_planes(const TestImage& image) {
  const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
  std::vector<std::uint16_t> planes(image.samples.size());
  for (std::size_t p = 0; p < pixels; ++p) {
    for (int c = 0; c < image.components; ++c) {
      planes[c * pixels + p] = image.samples[p * image.components + c];
    }
  }
  return planes;
}

void from_planes(TestImage& image) {
  const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
  const std::vector<std::uint16_t> planes = image.samples;
  for (std::size_t p = 0; p < pixels; ++p) {
    for (int c = 0; c < image.components; ++c) {
      image.samples[p * image.components + c] = planes[c * pixels + p];
    }
  }
}

}  // namespace

std::string charls_encode(const TestImage& image, int interleave, int near, int t1, int t2, int t3,
                          int reset, int color_transform) {
  charls_jpegls_encoder* encoder = charls_jpegls_encoder_create();
  const charls_frame_info frame{static_cast<std::uint32_t>(image.width),
                                static_cast<std::uint32_t>(image.height), image.bits,
                                image.components};
  bool ok = charls_jpegls_encoder_set_frame_info(encoder, &frame) == charls_jpegls_errc{} &&
            charls_jpegls_encoder_set_near_lossless(encoder, near) == charls_jpegls_errc{};
  if (ok && image.components > 1) {
    ok = charls_jpegls_encoder_set_interleave_mode(
             encoder, static_cast<charls_interleave_mode>(interleave)) == charls_jpegls_errc{};
  }
  if (ok && (t1 > 0 || reset > 0)) {
    charls_jpegls_pc_parameters pc{};
    pc.threshold1 = std::max(t1, 0);
    pc.threshold2 = std::max(t2, 0);
    pc.threshold3 = std::max(t3, 0);
    pc.reset_value = std::max(reset, 0);
    ok = charls_jpegls_encoder_set_preset_coding_parameters(encoder, &pc) == charls_jpegls_errc{};
  }
  if (ok && color_transform != 0) {
    ok = charls_jpegls_encoder_set_color_transformation(
             encoder, static_cast<charls_color_transformation>(color_transform)) ==
         charls_jpegls_errc{};
  }
  const bool planar = interleave == 0 && image.components > 1;
  std::vector<std::uint8_t> source;
  for (std::uint16_t v : planar ? to_planes(image) : image.samples) {
    source.push_back(static_cast<std::uint8_t>(v));
    if (image.bits > 8) source.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  std::size_t size = 0;
  ok = ok &&
       charls_jpegls_encoder_get_estimated_destination_size(encoder, &size) == charls_jpegls_errc{};
  std::string out(size + 1024, '\0');
  std::size_t written = 0;
  ok = ok &&
       charls_jpegls_encoder_set_destination_buffer(encoder, out.data(), out.size()) ==
           charls_jpegls_errc{} &&
       charls_jpegls_encoder_encode_from_buffer(encoder, source.data(), source.size(), 0) ==
           charls_jpegls_errc{} &&
       charls_jpegls_encoder_get_bytes_written(encoder, &written) == charls_jpegls_errc{};
  charls_jpegls_encoder_destroy(encoder);
  if (!ok) return {};
  out.resize(written);
  return out;
}

bool charls_decode(const std::string& stream, TestImage& image) {
  charls_jpegls_decoder* decoder = charls_jpegls_decoder_create();
  bool ok = charls_jpegls_decoder_set_source_buffer(decoder, stream.data(), stream.size()) ==
                charls_jpegls_errc{} &&
            charls_jpegls_decoder_read_header(decoder) == charls_jpegls_errc{};
  charls_frame_info frame{};
  ok = ok && charls_jpegls_decoder_get_frame_info(decoder, &frame) == charls_jpegls_errc{};
  charls_interleave_mode interleave{};
  ok =
      ok && charls_jpegls_decoder_get_interleave_mode(decoder, &interleave) == charls_jpegls_errc{};
  std::size_t size = 0;
  ok = ok && charls_jpegls_decoder_get_destination_size(decoder, 0, &size) == charls_jpegls_errc{};
  std::vector<std::uint8_t> out(size);
  ok = ok && charls_jpegls_decoder_decode_to_buffer(decoder, out.data(), out.size(), 0) ==
                 charls_jpegls_errc{};
  charls_jpegls_decoder_destroy(decoder);
  if (!ok) return false;
  image.width = static_cast<int>(frame.width);
  image.height = static_cast<int>(frame.height);
  image.components = frame.component_count;
  image.bits = frame.bits_per_sample;
  image.samples.clear();
  if (image.bits > 8) {
    for (std::size_t i = 0; i + 1 < out.size(); i += 2) {
      image.samples.push_back(static_cast<std::uint16_t>(out[i] | out[i + 1] << 8));
    }
  } else {
    image.samples.assign(out.begin(), out.end());
  }
  if (interleave == charls_interleave_mode{}) from_planes(image);
  return true;
}

int max_difference(const TestImage& a, const TestImage& b) {
  if (a.width != b.width || a.height != b.height || a.components != b.components ||
      a.samples.size() != b.samples.size()) {
    return -1;
  }
  int worst = 0;
  for (std::size_t i = 0; i < a.samples.size(); ++i) {
    worst = std::max(worst, std::abs(a.samples[i] - b.samples[i]));
  }
  return worst;
}
