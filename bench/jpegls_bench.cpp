// JPEG-LS decoding and encoding throughput, in megabytes of samples per
// second, for Relumo's codec and for CharLS in the same run, on the T.87
// colour test image (line and pixel interleaved), the 12-bit grey test
// image and a 512 x 512 photograph.
#include <benchmark/benchmark.h>
#include <charls/charls.h>

#include <cstring>
#include <string>
#include <vector>

#include "jpegls/jpegls.h"
#include "support/pnm_image.h"

namespace {

struct BenchImage {
  const char* name;
  const char* file;
  int interleave;
};

const BenchImage images[] = {
    {"test8_line", "jpegls/conformance/test8.ppm", 1},
    {"test8_pixel", "jpegls/conformance/test8.ppm", 2},
    {"test16", "jpegls/conformance/test16.pgm", 1},
    {"tulips", "jpegls/extra/tulips-gray-8bit-512-512.pgm", 1},
};

// The image's samples as the codecs take them: bytes, or host-order
// 16-bit values.
struct Prepared {
  TestImage image;
  std::vector<std::uint8_t> raw;
  std::string stream;  // coded by CharLS
};

Prepared prepare(const BenchImage& b) {
  Prepared p;
  p.image = read_pnm(std::string(RELUMO_TESTDATA_DIR) + "/" + b.file);
  for (std::uint16_t v : p.image.samples) {
    if (p.image.bits > 8) {
      p.raw.resize(p.raw.size() + 2);
      std::memcpy(p.raw.data() + p.raw.size() - 2, &v, 2);
    } else {
      p.raw.push_back(static_cast<std::uint8_t>(v));
    }
  }
  charls_jpegls_encoder* encoder = charls_jpegls_encoder_create();
  const charls_frame_info frame{static_cast<std::uint32_t>(p.image.width),
                                static_cast<std::uint32_t>(p.image.height), p.image.bits,
                                p.image.components};
  std::size_t size = 0;
  std::size_t written = 0;
  bool ok = charls_jpegls_encoder_set_frame_info(encoder, &frame) == charls_jpegls_errc{};
  if (p.image.components > 1) {
    ok = ok &&
         charls_jpegls_encoder_set_interleave_mode(
             encoder, static_cast<charls_interleave_mode>(b.interleave)) == charls_jpegls_errc{};
  }
  ok = ok &&
       charls_jpegls_encoder_get_estimated_destination_size(encoder, &size) == charls_jpegls_errc{};
  p.stream.assign(size, '\0');
  ok = ok &&
       charls_jpegls_encoder_set_destination_buffer(encoder, p.stream.data(), size) ==
           charls_jpegls_errc{} &&
       charls_jpegls_encoder_encode_from_buffer(encoder, p.raw.data(), p.raw.size(), 0) ==
           charls_jpegls_errc{} &&
       charls_jpegls_encoder_get_bytes_written(encoder, &written) == charls_jpegls_errc{};
  charls_jpegls_encoder_destroy(encoder);
  if (!ok) std::abort();
  p.stream.resize(written);
  return p;
}

struct Cursor {
  const std::uint8_t* data;
  std::size_t left;
};

int read_memory(void* user, std::uint8_t* buffer, int capacity) {
  auto* c = static_cast<Cursor*>(user);
  const std::size_t n = c->left < static_cast<std::size_t>(capacity) ? c->left : capacity;
  std::memcpy(buffer, c->data, n);
  c->data += n;
  c->left -= n;
  return static_cast<int>(n);
}

int copy_line_out(void* user, const std::uint8_t* line, int count) {
  auto** out = static_cast<std::uint8_t**>(user);
  std::memcpy(*out, line, static_cast<std::size_t>(count));
  *out += count;
  return 1;
}

int copy_line_in(void* user, std::uint8_t* line, int count) {
  auto** in = static_cast<const std::uint8_t**>(user);
  std::memcpy(line, *in, static_cast<std::size_t>(count));
  *in += count;
  return 1;
}

int append_stream(void* user, const std::uint8_t* buffer, int count) {
  static_cast<std::string*>(user)->append(reinterpret_cast<const char*>(buffer),
                                          static_cast<std::size_t>(count));
  return 1;
}

void decode_relumo(benchmark::State& state, const BenchImage* b) {
  const Prepared p = prepare(*b);
  std::vector<std::uint8_t> out(p.raw.size());
  for (auto _ : state) {
    JlsCodec* codec = JPEGLS_Create();
    Cursor cursor{reinterpret_cast<const std::uint8_t*>(p.stream.data()), p.stream.size()};
    std::uint8_t* write = out.data();
    if (StartDecode(codec, read_memory, &cursor) == 0 ||
        DecodeFromCB(codec, copy_line_out, &write) == 0) {
      state.SkipWithError("decode failed");
    }
    JPEGLS_Destroy(codec);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != p.raw) state.SkipWithError("decoded samples differ");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.raw.size()));
}

void decode_charls(benchmark::State& state, const BenchImage* b) {
  const Prepared p = prepare(*b);
  std::vector<std::uint8_t> out(p.raw.size());
  for (auto _ : state) {
    charls_jpegls_decoder* decoder = charls_jpegls_decoder_create();
    if (charls_jpegls_decoder_set_source_buffer(decoder, p.stream.data(), p.stream.size()) !=
            charls_jpegls_errc{} ||
        charls_jpegls_decoder_read_header(decoder) != charls_jpegls_errc{} ||
        charls_jpegls_decoder_decode_to_buffer(decoder, out.data(), out.size(), 0) !=
            charls_jpegls_errc{}) {
      state.SkipWithError("decode failed");
    }
    charls_jpegls_decoder_destroy(decoder);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != p.raw) state.SkipWithError("decoded samples differ");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.raw.size()));
}

void encode_relumo(benchmark::State& state, const BenchImage* b) {
  const Prepared p = prepare(*b);
  JlsInfo info = JPEGLS_DefaultInfo();
  info.width = p.image.width;
  info.height = p.image.height;
  info.components = p.image.components;
  info.alphabet = 1 << p.image.bits;
  info.scan[0].alphabet = info.alphabet;
  info.scan[0].components = p.image.components;
  info.scan[0].interleave = b->interleave;
  std::string stream;
  for (auto _ : state) {
    stream.clear();
    JlsCodec* codec = JPEGLS_Create();
    const std::uint8_t* read = p.raw.data();
    if (StartEncode(codec, append_stream, &stream, info) == 0 ||
        EncodeFromCB(codec, copy_line_in, &read) == 0) {
      state.SkipWithError("encode failed");
    }
    JPEGLS_Destroy(codec);
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.raw.size()));
}

void encode_charls(benchmark::State& state, const BenchImage* b) {
  const Prepared p = prepare(*b);
  std::string stream(p.raw.size() * 2 + 4096, '\0');
  const charls_frame_info frame{static_cast<std::uint32_t>(p.image.width),
                                static_cast<std::uint32_t>(p.image.height), p.image.bits,
                                p.image.components};
  for (auto _ : state) {
    charls_jpegls_encoder* encoder = charls_jpegls_encoder_create();
    bool ok = charls_jpegls_encoder_set_frame_info(encoder, &frame) == charls_jpegls_errc{};
    if (p.image.components > 1) {
      ok = ok &&
           charls_jpegls_encoder_set_interleave_mode(
               encoder, static_cast<charls_interleave_mode>(b->interleave)) == charls_jpegls_errc{};
    }
    ok = ok &&
         charls_jpegls_encoder_set_destination_buffer(encoder, stream.data(), stream.size()) ==
             charls_jpegls_errc{} &&
         charls_jpegls_encoder_encode_from_buffer(encoder, p.raw.data(), p.raw.size(), 0) ==
             charls_jpegls_errc{};
    if (!ok) state.SkipWithError("encode failed");
    charls_jpegls_encoder_destroy(encoder);
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.raw.size()));
}

int register_all() {
  for (const BenchImage& b : images) {
    const std::string name = b.name;
    benchmark::RegisterBenchmark(("decode/relumo/" + name).c_str(), decode_relumo, &b);
    benchmark::RegisterBenchmark(("decode/charls/" + name).c_str(), decode_charls, &b);
    benchmark::RegisterBenchmark(("encode/relumo/" + name).c_str(), encode_relumo, &b);
    benchmark::RegisterBenchmark(("encode/charls/" + name).c_str(), encode_charls, &b);
  }
  return 0;
}

const int registered = register_all();

}  // namespace

BENCHMARK_MAIN();
