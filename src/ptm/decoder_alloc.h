// The compressed-plane decoder's own allocator: the stored plane streams,
// the decoded planes and the work planes come from it.
#pragma once

#include <cstddef>
#include <cstdint>

// Zero-filled memory for the decoder's planes. On failure prints "Memory
// allocation of %d bytes failed!" on standard error and ends the program
// with status -1. Released by decoder_free (null allowed).
std::uint8_t* decoder_alloc(std::size_t size);
void decoder_free(void* p);
