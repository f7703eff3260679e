#include "analysis/volume.h"

#include <cstdio>
#include <vector>

#include "common/file_names.h"
#include "common/output_file.h"

namespace {

// One channel of every photograph, photograph after photograph.
bool write_channel(const SourceImageSet& set, int channel, const char* path) {
  OutputFile file;
  if (!file.open(path)) {
    std::printf("Unable to open volume file %s for writing\n", path);
    return false;
  }
  std::vector<unsigned char> row;
  for (int k = 0; k < set.count; ++k) {
    const RgbImage& image = *set.images[k].image;
    row.resize(static_cast<std::size_t>(image.width));
    for (int y = 0; y < image.height; ++y) {
      const unsigned char* pixel =
          image.pixels + static_cast<std::size_t>(y) * image.width * 3 + channel;
      for (int x = 0; x < image.width; ++x) row[x] = pixel[3 * x];
      // A failed write shows at the commit (the stream's error flag).
      std::fwrite(row.data(), 1, row.size(), file.get());
    }
  }
  if (!file.commit()) {
    report_write_failure("volume file", path, file.error());
    return false;
  }
  return true;
}

}  // namespace

VolumePaths volume_paths(const std::string& base_name) {
  const std::string base = cut_at_last_dot(base_name);
  return VolumePaths{base + ".r.vox", base + ".g.vox", base + ".b.vox", base + ".des"};
}

bool write_volume_descriptor(const char* path, int width, int height, int depth) {
  OutputFile file;
  if (!file.open(path)) {
    std::printf("Unable to open descriptor file %s for writing\n", path);
    return false;
  }
  std::fprintf(file.get(), "xsize %d\n", width);
  std::fprintf(file.get(), "ysize %d\n", height);
  std::fprintf(file.get(), "zsize %d\n", depth);
  // The photographs are five times as far apart as the pixels.
  std::fprintf(file.get(), "xscale 1\nyscale 1\nzscale 5\n");
  std::fprintf(file.get(), "xcoarse 1\nycoarse 1\nzcoarse 1\n");
  if (!file.commit()) {
    report_write_failure("volume descriptor", path, file.error());
    return false;
  }
  return true;
}

bool write_volume(const SourceImageSet& set, const VolumePaths& paths) {
  if (set.count == 0) {
    std::printf("No source images loaded: no vox files written\n");
    return false;
  }
  std::printf("Writing voxel files, please wait.");
  std::fflush(stdout);
  const RgbImage& first = *set.images[0].image;
  bool all =
      write_volume_descriptor(paths.descriptor.c_str(), first.width, first.height, set.count);
  // Each channel on its own: one that fails does not keep the others back.
  all = write_channel(set, 0, paths.red.c_str()) && all;
  all = write_channel(set, 1, paths.green.c_str()) && all;
  all = write_channel(set, 2, paths.blue.c_str()) && all;
  std::printf(all ? "\nColor volume file written\n"
                  : "\nColor volume not completely written: see the messages above\n");
  return all;
}
