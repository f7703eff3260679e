#include "tool/tool_io.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "common/end_program.h"
#include "common/file_names.h"
#include "common/output_file.h"
#include "ptm/file_kind.h"
#include "ptm/reader.h"
#include "tool/arguments.h"

namespace {

std::FILE* results = stdout;

// Off after --quiet: the core's running commentary is dropped.
bool commentary_shown = true;

// What the core prints on one of the process's descriptors while it works
// for the tool, kept in a memory file instead, so that the tool can decide
// afterwards what of it to show. Where no memory file can be made the
// messages simply go through.
class HeldDescriptor {
 public:
  explicit HeldDescriptor(int fd) : fd_(fd) {
    std::fflush(stdout);
    memory_ = memfd_create("relumo-tool-messages", MFD_CLOEXEC);
    if (memory_ < 0) return;
    saved_ = dup(fd);
    if (saved_ >= 0 && dup2(memory_, fd) >= 0) return;
    if (saved_ >= 0) close(saved_);
    close(memory_);
    memory_ = -1;
  }
  HeldDescriptor(const HeldDescriptor&) = delete;
  HeldDescriptor& operator=(const HeldDescriptor&) = delete;
  ~HeldDescriptor() { release(); }

  // Points the descriptor back where it went and returns what was held.
  std::string release() {
    std::string text;
    if (memory_ < 0) return text;
    std::fflush(stdout);
    dup2(saved_, fd_);
    close(saved_);
    char buffer[4096];
    ssize_t got = 0;
    off_t at = 0;
    while ((got = pread(memory_, buffer, sizeof buffer, at)) > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
      at += got;
    }
    close(memory_);
    memory_ = -1;
    return text;
  }

 private:
  int fd_;
  int memory_ = -1;
  int saved_ = -1;
};

// The core's standard output and, for a read, its standard error, held
// while one call into the core runs. A fatal error inside that call ends
// the process from the core; the hook below shows what was held first, as
// it holds the reason.
struct HeldMessages {
  explicit HeldMessages(bool hold_errors);
  ~HeldMessages();
  HeldDescriptor commentary{STDOUT_FILENO};
  std::unique_ptr<HeldDescriptor> errors;
};

HeldMessages* active_hold = nullptr;

HeldMessages::HeldMessages(bool hold_errors) {
  if (hold_errors) errors = std::make_unique<HeldDescriptor>(STDERR_FILENO);
  active_hold = this;
}

HeldMessages::~HeldMessages() { active_hold = nullptr; }

void show(const std::string& text) { std::fputs(text.c_str(), stderr); }

// The last non-empty line of `text` that is not `skipped`.
std::string last_line_other_than(const std::string& text, const std::string& skipped) {
  std::size_t end = text.size();
  while (end > 0) {
    const std::size_t newline = text.rfind('\n', end - 1);
    const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
    const std::string line = text.substr(start, end - start);
    if (!line.empty() && line != skipped) return line;
    if (newline == std::string::npos) break;
    end = newline;
  }
  return "";
}

[[noreturn]] void end_tool_after_fatal_error(int) {
  if (active_hold != nullptr) {
    const std::string errors = active_hold->errors ? active_hold->errors->release() : "";
    show(active_hold->commentary.release() + errors);
  }
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
  const FileIdentity identity = identify_file(path);
  if (identity.kind == FileKind::missing || identity.kind == FileKind::unopenable) {
    report_file_error(path, std::strerror(identity.error));
    return nullptr;
  }
  if (identity.kind != FileKind::ptm) {
    std::fflush(stdout);
    std::fprintf(stderr, "relumo-tool: %s\n", not_a_map_message(path, identity).c_str());
    return nullptr;
  }
  std::string commentary;
  std::string errors;
  Ptm* ptm = nullptr;
  {
    HeldMessages held(true);
    ptm = read_ptm_file(path, representation);
    errors = held.errors->release();
    commentary = held.commentary.release();
  }
  if (ptm != nullptr) {
    show((commentary_shown ? commentary : "") + errors);
    return ptm;
  }
  // The reader echoes the path, announces the format and says why it
  // stopped last; that reason makes the one line of this failure.
  std::string reason = last_line_other_than(commentary, path);
  if (reason.empty()) reason = last_line_other_than(errors, path);
  report_file_error(path, reason.empty() ? "not a readable PTM map" : reason.c_str());
  return nullptr;
}

Ptm* read_map(const char* path) { return read_map(path, preferred_representation()); }

void set_core_commentary_shown(bool shown) { commentary_shown = shown; }

bool core_commentary_shown() { return commentary_shown; }

bool run_core_step(const std::function<bool()>& step) {
  bool done = false;
  std::string commentary;
  {
    HeldMessages held(false);
    done = step();
    commentary = held.commentary.release();
  }
  if (!done || commentary_shown) show(commentary);
  return done;
}

void report_file_error(const char* path, const char* message) {
  std::fflush(stdout);
  std::fprintf(stderr, "relumo-tool: %s: %s\n", path, message);
}
