#include "support/window_pixels.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

#include "support/run_program.h"

namespace {

// Skips blanks and comment lines of a PPM header from `at`; then reads a
// decimal number, or returns -1.
int read_header_number(std::string_view bytes, std::size_t& at) {
  for (;;) {
    while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at]))) ++at;
    if (at < bytes.size() && bytes[at] == '#') {
      while (at < bytes.size() && bytes[at] != '\n') ++at;
      continue;
    }
    break;
  }
  if (at >= bytes.size() || !std::isdigit(static_cast<unsigned char>(bytes[at]))) return -1;
  long value = 0;
  while (at < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[at]))) {
    value = value * 10 + (bytes[at] - '0');
    if (value > 1000000) return -1;
    ++at;
  }
  return static_cast<int>(value);
}

}  // namespace

Rgb WindowPixels::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
  const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

WindowPixels WindowPixels::crop(int x, int y, int w, int h) const {
  WindowPixels part;
  if (x < 0 || y < 0 || w <= 0 || h <= 0 || x + w > width || y + h > height) return part;
  part.width = w;
  part.height = h;
  part.rgb.reserve(static_cast<std::size_t>(w) * h * 3);
  for (int row = y; row < y + h; ++row) {
    const auto begin = rgb.begin() + (static_cast<std::ptrdiff_t>(row) * width + x) * 3;
    part.rgb.insert(part.rgb.end(), begin, begin + static_cast<std::ptrdiff_t>(w) * 3);
  }
  return part;
}

WindowPixels parse_ppm(std::string_view bytes) {
  if (bytes.size() < 2 || bytes.substr(0, 2) != "P6") return {};
  std::size_t at = 2;
  const int width = read_header_number(bytes, at);
  const int height = read_header_number(bytes, at);
  const int maximum = read_header_number(bytes, at);
  if (width <= 0 || height <= 0 || maximum != 255) return {};
  ++at;  // the single blank after the maximum value
  const std::size_t size = static_cast<std::size_t>(width) * height * 3;
  if (bytes.size() < at + size) return {};
  WindowPixels pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
  return pixels;
}

WindowPixels capture_window(const std::string& window) {
  return parse_ppm(command_output("timeout 10 xwd -silent -id " + window +
                                  " 2>/dev/null | timeout 10 xwdtopnm 2>/dev/null"
                                  " | timeout 10 pamdepth 255 2>/dev/null"));
}

WindowPixels wait_for_pixels(const std::string& window,
                             const std::function<bool(const WindowPixels&)>& ready,
                             int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    WindowPixels pixels = capture_window(window);
    if ((!pixels.empty() && ready(pixels)) || std::chrono::steady_clock::now() > deadline) {
      return pixels;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

WindowPixels wait_for_still_window(const std::string& window, int interval_ms, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  WindowPixels last = capture_window(window);
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
    WindowPixels now = capture_window(window);
    if ((!now.empty() && now == last) || std::chrono::steady_clock::now() > deadline) return now;
    last = std::move(now);
  }
}

WindowGeometry window_geometry(const std::string& window) {
  // --shell prints lines such as "WIDTH=286".
  std::istringstream lines(
      command_output("timeout 10 xdotool getwindowgeometry --shell " + window + " 2>/dev/null"));
  WindowGeometry geometry;
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    int value = 0;
    try {
      value = std::stoi(line.substr(equals + 1));
    } catch (...) {
      continue;
    }
    if (key == "X") geometry.x = value;
    if (key == "Y") geometry.y = value;
    if (key == "WIDTH") geometry.width = value;
    if (key == "HEIGHT") geometry.height = value;
  }
  return geometry;
}
