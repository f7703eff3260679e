#include "common/checked_alloc.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "common/end_program.h"

namespace {

// 64 bytes: one cache line and one AVX-512 register.
constexpr std::size_t vector_alignment = 64;

// Large buffers (coefficient arrays of a big map) are aligned to the huge
// page size and offered to the kernel as huge-page candidates: touching
// 300 MB of fresh 4 KiB pages costs more than converting the data that
// goes into them.
constexpr std::size_t huge_page_size = std::size_t{2} << 20;

// The program's own buffers, counted from every thread that allocates.
std::atomic<std::uint64_t> total_allocated{0};

[[noreturn]] void allocation_failed(std::size_t size) {
  std::fprintf(stderr, "Memory Allocation error. size: %zu\n", size);
  std::fprintf(stderr, "%llu bytes already allocated.\n",
               static_cast<unsigned long long>(total_allocated.load()));
  end_program(-1);
}

}  // namespace

void* checked_alloc(std::size_t size) {
  const std::size_t alignment = size >= huge_page_size ? huge_page_size : vector_alignment;
  void* p = nullptr;
  if (size <= SIZE_MAX - alignment) {
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    p = std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded);
    if (p != nullptr && alignment == huge_page_size) madvise(p, rounded, MADV_HUGEPAGE);
  }
  if (p == nullptr) allocation_failed(size);
  total_allocated.fetch_add(size, std::memory_order_relaxed);
  return p;
}

void checked_free(void* p) { std::free(p); }

std::uint64_t bytes_allocated() { return total_allocated.load(); }

// The standard library's allocations (std::vector, std::string,
// std::make_unique in the readers, the decoder and the renderer's memo
// tables) fail the same way: the global operator new and operator new[]
// are replaced here, where every program that uses the checked allocator
// links them from, so that running out of memory there also ends with the
// two messages and status -1 rather than an uncaught std::bad_alloc and an
// abort. The standard library's default new and delete pair with this
// file's, so every variant is replaced together; the memory comes from
// malloc (or aligned_alloc) and goes back with free, and a sanitizer that
// intercepts those still sees every block. The bytes are not added to the
// running total, which counts the program's own buffers.
namespace {

// No object may be larger than PTRDIFF_MAX; a request beyond it is a
// failure without asking the system.
void* system_alloc(std::size_t size, std::size_t alignment) {
  if (size > static_cast<std::size_t>(PTRDIFF_MAX)) return nullptr;
  if (size == 0) size = 1;
  if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
  return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

// The throwing forms: a new-handler installed by someone is given its
// chance, as the standard asks; without one the failure is reported.
void* replaced_new(std::size_t size, std::size_t alignment) {
  for (;;) {
    if (void* p = system_alloc(size, alignment)) return p;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) allocation_failed(size);
    handler();
  }
}

// The non-throwing forms keep their contract: null on failure, no message.
void* replaced_new_nothrow(std::size_t size, std::size_t alignment) noexcept {
  return system_alloc(size, alignment);
}

constexpr std::size_t plain = alignof(std::max_align_t);

}  // namespace

void* operator new(std::size_t size) { return replaced_new(size, plain); }
void* operator new[](std::size_t size) { return replaced_new(size, plain); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return replaced_new(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return replaced_new(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return replaced_new_nothrow(size, plain);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return replaced_new_nothrow(size, plain);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return replaced_new_nothrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return replaced_new_nothrow(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
