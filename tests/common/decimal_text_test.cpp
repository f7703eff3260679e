// The six-decimal text must be printf's "%f", byte for byte: over the
// numbers a mesh file holds, the ties that round to even, the edges of
// every rounding step, and numbers of every size.
#include "common/decimal_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::string printf_text(double value) {
  char text[400];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

std::string our_text(double value) {
  char text[six_decimals_max_length + 1];
  char* end = append_six_decimals(text, value);
  return std::string(text, static_cast<std::size_t>(end - text));
}

TEST(DecimalText, SixDecimalsAreThoseOfPrintf) {
  std::vector<double> values = {0.0,
                                -0.0,
                                1.27,
                                0.27 - 1.0 + 1.0,
                                2.0,
                                1e-7,
                                -1e-7,
                                4.9999999e-7,
                                5e-7,
                                5.0000001e-7,
                                0.0000015,
                                0.0000025,
                                999999999.9999995,
                                999999999.9999994,
                                1e9 - 1e-6,
                                1e9,
                                -1e9,
                                1e15,
                                123456789012345678.0,
                                DBL_MAX,
                                -DBL_MAX,
                                DBL_MIN,
                                std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  // Ties: j / 128 with j odd is exactly halfway between two six-decimal
  // numbers (0.0078125), and rounds to the even one.
  for (int j = -2000; j <= 2000; ++j) values.push_back(j / 128.0);
  for (int j = 1; j < 200; j += 2) values.push_back(j / 128.0 + 1e6 + 0.5);
  // Mesh coordinates: 2x / (W - 1), x / (W - 1) and 1.27 - d.
  for (int w = 2; w < 300; ++w) {
    for (int x = 0; x < w; x += 4) {
      values.push_back(2.0 * x / (w - 1));
      values.push_back(static_cast<double>(x) / (w - 1));
    }
  }
  std::mt19937_64 random(11);
  std::uniform_real_distribution<float> depth(-3.0f, 3.0f);
  for (int i = 0; i < 100000; ++i)
    values.push_back(0.27 - static_cast<double>(depth(random)) + 1.0);
  // Either side of each rounding edge (k + 1/2) / 10^6.
  std::uniform_int_distribution<std::int64_t> step(0, 999999999999999);
  for (int i = 0; i < 50000; ++i) {
    const double edge =
        (static_cast<double>(step(random) % (i % 2 ? 3000000 : 999999999999)) + 0.5) / 1e6;
    values.push_back(edge);
    values.push_back(std::nextafter(edge, 0.0));
    values.push_back(std::nextafter(edge, 1e300));
  }
  // Any bit pattern with an exponent from 2^-40 to 2^40, either sign.
  std::uniform_int_distribution<std::uint64_t> bits;
  for (int i = 0; i < 200000; ++i) {
    const std::uint64_t mantissa = bits(random) & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t exponent = 1023 - 40 + bits(random) % 81;
    const std::uint64_t sign = bits(random) & 1;
    const std::uint64_t pattern = sign << 63 | exponent << 52 | mantissa;
    double value;
    std::memcpy(&value, &pattern, sizeof value);
    values.push_back(value);
  }
  int different = 0;
  for (double value : values) {
    if (our_text(value) != printf_text(value) && ++different <= 10) {
      ADD_FAILURE() << std::setprecision(17) << value << ": " << our_text(value)
                    << ", printf gives " << printf_text(value);
    }
  }
  EXPECT_EQ(different, 0) << "of " << values.size();
}

TEST(DecimalText, UnsignedNumbersAreThoseOfPrintf) {
  for (std::uint32_t value : {0u, 1u, 9u, 10u, 99u, 100u, 1048575u, 4294967295u}) {
    char text[11];
    char* end = append_unsigned(text, value);
    EXPECT_EQ(std::string(text, static_cast<std::size_t>(end - text)), std::to_string(value));
  }
}

}  // namespace
