#include "common/output_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "support/files.h"
#include "support/write_failures.h"

namespace {

std::size_t files_in(const std::string& directory) {
  std::size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    (void)entry;
    ++n;
  }
  return n;
}

TEST(OutputFile, ACommittedFileReplacesTheTargetWithNothingElseLeftBeside) {
  ScratchDirectory dir("output_file");
  const std::string path = dir.file("out.bin");
  write_file_bytes(path, "old contents");
  OutputFile out;
  ASSERT_TRUE(out.open(path.c_str()));
  std::fputs("new", out.get());
  // Until the commit the target keeps what it had.
  EXPECT_EQ(read_file_bytes(path), "old contents");
  ASSERT_TRUE(out.commit());
  EXPECT_EQ(read_file_bytes(path), "new");
  EXPECT_EQ(files_in(dir.path), 1u);
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::owner_read,
            std::filesystem::perms::owner_read);
}

TEST(OutputFile, AWriteThatFailsPartWayLeavesTheOldTargetAndNoTemporaryFile) {
  ScratchDirectory dir("output_file");
  const std::string path = dir.file("out.bin");
  write_file_bytes(path, "old contents");
  OutputFile out;
  ASSERT_TRUE(out.open(path.c_str()));
  {
    FileSizeLimit limit(4096);
    const std::string block(1 << 16, 'x');
    std::fwrite(block.data(), 1, block.size(), out.get());
    EXPECT_FALSE(out.commit());
  }
  EXPECT_EQ(out.error(), EFBIG);
  EXPECT_EQ(read_file_bytes(path), "old contents");
  EXPECT_EQ(files_in(dir.path), 1u);
}

TEST(OutputFile, AnOutputNeverCommittedIsDiscardedAndAMissingFolderIsAnError) {
  ScratchDirectory dir("output_file");
  {
    OutputFile out;
    ASSERT_TRUE(out.open(dir.file("abandoned.bin").c_str()));
    std::fputs("partial", out.get());
  }
  EXPECT_EQ(files_in(dir.path), 0u);

  OutputFile out;
  EXPECT_FALSE(out.open(dir.file("no/such/folder/out.bin").c_str()));
  EXPECT_EQ(out.error(), ENOENT);
  EXPECT_FALSE(out.commit());
}

TEST(OutputFile, ATargetThatIsNotARegularFileIsWrittenDirectly) {
  OutputFile out;
  ASSERT_TRUE(out.open("/dev/null"));
  std::fputs("discarded", out.get());
  EXPECT_TRUE(out.commit());
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

}  // namespace

// A fatal exit cannot unwind to the outputs' destructors: every temporary
// file still open goes, the targets keep what they held, and an output
// committed afterwards is unaffected.
TEST(OutputFile, DiscardingPartialOutputsRemovesEveryOpenTemporaryOnly) {
  ScratchDirectory dir("output_file_discard");
  write_file_bytes(dir.file("kept.bin"), "old");
  OutputFile first;
  OutputFile second;
  ASSERT_TRUE(first.open(dir.file("kept.bin").c_str()));
  ASSERT_TRUE(second.open(dir.file("new.bin").c_str()));
  std::fputs("partial", first.get());
  EXPECT_EQ(files_in(dir.path), 3u);
  discard_partial_outputs();
  EXPECT_EQ(files_in(dir.path), 1u);
  EXPECT_EQ(read_file_bytes(dir.file("kept.bin")), "old");
  OutputFile later;
  ASSERT_TRUE(later.open(dir.file("later.bin").c_str()));
  std::fputs("whole", later.get());
  ASSERT_TRUE(later.commit());
  EXPECT_EQ(read_file_bytes(dir.file("later.bin")), "whole");
}
