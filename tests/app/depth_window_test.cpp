// The normal-image and depth commands of the menu in a real window, on a
// map in a folder below the working directory: the name typed for the
// normal image and the camera file lie beside the map, the depth
// command's three files in the working directory.
#include <gtest/gtest.h>

#ifdef RELUMO_BINARY

#include <filesystem>
#include <string>

#include "support/files.h"
#include "viewer_window_fixture.h"

namespace {

using namespace window_test;

constexpr int normal_image_entry = 7;
constexpr int depth_entry = 9;

class DepthWindowTest : public ViewerWindowTest {
 protected:
  // Starts relumo on maps/map.ptm with its console on a pipe, and waits
  // until the window shows the map.
  void open_in_folder(const PtmFixture& map) {
    map_name_ = "maps/map.ptm";
    open(map, "", true);
  }

  void wait_until_viewable(bool viewable) const {
    for (int i = 0; i < 100 && window_viewable(window_) != viewable; ++i) pause_ms(50);
  }

  // The graded map's surface faces the camera everywhere: every normal is
  // (0, 0, 127), shown as (128, 128, 255).
  static std::string facing_pixels() {
    std::string pixels;
    for (int i = 0; i < map_width * map_height; ++i) pixels += "\x80\x80\xff";
    return pixels;
  }
};

TEST_F(DepthWindowTest, TheNormalImageEntryAsksForANameOnTheConsoleAndWritesBesideTheMap) {
  open_in_folder(graded_map());
  const std::string prompt = "PPM format normal image filename to output?\n";
  choose_menu_entry(panel_x, panel_y, normal_image_entry);
  ASSERT_TRUE(wait_for_output(program_, prompt, 15)) << output_so_far(program_);
  wait_until_viewable(false);
  EXPECT_FALSE(window_viewable(window_)) << "the window stays while the console asks";
  ASSERT_TRUE(send_input(program_, "normals.ppm\n"));
  ASSERT_TRUE(
      wait_for_output(program_, "Writing normal values to file maps/normals.ppm ...done\n", 15))
      << output_so_far(program_);
  EXPECT_EQ(read_file_bytes(directory_ + "/maps/normals.ppm"),
            "P6\n64 48\n255\n" + facing_pixels());
  wait_until_viewable(true);
  EXPECT_TRUE(window_viewable(window_)) << "the window did not come back";

  // A name longer than the 119 characters of the name buffer is refused.
  still();
  choose_menu_entry(panel_x, panel_y, normal_image_entry);
  ASSERT_TRUE(send_input(program_, std::string(120, 'n') + "\n"));
  ASSERT_TRUE(
      wait_for_output(program_, "Output name longer than 119 characters: nothing written\n", 15))
      << output_so_far(program_);
  wait_until_viewable(true);
  EXPECT_TRUE(window_viewable(window_));

  // A name in a folder that does not exist: the message, and the window
  // waits for a key on the console.
  still();
  choose_menu_entry(panel_x, panel_y, normal_image_entry);
  ASSERT_TRUE(send_input(program_, "nowhere/normals.ppm\n"));
  ASSERT_TRUE(
      wait_for_errors("Unable to open normal file maps/nowhere/normals.ppm for writing.\nHit any "
                      "key to continue\n"))
      << errors_so_far();
  pause_ms(300);
  EXPECT_FALSE(window_viewable(window_)) << "the window came back before the key";
  ASSERT_TRUE(send_input(program_, "k"));
  ASSERT_TRUE(wait_for_output(program_, "getch performed\n", 15)) << output_so_far(program_);
  wait_until_viewable(true);
  EXPECT_TRUE(window_viewable(window_));
}

TEST_F(DepthWindowTest, TheDepthEntryWithACameraFileWritesTheThreeFilesAndSaysComplete) {
  open_in_folder(graded_map());
  write_file_bytes(directory_ + "/maps/map.cam",
                   "focal length 50\nimage width 36\nimage height 27\nestimated depth 10\n"
                   "initial distance 600\n");
  choose_menu_entry(panel_x, panel_y, depth_entry);
  ASSERT_TRUE(wait_for_output(program_, "Complete\n", 30)) << output_so_far(program_);
  const std::string out = output_after_normals();
  EXPECT_NE(out.find("Calculating depth data\nWriting Truespace File\nComplete\n"),
            std::string::npos)
      << out;

  EXPECT_EQ(read_file_bytes(directory_ + "/normalimage.ppm"),
            "P6\n64\n48\n255\n" + facing_pixels());
  // A surface facing the camera is flat: mid grey everywhere.
  EXPECT_EQ(read_file_bytes(directory_ + "/depthimage.ppm"),
            "P6\n64\n48\n255\n" + std::string(64 * 48 * 3, '\x80'));
  const std::string mesh = read_file_bytes(directory_ + "/tsdepthascii.cob");
  EXPECT_EQ(mesh.substr(0, 32), "Caligari V00.01ALH             \n");
  // 16 x 12 vertices every fourth pixel, 15 x 11 cells of two triangles,
  // all at depth 0.
  EXPECT_NE(mesh.find("World Vertices 192\n0.000000 0.000000 1.270000\n"), std::string::npos);
  EXPECT_NE(mesh.find("Faces 330\n"), std::string::npos);
  EXPECT_NE(mesh.find("texture: 22R:\\sample18\\18-001.tga\n"), std::string::npos);
  EXPECT_EQ(mesh.substr(mesh.size() - 38), "END  V1.00 Id 0 Parent 0 Size        0");
  EXPECT_FALSE(std::filesystem::exists(directory_ + "/maps/normalimage.ppm"));
  // The window is not hidden by the command.
  EXPECT_TRUE(window_viewable(window_));
}

TEST_F(DepthWindowTest, TheDepthEntryWithoutACameraFileWritesOnlyTheNormalImage) {
  open_in_folder(graded_map());
  choose_menu_entry(panel_x, panel_y, depth_entry);
  ASSERT_TRUE(
      wait_for_errors("Unable to open maps/map.cam camera file, aborting depth calculation\n"))
      << errors_so_far();
  EXPECT_EQ(read_file_bytes(directory_ + "/normalimage.ppm"),
            "P6\n64\n48\n255\n" + facing_pixels());
  EXPECT_FALSE(std::filesystem::exists(directory_ + "/depthimage.ppm"));
  EXPECT_FALSE(std::filesystem::exists(directory_ + "/tsdepthascii.cob"));
  const std::string out = output_after_normals();
  EXPECT_NE(out.find("Calculating depth data\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("Complete"), std::string::npos) << out;
}

}  // namespace

#endif
