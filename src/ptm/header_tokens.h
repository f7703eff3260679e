// Whitespace-separated tokens of a PTM text header, read with a bounded
// buffer. The header is read in binary mode: the character that ends a
// token is reported, so that callers can insist on a line feed where the
// binary data follows.
#pragma once

#include <cstdint>
#include <cstdio>

// Long enough for every keyword and number of a header; a longer token is
// refused rather than cut.
constexpr int max_header_token = 255;

enum class TokenStatus { ok, end_of_file, too_long };

struct HeaderToken {
  char text[max_header_token + 1];
  int terminator;  // the whitespace character consumed after the token, or EOF
};

// Skips whitespace (space, tab, line feed, carriage return, vertical tab,
// form feed), then reads characters up to the next whitespace and consumes
// that one character.
TokenStatus read_header_token(std::FILE* file, HeaderToken& token);

// Whole-token conversions; false when the token is not entirely a number of
// that kind or does not fit.
bool parse_decimal_int(const char* text, std::int32_t& value);
// C integer-literal form: decimal, 0x hexadecimal, leading-0 octal.
bool parse_c_int(const char* text, std::int32_t& value);
bool parse_float(const char* text, float& value);

// After the last number of a line: the line must end here, with at most one
// space before its line feed. Consumes through the line feed.
bool line_ends_after(std::FILE* file, const HeaderToken& last);
