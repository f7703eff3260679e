// Standard output sent elsewhere for a while (benchmarks silence the
// messages of the code they time), and restored when the object goes away.
#pragma once

#include <unistd.h>

#include <cstdio>

struct RedirectedStdout {
  explicit RedirectedStdout(std::FILE* target) : saved(dup(1)) {
    std::fflush(stdout);
    dup2(fileno(target), 1);
  }
  ~RedirectedStdout() {
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
  }
  RedirectedStdout(const RedirectedStdout&) = delete;
  RedirectedStdout& operator=(const RedirectedStdout&) = delete;

  int saved;
};
