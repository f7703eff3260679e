#include "common/file_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/files.h"

namespace {

TEST(FileNames, ExtensionsAreCutInTheFilesOwnNameNeverInAFolderName) {
  struct Case {
    const char* path;
    const char* last;
    const char* first;
  };
  const Case cases[] = {
      {"object.ptm", "object", "object"},
      {"maps/stone.ptm", "maps/stone", "maps/stone"},
      {"../captures/stone.ptm", "../captures/stone", "../captures/stone"},
      {"maps/v1.2/stone.ptm", "maps/v1.2/stone", "maps/v1.2/stone"},
      {"maps/v1.2/stone", "maps/v1.2/stone", "maps/v1.2/stone"},
      {"a.b.ptm", "a.b", "a"},
      {"C:\\maps.old\\stone.ptm", "C:\\maps.old\\stone", "C:\\maps.old\\stone"},
      {"plain", "plain", "plain"},
      {".hidden", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cut_at_last_dot(c.path), c.last) << c.path;
    EXPECT_EQ(cut_at_first_dot(c.path), c.first) << c.path;
  }
}

}  // namespace

namespace {

TEST(FileNames, AFileIsInsideAFolderByItsResolvedPathComponentByComponent) {
  ScratchDirectory scratch("inside_folder");
  std::filesystem::create_directories(scratch.file("site/maps"));
  std::filesystem::create_directories(scratch.file("site2"));
  write_file_bytes(scratch.file("site/maps/stone.ptm"), "map");
  write_file_bytes(scratch.file("site2/stone.ptm"), "map");
  std::filesystem::create_directory_symlink(scratch.file("site"), scratch.file("link"));
  const struct {
    std::string path;
    std::string folder;
    bool inside;
  } cases[] = {
      {scratch.file("site/maps/stone.ptm"), scratch.file("site"), true},
      {scratch.file("site/maps/../maps/stone.ptm"), scratch.file("site/"), true},
      {scratch.file("link/maps/stone.ptm"), scratch.file("site"), true},
      {scratch.file("site/maps/stone.ptm"), scratch.file("link"), true},
      {scratch.file("site2/stone.ptm"), scratch.file("site"), false},
      {scratch.file("site/maps/stone.ptm"), scratch.file("site/maps/stone.ptm"), false},
      {scratch.file("site/maps/stone.ptm"), scratch.file("missing"), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_inside_folder(c.path.c_str(), c.folder.c_str()), c.inside)
        << c.path << " in " << c.folder;
  }
}

}  // namespace
