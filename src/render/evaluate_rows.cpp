#include "render/evaluate_rows.h"

#include <initializer_list>

#include "common/cpu_features.h"
#include "render/evaluate.h"

void evaluate_rest_of_row(const Ptm& ptm, const LightWeights& weights, int x, int end, int y,
                          std::uint8_t* out) {
  if (x >= end) return;
  const EvaluatePtmFn evaluate = select_evaluator(ptm);
  for (; x < end; ++x, out += 3) evaluate(ptm, weights, x, y, out[0], out[1], out[2]);
}

namespace {

// The reference: the per-pixel evaluator of the map's format and
// representation.
void evaluate_row_scalar(const Ptm& ptm, const LightWeights& weights, int x0, int y, int count,
                         std::uint8_t* out) {
  evaluate_rest_of_row(ptm, weights, x0, x0 + count, y, out);
}

}  // namespace

EvaluateRowFn row_evaluator(const Ptm& ptm, RowIsa isa) {
  switch (isa) {
    case RowIsa::scalar:
      return evaluate_row_scalar;
#if defined(__x86_64__)
    case RowIsa::sse2:
      return sse2_row_evaluator(ptm);
    case RowIsa::avx2:
      return cpu_has_avx2() ? avx2_row_evaluator(ptm) : nullptr;
    case RowIsa::avx512:
      return cpu_has_avx512bw() ? avx512_row_evaluator(ptm) : nullptr;
#endif
    default:
      return nullptr;
  }
}

EvaluateRowFn select_row_evaluator(const Ptm& ptm) {
  for (RowIsa isa : {RowIsa::avx512, RowIsa::avx2, RowIsa::sse2}) {
    if (EvaluateRowFn kernel = row_evaluator(ptm, isa)) return kernel;
  }
  return evaluate_row_scalar;
}
