// Every command that works on several cores writes the same bytes for any
// thread count: each is run on the build's sample map (and on the map
// converted to RGB) with --threads 1 and --threads 3, and the files are
// compared byte for byte. The sample map (512 x 384) is several blocks of
// rows, normals, plane tasks and palettizer runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/run_program.h"

namespace {

ProgramRun run_tool(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), RELUMO_TOOL_BINARY);
  return run_program(arguments, "", "", 120);
}

TEST(ThreadCount, EveryParallelCommandWritesTheSameBytesOnOneAndThreeThreads) {
  ScratchDirectory scratch("thread-count");
  const std::string lrgb = RELUMO_SAMPLE_MAP;
  const std::string rgb = scratch.file("rgb.ptm");
  ASSERT_EQ(run_tool({"convert", lrgb, "-o", rgb, "--format", "rgb", "--quiet"}).exit_status, 0);
  const std::string jpegls = scratch.file("jpegls.ptm");
  ASSERT_EQ(run_tool({"convert", lrgb, "-o", jpegls, "--format", "jpegls", "--quiet"}).exit_status,
            0);

  struct Case {
    const char* name;
    std::vector<std::string> arguments;  // the output is OUT with this extension
    const char* extension;
  };
  const Case cases[] = {
      {"render, two lights",
       {"render", lrgb, "--light", "-0.5,0.3", "--light", "0.6,0.2,0.7"},
       "png"},
      // Specular runs are sixteen times longer: a larger picture has several.
      {"render, specular",
       {"render", lrgb, "--mode", "specular", "--size", "1024x2048", "--light", "0.3,0.3"},
       "ppm"},
      {"render, texture", {"render", rgb, "--mode", "texture", "--light", "0.4,-0.6"}, "tga"},
      {"convert to jpeg-lrgb", {"convert", lrgb, "--format", "jpeg-lrgb"}, "ptm"},
      {"convert to jpegls-lrgb", {"convert", lrgb, "--format", "jpegls-lrgb"}, "ptm"},
      {"convert to jpeg-rgb", {"convert", rgb, "--format", "jpeg-rgb"}, "ptm"},
      {"convert to near-lossless jpegls-rgb",
       {"convert", rgb, "--format", "jpegls-rgb", "--near", "2"},
       "ptm"},
      {"a compressed map loaded", {"convert", jpegls, "--format", "lrgb"}, "ptm"},
      {"palettize", {"convert", lrgb, "--format", "lut"}, "ptm"},
      {"palettize with colour", {"convert", lrgb, "--format", "clut"}, "ptm"},
      {"normals", {"normals", lrgb}, "pfm"},
      {"normal image", {"normals", rgb}, "png"},
      {"depth", {"depth", lrgb}, "pfm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string files[2];
    for (int run = 0; run < 2; ++run) {
      const std::string threads = run == 0 ? "1" : "3";
      const std::string output = scratch.file("out" + threads + "." + c.extension);
      std::vector<std::string> arguments = c.arguments;
      arguments.insert(arguments.end(), {"-o", output, "--threads", threads, "--quiet"});
      const ProgramRun result = run_tool(arguments);
      ASSERT_EQ(result.exit_status, 0) << result.err;
      // Nothing on standard error, not even a library's word about threads.
      EXPECT_EQ(result.err, "");
      files[run] = read_file_bytes(output);
    }
    ASSERT_FALSE(files[0].empty());
    EXPECT_TRUE(files[0] == files[1]) << "the files differ";
  }
}

}  // namespace
