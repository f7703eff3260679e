#include "app/core/open_inputs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/files.h"

namespace {

// A PTM map.ptm (with a second name, same.ptm) whose light-position file
// lists photos/a.jpg and b.ppm; a map of six coefficient images scan0.ppm
// .. scan5.ppm with scan.sab; and a stray map.ptm0.ppm that no map was read
// from. An output may be written anywhere but over what the open map was
// read from.
TEST(OpenInputs, AnOutputOverTheOpenMapOrItsLoadedPhotographsIsRefused) {
  ScratchDirectory dir("open_inputs");
  write_file_bytes(dir.file("map.ptm"), "PTM_1.2\nPTM_FORMAT_LRGB\n");
  ASSERT_EQ(link(dir.file("map.ptm").c_str(), dir.file("same.ptm").c_str()), 0);
  write_file_bytes(dir.file("map.lp"), "2\nphotos/a.jpg 0 0 1\nb.ppm 0.5 0 0.8\n");
  std::filesystem::create_directory(dir.file("photos"));
  for (const char* name : {"photos/a.jpg", "b.ppm", "map.ptm0.ppm", "scan.sab"}) {
    write_file_bytes(dir.file(name), "x");
  }
  for (int i = 0; i < 6; ++i) write_file_bytes(dir.file("scan" + std::to_string(i) + ".ppm"), "P6");

  const struct {
    const char* output;
    const char* map;
    bool photographs_loaded;
    const char* refusal;  // empty: the output may be written
  } cases[] = {
      {"crop.ptm", "map.ptm", true, ""},
      {"map.ptm", "map.ptm", false, "the open map"},
      {"same.ptm", "map.ptm", false, "the open map"},
      {"map.ptm0.ppm", "map.ptm", false, ""},
      {"scan3.ppm", "scan", false, "a file of the open map"},
      {"scan.sab", "scan", false, "a file of the open map"},
      {"scan", "scan", false, "the open map"},
      {"photos/a.jpg", "map.ptm", false, ""},
      {"photos/a.jpg", "map.ptm", true, "one of the map's photographs"},
      {"b.ppm", "map.ptm", true, "one of the map's photographs"},
  };
  for (const auto& c : cases) {
    const std::string output = dir.file(c.output);
    testing::internal::CaptureStdout();
    const bool allowed = output_spares_open_inputs(output, dir.file(c.map), c.photographs_loaded);
    const std::string printed = testing::internal::GetCapturedStdout();
    const std::string refusal = c.refusal;
    EXPECT_EQ(allowed, refusal.empty()) << c.output << " beside " << c.map;
    EXPECT_EQ(printed, refusal.empty() ? "" : "Output " + output + " is " + refusal +
                                                   "; nothing written\n")
        << c.output << " beside " << c.map;
  }
}

}  // namespace
