// Writing a product file so that a failure never leaves behind a file that
// looks complete, and so that replacing a file respects what the user set
// up on it.
//
// The data go to a temporary file beside the target ("<path>.partial-XXXXXX")
// and are renamed over the target only after every write, the flush and the
// close have succeeded. A write that fails part way (a full disk, a folder
// that vanished, a file-size limit) removes the temporary file, so the
// target is either the whole new file or whatever it was before.
//
// Replacing an existing file behaves as cp and careful editors do:
//   - a target this process may not write is refused, never replaced;
//   - the new file keeps the old one's permission bits and, where the
//     process may set them, its owner and group;
//   - a name that is a symbolic link writes the file the link points to
//     (the temporary file goes beside that file), so the link stays a link;
//   - a folder that cannot take the temporary file is refused: the target
//     is never rewritten in place, where a failure would leave it cut short.
//
// Targets that are not regular files (a terminal, /dev/null, a pipe) cannot
// be renamed over; they are written directly.
#pragma once

#include <cstdio>
#include <string>

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // An output that was opened and not committed is discarded.
  ~OutputFile();

  // Opens the temporary file for `path` in binary mode ("w" and "wb" write
  // the same bytes here). False, with error() set, when it cannot be made
  // or the target may not be replaced; the reason, naming the file or the
  // folder at fault, is then printed on standard error, and the caller
  // adds what it was writing.
  bool open(const char* path);

  std::FILE* get() const { return file_; }

  // Flushes and closes the file and moves it to its target. False, with
  // error() set and nothing left behind, when any write failed.
  bool commit();

  // The errno of the failure that ended open or commit.
  int error() const { return error_; }

 private:
  void discard();

  std::FILE* file_ = nullptr;
  std::string target_;
  std::string temporary_;  // empty when writing the target directly
  int error_ = 0;
};

// Removes the temporary file of every output still open (and every
// temporary OutputFolder with its content), for a program
// that is about to end without unwinding (a fatal error deep in a reader,
// an interrupt). The targets are left as they were. Safe to call from a
// signal handler.
void discard_partial_outputs();

// "Error writing <what> <path>: <reason>; no file was written\n" on
// standard error, for a commit that failed.
void report_write_failure(const char* what, const char* path, int error);
