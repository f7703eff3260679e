// What the processor offers, asked once per feature and cached, for the
// loops that have vectorised versions.
#pragma once

bool cpu_has_mmx();
bool cpu_has_avx2();
bool cpu_has_avx512bw();
