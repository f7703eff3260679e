// The range of a field of values (heights, curvature) that a picture of
// it spans; NaN and infinite values (no value: outside the object) are
// left out.
#pragma once

#include <cstddef>

struct ValueRange {
  double lowest;
  double highest;
};

// The smallest and largest finite value; infinite bounds (lowest above
// highest) when there is none.
ValueRange finite_range(const float* values, std::size_t count);

// The range without the `outside` fraction of the finite values at each
// end (0.005: from the 0.5th to the 99.5th percentile), so that a few
// stray pixels (a speck of dust, a saturated highlight's bad normal) do
// not squeeze everything else into a few colours. The whole finite range
// for a fraction of 0; infinite bounds when there is no finite value.
ValueRange central_range(const float* values, std::size_t count, double outside);

// The fraction central_range leaves out at each end for the colour
// pictures of heights and curvature.
inline constexpr double colour_range_outside = 0.005;
