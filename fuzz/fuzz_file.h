// Shared by the fuzz targets: the input bytes as a file on disk (the
// readers take paths), and an end_program hook that turns the program's
// fatal exits into an exception the target catches.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/end_program.h"

struct ProgramEnded {
  int status;
};

inline void throw_program_ended(int status) { throw ProgramEnded{status}; }

// One file per process, rewritten for every input.
inline const std::string& write_fuzz_input(const std::uint8_t* data, std::size_t size,
                                           const char* suffix) {
  static const std::string path =
      "/tmp/relumo-fuzz-" + std::to_string(getpid()) + suffix;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file != nullptr) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  return path;
}
