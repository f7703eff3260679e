#include "common/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#define RELUMO_X86 1
#else
#define RELUMO_X86 0
#endif

bool cpu_has_mmx() {
#if RELUMO_X86
  static const bool available = __builtin_cpu_supports("mmx");
  return available;
#else
  return false;
#endif
}

bool cpu_has_avx2() {
#if RELUMO_X86
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
#else
  return false;
#endif
}

bool cpu_has_avx512bw() {
#if RELUMO_X86
  static const bool available =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  return available;
#else
  return false;
#endif
}

bool cpu_has_avx512_vbmi_vnni() {
#if RELUMO_X86
  static const bool available = cpu_has_avx512bw() && __builtin_cpu_supports("avx512vbmi") &&
                                __builtin_cpu_supports("avx512vnni");
  return available;
#else
  return false;
#endif
}
