#include "analysis/value_range.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

ValueRange finite_range(const float* values, std::size_t count) {
  ValueRange span{std::numeric_limits<double>::infinity(),
                  -std::numeric_limits<double>::infinity()};
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) continue;
    span.lowest = std::fmin(span.lowest, values[i]);
    span.highest = std::fmax(span.highest, values[i]);
  }
  return span;
}

ValueRange central_range(const float* values, std::size_t count, double outside) {
  if (!(outside > 0)) return finite_range(values, count);
  std::vector<float> finite;
  finite.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (std::isfinite(values[i])) finite.push_back(values[i]);
  }
  if (finite.empty()) return finite_range(values, 0);
  const std::size_t last = finite.size() - 1;
  const auto low_rank = static_cast<std::size_t>(std::floor(outside * static_cast<double>(last)));
  const std::size_t high_rank = last - low_rank;
  std::nth_element(finite.begin(), finite.begin() + static_cast<std::ptrdiff_t>(low_rank),
                   finite.end());
  const double lowest = finite[low_rank];
  std::nth_element(finite.begin(), finite.begin() + static_cast<std::ptrdiff_t>(high_rank),
                   finite.end());
  return {lowest, finite[high_rank]};
}
