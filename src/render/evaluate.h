// Per-pixel evaluation of a map for one light direction, in fixed point.
//
// The light direction is its projection (u, v) on the image plane, u to the
// right, v upward. light_weights_for turns it into six 10-bit fixed-point
// weights, and an evaluator turns a pixel's coefficients and those weights
// into 8-bit red, green and blue.
#pragma once

#include <cstdint>

#include "ptm/ptm.h"

// The weights of one light direction: W0 (u^2), W1 (v^2), W2 (u v), W3 (u),
// W4 (v), W5 (constant, always 1023), adjacent and in this order: the packed
// kernels read W0..W3 as one group of four and W4, W5 as a pair.
struct LightWeights {
  std::int16_t w[6];
};

LightWeights light_weights_for(float u, float v);

using EvaluatePtmFn = void (*)(const Ptm& ptm, const LightWeights& weights, int x, int y,
                               std::uint8_t& r, std::uint8_t& g, std::uint8_t& b);

// The evaluator of the map's format and representation, for the caller to
// keep while it evaluates the map. A format other than RGB, LUM or LRGB
// prints "evaluate ptm error: unsupported ptm format " and ends the program
// with status -1.
[[nodiscard]] EvaluatePtmFn select_evaluator(const Ptm& ptm);

// Packed RGB: per channel sum of six 16-bit products, >> 10, clamped.
void evaluate_rgb_packed(const Ptm& ptm, const LightWeights& weights, int x, int y, std::uint8_t& r,
                         std::uint8_t& g, std::uint8_t& b);
// Packed LRGB: luminance with one extra bit (>> 9) scales the record's colour.
void evaluate_lrgb_packed(const Ptm& ptm, const LightWeights& weights, int x, int y,
                          std::uint8_t& r, std::uint8_t& g, std::uint8_t& b);
// Wide representation of RGB, LUM and LRGB.
void evaluate_ptm(const Ptm& ptm, const LightWeights& weights, int x, int y, std::uint8_t& r,
                  std::uint8_t& g, std::uint8_t& b);
