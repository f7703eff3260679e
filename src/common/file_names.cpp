#include "common/file_names.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

std::size_t file_name_start(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? 0 : separator + 1;
}

std::string cut_at_last_dot(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < file_name_start(path)) return path;
  return path.substr(0, dot);
}

std::string cut_at_first_dot(const std::string& path) {
  const std::size_t dot = path.find('.', file_name_start(path));
  return dot == std::string::npos ? path : path.substr(0, dot);
}

bool is_inside_folder(const char* path, const char* folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return false;
  const std::filesystem::path inner = std::filesystem::weakly_canonical(path, error);
  if (error) return false;
  const std::filesystem::path outer = std::filesystem::canonical(folder, error);
  if (error) return false;
  // Component by component, so that "/maps/site2/x" is not inside "/maps/site".
  auto [rest, _] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
  return rest == outer.end();
}

bool is_same_file(const char* a, const char* b) {
  struct stat sa{};
  struct stat sb{};
  if (stat(a, &sa) == 0 && stat(b, &sb) == 0) {
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
  return std::strcmp(a, b) == 0;
}
