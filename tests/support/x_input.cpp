#include "support/x_input.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "support/run_program.h"

std::string find_window(const std::string& name, int timeout_seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    std::string ids = command_output("timeout 5 xdotool search --onlyvisible --name '^" + name +
                                     "$' 2>/dev/null");
    if (!ids.empty()) return ids.substr(0, ids.find('\n'));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return "";
}

bool xdotool(const std::string& arguments) {
  return std::system(("timeout 10 xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

bool press_key(const std::string& window, int x, int y, const std::string& key) {
  return xdotool("mousemove --window " + window + " " + std::to_string(x) + " " +
                 std::to_string(y)) &&
         xdotool("key " + key);
}

bool window_viewable(const std::string& window) {
  return command_output("timeout 5 xwininfo -id " + window + " 2>/dev/null").find("IsViewable") !=
         std::string::npos;
}
