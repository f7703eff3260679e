#include "common/output_file.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>
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

namespace {

constexpr uid_t nobody_uid = 65534;
constexpr gid_t nobody_gid = 65534;

// Writes "new" to `path` through an OutputFile in a child process, whose
// exit status is 0 when the open was refused, 1 when the commit failed, 2
// when the file was written (100: it could not become nobody). With `as_nobody` and when this process is root
// (as in CI, where root may write anything) the child first becomes the
// unprivileged user nobody. What the writer printed comes in `messages`.
int write_new_contents(const std::string& path, bool as_nobody, std::string& messages) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return -1;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipe_ends[1], STDERR_FILENO);
    if (as_nobody && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(nobody_gid) != 0 || setuid(nobody_uid) != 0)) {
      _exit(100);
    }
    OutputFile out;
    if (!out.open(path.c_str())) _exit(0);
    std::fputs("new", out.get());
    _exit(out.commit() ? 2 : 1);
  }
  close(pipe_ends[1]);
  char buffer[512];
  for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) {
    messages.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Replacing sub/keep.ptm (directly or through link.ptm -> sub/keep.ptm)
// respects what the user set up. The refusals are those of an ordinary
// user; the rows about another user's file need root to set them up.
TEST(OutputFile, ReplacingAFileKeepsItsModeOwnerAndLinksAndRefusesWhatTheUserMayNotWrite) {
  const bool root = geteuid() == 0;
  const struct {
    const char* label;
    const char* target;
    bool as_nobody;
    mode_t old_mode;
    bool old_owned_by_nobody;
    bool root_only;
    mode_t folder_mode;  // of sub/
    bool replaced;
    mode_t new_mode;
    bool new_owned_by_nobody;
    const char* message;  // %s: the scratch folder
  } cases[] = {
      {"write-protected file", "sub/keep.ptm", true, 0444, false, false, 0777, false, 0444, false,
       "Can't replace %s/sub/keep.ptm: the file is write-protected\n"},
      {"unusual permission bits kept", "sub/keep.ptm", true, 0604, true, false, 0777, true, 0604,
       true, ""},
      {"another user's owner and group kept by root", "sub/keep.ptm", false, 0640, true, true,
       0755, true, 0640, true, ""},
      {"a group that cannot be kept gets only what others have", "sub/keep.ptm", true, 0662,
       false, true, 0777, true, 0622, true, ""},
      {"a link writes its target and stays a link", "link.ptm", true, 0666, false, false, 0777,
       true, 0666, true, ""},
      {"writable file in a folder that cannot take a new one", "sub/keep.ptm", true, 0666, false,
       false, 0555, false, 0666, false, "Can't write in folder %s/sub/: Permission denied\n"},
      {"another user's writable file in a sticky folder", "sub/keep.ptm", true, 0666, false, true,
       01777, false, 0666, false,
       "Can't replace %s/sub/keep.ptm: in folder %s/sub/ only the file's owner may replace it\n"},
  };
  for (const auto& c : cases) {
    if (c.root_only && !root) continue;
    SCOPED_TRACE(c.label);
    ScratchDirectory dir("output_file_replace");
    const std::string file = dir.file("sub/keep.ptm");
    std::filesystem::create_directory(dir.file("sub"));
    write_file_bytes(file, "old");
    ASSERT_EQ(symlink("sub/keep.ptm", dir.file("link.ptm").c_str()), 0);
    ASSERT_EQ(chmod(file.c_str(), c.old_mode), 0);
    if (c.old_owned_by_nobody && root) {
      ASSERT_EQ(chown(file.c_str(), nobody_uid, nobody_gid), 0);
    }
    ASSERT_EQ(chmod(dir.path.c_str(), 0777), 0);
    ASSERT_EQ(chmod(dir.file("sub").c_str(), c.folder_mode), 0);

    std::string messages;
    const int outcome = write_new_contents(dir.file(c.target), c.as_nobody, messages);
    chmod(dir.file("sub").c_str(), 0755);

    EXPECT_EQ(outcome, c.replaced ? 2 : 0);
    char message[512] = "";
    std::snprintf(message, sizeof message, c.message, dir.path.c_str(), dir.path.c_str());
    EXPECT_EQ(messages, message);
    EXPECT_EQ(read_file_bytes(file), c.replaced ? "new" : "old");
    struct stat after {};
    ASSERT_EQ(lstat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, c.new_mode);
    if (root) {
      EXPECT_EQ(after.st_uid == nobody_uid && after.st_gid == nobody_gid, c.new_owned_by_nobody);
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ptm")));
    EXPECT_EQ(file_names_in(dir.path), (std::set<std::string>{"link.ptm", "sub"}));
    EXPECT_EQ(file_names_in(dir.file("sub")), std::set<std::string>{"keep.ptm"});
  }
}
