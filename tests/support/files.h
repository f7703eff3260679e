// Scratch files for tests: writing and reading whole files, and temporary
// directories.
#pragma once

#include <set>
#include <string>
#include <string_view>

// Writes `bytes` to `path`, replacing the file; throws when it cannot.
void write_file_bytes(const std::string& path, std::string_view bytes);

// The whole content of `path`, or an empty string when it cannot be read.
std::string read_file_bytes(const std::string& path);

// The names of the entries of `directory` (not "." and ".."); empty when
// it cannot be read.
std::set<std::string> file_names_in(const std::string& directory);

// A fresh empty directory under the system's temporary directory; the
// caller removes it.
std::string make_temp_directory(const std::string& label);

// A fresh directory removed with everything in it when the object goes away.
struct ScratchDirectory {
  explicit ScratchDirectory(const std::string& label);
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // `name` inside the directory.
  std::string file(const std::string& name) const;

  std::string path;
};
