// The codec's sessions, descriptions and messages.
#include <gtest/gtest.h>

#include <cstring>

#include "jls_harness.h"
#include "support/files.h"

namespace {

void collect(void* user, const char* text) { static_cast<std::string*>(user)->append(text); }

struct Cursor {
  std::string bytes;
  std::size_t position = 0;
};

int read_cursor(void* user, std::uint8_t* buffer, int capacity) {
  auto* c = static_cast<Cursor*>(user);
  const std::size_t n = std::min(c->bytes.size() - c->position, static_cast<std::size_t>(capacity));
  std::memcpy(buffer, c->bytes.data() + c->position, n);
  c->position += n;
  return static_cast<int>(n);
}

int refuse_line(void*, const std::uint8_t*, int) { return 0; }

TEST(JlsSession, GetInfoFailsBeforeASession) {
  JlsCodec* codec = JPEGLS_Create();
  JlsInfo info{};
  EXPECT_EQ(GetInfo(codec, &info), 0);
  JPEGLS_Destroy(codec);
}

TEST(JlsSession, SecondStartDecodeMidScanIsRefused) {
  std::string messages;
  JlsCodec* codec = JPEGLS_Create();
  JPEGLS_SetMessageHandler(codec, collect, &messages);
  Cursor first{read_file_bytes(testdata_path("jpegls/conformance/t8nde0.jls"))};
  ASSERT_EQ(StartDecode(codec, read_cursor, &first), 1);
  JlsInfo info{};
  ASSERT_EQ(GetInfo(codec, &info), 1);
  EXPECT_EQ(info.width, 128);
  EXPECT_EQ(info.height, 128);
  EXPECT_EQ(info.scan[0].t1, 9);
  EXPECT_EQ(info.scan[0].reset, 31);
  // The line callback refuses the first line: the scan stays current.
  EXPECT_EQ(DecodeFromCB(codec, refuse_line, nullptr), 0);
  EXPECT_NE(messages.find("DecodeFromCB : write line 0 failed\n"), std::string::npos);
  messages.clear();
  Cursor second{first.bytes};
  EXPECT_EQ(StartDecode(codec, read_cursor, &second), 0);
  EXPECT_EQ(messages, "error : still (de)coding a previous session!\n");
  JPEGLS_Destroy(codec);
}

TEST(JlsSession, DescriptionDefaultsAndInterleaveNames) {
  const JlsInfo info = JPEGLS_DefaultInfo();
  EXPECT_EQ(info.alphabet, 256);
  EXPECT_EQ(info.components, 1);
  EXPECT_EQ(info.sampX[7], 1);
  EXPECT_EQ(info.component_ids[2], 3);
  EXPECT_EQ(info.scan[0].interleave, 1);
  EXPECT_EQ(info.scan[0].t1, -1);
  EXPECT_EQ(info.scan[0].reset, 64);
  EXPECT_STREQ(JPEGLS_InterleaveName(0), "plane");
  EXPECT_STREQ(JPEGLS_InterleaveName(1), "line");
  EXPECT_STREQ(JPEGLS_InterleaveName(2), "pixel");
  EXPECT_STREQ(JPEGLS_InterleaveName(3), "error! parameter out of bounds!");
  EXPECT_STREQ(JPEGLS_InterleaveName(-1), "error! parameter out of bounds!");
}

TEST(JlsSession, EncoderRefusals) {
  TestImage image;
  image.width = 4;
  image.height = 4;
  image.samples.assign(16, 5);
  struct Refusal {
    const char* what;
    void (*change)(JlsInfo&);
    const char* message;
  };
  const Refusal refusals[] = {
      {"alphabet 200", [](JlsInfo& i) { i.alphabet = 200; },
       "error : this implementation only supports pow2 alphabets\n"},
      {"sampling 2 and 3",
       [](JlsInfo& i) {
         i.components = 2;
         i.sampX[0] = 2;
         i.sampX[1] = 3;
       },
       "error : sampling is not an exact subsampling; unsupported!\n"},
      {"width", [](JlsInfo& i) { i.width = 70000; },
       "error : width = 70000 out of range [1,65535]"},
      {"16-bit near-lossless",
       [](JlsInfo& i) {
         i.alphabet = i.scan[0].alphabet = 4096;
         i.scan[0].near = 2;
       },
       "error : no lossy 16bit encoding in this implementation!\n"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    JlsInfo info = info_for(image, 1, 0);
    r.change(info);
    const EncodeOutcome out = encode_jls(image, info);
    EXPECT_FALSE(out.encoded);
    EXPECT_NE(out.messages.find(r.message), std::string::npos) << out.messages;
  }
}

// Stream edits: the header bytes of a one-component 2 x 2 stream.
std::string tiny_stream() {
  return read_file_bytes(testdata_path("jpegls/extra/8bit-monochrome-2x2.jls"));
}

TEST(JlsSession, DecoderHeaderCases) {
  const std::string tiny = tiny_stream();
  // Missing EOI: decodes, with the non-fatal message.
  {
    const DecodeOutcome out = decode_jls(tiny.substr(0, tiny.size() - 2));
    EXPECT_TRUE(out.decoded);
    EXPECT_EQ(out.messages, "non-fatal : didn't find EOI at end of image!\n");
  }
  // An APP segment of another application before the scan is skipped.
  {
    std::string with_app = tiny;
    with_app.insert(15, std::string("\xFF\xE3\x00\x06\xFF\xD9\xAB\xCD", 8));
    const DecodeOutcome out = decode_jls(with_app);
    EXPECT_TRUE(out.decoded) << out.messages;
    EXPECT_EQ(out.image.samples, (std::vector<std::uint16_t>{1, 2, 3, 4}));
  }
  // Sampling factors 2 and 3 in one frame are refused.
  {
    const std::string frame(
        "\xFF\xD8\xFF\xF7\x00\x0E\x08\x00\x06\x00\x06\x02\x01\x21\x00\x02\x31\x00", 18);
    const DecodeOutcome out = decode_jls(frame + tiny.substr(15));
    EXPECT_FALSE(out.started);
    EXPECT_NE(out.messages.find("error : sampling is not an exact subsampling; unsupported!\n"),
              std::string::npos);
  }
  // A stream that ends inside the scan headers.
  {
    const DecodeOutcome out = decode_jls(tiny.substr(0, 15));
    EXPECT_FALSE(out.started);
    EXPECT_NE(out.messages.find("ReadScan : didn't find SOS !\n"), std::string::npos);
  }
  // A frame length that does not match its component count.
  {
    std::string bad = tiny;
    bad[5] = 0x0C;
    const DecodeOutcome out = decode_jls(bad);
    EXPECT_NE(out.messages.find("ReadFrame : inconsistent marker length: expected 12, got 11\n"),
              std::string::npos)
        << out.messages;
  }
  // A scan of two components in a one-component frame is refused before
  // anything is decoded.
  {
    const std::string scan("\xFF\xDA\x00\x0A\x02\x01\x00\x02\x00\x00\x01\x00", 12);
    const DecodeOutcome out = decode_jls(tiny.substr(0, 15) + scan + tiny.substr(25));
    EXPECT_FALSE(out.started);
    EXPECT_NE(out.messages.find("error : scan component 2 is not in the frame\n"),
              std::string::npos)
        << out.messages;
  }
  // A mapping table with entries of width 0 is refused.
  {
    std::string bad = tiny;
    bad.insert(15, std::string("\xFF\xF8\x00\x05\x02\x01\x00", 7));
    const DecodeOutcome out = decode_jls(bad);
    EXPECT_NE(out.messages.find("error : tableEntryWidth = 0 out of range [1,3]"),
              std::string::npos)
        << out.messages;
  }
}

// Restart markers must come in order RST0..RST7 after every interval.
TEST(JlsSession, RestartMarkersAreChecked) {
  const std::string stream = read_file_bytes(testdata_path("jpegls/extra/test16_rm_5.jls"));
  const std::size_t first = stream.find("\xFF\xD0");
  ASSERT_NE(first, std::string::npos);
  std::string renumbered = stream;
  renumbered[first + 1] = '\xD3';
  DecodeOutcome out = decode_jls(renumbered);
  EXPECT_FALSE(out.decoded);
  EXPECT_NE(out.messages.find("error : got restart marker # 3, expected 0\n"), std::string::npos)
      << out.messages;
  std::string missing = stream;
  missing[first + 1] = '\xE5';  // an APP5 marker where RST0 belongs
  out = decode_jls(missing);
  EXPECT_FALSE(out.decoded);
  EXPECT_NE(out.messages.find("error : expected restart marker, got 0xE5\n"), std::string::npos)
      << out.messages;
}

// Output goes to the write callback in blocks of the stream buffer's size,
// the remainder at the end of the image; input is asked for in such blocks.
TEST(JlsSession, StreamsMoveInBufferSizedBlocks) {
  const TestImage image = read_pnm(testdata_path("jpegls/conformance/test8.ppm"));
  struct Blocks {
    std::vector<int> sizes;
    std::string bytes;
  } blocks;
  const auto record = [](void* user, const std::uint8_t* buffer, int count) {
    auto* b = static_cast<Blocks*>(user);
    b->sizes.push_back(count);
    b->bytes.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(count));
    return 1;
  };
  struct Source {
    const TestImage* image;
    std::size_t next;
  } source{&image, 0};
  const auto give = [](void* user, std::uint8_t* line, int count) {
    auto* src = static_cast<Source*>(user);
    for (int i = 0; i < count; ++i)
      line[i] = static_cast<std::uint8_t>(src->image->samples[src->next++]);
    return 1;
  };
  JlsCodec* codec = JPEGLS_Create();
  ASSERT_EQ(StartEncode(codec, record, &blocks, info_for(image, 1, 0)), 1);
  ASSERT_EQ(EncodeFromCB(codec, give, &source), 1);
  JPEGLS_Destroy(codec);
  const std::string expected = read_file_bytes(testdata_path("jpegls/conformance/t8c1e0.jls"));
  EXPECT_EQ(blocks.bytes, expected);
  ASSERT_EQ(blocks.sizes.size(), expected.size() / 16380 + 1);
  for (std::size_t i = 0; i + 1 < blocks.sizes.size(); ++i) EXPECT_EQ(blocks.sizes[i], 16380);
  EXPECT_EQ(blocks.sizes.back(), static_cast<int>(expected.size() % 16380));

  struct Reads {
    std::vector<int> capacities;
    Cursor cursor;
  } reads{{}, Cursor{expected}};
  const auto read = [](void* user, std::uint8_t* buffer, int capacity) {
    auto* r = static_cast<Reads*>(user);
    r->capacities.push_back(capacity);
    return read_cursor(&r->cursor, buffer, capacity);
  };
  codec = JPEGLS_Create();
  ASSERT_EQ(StartDecode(codec, read, &reads), 1);
  const auto ignore = [](void*, const std::uint8_t*, int) { return 1; };
  ASSERT_EQ(DecodeFromCB(codec, ignore, nullptr), 1);
  JPEGLS_Destroy(codec);
  ASSERT_FALSE(reads.capacities.empty());
  for (int capacity : reads.capacities) EXPECT_EQ(capacity, 16380);
}

TEST(JlsSession, RefusedWriteIsAnIoError) {
  TestImage image;
  image.width = 8;
  image.height = 8;
  image.samples.assign(64, 9);
  std::string messages;
  JlsCodec* codec = JPEGLS_Create();
  JPEGLS_SetMessageHandler(codec, collect, &messages);
  const auto refuse = [](void*, const std::uint8_t*, int) { return 0; };
  const auto give = [](void*, std::uint8_t* line, int count) {
    std::memset(line, 9, static_cast<std::size_t>(count));
    return 1;
  };
  ASSERT_EQ(StartEncode(codec, refuse, nullptr, info_for(image, 1, 0)), 1);
  EXPECT_EQ(EncodeFromCB(codec, give, nullptr), 0);
  EXPECT_NE(messages.find("IO error : unexpected read or write EOF"), std::string::npos)
      << messages;
  JPEGLS_Destroy(codec);
}

// Sixteen-bit near-lossless pixel-interleaved streams are refused.
TEST(JlsSession, SixteenBitNearLosslessPixelInterleaveIsRefused) {
  TestImage image;
  image.width = 5;
  image.height = 3;
  image.components = 3;
  image.bits = 12;
  for (int i = 0; i < 45; ++i) image.samples.push_back(static_cast<std::uint16_t>(i * 90));
  const DecodeOutcome out = decode_jls(charls_encode(image, 2, 2, -1, -1, -1, 0));
  EXPECT_FALSE(out.started);
  EXPECT_NE(out.messages.find("error : no lossy 16bit pixel-interleave in this implementation!\n"),
            std::string::npos)
      << out.messages;
}

// A constant image is almost all run mode; a ramp on every line; NEAR
// bounds every sample.
TEST(JlsSession, ConstantRampAndNearLosslessImages) {
  TestImage constant;
  constant.width = 300;
  constant.height = 40;
  constant.samples.assign(300 * 40, 77);
  const EncodeOutcome c = encode_jls(constant, info_for(constant, 1, 0));
  ASSERT_TRUE(c.encoded);
  EXPECT_LT(c.stream.size(), 200u);
  EXPECT_EQ(max_difference(decode_jls(c.stream).image, constant), 0);

  TestImage ramp;
  ramp.width = 256;
  ramp.height = 16;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 256; ++x) ramp.samples.push_back(static_cast<std::uint16_t>(x));
  }
  const EncodeOutcome r = encode_jls(ramp, info_for(ramp, 1, 0));
  ASSERT_TRUE(r.encoded);
  EXPECT_EQ(max_difference(decode_jls(r.stream).image, ramp), 0);

  for (int near : {1, 5, 20}) {
    const EncodeOutcome n = encode_jls(ramp, info_for(ramp, 1, near));
    ASSERT_TRUE(n.encoded);
    const DecodeOutcome out = decode_jls(n.stream);
    ASSERT_TRUE(out.decoded);
    EXPECT_LE(max_difference(out.image, ramp), near);
    EXPECT_GE(max_difference(out.image, ramp), 1);
  }
}

}  // namespace
