// The relumo program as a user starts it from a console.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/version.h"
#include "ptm/reader.h"
#include "support/ptm_fixture.h"
#include "support/run_program.h"
#include "support/x_input.h"
#include "writers/compressed_ptm_writer.h"

#ifdef RELUMO_BINARY

namespace {

const std::string banner =
    "Relumo\nPolynomial texture map viewer. Copyright (c) 2026 the Relumo developers.\n\n\n";

class RelumoProgramTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(ensure_display()) << "no X server for GLUT"; }
  void SetUp() override { directory_ = make_temp_directory("program"); }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  static std::vector<std::string> command(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{RELUMO_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
  }

  // Runs relumo to its end, for runs that end by themselves.
  ProgramRun relumo(const std::vector<std::string>& arguments) {
    return run_program(command(arguments), "", directory_, 60);
  }

  // Opens the viewer, waits for its window (titled after the map's file
  // name, without folders) and quits with Esc.
  ProgramRun open_and_quit(const std::vector<std::string>& arguments) {
    RunningProgram program = start_program(command(arguments), "", directory_);
    // The normals are computed once the final window is shown (the first
    // one may be replaced by one of another buffering).
    EXPECT_TRUE(wait_for_output(program, "Computing Normals from PTM", 60));
    std::string title;
    for (const std::string& argument : arguments) {
      if (argument[0] != '-') title = std::filesystem::path(argument).filename().string();
    }
    const std::string window = find_window(title + " - Relumo", 30);
    EXPECT_FALSE(window.empty()) << "no window appeared";
    if (!window.empty()) {
      EXPECT_TRUE(press_key(window, 5, 5, "Escape"));
    }
    return finish_program(program, 60);
  }

  std::string write(const std::string& name, const std::string& bytes) {
    write_file_bytes(directory_ + "/" + name, bytes);
    return name;
  }

  std::string directory_;
};

TEST_F(RelumoProgramTest, UsageErrorsPrintTheBannerAndUsageAndExitMinusOne) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, {"-d"}, {"a.ptm", "-d", "-s"}}) {
    const ProgramRun run = relumo(arguments);
    EXPECT_EQ(run.exit_status, 255);
    EXPECT_EQ(run.out, banner + "Usage: " RELUMO_BINARY " [-d | -s] base_filename\n");
  }
}

// --help and --version answer without a display (DISPLAY unset); an
// unknown option in the option's place is named and refused with status 2
// before any map is looked for.
TEST_F(RelumoProgramTest, HelpAndVersionNeedNoDisplayAndUnknownOptionsAreUsageErrors) {
  const std::string usage = "Usage: " RELUMO_BINARY " [-d | -s] base_filename\n";
  const std::string version = std::string(" ") + relumo_version + "\n";
  const struct {
    std::vector<std::string> command;
    int status;
    std::string out;  // its beginning for --help, which explains the usage below it
    std::string err;
  } cases[] = {
      {{"/usr/bin/env", "-u", "DISPLAY", RELUMO_BINARY, "--help"}, 0, usage + "Shows a ", ""},
      {{"/usr/bin/env", "-u", "DISPLAY", RELUMO_BINARY, "map.ptm", "--version"}, 0, "relumo" + version, ""},
      {{"/usr/bin/env", "-u", "DISPLAY", RELUMO_TOOL_BINARY, "--version"}, 0, "relumo-tool" + version, ""},
      {command({"-x", "map.ptm"}), 2, banner, "Unknown option -x\n" + usage},
      {command({"map.ptm", "--verbose"}), 2, banner, "Unknown option --verbose\n" + usage},
      {command({"map.ptm", "other.ptm"}), 2, banner, "Unknown option other.ptm\n" + usage},
  };
  for (const auto& c : cases) {
    const ProgramRun run = run_program(c.command, "", directory_, 60);
    EXPECT_EQ(run.exit_status, c.status) << c.command.back();
    if (c.command.back() == "--help") {
      EXPECT_EQ(run.out.substr(0, c.out.size()), c.out);
    } else {
      EXPECT_EQ(run.out, c.out) << c.command.back();
    }
    EXPECT_EQ(run.err, c.err) << c.command.back();
  }
}

TEST_F(RelumoProgramTest, EveryUncompressedFormatLoadsAndReportsItsSize) {
  const struct {
    int format;
    int version;
    const char* line;
  } cases[] = {{0, 1, "RGB Format\n"},
               {0, 2, "RGB Format\n"},
               {1, 2, "Luminance Format\n"},
               {2, 1, "LRGB Format\n"},
               {2, 2, "LRGB Format\n"},
               {3, 2, "LUT Format\n5 LUT entries.\n"},
               {4, 1, "C_LUT Format\n5 LUT entries.\n"}};
  for (const auto& c : cases) {
    const std::string name =
        write("map.ptm", ptm_fixture_bytes(random_ptm_fixture(c.format, c.version, 9, 4, 1, 5)));
    const ProgramRun run = open_and_quit({name});
    EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
    EXPECT_EQ(run.out.rfind(banner + name + "\n" + c.line + "9 x 4 image\n", 0), 0u) << run.out;
  }
}

TEST_F(RelumoProgramTest, CompressedMapsOpenLikeAnyOther) {
  const struct {
    int format;
    int compression_type;
    const char* line;
  } cases[] = {{0, compression_jpeg, "JPEG compressed RGB Format\n"},
               {2, compression_jpeg, "JPEG compressed LRGB Format\n"},
               {0, compression_jpegls, "JPEG-LS compressed RGB Format\n"},
               {2, compression_jpegls, "JPEG-LS compressed LRGB Format\n"}};
  for (const auto& c : cases) {
    write("plain.ptm", ptm_fixture_bytes(random_ptm_fixture(c.format, 2, 24, 16, 1)));
    testing::internal::CaptureStdout();
    Ptm* map = read_ptm_file((directory_ + "/plain.ptm").c_str());
    testing::internal::GetCapturedStdout();
    ASSERT_NE(map, nullptr);
    CompressedPtmOptions options;
    options.compression_type = c.compression_type;
    testing::internal::CaptureStdout();
    const bool written = write_compressed_ptm(*map, (directory_ + "/packed.ptm").c_str(), options);
    testing::internal::GetCapturedStdout();
    free_ptm(map);
    ASSERT_TRUE(written);
    const ProgramRun run = open_and_quit({"packed.ptm"});
    EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
    EXPECT_EQ(run.out.rfind(banner + "packed.ptm\n" + c.line + "24 x 16 image\n", 0), 0u)
        << run.out;
  }
}

TEST_F(RelumoProgramTest, TheBufferingOptionMayStandBeforeOrAfterTheName) {
  const std::string name = write("map.ptm", ptm_fixture_bytes(random_ptm_fixture(2, 2, 9, 4, 1)));
  const struct {
    std::vector<std::string> arguments;
    const char* line;
  } cases[] = {{{"-s", name}, "Using single buffered display\n"},
               {{name, "-d"}, "Using double buffered display\n"}};
  for (const auto& c : cases) {
    const ProgramRun run = open_and_quit(c.arguments);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_NE(run.out.find(std::string("9 x 4 image\n") + c.line), std::string::npos) << run.out;
  }
}

// A file that is not a map ends the program with -1 and says why: a file
// that begins like a PTM file with the reader's reason (no six-image
// lines follow), a name that names nothing plainly, and any other file
// without coefficient images of its name beside it as not a PTM map.
TEST_F(RelumoProgramTest, FilesThatAreNotMapsAreRefusedWithTheirReason) {
  const std::string truncated = ptm_fixture_bytes(random_ptm_fixture(2, 2, 4, 3, 9));
  const struct {
    std::string name;
    std::string bytes;  // none: no such file
    std::string out;    // after the banner
    std::string err;
  } cases[] = {
      {"broken.ptm", "PTM_1.2\nPTM_FORMAT_LRGB\n0 4\n",
       "broken.ptm\nLRGB Format\nInvalid image size 0 x 4 in ptm file broken.ptm\n"
       "Unable to load file broken.ptm\n",
       ""},
      // 4 x 3 pixels of 6 coefficient bytes and 3 colour bytes.
      {"cut.ptm", truncated.substr(0, truncated.size() - 20),
       "cut.ptm\nLRGB Format\nPtm file cut.ptm ends before its data: 108 bytes needed, 88 "
       "present\nUnable to load file cut.ptm\n",
       ""},
      {"claim.ptm", oversized_compressed_claim(),
       "claim.ptm\nJPEG-LS compressed LRGB Format\nCompressed ptm file claim.ptm cannot be read: "
       "the format word PTM_FORMA_FORMAT_JPEGLS_LRGB0T_\xdbTM_LU~ is not one of the compressed "
       "formats\nUnable to load file claim.ptm\n",
       ""},
      {"missing.ptm", "", "File missing.ptm does not exist\n", ""},
      {"notes.txt", "hello\n", "notes.txt is not a PTM map\n", ""},
  };
  for (const auto& c : cases) {
    if (!c.bytes.empty()) write(c.name, c.bytes);
    const ProgramRun run = relumo({c.name});
    EXPECT_EQ(run.exit_status, 255) << c.name;
    EXPECT_EQ(run.out, banner + c.out) << c.name;
    EXPECT_EQ(run.err, c.err) << c.name;
  }
}

TEST_F(RelumoProgramTest, SixCoefficientImagesLoadAsAnRgbMap) {
  for (int i = 0; i < 6; ++i) {
    write("scan" + std::to_string(i) + ".ppm",
          "P6\n3 2\n255\n" + std::string(18, static_cast<char>(i)));
  }
  const ProgramRun run = open_and_quit({"scan"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(
      run.out.rfind(banner + "Unable to load file directly, trying ppm files\n3 x 2 image\n", 0),
      0u)
      << run.out;
  EXPECT_EQ(run.err,
            "Warning: Read Scale and Bias: Can't open ppm file: scan.sab\nWill assume no scaling "
            "or bias\n");
}

TEST_F(RelumoProgramTest, TheSampleMapBuiltWithTheProjectLoads) {
  const ProgramRun run = open_and_quit({RELUMO_SAMPLE_MAP});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out.rfind(banner + RELUMO_SAMPLE_MAP + "\nLRGB Format\n512 x 384 image\n", 0), 0u)
      << run.out;
}

}  // namespace

#endif
