// How much more memory this process can take, so that work whose size is
// known in advance can be refused before it starts rather than fail part
// way.
#pragma once

#include <cstdint>

// The smaller of what the machine has available (MemAvailable of
// /proc/meminfo: free memory and the caches the kernel can give back; the
// free pages sysconf reports where that line is missing) and what an
// address-space limit (ulimit -v) leaves beside what the process already
// maps.
std::uint64_t available_memory_bytes();
