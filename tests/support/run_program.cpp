#include "support/run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/files.h"

namespace {

pid_t xvfb_pid = 0;

void stop_xvfb() {
  if (xvfb_pid > 0) {
    kill(xvfb_pid, SIGTERM);
    waitpid(xvfb_pid, nullptr, 0);
    xvfb_pid = 0;
  }
}

}  // namespace

namespace {

// Starts `arguments` with standard input from `in_path` and the output in
// files of `program.scratch`.
void launch(RunningProgram& program, const std::vector<std::string>& arguments,
            const std::string& in_path, const std::string& directory) {
  const std::string out_path = program.scratch + "/stdout";
  const std::string err_path = program.scratch + "/stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    const int in = open(in_path.c_str(), O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
    const char* asan = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(asan != nullptr ? asan : "") + ":detect_leaks=0").c_str(),
           1);
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  setpgid(pid, pid);
  program.pid = pid;
}

}  // namespace

std::string command_output(const std::string& command) {
  std::string out;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

RunningProgram start_program(const std::vector<std::string>& arguments, const std::string& input,
                             const std::string& directory) {
  RunningProgram program{0, make_temp_directory("run")};
  const std::string in_path = program.scratch + "/stdin";
  write_file_bytes(in_path, input);
  launch(program, arguments, in_path, directory);
  return program;
}

RunningProgram start_interactive_program(const std::vector<std::string>& arguments,
                                         const std::string& directory) {
  RunningProgram program{0, make_temp_directory("run")};
  const std::string in_path = program.scratch + "/stdin";
  mkfifo(in_path.c_str(), 0600);
  // Opened for reading and writing, the pipe's open never waits for the
  // other end; closed on exec, the program sees the end of its input only
  // when the test closes it.
  program.input_fd = open(in_path.c_str(), O_RDWR | O_CLOEXEC);
  launch(program, arguments, in_path, directory);
  return program;
}

bool send_input(const RunningProgram& program, std::string_view text) {
  return program.input_fd >= 0 &&
         write(program.input_fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

std::string output_so_far(const RunningProgram& program) {
  return read_file_bytes(program.scratch + "/stdout");
}

bool wait_for_output(const RunningProgram& program, const std::string& text, int timeout_seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (output_so_far(program).find(text) != std::string::npos) return true;
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(program.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == program.pid) {
      return output_so_far(program).find(text) != std::string::npos;  // it has ended
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

ProgramRun finish_program(RunningProgram& program, int timeout_seconds) {
  ProgramRun run{-1, false, "", ""};
  if (program.input_fd >= 0) {
    close(program.input_fd);
    program.input_fd = -1;
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  for (;;) {
    if (waitpid(program.pid, &status, WNOHANG) == program.pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-program.pid, SIGKILL);
      waitpid(program.pid, &status, 0);
      run.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!run.timed_out && WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
  run.out = read_file_bytes(program.scratch + "/stdout");
  run.err = read_file_bytes(program.scratch + "/stderr");
  std::error_code ignored;
  std::filesystem::remove_all(program.scratch, ignored);
  return run;
}

ProgramRun run_program(const std::vector<std::string>& arguments, const std::string& input,
                       const std::string& directory, int timeout_seconds) {
  RunningProgram program = start_program(arguments, input, directory);
  return finish_program(program, timeout_seconds);
}

bool ensure_display() {
  if (xvfb_pid > 0) return true;
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return false;
  xvfb_pid = fork();
  if (xvfb_pid == 0) {
    close(pipe_fds[0]);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    const std::string fd = std::to_string(pipe_fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_fds[1]);
  // Xvfb writes the display number it chose once it accepts connections.
  std::string number;
  char c = 0;
  while (read(pipe_fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(pipe_fds[0]);
  if (number.empty()) {
    stop_xvfb();
    return false;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  std::atexit(stop_xvfb);
  return true;
}
