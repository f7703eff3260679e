#include "common/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
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

// The folder part of `path` up to and including its last slash; empty for
// a name in the working folder.
std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string folder_for_messages(const std::string& path) {
  const std::string folder = folder_of(path);
  return folder.empty() ? std::string(".") : folder;
}

// Follows `path` through symbolic links to the file that is really written
// (a relative link is read from the link's own folder). A name that does
// not exist, or one that is no link, is kept as it is. False, with `error`
// set, for a link that cannot be read or a chain as deep as the kernel
// refuses.
bool follow_links(std::string& path, int& error) {
  constexpr int deepest_chain = 40;  // the kernel's own limit (MAXSYMLINKS)
  for (int depth = 0; depth < deepest_chain; ++depth) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    std::vector<char> text(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0) + 256);
    const ssize_t length = readlink(path.c_str(), text.data(), text.size());
    if (length < 0 || static_cast<std::size_t>(length) == text.size()) {
      error = length < 0 ? errno : ENAMETOOLONG;
      return false;
    }
    const std::string target(text.data(), static_cast<std::size_t>(length));
    path = !target.empty() && target[0] == '/' ? target : folder_of(path) + target;
  }
  error = ELOOP;
  return false;
}

// In a folder with the sticky bit (/tmp, shared folders) a file may be
// renamed over only by its owner, the folder's owner or root; known before
// any work is done rather than at the final rename.
bool may_replace_in_folder(const std::string& target, const struct stat& file) {
  struct stat folder {};
  if (stat(folder_for_messages(target).c_str(), &folder) != 0 || (folder.st_mode & S_ISVTX) == 0) {
    return true;
  }
  const uid_t user = geteuid();
  return user == 0 || user == file.st_uid || user == folder.st_uid;
}

// "<target>.partial-XXXXXX", with the target's own name shortened where
// the suffix would take the whole beyond the longest name a folder holds.
std::string temporary_name_for(const std::string& target) {
  static constexpr char suffix[] = ".partial-XXXXXX";
  constexpr std::size_t longest_name = NAME_MAX - (sizeof suffix - 1);
  const std::string folder = folder_of(target);
  const std::string name = target.substr(folder.size());
  return folder + name.substr(0, std::min(name.size(), longest_name)) + suffix;
}

// The new file takes over what the user set up on the old one: its
// permission bits and, where this process may set them, its owner and
// group. Set-id bits mean "run as this owner", so they go when the owner
// cannot be kept; a group that cannot be kept gets no more access than
// everyone else has, so that no group gains what it never had.
void take_over_owner_and_mode(int fd, const struct stat& old) {
  mode_t mode = old.st_mode & 07777;
  if (fchown(fd, old.st_uid, old.st_gid) != 0) {
    mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      mode = (mode & ~static_cast<mode_t>(S_IRWXG)) | ((mode & S_IRWXO) << 3);
    }
  }
  fchmod(fd, mode);
}

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const char* path) {
  discard();
  error_ = 0;
  target_ = path;
  if (!follow_links(target_, error_)) {
    std::fprintf(stderr, "Can't follow the symbolic link %s: %s\n", path, std::strerror(error_));
    return false;
  }
  struct stat existing {};
  const bool exists = stat(target_.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    file_ = std::fopen(target_.c_str(), "wb");
    if (file_ == nullptr) {
      error_ = errno;
      std::fprintf(stderr, "Can't write %s: %s\n", target_.c_str(), std::strerror(error_));
    }
    return file_ != nullptr;
  }
  // Permission to write is asked with the effective ids, those the process
  // opens files with (root may write anything).
  if (exists && faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
    error_ = errno;
    if (error_ == EACCES || error_ == EPERM) {
      std::fprintf(stderr, "Can't replace %s: the file is write-protected\n", target_.c_str());
    } else {
      std::fprintf(stderr, "Can't replace %s: %s\n", target_.c_str(), std::strerror(error_));
    }
    return false;
  }
  if (exists && !may_replace_in_folder(target_, existing)) {
    error_ = EPERM;
    std::fprintf(stderr, "Can't replace %s: in folder %s only the file's owner may replace it\n",
                 target_.c_str(), folder_for_messages(target_).c_str());
    return false;
  }
  const std::string name = temporary_name_for(target_);
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  const int fd = mkstemp(buffer.data());
  if (fd < 0) {
    error_ = errno;
    if (error_ == ENAMETOOLONG) {
      std::fprintf(stderr, "Can't write %s: %s\n", target_.c_str(), std::strerror(error_));
    } else {
      std::fprintf(stderr, "Can't write in folder %s: %s\n",
                   folder_for_messages(target_).c_str(), std::strerror(error_));
    }
    return false;
  }
  temporary_ = buffer.data();
  remember_partial_output(temporary_);
  if (exists) {
    take_over_owner_and_mode(fd, existing);
  } else {
    fchmod(fd, default_file_mode());
  }
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    error_ = errno;
    std::fprintf(stderr, "Can't write %s: %s\n", target_.c_str(), std::strerror(error_));
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
  partial_outputs().for_each([](const std::string& name) { unlink(name.c_str()); });
  discard_partial_folders();
}

void report_write_failure(const char* what, const char* path, int error) {
  std::fprintf(stderr, "Error writing %s %s: %s; no file was written\n", what, path,
               std::strerror(error));
}
