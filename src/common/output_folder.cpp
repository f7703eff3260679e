#include "common/output_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/partial_output_names.h"

namespace {

// The temporary folders open now.
PartialOutputNames& partial_folders() {
  static PartialOutputNames names;
  return names;
}

// A fresh folder named `pattern` with its XXXXXX replaced, or "" with errno
// set.
std::string make_unique_folder(const std::string& pattern) {
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) return "";
  return buffer.data();
}

// Permissions a plain mkdir would have given (0777 less the umask); mkdtemp
// makes the folder 0700, which a web server run as another user cannot read.
mode_t default_folder_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0777 & ~mask;
}

bool is_empty_folder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_empty(path, error) && !error;
}

void remove_tree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

// ---- removal inside a signal handler ----
// Only open, getdents64, unlinkat, lseek and close, with buffers on the
// stack: no allocation, no stdio.

struct LinuxDirent64 {
  std::uint64_t d_ino;
  std::int64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

bool is_dot_or_dot_dot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

void remove_tree_at(int parent, const char* name, int depth) {
  if (unlinkat(parent, name, 0) == 0 || depth > 32) return;
  const int folder = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return;
  // Entries removed while the folder is read may make the reading skip
  // others, so it is read again from the start until a pass finds nothing.
  bool removed_any = true;
  while (removed_any) {
    removed_any = false;
    lseek(folder, 0, SEEK_SET);
    alignas(8) char buffer[4096];
    for (;;) {
      const long bytes = syscall(SYS_getdents64, folder, buffer, sizeof buffer);
      if (bytes <= 0) break;
      for (long offset = 0; offset < bytes;) {
        const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + offset);
        offset += entry->d_reclen;
        if (is_dot_or_dot_dot(entry->d_name)) continue;
        remove_tree_at(folder, entry->d_name, depth + 1);
        removed_any = true;
      }
    }
  }
  close(folder);
  unlinkat(parent, name, AT_REMOVEDIR);
}

}  // namespace

OutputFolder::~OutputFolder() { discard(); }

bool OutputFolder::open(const char* path, bool replace) {
  discard();
  error_.clear();
  target_ = path;
  replace_ = replace;
  // A trailing slash names the same folder; the temporary one goes beside
  // it, not inside it.
  while (target_.size() > 1 && target_.back() == '/') target_.pop_back();
  struct stat existing {};
  if (stat(target_.c_str(), &existing) == 0) {
    if (!S_ISDIR(existing.st_mode)) {
      error_ = "it exists and is not a folder";
      return false;
    }
    if (!replace && !is_empty_folder(target_)) {
      error_ = "the folder exists and is not empty (--force replaces it)";
      return false;
    }
  } else if (errno != ENOENT) {
    error_ = std::strerror(errno);
    return false;
  }
  temporary_ = make_unique_folder(target_ + ".partial-XXXXXX");
  if (temporary_.empty()) {
    error_ = std::strerror(errno);
    return false;
  }
  partial_folders().remember(temporary_);
  chmod(temporary_.c_str(), default_folder_mode());
  return true;
}

bool OutputFolder::commit() {
  if (temporary_.empty()) {
    if (error_.empty()) error_ = "nothing was written";
    return false;
  }
  // The folder being replaced moves aside first, so that the new one takes
  // its name in one rename and the old one is removed only afterwards.
  std::string aside;
  struct stat existing {};
  if (stat(target_.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode) &&
      !is_empty_folder(target_)) {
    if (!replace_) {
      error_ = "the folder exists and is not empty (--force replaces it)";
      discard();
      return false;
    }
    aside = make_unique_folder(target_ + ".replaced-XXXXXX");
    if (aside.empty() || std::rename(target_.c_str(), aside.c_str()) != 0) {
      error_ = std::strerror(errno);
      if (!aside.empty()) rmdir(aside.c_str());
      discard();
      return false;
    }
  }
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    error_ = std::strerror(errno);
    if (!aside.empty()) std::rename(aside.c_str(), target_.c_str());
    discard();
    return false;
  }
  partial_folders().forget(temporary_);
  temporary_.clear();
  if (!aside.empty()) remove_tree(aside);
  return true;
}

void OutputFolder::discard() {
  if (temporary_.empty()) return;
  remove_tree(temporary_);
  partial_folders().forget(temporary_);
  temporary_.clear();
}

void discard_partial_folders() {
  partial_folders().for_each(
      [](const std::string& name) { remove_tree_at(AT_FDCWD, name.c_str(), 0); });
}
