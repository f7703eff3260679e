#include "common/coef_representation.h"

#include "common/cpu_features.h"

bool mmx_available() { return cpu_has_mmx(); }

CoefRepresentation preferred_representation() {
  return mmx_available() ? CoefRepresentation::packed : CoefRepresentation::wide;
}
