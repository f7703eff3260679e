#include "common/whole_file.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>

#include "common/file_handle.h"

WholeFile read_whole_file(const char* path, std::size_t max_bytes, std::string& bytes) {
  bytes.clear();
  FileHandle file(std::fopen(path, "rb"));
  if (!file) return WholeFile::cannot_open;
  // A regular file's size is known: room for it at once spares the copies
  // of growing (a photograph is tens of megabytes).
  struct stat status;
  if (fstat(fileno(file.get()), &status) == 0 && S_ISREG(status.st_mode) &&
      static_cast<std::uint64_t>(status.st_size) <= max_bytes) {
    bytes.reserve(static_cast<std::size_t>(status.st_size));
  }
  char chunk[65536];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    if (got > max_bytes - bytes.size()) {
      bytes.clear();
      return WholeFile::too_large;
    }
    bytes.append(chunk, got);
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file.get())) {
    bytes.clear();
    return WholeFile::read_error;
  }
  return WholeFile::read;
}
