// Writes the seed corpus of every fuzz target: valid small files of each
// kind, made by the test fixture writers.
//   make_fuzz_corpus <directory>   -> <directory>/<target name>/...
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/ppm_fixture.h"
#include "support/ptm_fixture.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
    return 2;
  }
  const std::string root = argv[1];
  write_ptm_seed_corpus(root + "/ptm_file_fuzzer");
  for (const char* target : {"/mask_ppm_fuzzer", "/ppm_image_fuzzer"}) {
    std::filesystem::create_directories(root + target);
    write_ppm_seed_corpus(root + target);
  }
  return 0;
}
