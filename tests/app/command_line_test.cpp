#include "app/core/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool parse(std::vector<std::string> words, std::string& name) {
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  return parse_command_line(static_cast<int>(argv.size()), argv.data(), name);
}

TEST(CommandLine, OptionMayStandBeforeOrAfterTheName) {
  std::string name;
  ASSERT_TRUE(parse({"relumo", "-d", "stone.ptm"}, name));
  EXPECT_EQ(name, "stone.ptm");
  ASSERT_TRUE(parse({"relumo", "stone.ptm", "-d"}, name));
  EXPECT_EQ(name, "stone.ptm");
  ASSERT_TRUE(parse({"relumo", "maps/stone.ptm"}, name));
  EXPECT_EQ(name, "maps/stone.ptm");
}

TEST(CommandLine, WrongCountsAndALoneOptionAreUsageErrors) {
  std::string name;
  EXPECT_FALSE(parse({"relumo"}, name));
  EXPECT_FALSE(parse({"relumo", "-d"}, name));
  EXPECT_FALSE(parse({"relumo", "a.ptm", "-d", "-s"}, name));
}

TEST(BaseDir, LastSeparatorDecides) {
  EXPECT_EQ(derive_base_dir("C:\\maps\\stone.ptm"), "C:\\maps\\");
  EXPECT_EQ(derive_base_dir("stone.ptm"), "");
  EXPECT_EQ(derive_base_dir("a/b\\c.ptm"), "a/b\\");
  EXPECT_EQ(derive_base_dir("a\\b/c.ptm"), "a\\b/");
  EXPECT_EQ(derive_base_dir("C:stone.ptm"), "C:");
  EXPECT_EQ(derive_base_dir("maps/x:y.ptm"), "maps/");  // a colon only counts without slashes
  EXPECT_EQ(derive_base_dir("/stone.ptm"), "/");
}

TEST(InitialWindowSize, LeavesRoomForThePanelAndStaysOnScreen) {
  const WindowSize small = initial_window_size(200, 100, 1920, 1080);
  EXPECT_EQ(small.width, 500);
  EXPECT_EQ(small.height, 450);
  const WindowSize large = initial_window_size(4000, 3000, 1920, 1080);
  EXPECT_EQ(large.width, 1912);
  EXPECT_EQ(large.height, 1055);
  const WindowSize tall = initial_window_size(300, 700, 1920, 1080);
  EXPECT_EQ(tall.width, 600);
  EXPECT_EQ(tall.height, 700);
}

}  // namespace
