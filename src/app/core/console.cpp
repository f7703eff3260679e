#include "app/core/console.h"

#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

namespace {

// One byte of standard input; false at its end or on an error.
bool read_one_byte(char& byte) {
  for (;;) {
    const ssize_t n = read(STDIN_FILENO, &byte, 1);
    if (n == 1) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

void wait_for_key_press() {
  std::fflush(stdout);
  char byte = 0;
  termios saved{};
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) {
    read_one_byte(byte);
    return;
  }
  // Non-canonical mode hands over each key as it is typed.
  termios raw = saved;
  raw.c_lflag &= ~(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  read_one_byte(byte);
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

ConsoleWord read_console_word(std::string& word, std::size_t max_length) {
  std::fflush(stdout);
  word.clear();
  char byte = 0;
  do {
    if (!read_one_byte(byte)) return ConsoleWord::end_of_input;
  } while (is_space(byte));
  bool too_long = false;
  do {
    if (word.size() < max_length) {
      word.push_back(byte);
    } else {
      too_long = true;
    }
  } while (read_one_byte(byte) && !is_space(byte));
  if (too_long) {
    word.clear();
    return ConsoleWord::too_long;
  }
  return ConsoleWord::read;
}

bool read_output_name(std::string& word, std::size_t max_length) {
  switch (read_console_word(word, max_length)) {
    case ConsoleWord::read:
      return true;
    case ConsoleWord::too_long:
      std::printf("Output name longer than %zu characters: nothing written\n", max_length);
      return false;
    case ConsoleWord::end_of_input:
      std::printf("No output name: the console input has ended; nothing written\n");
      return false;
  }
  return false;
}

std::string output_path(const std::string& base_dir, const std::string& word) {
  if (!word.empty() && word[0] == '/') return word;
  return base_dir + word;
}
