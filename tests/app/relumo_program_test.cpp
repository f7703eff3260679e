// The relumo program as a user starts it from a console.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/ptm_fixture.h"
#include "support/run_program.h"

#ifdef RELUMO_BINARY

namespace {

const std::string banner =
    "Relumo\nPolynomial texture map viewer. Copyright (c) 2026 the Relumo developers.\n\n\n";

class RelumoProgramTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(ensure_display()) << "no X server for GLUT"; }
  void SetUp() override { directory_ = make_temp_directory("program"); }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  ProgramRun relumo(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{RELUMO_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return run_program(argv, "", directory_, 60);
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
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{name}, {"-s", name}, {name, "-d"}}) {
      const ProgramRun run = relumo(arguments);
      EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
      EXPECT_EQ(run.out, banner + name + "\n" + c.line + "9 x 4 image\n");
    }
  }
}

TEST_F(RelumoProgramTest, ABadMapFallsBackToSixImagesAndExitsMinusOne) {
  const std::string name = write("broken.ptm", "PTM_1.2\nPTM_FORMAT_LRGB\n0 4\n");
  const ProgramRun run = relumo({name});
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_EQ(run.out, banner + name + "\nLRGB Format\nInvalid image size 0 x 4 in ptm file " + name +
                         "\nUnable to load file directly, trying ppm files\n");
  EXPECT_EQ(run.err, "Input_ppm_size Error: Can't open ppm file: broken.ptm0.ppm\n");
}

TEST_F(RelumoProgramTest, SixCoefficientImagesLoadAsAnRgbMap) {
  for (int i = 0; i < 6; ++i) {
    write("scan" + std::to_string(i) + ".ppm",
          "P6\n3 2\n255\n" + std::string(18, static_cast<char>(i)));
  }
  const ProgramRun run = relumo({"scan"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, banner + "Unable to load file directly, trying ppm files\n3 x 2 image\n");
  EXPECT_EQ(run.err,
            "Warning: Read Scale and Bias: Can't open ppm file: scan.sab\nWill assume no scaling "
            "or bias\n");
}

TEST_F(RelumoProgramTest, TheSampleMapBuiltWithTheProjectLoads) {
  const ProgramRun run = relumo({RELUMO_SAMPLE_MAP});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, banner + RELUMO_SAMPLE_MAP + "\nLRGB Format\n512 x 384 image\n");
}

}  // namespace

#endif
