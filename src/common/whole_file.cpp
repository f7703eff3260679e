#include "common/whole_file.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>

#include "common/file_handle.h"

WholeFile read_whole_file(const char* path, std::size_t max_bytes, std::string& bytes) {
  bytes.clear();
  FileHandle file(std::fopen(path, "rb"));
  if (!file) return WholeFile::cannot_open;
  return read_rest_of_file(file.get(), max_bytes, bytes);
}

WholeFile read_rest_of_file(std::FILE* file, std::size_t max_bytes, std::string& bytes) {
  const std::size_t kept = bytes.size();
  // A regular file's size is known: room for it at once spares the copies
  // of growing (a photograph is tens of megabytes).
  struct stat status;
  if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) &&
      static_cast<std::uint64_t>(status.st_size) <= max_bytes) {
    bytes.reserve(static_cast<std::size_t>(status.st_size));
  }
  char chunk[65536];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
    if (bytes.size() > max_bytes || got > max_bytes - bytes.size()) {
      bytes.resize(kept);
      return WholeFile::too_large;
    }
    bytes.append(chunk, got);
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file)) {
    bytes.resize(kept);
    return WholeFile::read_error;
  }
  return WholeFile::read;
}
