#include "common/whole_file.h"

#include <cstdio>

#include "common/file_handle.h"

WholeFile read_whole_file(const char* path, std::size_t max_bytes, std::string& bytes) {
  bytes.clear();
  FileHandle file(std::fopen(path, "rb"));
  if (!file) return WholeFile::cannot_open;
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
