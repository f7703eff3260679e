#include "common/checked_alloc.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>

#include "common/end_program.h"

namespace {

// 64 bytes: one cache line and one AVX-512 register.
constexpr std::size_t vector_alignment = 64;

// Large buffers (coefficient arrays of a big map) are aligned to the huge
// page size and offered to the kernel as huge-page candidates: touching
// 300 MB of fresh 4 KiB pages costs more than converting the data that
// goes into them.
constexpr std::size_t huge_page_size = std::size_t{2} << 20;

std::uint64_t total_allocated = 0;

}  // namespace

void* checked_alloc(std::size_t size) {
  const std::size_t alignment = size >= huge_page_size ? huge_page_size : vector_alignment;
  void* p = nullptr;
  if (size <= SIZE_MAX - alignment) {
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    p = std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded);
    if (p != nullptr && alignment == huge_page_size) madvise(p, rounded, MADV_HUGEPAGE);
  }
  if (p == nullptr) {
    std::fprintf(stderr, "Memory Allocation error. size: %zu\n", size);
    std::fprintf(stderr, "%llu bytes already allocated.\n",
                 static_cast<unsigned long long>(total_allocated));
    end_program(-1);
  }
  total_allocated += size;
  return p;
}

void checked_free(void* p) { std::free(p); }

std::uint64_t bytes_allocated() { return total_allocated; }
