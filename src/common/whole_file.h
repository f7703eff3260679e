// Reading a whole file into memory, for the readers that parse from a
// buffer (the light-position file) or hand a buffer to a library (JPEG
// photographs).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

enum class WholeFile { read, cannot_open, too_large, read_error };

// Reads all of `path` into `bytes` (binary, nothing translated). A file
// that holds more than `max_bytes` is refused as too_large once that many
// have been read, so a device or a pipe that never ends cannot exhaust
// memory. `bytes` is empty unless the result is read.
WholeFile read_whole_file(const char* path, std::size_t max_bytes, std::string& bytes);

// The rest of the open `file`, from where it stands, appended to `bytes`,
// under the same limit for the whole of `bytes`: a reader that looked at
// a file's start reads on without opening it again. `bytes` is as it was
// unless the result is read.
WholeFile read_rest_of_file(std::FILE* file, std::size_t max_bytes, std::string& bytes);
