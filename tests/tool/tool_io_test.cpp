#include "tool/tool_io.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "common/end_program.h"
#include "common/output_file.h"
#include "common/output_folder.h"
#include "support/files.h"

namespace {

// In a child process: an output file and an output folder (with files in
// folders of its own) open, then `stop` ends the process the way a user or
// the core would. The parent sees how it ended and what is left.
template <typename Stop>
int status_of_child_stopped_while_writing(const std::string& path, Stop stop) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    install_fatal_exit();
    OutputFile out;
    if (!out.open(path.c_str())) _exit(3);
    std::fputs("half a file", out.get());
    std::fflush(out.get());
    OutputFolder site;
    if (!site.open((path + ".site").c_str(), false)) _exit(3);
    std::filesystem::create_directories(site.path() + "/tiles_files/3");
    write_file_bytes(site.path() + "/tiles_files/3/0_0.png", "a tile");
    write_file_bytes(site.path() + "/map.json", "{}");
    stop();
    _exit(4);  // not reached
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

TEST(ToolExit, InterruptsAndFatalErrorsLeaveNoTemporaryFile) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    ScratchDirectory dir("tool_signal");
    const int status = status_of_child_stopped_while_writing(
        dir.file("out.ptm"), [signal_number] { raise(signal_number); });
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), signal_number);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
  }
  ScratchDirectory dir("tool_fatal");
  const int status =
      status_of_child_stopped_while_writing(dir.file("out.ptm"), [] { end_program(-1); });
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

}  // namespace
