#include "analysis/light_position_writer.h"

#include <cstdio>

#include "common/output_file.h"

namespace {

bool is_one_word(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') return false;
  }
  return true;
}

}  // namespace

bool write_light_position_file(const char* path, const std::vector<LightPosition>& entries) {
  for (const LightPosition& entry : entries) {
    if (!is_one_word(entry.name)) {
      std::printf(
          "Light position file %s cannot hold the photograph name \"%s\": it must be one word, "
          "without blanks\n",
          path, entry.name.c_str());
      return false;
    }
  }
  OutputFile file;
  if (!file.open(path)) {
    report_write_failure("light position file", path, file.error());
    return false;
  }
  std::fprintf(file.get(), "%zu\n", entries.size());
  for (const LightPosition& entry : entries) {
    std::fprintf(file.get(), "%s %.7f %.7f %.7f\n", entry.name.c_str(), entry.x, entry.y, entry.z);
  }
  if (!file.commit()) {
    report_write_failure("light position file", path, file.error());
    return false;
  }
  return true;
}
