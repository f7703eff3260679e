#include "common/decimal_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Below this, value * 10^6 < 2^53: its integer part and the rounding
// fraction are exact in double.
constexpr double fast_limit = 1e9;

// Six digits of `fraction` (0..999999) with leading zeros.
char* append_six_digits(char* out, std::uint32_t fraction) {
  for (int i = 5; i >= 0; --i) {
    out[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  return out + 6;
}

}  // namespace

char* append_unsigned(char* out, std::uint32_t value) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

char* append_six_decimals(char* out, double value) {
  const double magnitude = std::fabs(value);
  if (!(magnitude < fast_limit)) {
    // Large numbers, infinities and NaN are rare here; printf has them.
    char text[six_decimals_max_length + 1];
    const int length = std::snprintf(text, sizeof text, "%f", value);
    std::memcpy(out, text, static_cast<std::size_t>(length));
    return out + length;
  }
  if (std::signbit(value)) *out++ = '-';
  // magnitude * 10^6 = scaled + error exactly (the product's rounding
  // error is itself a double, which the fused multiply-add yields).
  const double scaled = magnitude * 1e6;
  const double error = std::fma(magnitude, 1e6, -scaled);
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;  // exact: scaled < 2^53
  auto units = static_cast<std::uint64_t>(whole);
  // Round the exact value whole + fraction + error to the nearest integer,
  // a tie to the even one. |error| <= 1/16 (half an ulp of scaled), so only
  // a fraction near 1/2 needs care; there fraction - 0.5 is exact
  // (Sterbenz), and comparing it with -error is comparing exact values.
  if (fraction >= 0.25) {
    const double above_half = fraction - 0.5;
    if (above_half > -error || (above_half == -error && (units & 1) != 0)) ++units;
  }
  out = append_unsigned(out, static_cast<std::uint32_t>(units / 1000000));
  *out++ = '.';
  return append_six_digits(out, static_cast<std::uint32_t>(units % 1000000));
}
