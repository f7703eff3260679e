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
#include "support/ptm_fixture.h"
#include "support/run_program.h"

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

// --quiet leaves standard error to errors and warnings: the core's format
// and writing lines and the tool's notes are what it takes away. A failure
// under --quiet still gives its reason.
TEST(ToolQuiet, TakesAwayTheCommentaryButNotTheReasonOfAFailure) {
  ScratchDirectory scratch("tool_quiet");
  const std::string map = scratch.file("map.ptm");
  write_file_bytes(map, ptm_fixture_bytes(random_ptm_fixture(2, 2, 6, 5, 9)));
  const std::string converted = scratch.file("out.ptm");
  const struct {
    std::vector<std::string> arguments;
    std::string shown;  // on standard error without --quiet
  } cases[] = {
      {{"info", map}, map + "\nLRGB Format\n"},
      {{"render", map, "-o", scratch.file("out.png")}, map + "\nLRGB Format\n"},
      {{"convert", map, "-o", converted, "--format", "rgb"},
       "LRGB Format\nWriting PTM File " + converted + "\n"},
      {{"mesh", map, "-o", scratch.file("mesh.obj")},
       "Wrote " + scratch.file("mesh.obj") + " with its material " + scratch.file("mesh.mtl") +
           " and texture " + scratch.file("mesh.png") + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.begin(), RELUMO_TOOL_BINARY);
    const ProgramRun loud = run_program(arguments);
    EXPECT_EQ(loud.exit_status, 0) << loud.err;
    EXPECT_NE(loud.err.find(c.shown), std::string::npos) << loud.err;
    arguments.push_back("--quiet");
    const ProgramRun quiet = run_program(arguments);
    EXPECT_EQ(quiet.exit_status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
  }
  const std::string nowhere = scratch.file("no/such/folder/out.ptm");
  const ProgramRun failed =
      run_program({RELUMO_TOOL_BINARY, "convert", map, "-o", nowhere, "--format", "rgb", "-q"});
  EXPECT_EQ(failed.exit_status, 1);
  EXPECT_NE(failed.err.find("Can't open PTM file " + nowhere), std::string::npos) << failed.err;
  EXPECT_NE(failed.err.find("relumo-tool: " + nowhere + ": not written"), std::string::npos);
}

}  // namespace
