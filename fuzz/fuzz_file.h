// Shared by the fuzz targets: the readers take paths, so each input is
// written to a file of this process's own, read, and removed again (or
// held in a file in memory); and the program's fatal exits (end_program)
// become an exception the target catches, so every refusal path runs
// in-process under the sanitizers.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/end_program.h"
#include "ptm/compressed_header.h"
#include "ptm/reader.h"

struct ProgramEnded {
  int status;
};

[[noreturn]] inline void throw_program_ended(int status) { throw ProgramEnded{status}; }

// Calls read(path) on a file holding the input. The file name ends with
// `suffix`, which lets a target steer how the reader derives companion
// file names.
template <typename Read>
void read_fuzz_input(const std::uint8_t* data, std::size_t size, const char* suffix, Read read) {
  set_end_program_hook(throw_program_ended);
  const std::string path = "/tmp/relumo-fuzz-" + std::to_string(getpid()) + suffix;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  const bool written = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) std::abort();
  try {
    read(path.c_str());
  } catch (const ProgramEnded&) {
  }
  std::remove(path.c_str());
}

// The input as a file in memory (memfd), made once per process and
// refilled for every input: the readers open it by its /proc/self/fd
// path, which touches no disk, where a file written and removed per input
// costs a directory update each time.
inline const char* memory_file_holding(const std::uint8_t* data, std::size_t size) {
  static const int fd = memfd_create("relumo-fuzz-input", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  if (pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  return path.c_str();
}

// A compressed map is decoded at its declared size whatever its streams
// hold (libjpeg completes a short stream), so a few bytes can ask for
// minutes of decoding. The targets keep to maps of at most a million
// pixels, which decode in milliseconds.
inline bool declares_large_compressed_map(const char* path) {
  CompressedPtmHeader header;
  if (read_compressed_header(path, header) != 0) return false;
  free_compressed_header(header);
  return std::int64_t{header.width} * header.height > (1 << 20);
}

// The PTM reader on one input in both coefficient representations.
inline void read_ptm_both_ways(const char* path) {
  if (declares_large_compressed_map(path)) return;
  free_ptm(read_ptm_file(path, CoefRepresentation::packed));
  free_ptm(read_ptm_file(path, CoefRepresentation::wide));
}
