// Standard input replaced by a pipe holding `text` (then its end), for
// tests of code that reads the console; restored when the object goes away.
#pragma once

#include <unistd.h>

#include <string>

struct ConsoleInput {
  explicit ConsoleInput(const std::string& text) : saved(dup(0)) {
    int ends[2];
    if (pipe(ends) != 0) return;
    // Small texts fit the pipe's buffer, so the whole text is written at once.
    if (write(ends[1], text.data(), text.size()) < 0) {
    }
    close(ends[1]);
    dup2(ends[0], 0);
    close(ends[0]);
  }
  ~ConsoleInput() {
    dup2(saved, 0);
    close(saved);
  }
  ConsoleInput(const ConsoleInput&) = delete;
  ConsoleInput& operator=(const ConsoleInput&) = delete;

  int saved;
};
