// Small PPM files and scratch files for the image-file tests and the PPM
// fuzz corpus. The bytes are written out literally, never by the code
// under test.
#pragma once

#include <string>
#include <string_view>

// Writes a few small valid PPM files (binary P6 and ASCII P3, with comment
// lines) into `directory`, which must exist.
void write_ppm_seed_corpus(const std::string& directory);

// Writes `bytes` to `path`, replacing the file.
void write_file_bytes(const std::string& path, std::string_view bytes);

// The whole content of `path`, or an empty string when it cannot be read.
std::string read_file_bytes(const std::string& path);

// A fresh directory under the system temporary directory, removed with
// everything in it when the object goes away.
struct ScratchDirectory {
  explicit ScratchDirectory(const std::string& label);
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // `name` inside the directory.
  std::string file(const std::string& name) const;

  std::string path;
};
