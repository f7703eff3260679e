// The checked allocator: every allocation of Relumo's own code goes through
// it, so that running out of memory ends the program with one clear message
// instead of a null pointer dereferenced later.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns zero-initialised-or-not memory of at least `size` bytes, aligned
// for the widest vector loads the evaluators use. On failure prints
// "Memory Allocation error. size: ..." and the running total on standard
// error and ends the program with status -1.
void* checked_alloc(std::size_t size);

// `count` elements of `T`; a count whose byte size overflows is treated
// like an allocation failure.
template <typename T>
T* checked_alloc_array(std::size_t count) {
  if (count > SIZE_MAX / sizeof(T)) return static_cast<T*>(checked_alloc(SIZE_MAX));
  return static_cast<T*>(checked_alloc(count * sizeof(T)));
}

// Releases memory from checked_alloc; null is allowed.
void checked_free(void* p);

// Bytes handed out so far (never decreases).
std::uint64_t bytes_allocated();

// The global operator new and operator new[] (every form) are replaced by
// this allocator's file: a throwing form that cannot be satisfied prints
// the same two messages with the requested size and ends the program with
// status -1; the std::nothrow forms return null.
