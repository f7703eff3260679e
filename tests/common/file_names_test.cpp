#include "common/file_names.h"

#include <gtest/gtest.h>

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
