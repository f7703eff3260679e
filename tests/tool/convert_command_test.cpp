// relumo-tool convert run as a user runs it: round trips between the
// formats, the cut-out region, and every kind of refused input.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ptm/reader.h"
#include "support/files.h"
#include "support/ptm_fixture.h"
#include "support/run_program.h"
#include "writers/cropped_ptm_writer.h"

namespace {

// What a map file stores, as the reader gives it back: per channel (three
// for RGB, one otherwise) the six coefficient bytes of every pixel in
// order, and the colour (LRGB: red, green, blue per pixel; LUM: the two
// chroma bytes per pixel).
struct StoredMap {
  int format = -1;
  int width = 0;
  int height = 0;
  std::vector<std::int32_t> scale_bias;
  std::vector<std::uint8_t> coefficients;
  std::vector<std::uint8_t> colour;
  bool operator==(const StoredMap&) const = default;
};

StoredMap read_stored_map(const std::string& path) {
  StoredMap stored;
  Ptm* ptm = read_ptm_file(path.c_str());
  if (ptm == nullptr) return stored;
  stored.format = ptm->format;
  stored.width = ptm->width;
  stored.height = ptm->height;
  stored.scale_bias.assign(ptm->scale_bias, ptm->scale_bias + 12);
  const std::size_t pixels = pixel_count(*ptm);
  for (int c = 0; c < (ptm->format == PTM_FORMAT_RGB ? 3 : 1); ++c) {
    for (std::size_t p = 0; p < pixels; ++p) {
      for (int k = 0; k < 6; ++k) stored.coefficients.push_back(ptm->coef_planes[2 * c + k / 3][3 * p + k % 3]);
    }
  }
  for (std::size_t p = 0; p < pixels; ++p) {
    if (ptm->format == PTM_FORMAT_LRGB) {
      std::uint8_t rgb[3];
      get_lrgb_color(*ptm, p, rgb);
      stored.colour.insert(stored.colour.end(), rgb, rgb + 3);
    } else if (ptm->format == PTM_FORMAT_LUM) {
      stored.colour.push_back(ptm->color_planes[0][p]);
      stored.colour.push_back(ptm->color_planes[2][p]);
    }
  }
  free_ptm(ptm);
  return stored;
}

// The same, from the values the fixture wrote (scale 1, bias 0), for the
// pixels of columns x0 .. x0 + w - 1 of rows y0 .. y0 + h - 1: a table
// format's pixel holds its entry's coefficients and, for C_LUT, its colour.
StoredMap expected_map(const PtmFixture& f, int x0, int y0, int w, int h) {
  StoredMap stored;
  stored.format = f.format == 0 ? PTM_FORMAT_RGB : f.format == 1 ? PTM_FORMAT_LUM : PTM_FORMAT_LRGB;
  stored.width = w;
  stored.height = h;
  stored.scale_bias = {256, 256, 256, 256, 256, 256, 0, 0, 0, 0, 0, 0};
  const int colour_bytes = f.format == 1 ? 2 : f.format == 0 ? 0 : 3;
  for (int c = 0; c < (f.format == 0 ? 3 : 1); ++c) {
    for (int y = y0; y < y0 + h; ++y) {
      for (int x = x0; x < x0 + w; ++x) {
        const std::size_t p = static_cast<std::size_t>(y) * f.width + x;
        const std::size_t set = f.table_entries > 0 ? f.indices[p] : p;
        const std::uint8_t* six = f.coefficients[c].data() + 6 * set;
        stored.coefficients.insert(stored.coefficients.end(), six, six + 6);
      }
    }
  }
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) {
      const std::size_t p = static_cast<std::size_t>(y) * f.width + x;
      const std::size_t set = f.format == 4 ? f.indices[p] : p;
      const std::uint8_t* colour = f.colour.data() + colour_bytes * set;
      stored.colour.insert(stored.colour.end(), colour, colour + colour_bytes);
    }
  }
  return stored;
}

ProgramRun convert(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {RELUMO_TOOL_BINARY, "convert"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return run_program(command);
}

// The fixture as the file source.ptm in `scratch`.
std::string write_source(const ScratchDirectory& scratch, const PtmFixture& fixture) {
  const std::string source = scratch.file("source.ptm");
  write_file_bytes(source, ptm_fixture_bytes(fixture));
  return source;
}

// Converts `source` to each format of `chain` in turn, the first step with
// `first_options` too; the files written, in order (each step must succeed).
std::vector<std::string> convert_through(const ScratchDirectory& scratch, const std::string& source,
                                         const std::vector<std::string>& chain,
                                         const std::vector<std::string>& first_options = {}) {
  std::vector<std::string> written;
  std::string previous = source;
  for (std::size_t i = 0; i < chain.size(); ++i) {
    const std::string next = scratch.file("step" + std::to_string(i) + ".ptm");
    std::vector<std::string> arguments = {previous, "-o", next, "--format", chain[i]};
    if (i == 0) arguments.insert(arguments.end(), first_options.begin(), first_options.end());
    const ProgramRun run = convert(arguments);
    EXPECT_EQ(run.exit_status, 0) << chain[i] << ": " << run.err;
    written.push_back(next);
    previous = next;
  }
  return written;
}


}  // namespace

// Every uncompressed format (and both table formats, which read as LRGB)
// through lossless JPEG-LS, and JPEG-LS to JPEG-LS, gives back the stored
// bytes the fixture wrote; the end of the chain is the same file as the
// direct conversion to that format.
TEST(ConvertCommand, LosslessRoundTripsKeepTheStoredBytes) {
  const struct {
    const char* name;
    int fixture_format;
    int version_minor;
    std::vector<std::string> chain;
  } cases[] = {
      {"rgb", 0, 2, {"jpegls-rgb", "rgb"}},
      {"rgb, version 1.1 layout, JPEG-LS to JPEG-LS", 0, 1, {"jpegls-rgb", "jpegls-rgb", "rgb"}},
      {"lrgb", 2, 2, {"jpegls-lrgb", "lrgb"}},
      {"lrgb, version 1.1 layout, JPEG-LS to JPEG-LS", 2, 1, {"jpegls-lrgb", "jpegls-lrgb", "lrgb"}},
      {"lut", 3, 2, {"jpegls-lrgb", "lrgb"}},
      {"clut", 4, 2, {"jpegls-lrgb", "lrgb"}},
      // LUM has no compressed form: it keeps its bytes through its own.
      {"lum", 1, 2, {"lum", "lum"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory scratch("convert-round-trip");
    const PtmFixture fixture = random_ptm_fixture(c.fixture_format, c.version_minor, 23, 17, 5, 40);
    const std::string source = write_source(scratch, fixture);
    const StoredMap expected = expected_map(fixture, 0, 0, 23, 17);
    const std::vector<std::string> written = convert_through(scratch, source, c.chain);
    for (std::size_t i = 0; i < written.size(); ++i) {
      EXPECT_EQ(read_stored_map(written[i]), expected) << "after " << c.chain[i];
    }
    const std::string direct = scratch.file("direct.ptm");
    ASSERT_EQ(convert({source, "-o", direct, "--format", c.chain.back()}).exit_status, 0);
    EXPECT_EQ(read_file_bytes(written.back()), read_file_bytes(direct));
  }
}

// --crop X,Y,W,H: X the left column and Y the bottom row, rows counted in
// stored order. Written to the map's own format it is the viewer's cropped
// file byte for byte; through JPEG-LS and back the same; and in either case
// the pixels are the fixture's own at those places.
TEST(ConvertCommand, CropWritesWhatTheViewersCroppedWriterWrites) {
  const struct {
    const char* name;
    int fixture_format;
    PtmRect rect;
    std::vector<std::string> chain;
  } cases[] = {
      {"lrgb", 2, {3, 5, 11, 7}, {"lrgb"}},
      {"lrgb through JPEG-LS", 2, {0, 0, 1, 1}, {"jpegls-lrgb", "lrgb"}},
      {"lrgb, top right corner, through JPEG-LS", 2, {12, 9, 11, 8}, {"jpegls-lrgb", "lrgb"}},
      {"rgb", 0, {7, 2, 16, 15}, {"rgb"}},
      {"rgb through JPEG-LS", 0, {1, 4, 9, 3}, {"jpegls-rgb", "rgb"}},
      {"lum", 1, {0, 16, 23, 1}, {"lum"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory scratch("convert-crop");
    const PtmFixture fixture = random_ptm_fixture(c.fixture_format, 2, 23, 17, 9);
    const std::string source = write_source(scratch, fixture);
    const PtmRect& r = c.rect;
    const std::string crop = std::to_string(r.xs) + "," + std::to_string(r.ys) + "," +
                             std::to_string(r.w) + "," + std::to_string(r.h);
    const std::string last = convert_through(scratch, source, c.chain, {"--crop", crop}).back();
    EXPECT_EQ(read_stored_map(last), expected_map(fixture, r.xs, r.ys, r.w, r.h));

    const std::string viewer_crop = scratch.file("viewer.ptm");
    Ptm* ptm = read_ptm_file(source.c_str());
    ASSERT_NE(ptm, nullptr);
    ASSERT_TRUE(write_cropped_ptm_file(*ptm, r, viewer_crop.c_str()));
    free_ptm(ptm);
    EXPECT_EQ(read_file_bytes(last), read_file_bytes(viewer_crop));
  }
}

// Refused arguments (status 2) and unusable inputs or outputs (status 1):
// a message naming what was wrong, and nothing left in the output's folder.
TEST(ConvertCommand, RefusesBadInputWithAMessageAndLeavesNoFile) {
  ScratchDirectory inputs("convert-inputs");
  const std::string lrgb = inputs.file("map.ptm");
  write_file_bytes(lrgb, ptm_fixture_bytes(random_ptm_fixture(2, 2, 20, 10, 3)));
  const std::string rgb = inputs.file("rgb.ptm");
  write_file_bytes(rgb, ptm_fixture_bytes(random_ptm_fixture(0, 2, 20, 10, 4)));
  const std::string whole = ptm_fixture_bytes(random_ptm_fixture(2, 2, 20, 10, 3));
  const std::string truncated = inputs.file("truncated.ptm");
  write_file_bytes(truncated, whole.substr(0, whole.size() - 100));
  const std::string garbage = inputs.file("garbage.ptm");
  write_file_bytes(garbage, "PTM_1.2\nPTM_FORMAT_LRGB\nforty\ntwo\n");
  const std::string missing = inputs.file("missing.ptm");
  const std::string lum = inputs.file("lum.ptm");
  write_file_bytes(lum, ptm_fixture_bytes(random_ptm_fixture(1, 2, 20, 10, 5)));

  const struct {
    const char* name;
    std::vector<std::string> arguments;  // "OUT" is the output in the empty folder
    int status;
    std::string message;
  } cases[] = {
      {"unknown format", {lrgb, "-o", "OUT", "--format", "png"}, 2, "\"png\" is not one of"},
      {"no format", {lrgb, "-o", "OUT"}, 2, "--format"},
      {"no output", {lrgb, "--format", "rgb"}, 2, "-o"},
      {"two maps", {lrgb, rgb, "-o", "OUT", "--format", "rgb"}, 2, "one map"},
      {"unknown option", {lrgb, "-o", "OUT", "--format", "rgb", "--fast"}, 2, "--fast"},
      {"crop leaves the map", {lrgb, "-o", "OUT", "--format", "lrgb", "--crop", "15,0,6,10"}, 2,
       "not inside the 20 x 10 map"},
      {"crop above the map", {lrgb, "-o", "OUT", "--format", "rgb", "--crop", "0,5,1,6"}, 2,
       "not inside"},
      {"crop without pixels", {lrgb, "-o", "OUT", "--format", "lrgb", "--crop", "0,0,0,4"}, 2,
       "no pixels"},
      {"crop list ends in a comma", {lrgb, "-o", "OUT", "--format", "lrgb", "--crop", "0.4,"}, 2,
       "--crop"},
      {"crop of three", {lrgb, "-o", "OUT", "--format", "lrgb", "--crop", "1,2,3"}, 2, "--crop"},
      {"negative crop", {lrgb, "-o", "OUT", "--format", "lrgb", "--crop", "-1,0,2,2"}, 2, "--crop"},
      {"quality nan", {lrgb, "-o", "OUT", "--format", "jpeg-lrgb", "--quality", "nan"}, 2,
       "\"nan\""},
      {"quality 0", {lrgb, "-o", "OUT", "--format", "jpeg-lrgb", "--quality", "0"}, 2, "1..100"},
      {"near 1e999", {lrgb, "-o", "OUT", "--format", "jpegls-lrgb", "--near", "1e999"}, 2,
       "\"1e999\""},
      {"near 128", {lrgb, "-o", "OUT", "--format", "jpegls-rgb", "--near", "128"}, 2, "0..127"},
      {"quality for JPEG-LS", {lrgb, "-o", "OUT", "--format", "jpegls-lrgb", "--quality", "80"}, 2,
       "--quality applies to"},
      {"near for JPEG", {lrgb, "-o", "OUT", "--format", "jpeg-lrgb", "--near", "2"}, 2,
       "--near applies to"},
      {"near for uncompressed", {lrgb, "-o", "OUT", "--format", "lrgb", "--near", "0"}, 2,
       "--near applies to"},
      {"lum from lrgb", {lrgb, "-o", "OUT", "--format", "lum"}, 2, "lum needs a LUM map"},
      {"lum from rgb", {rgb, "-o", "OUT", "--format", "lum"}, 2, rgb + " is rgb"},
      {"the codec alone for a LUM map", {lum, "-o", "OUT", "--format", "jpegls"}, 2,
       "give jpegls-rgb or jpegls-lrgb"},
      {"JPEG alone for a LUM map", {lum, "-o", "OUT", "--format", "jpeg"}, 2,
       "give jpeg-rgb or jpeg-lrgb"},
      {"near for the JPEG codec", {lrgb, "-o", "OUT", "--format", "jpeg", "--near", "1"}, 2,
       "--near applies to"},
      {"output not a PTM file", {lrgb, "-o", "OUT/map.png", "--format", "lrgb"}, 2,
       "does not end in .ptm"},
      {"output without an extension", {lrgb, "-o", "OUT/map", "--format", "lrgb"}, 2,
       "does not end in .ptm"},
      {"output is the input", {lrgb, "-o", lrgb, "--format", "lrgb"}, 2, "is the input"},
      {"missing map", {missing, "-o", "OUT", "--format", "rgb"}, 1, missing},
      {"truncated map", {truncated, "-o", "OUT", "--format", "jpegls-lrgb"}, 1, truncated},
      {"garbage map", {garbage, "-o", "OUT", "--format", "rgb"}, 1, garbage},
      {"output in a missing folder", {lrgb, "-o", "OUT/no/such/folder/x.ptm", "--format", "rgb"}, 1,
       "OUT/no/such/folder/x.ptm"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory out("convert-refused");
    std::vector<std::string> arguments;
    std::string output_name = out.file("out.ptm");
    for (const std::string& a : c.arguments) {
      if (a.rfind("OUT", 0) == 0) {
        output_name = a == "OUT" ? out.file("out.ptm") : out.path + a.substr(3);
        arguments.push_back(output_name);
      } else {
        arguments.push_back(a);
      }
    }
    const ProgramRun run = convert(arguments);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_status, c.status) << run.err;
    const std::string message = c.message.rfind("OUT", 0) == 0 ? output_name : c.message;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(file_names_in(out.path), std::set<std::string>{});
  }
  // The inputs are as they were.
  EXPECT_EQ(read_file_bytes(lrgb), whole);
}

// "--format jpeg" and "--format jpegls" keep the map's family: RGB stays
// RGB; LRGB and the table formats, LRGB once read, become LRGB. The output's
// extension may be in any case.
TEST(ConvertCommand, TheCodecAlonePicksTheFormatOfTheMapsFamily) {
  ScratchDirectory scratch("convert-codec");
  const struct {
    int fixture_format;
    const char* codec;
    const char* format_word;
  } cases[] = {
      {0, "jpeg", "PTM_FORMAT_JPEG_RGB"},     {0, "jpegls", "PTM_FORMAT_JPEGLS_RGB"},
      {2, "jpeg", "PTM_FORMAT_JPEG_LRGB"},    {2, "jpegls", "PTM_FORMAT_JPEGLS_LRGB"},
      {3, "jpegls", "PTM_FORMAT_JPEGLS_LRGB"}, {4, "jpeg", "PTM_FORMAT_JPEG_LRGB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.fixture_format) + " " + c.codec);
    const std::string source =
        write_source(scratch, random_ptm_fixture(c.fixture_format, 2, 9, 7, 3, 16));
    const std::string out = scratch.file("out.PTM");
    const ProgramRun run = convert({source, "-o", out, "--format", c.codec});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    // "PTM_1.2", then the format word on a line of its own.
    const std::string header = read_file_bytes(out).substr(0, 64);
    EXPECT_EQ(header.find(std::string("PTM_1.2\n") + c.format_word + "\n"), 0u) << header;
  }
}

// Across families: an LRGB map becomes RGB and comes back fitted, with the
// fit's error reported; a palette and a JPEG file read back as LRGB maps of
// the same size.
TEST(ConvertCommand, ConvertsBetweenFamiliesAndReportsTheFitError) {
  ScratchDirectory scratch("convert-families");
  const std::string rgb = scratch.file("rgb.ptm");
  ProgramRun run = convert({RELUMO_SAMPLE_MAP, "-o", rgb, "--format", "jpegls-rgb"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err.find("RMS"), std::string::npos) << "LRGB to RGB is no fit";
  EXPECT_EQ(read_stored_map(rgb).format, PTM_FORMAT_RGB);

  const struct {
    const char* format;
    std::vector<std::string> options;
  } targets[] = {{"lrgb", {}}, {"jpeg-lrgb", {"--quality", "75"}}, {"clut", {}}};
  for (const auto& t : targets) {
    SCOPED_TRACE(t.format);
    const std::string out = scratch.file(std::string(t.format) + ".ptm");
    std::vector<std::string> arguments = {rgb, "-o", out, "--format", t.format};
    arguments.insert(arguments.end(), t.options.begin(), t.options.end());
    run = convert(arguments);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_NE(run.err.find("to 317 lights: RMS error "), std::string::npos) << run.err;
    const StoredMap back = read_stored_map(out);
    EXPECT_EQ(back.format, PTM_FORMAT_LRGB);
    EXPECT_EQ(back.width, 512);
    EXPECT_EQ(back.height, 384);
  }
}
