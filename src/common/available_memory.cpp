#include "common/available_memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "common/file_handle.h"

namespace {

std::uint64_t page_bytes() { return static_cast<std::uint64_t>(sysconf(_SC_PAGE_SIZE)); }

// MemAvailable in bytes; 0 where /proc/meminfo has no such line.
std::uint64_t meminfo_available() {
  FileHandle file(std::fopen("/proc/meminfo", "r"));
  if (!file) return 0;
  char line[256];
  while (std::fgets(line, sizeof line, file.get()) != nullptr) {
    unsigned long long kilobytes = 0;
    if (std::sscanf(line, "MemAvailable: %llu kB", &kilobytes) == 1) return kilobytes * 1024;
  }
  return 0;
}

// The process's mapped address space (the first number of
// /proc/self/statm, in pages); 0 where it cannot be read.
std::uint64_t mapped_bytes() {
  FileHandle file(std::fopen("/proc/self/statm", "r"));
  unsigned long long pages = 0;
  if (!file || std::fscanf(file.get(), "%llu", &pages) != 1) return 0;
  return pages * page_bytes();
}

}  // namespace

std::uint64_t available_memory_bytes() {
  std::uint64_t available = meminfo_available();
  if (available == 0) {
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    available = pages > 0 ? static_cast<std::uint64_t>(pages) * page_bytes() : 0;
  }
  struct rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    const std::uint64_t mapped = mapped_bytes();
    const std::uint64_t cap = limit.rlim_cur > mapped ? limit.rlim_cur - mapped : 0;
    available = std::min(available, cap);
  }
  return available;
}
