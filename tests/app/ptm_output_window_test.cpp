// The PTM output commands in a real window: menu entry 6 and the 'p' and
// 'c' keys hide the window, read the output name from the console, write
// the file beside the map and bring the window back, also when the name is
// refused or the console has ended.
#include <gtest/gtest.h>

#ifdef RELUMO_BINARY

#include <unistd.h>

#include <set>

#include "support/files.h"
#include "support/reference_palettizer.h"
#include "viewer_window_fixture.h"

namespace {

using namespace window_test;

const std::string prompt = "PTM filename to output ?\n";

// A map with a different luminance and colour in every pixel: a5 = 100 +
// x, a3 = 2 y + 10, a0 = x + y; colour (4 x + 2, 5 y + 2, 100).
PtmFixture varied_map() {
  PtmFixture f;
  f.format = 2;
  f.format_word = "PTM_FORMAT_LRGB";
  f.width = map_width;
  f.height = map_height;
  for (int y = 0; y < map_height; ++y) {
    for (int x = 0; x < map_width; ++x) {
      const std::uint8_t a[6] = {static_cast<std::uint8_t>(x + y), 0, 0,
                                 static_cast<std::uint8_t>(2 * y + 10), 0,
                                 static_cast<std::uint8_t>(100 + x)};
      f.coefficients[0].insert(f.coefficients[0].end(), a, a + 6);
      f.colour.push_back(static_cast<std::uint8_t>(4 * x + 2));
      f.colour.push_back(static_cast<std::uint8_t>(5 * y + 2));
      f.colour.push_back(100);
    }
  }
  return f;
}

std::string bytes_of(const std::vector<int>& values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

const std::string header_tail =
    "1.000000 1.000000 1.000000 1.000000 1.000000 1.000000\n0 0 0 0 0 0\n";

class PtmOutputWindowTest : public ViewerWindowTest {
 protected:
  // Waits until the program has printed `text` `count` times.
  bool wait_for_count(const std::string& text, int count) const {
    for (int i = 0; i < 600; ++i) {
      const std::string out = output_so_far(program_);
      int seen = 0;
      for (std::size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) {
        ++seen;
      }
      if (seen >= count) return true;
      pause_ms(50);
    }
    return false;
  }

  bool wait_until_viewable(bool viewable) const {
    for (int i = 0; i < 200 && window_viewable(window_) != viewable; ++i) pause_ms(50);
    return window_viewable(window_) == viewable;
  }

  // Sends the name once the command has asked for it (the `count`th
  // prompt) and the window has gone.
  void answer(int count, const std::string& name) {
    ASSERT_TRUE(wait_for_count(prompt, count)) << output_so_far(program_);
    EXPECT_TRUE(wait_until_viewable(false)) << "the window stayed up during the command";
    ASSERT_TRUE(send_input(program_, name + "\n"));
  }
};

}  // namespace

// Input maps/stone.ptm: a region dragged right to left is written as
// maps/crop.ptm; an over-long name before it is refused and the window
// comes back.
TEST_F(PtmOutputWindowTest, MenuEntrySixWritesTheSelectedRegionBesideTheMap) {
  map_name_ = "maps/stone.ptm";
  const PtmFixture map = varied_map();
  open(map, "", true);
  drag_in_view(2, 48, 36, 16, 12);
  ASSERT_TRUE(wait_for_output(program_, "\rSelected size: 33 x 25 at 16 12           \n", 15))
      << output_so_far(program_);
  still();

  choose_menu_entry(panel_x, panel_y, 6);
  answer(1, std::string(150, 'x') + ".ptm");
  ASSERT_TRUE(wait_for_output(program_, "Output name longer than 99 characters: nothing written\n",
                              15))
      << output_so_far(program_);
  EXPECT_TRUE(wait_until_viewable(true)) << "the window did not come back";

  still();
  choose_menu_entry(panel_x, panel_y, 6);
  answer(2, "crop.ptm");
  ASSERT_TRUE(wait_for_output(program_, "Writing PTM File maps/crop.ptm\n", 15))
      << output_so_far(program_);
  EXPECT_TRUE(wait_until_viewable(true)) << "the window did not come back";

  std::string coefficients, colours;
  for (int y = 12; y <= 36; ++y) {
    for (int x = 16; x <= 48; ++x) {
      const std::size_t p = static_cast<std::size_t>(y) * map_width + x;
      coefficients.append(reinterpret_cast<const char*>(&map.coefficients[0][6 * p]), 6);
      colours.append(reinterpret_cast<const char*>(&map.colour[3 * p]), 3);
    }
  }
  // Written when the window is back.
  EXPECT_EQ(read_file_bytes(directory_ + "/maps/crop.ptm"),
            "PTM_1.2\nPTM_FORMAT_LRGB\n33\n25\n" + header_tail + coefficients + colours);
  EXPECT_FALSE(std::filesystem::exists(directory_ + "/crop.ptm"));
}

// 'p' after start-up writes the palettized map the rules give from a fresh
// random sequence; 'P' goes on with the sequence and writes another; 'c'
// with the console closed writes nothing and the viewer goes on.
TEST_F(PtmOutputWindowTest, PalettizingKeysWriteTheClusteredMapAndSurviveAClosedConsole) {
  const PtmFixture map = varied_map();
  open(map, "", true);
  std::vector<int> features;
  for (std::size_t p = 0; p < map.coefficients[0].size() / 6; ++p) {
    features.insert(features.end(), map.coefficients[0].begin() + 6 * p,
                    map.coefficients[0].begin() + 6 * p + 6);
  }
  ReferenceRand random;
  const ReferencePalette first = reference_palettize(features, 6, random);
  const ReferencePalette second = reference_palettize(features, 6, random);
  const std::string colours(map.colour.begin(), map.colour.end());
  const std::string header = "PTM_1.2\nPTM_FORMAT_PTM_LUT\n64\n48\n" + header_tail +
                             "256 N_LUT_ENTRIES\n";

  type("p");
  answer(1, "first.ptm");
  ASSERT_TRUE(wait_for_output(program_, "Writing PTM File first.ptm\n", 30))
      << output_so_far(program_);
  EXPECT_TRUE(wait_until_viewable(true)) << "the window did not come back";
  EXPECT_NE(output_so_far(program_).find(first.printed + prompt), std::string::npos)
      << output_so_far(program_);
  EXPECT_EQ(read_file_bytes(directory_ + "/first.ptm"),
            header + bytes_of(first.table) + bytes_of(first.indices) + colours);

  still();
  type("P");
  answer(2, "second.ptm");
  ASSERT_TRUE(wait_for_output(program_, "Writing PTM File second.ptm\n", 30))
      << output_so_far(program_);
  EXPECT_TRUE(wait_until_viewable(true)) << "the window did not come back";
  EXPECT_EQ(read_file_bytes(directory_ + "/second.ptm"),
            header + bytes_of(second.table) + bytes_of(second.indices) + colours);
  EXPECT_NE(first.table, second.table);

  still();
  type("c");
  ASSERT_TRUE(wait_for_count(prompt, 3)) << output_so_far(program_);
  close(program_.input_fd);
  program_.input_fd = -1;
  ASSERT_TRUE(wait_for_output(
      program_, "No output name: the console input has ended; nothing written\n", 15))
      << output_so_far(program_);
  EXPECT_TRUE(wait_until_viewable(true)) << "the window did not come back";
  still();
  type("Escape");
  const ProgramRun run = finish();
  EXPECT_EQ(run.exit_status, 0) << run.err;
}

// Started under a file-size limit of 8 blocks (4 or 8 KB, as the shell
// counts them): the open map's own name at the prompt is refused before
// anything is written, and a palettized map (about 14 KB) that passes the
// limit part way is reported, leaves no temporary file, and the viewer goes
// on and quits normally.
TEST_F(PtmOutputWindowTest, RefusedAndFailedWritesLeaveTheMapAndItsFolderAsTheyWere) {
  launcher_ = {"/bin/sh", "-c", "ulimit -f 8 && exec \"$0\" \"$@\""};
  open(varied_map(), "", true);
  const std::string map_path = directory_ + "/" + map_name_;
  const std::string original = read_file_bytes(map_path);

  choose_menu_entry(panel_x, panel_y, 6);
  answer(1, map_name_);
  ASSERT_TRUE(wait_for_output(program_, "Output map.ptm is the open map; nothing written\n", 15))
      << output_so_far(program_);
  EXPECT_TRUE(wait_until_viewable(true)) << "the window did not come back";

  still();
  type("p");
  answer(2, "lut.ptm");
  ASSERT_TRUE(wait_for_errors("Error writing PTM file lut.ptm: File too large; no file was "
                              "written\n"))
      << errors_so_far();
  EXPECT_TRUE(wait_until_viewable(true)) << "the window did not come back";

  EXPECT_EQ(read_file_bytes(map_path), original);
  EXPECT_EQ(file_names_in(directory_), std::set<std::string>{"map.ptm"});
  still();
  type("Escape");
  const ProgramRun run = finish();
  EXPECT_EQ(run.exit_status, 0) << run.err;
}

#endif
