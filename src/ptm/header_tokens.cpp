#include "ptm/header_tokens.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

bool is_header_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool parse_integer(const char* text, int base, std::int32_t& value) {
  if (*text == '\0' || is_header_space(static_cast<unsigned char>(*text))) return false;
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text, &end, base);
  if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  value = static_cast<std::int32_t>(parsed);
  return true;
}

}  // namespace

TokenStatus read_header_token(std::FILE* file, HeaderToken& token) {
  int c = std::getc(file);
  while (c != EOF && is_header_space(c)) c = std::getc(file);
  int length = 0;
  while (c != EOF && !is_header_space(c)) {
    if (length == max_header_token) {
      token.text[length] = '\0';
      return TokenStatus::too_long;
    }
    token.text[length++] = static_cast<char>(c);
    c = std::getc(file);
  }
  token.text[length] = '\0';
  token.terminator = c;
  return length == 0 ? TokenStatus::end_of_file : TokenStatus::ok;
}

bool parse_decimal_int(const char* text, std::int32_t& value) {
  return parse_integer(text, 10, value);
}

bool parse_c_int(const char* text, std::int32_t& value) { return parse_integer(text, 0, value); }

bool parse_float(const char* text, float& value) {
  if (*text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const float parsed = std::strtof(text, &end);
  if (*end != '\0' || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool line_ends_after(std::FILE* file, const HeaderToken& last) {
  if (last.terminator == '\n') return true;
  return last.terminator == ' ' && std::getc(file) == '\n';
}
