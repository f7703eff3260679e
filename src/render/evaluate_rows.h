// Evaluation of whole runs of a row at once. Every kernel gives, byte for
// byte, what the per-pixel evaluator of the same format and representation
// gives with the same light weights; the vectorised ones only do it faster.
#pragma once

#include <cstdint>

#include "ptm/ptm.h"
#include "render/evaluate.h"

// Pixels x0 .. x0 + count - 1 of row y into `out`, three bytes (R, G, B)
// each.
using EvaluateRowFn = void (*)(const Ptm& ptm, const LightWeights& weights, int x0, int y,
                               int count, std::uint8_t* out);

enum class RowIsa { scalar, sse2, avx2, avx512 };

// Pixels x .. end - 1 of row y through the per-pixel evaluator: the
// leftovers of a vectorised row.
void evaluate_rest_of_row(const Ptm& ptm, const LightWeights& weights, int x, int end, int y,
                          std::uint8_t* out);

// The fastest kernel this processor has for the map.
EvaluateRowFn select_row_evaluator(const Ptm& ptm);

// The kernel of one instruction set for the map, or null when that set has
// none for its format and representation, or the processor lacks it.
EvaluateRowFn row_evaluator(const Ptm& ptm, RowIsa isa);

// The kernels behind them, one group per instruction set. Each returns null
// for a format and representation it does not cover.
EvaluateRowFn sse2_row_evaluator(const Ptm& ptm);
EvaluateRowFn avx2_row_evaluator(const Ptm& ptm);
EvaluateRowFn avx512_row_evaluator(const Ptm& ptm);
