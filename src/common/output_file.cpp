#include "common/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/output_folder.h"
#include "common/partial_output_names.h"

namespace {

// The temporary files open now.
PartialOutputNames& partial_outputs() {
  static PartialOutputNames names;
  return names;
}

void remember_partial_output(const std::string& name) { partial_outputs().remember(name); }

void forget_partial_output(const std::string& name) { partial_outputs().forget(name); }

// Permissions a plain fopen would have given the file (0666 less the
// umask); mkstemp makes it 0600.
mode_t default_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const char* path) {
  discard();
  error_ = 0;
  target_ = path;
  struct stat existing{};
  if (stat(path, &existing) == 0 && !S_ISREG(existing.st_mode)) {
    file_ = std::fopen(path, "wb");
    if (file_ == nullptr) error_ = errno;
    return file_ != nullptr;
  }
  std::string name = target_ + ".partial-XXXXXX";
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  const int fd = mkstemp(buffer.data());
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  temporary_ = buffer.data();
  remember_partial_output(temporary_);
  fchmod(fd, default_file_mode());
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    error_ = errno;
    close(fd);
    unlink(temporary_.c_str());
    forget_partial_output(temporary_);
    temporary_.clear();
    return false;
  }
  return true;
}

bool OutputFile::commit() {
  if (file_ == nullptr) {
    if (error_ == 0) error_ = EBADF;
    return false;
  }
  // Buffered data reach the disk at the flush or the close, so a full disk
  // may show only there.
  const bool written = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  if (!written) error_ = errno != 0 ? errno : EIO;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (written && !closed) error_ = errno != 0 ? errno : EIO;
  bool ok = written && closed;
  if (!temporary_.empty()) {
    if (ok && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
      error_ = errno;
      ok = false;
    }
    if (!ok) unlink(temporary_.c_str());
    forget_partial_output(temporary_);
    temporary_.clear();
  }
  return ok;
}

void OutputFile::discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    forget_partial_output(temporary_);
    temporary_.clear();
  }
}

void discard_partial_outputs() {
  // Only unlink, which is async-signal-safe; the names stay until their
  // outputs forget them.
  for (const std::string& name : partial_outputs().names()) unlink(name.c_str());
  discard_partial_folders();
}

void report_write_failure(const char* what, const char* path, int error) {
  std::fprintf(stderr, "Error writing %s %s: %s; no file was written\n", what, path,
               std::strerror(error));
}
