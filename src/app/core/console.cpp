#include "app/core/console.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

void read_one_byte() {
  char byte = 0;
  while (read(STDIN_FILENO, &byte, 1) < 0 && errno == EINTR) {
  }
}

}  // namespace

void wait_for_key_press() {
  std::fflush(stdout);
  termios saved{};
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) {
    read_one_byte();
    return;
  }
  // Non-canonical mode hands over each key as it is typed.
  termios raw = saved;
  raw.c_lflag &= ~(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  read_one_byte();
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}
