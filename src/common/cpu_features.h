// What the processor offers, asked once per feature and cached, for the
// loops that have vectorised versions.
#pragma once

bool cpu_has_mmx();
bool cpu_has_avx2();
bool cpu_has_avx512bw();
// AVX-512 with byte permutes across the register (VBMI) and the byte and
// word dot-product accumulations (VNNI).
bool cpu_has_avx512_vbmi_vnni();
