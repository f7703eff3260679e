// Writing a product that is a folder of files (a web site) so that a
// failure never leaves a folder that looks complete, nor destroys the one
// it would replace.
//
// The files go into a temporary folder beside the target
// ("<path>.partial-XXXXXX"), which is renamed to the target only after
// every file is written. A target folder that exists and holds anything is
// refused, unless replacing was asked for: then it is swapped out and
// removed only once the new folder stands in its place.
#pragma once

#include <string>

class OutputFolder {
 public:
  OutputFolder() = default;
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;
  // A folder that was opened and not committed is removed with its content.
  ~OutputFolder();

  // Checks the target (its parent must be a folder; the target must not
  // exist, or be an empty folder, or any folder when `replace`) and makes
  // the temporary folder. False, with error() set, when it cannot.
  bool open(const char* path, bool replace);

  // The temporary folder to write into.
  const std::string& path() const { return temporary_; }

  // Moves the temporary folder to the target. False, with error() set and
  // the target as it was, when it cannot.
  bool commit();

  // Why open or commit failed, in words for a message ("the folder exists
  // and is not empty", "No such file or directory").
  const std::string& error() const { return error_; }

 private:
  void discard();

  std::string target_;
  std::string temporary_;
  bool replace_ = false;
  std::string error_;
};

// Removes every temporary folder still open, with everything in it, using
// only calls that are safe in a signal handler. Called by
// discard_partial_outputs.
void discard_partial_folders();
