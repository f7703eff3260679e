// Any bytes as a PTM file, in both coefficient representations: the reader
// must return a map or refuse it, never crash, hang or overrun.
#include "fuzz/fuzz_file.h"
#include "ptm/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  set_end_program_hook(throw_program_ended);
  const std::string& path = write_fuzz_input(data, size, ".ptm");
  for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    try {
      free_ptm(read_ptm_file(path.c_str(), representation));
    } catch (const ProgramEnded&) {
    }
  }
  return 0;
}
