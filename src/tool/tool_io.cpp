#include "tool/tool_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "common/end_program.h"
#include "common/file_names.h"
#include "common/output_file.h"
#include "ptm/reader.h"
#include "tool/arguments.h"

namespace {

std::FILE* results = stdout;

[[noreturn]] void end_tool_after_fatal_error(int) {
  discard_partial_outputs();
  std::fflush(stdout);
  std::fflush(results);
  std::_Exit(1);
}

// An interrupted or terminated run leaves no temporary file behind; the
// signal is then delivered again with its default action, so that the
// caller sees how the process ended.
void end_tool_after_signal(int signal_number) {
  discard_partial_outputs();
  std::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

}  // namespace

void route_messages_to_stderr() {
  const int kept = dup(STDOUT_FILENO);
  if (kept >= 0) {
    std::FILE* stream = fdopen(kept, "w");
    if (stream != nullptr) results = stream;
  }
  std::fflush(stdout);
  dup2(STDERR_FILENO, STDOUT_FILENO);
  // Standard output and standard error now share one file; line buffering
  // keeps their lines in the order they were printed.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

std::FILE* result_output() { return results; }

void install_fatal_exit() {
  set_end_program_hook(end_tool_after_fatal_error);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal_number, end_tool_after_signal);
  // Past a file-size limit (ulimit -f) a write fails with EFBIG and is
  // reported like a full disk, instead of the process being killed with its
  // temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
}

void check_output_is_not_input(const char* input, const char* output) {
  if (is_same_file(input, output)) {
    throw UsageError(std::string("the output ") + output + " is the input file");
  }
}

Ptm* read_map(const char* path, CoefRepresentation representation) {
  std::FILE* probe = std::fopen(path, "rb");
  if (probe == nullptr) {
    report_file_error(path, std::strerror(errno));
    return nullptr;
  }
  std::fclose(probe);
  Ptm* ptm = read_ptm_file(path, representation);
  if (ptm == nullptr) report_file_error(path, "not a readable PTM file");
  return ptm;
}

Ptm* read_map(const char* path) { return read_map(path, preferred_representation()); }

void report_file_error(const char* path, const char* message) {
  std::fflush(stdout);
  std::fprintf(stderr, "relumo-tool: %s: %s\n", path, message);
}
