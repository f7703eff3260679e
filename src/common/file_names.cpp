#include "common/file_names.h"

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
