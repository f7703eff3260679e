// Writes a synthetic capture for fitting at any size, for the large-capture
// benchmark script (bench/large_fit.sh): COUNT camera-like JPEG
// photographs of WIDTH x HEIGHT pixels and their light-position file
// capture.lp in FOLDER. Prints the machine's cores and memory bandwidth,
// which the script reports beside its figures.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/parallel.h"
#include "support/files.h"
#include "support/memory_bandwidth.h"
#include "support/ridge_capture.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "Usage: %s FOLDER COUNT WIDTH HEIGHT\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const int count = std::atoi(argv[2]);
  const int width = std::atoi(argv[3]);
  const int height = std::atoi(argv[4]);
  if (count < 6 || width < 1 || height < 1) {
    std::fprintf(stderr, "%s: at least 6 photographs of at least 1 x 1 pixels\n", argv[0]);
    return 2;
  }
  std::printf("cores: %d\n", available_cores());
  std::printf("memory read bandwidth: %.2f GB/s\n", measure_read_bandwidth() / 1e9);
  // A capture of this size already written is kept: writing one of 240
  // megapixels takes longer than fitting it.
  const std::string stamp = folder + "/capture.size";
  const std::string size = std::to_string(count) + " " + std::to_string(width) + " " +
                           std::to_string(height) + "\n";
  if (std::filesystem::exists(folder + "/capture.lp") && std::filesystem::exists(stamp) &&
      read_file_bytes(stamp) == size) {
    std::printf("capture: %s/capture.lp (kept)\n", folder.c_str());
    return 0;
  }
  std::filesystem::create_directories(folder);
  std::filesystem::remove(stamp);
  const std::string lp = write_ridge_capture(folder, count, width, height, available_cores());
  write_file_bytes(stamp, size);
  std::printf("capture: %s\n", lp.c_str());
  return 0;
}
