// Any bytes as a PTM file, in both coefficient representations: the reader
// must return a map or refuse it, never crash, hang or overrun.
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  read_fuzz_input(data, size, ".ptm", read_ptm_both_ways);
  return 0;
}
