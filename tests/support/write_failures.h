// Making writes fail part way, in-process: a file-size limit (RLIMIT_FSIZE)
// turns every write beyond `bytes` into EFBIG, as a full disk would, while
// opening and the first bytes still succeed. SIGXFSZ is ignored meanwhile so
// that the write reports the error instead of ending the process.
#pragma once

#include <sys/resource.h>

#include <csignal>

struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_limit);
    saved_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_limit;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_limit);
    std::signal(SIGXFSZ, saved_handler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  rlimit saved_limit{};
  void (*saved_handler)(int) = nullptr;
};
