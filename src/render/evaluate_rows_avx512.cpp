#include "render/evaluate_rows.h"

EvaluateRowFn avx512_row_evaluator(const Ptm&) { return nullptr; }
