// The palettizer's k-means written out plainly from its rules, for tests to
// compare the program's clustering with: the rand() sequence, the initial
// table, ten iterations of assignment (every entry, squares summed in
// double, first strictly smaller wins) and update (truncated means, empty
// entries re-seeded from a random pixel), and the printed statistics.
// Nothing here calls the program's own code.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ReferenceRand {
  std::uint32_t state = 1;
  int rand() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 32767u);
  }
  // The result times 1/32767 as a float, in single precision.
  float fraction() {
    const float reciprocal = 1.0f / 32767.0f;
    return static_cast<float>(rand()) * reciprocal;
  }
};

struct ReferencePalette {
  std::vector<int> table;    // 256 x D
  std::vector<int> indices;  // one per pixel
  std::string printed;       // everything the clustering prints
};

// `features`: n vectors of D (6 or 9) values, pixel-major.
inline ReferencePalette reference_palettize(const std::vector<int>& features, int D,
                                            ReferenceRand& random) {
  const int n = static_cast<int>(features.size()) / D;
  ReferencePalette out;
  auto print = [&out](const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    out.printed += text;
  };
  out.table.resize(256 * D);
  for (int k = 0; k < 256; ++k) {
    for (int j = 0; j < D; ++j) out.table[k * D + j] = static_cast<int>(random.fraction() * 255);
  }
  out.printed += D == 6 ? "Palletizing ptm via k-means clustering (slow).  Error statistics:"
                        : "Palletizing ptm + color via k-means clustering (slow). Error statistics:";
  const double sentinel = D == 6 ? 100663297.0 : 150994945.0;
  out.indices.assign(n, 0);
  for (int iteration = 0; iteration < 10; ++iteration) {
    double max[9] = {}, sum[9] = {};
    for (int i = 0; i < n; ++i) {
      if (i % 50000 == 0) out.printed += ".";
      const int* f = &features[i * D];
      double nearest = sentinel;
      int index = 0;
      for (int k = 0; k < 256; ++k) {
        double d = 0;
        for (int j = 0; j < D; ++j) d += (f[j] - out.table[k * D + j]) * (f[j] - out.table[k * D + j]);
        if (d < nearest) {
          nearest = d;
          index = k;
        }
      }
      out.indices[i] = index;
      for (int j = 0; j < D; ++j) {
        const double e = (out.table[index * D + j] - f[j]) * (out.table[index * D + j] - f[j]);
        sum[j] += e;
        if (e > max[j]) max[j] = e;
      }
    }
    double avg[9];
    for (int j = 0; j < D; ++j) {
      avg[j] = std::sqrt(sum[j] / n);
      max[j] = std::sqrt(max[j]);
    }
    if (D == 6) {
      print("\nMax: %1.0f %1.0f %1.0f %1.0f %1.0f %1.0f   ", max[0], max[1], max[2], max[3], max[4],
            max[5]);
      print("Avg: %1.2f %1.2f %1.2f %1.2f %1.2f %1.2f", avg[0], avg[1], avg[2], avg[3], avg[4],
            avg[5]);
    } else {
      print("\nMax: %1.0f %1.0f %1.0f %1.0f %1.0f %1.0f %1.0f %1.0f %1.0f  ", max[0], max[1],
            max[2], max[3], max[4], max[5], max[6], max[7], max[8]);
      print("Avg: %1.1f %1.1f %1.1f %1.1f %1.1f %1.1f %1.1f %1.1f %1.1f", avg[0], avg[1], avg[2],
            avg[3], avg[4], avg[5], avg[6], avg[7], avg[8]);
    }
    std::vector<int> count(256, 0);
    std::vector<double> s(256 * D, 0.0);
    for (int i = 0; i < n; ++i) {
      count[out.indices[i]] += 1;
      for (int j = 0; j < D; ++j) s[out.indices[i] * D + j] += features[i * D + j];
    }
    for (int k = 0; k < 256; ++k) {
      if (count[k] > 0) {
        for (int j = 0; j < D; ++j) out.table[k * D + j] = static_cast<int>(s[k * D + j] / count[k]);
      } else {
        const int p = static_cast<int>(random.fraction() * (n - 1));
        for (int j = 0; j < D; ++j) out.table[k * D + j] = features[p * D + j];
      }
    }
  }
  out.printed += "\n";
  return out;
}
