#include "ptm/six_images.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "common/checked_alloc.h"
#include "common/end_program.h"
#include "common/file_handle.h"
#include "imageio/image_files.h"
#include "ptm/coefficients.h"
#include "ptm/file_kind.h"
#include "ptm/header_tokens.h"
#include "ptm/reader.h"

namespace {

[[noreturn]] void sab_read_error(const std::string& path) {
  std::printf("Read error on Scale and Bias file: %s\n", path.c_str());
  end_program(-1);
}

// Image i holds the stored bytes of coefficient plane i: red (a0, a1, a2),
// red (a3, a4, a5), then green and blue likewise. The reader has already
// flipped its rows to bottom-up, which is the map's pixel order.
void take_coefficient_image(Ptm& ptm, int i, const std::string& name) {
  const std::string path = name + static_cast<char>('0' + i) + ".ppm";
  RgbImage* image = Input_ppm_and_create_as_char_image(path.c_str());
  if (image == nullptr) {
    std::printf("Unable to load file %s\n", name.c_str());
    end_program(-1);
  }
  if (image->width != ptm.width || image->height != ptm.height) {
    std::printf("Coefficient image %s is %d x %d, but %s0.ppm is %d x %d\n", path.c_str(),
                image->width, image->height, name.c_str(), ptm.width, ptm.height);
    end_program(-1);
  }
  checked_free(ptm.coef_planes[i]);
  ptm.coef_planes[i] = image->pixels;
  checked_free(image);
}

// Anything of that name, readable or not.
bool file_exists(const char* path) {
  struct stat info {};
  return stat(path, &info) == 0;
}

}  // namespace

Ptm* load_ptm_or_ppms(const char* name) {
  const std::string base(name);
  const FileIdentity identity = identify_file(name);
  // A PTM file that the reader refused has said why; coefficient images of
  // that name are not what the user meant.
  if (identity.kind == FileKind::ptm) {
    if (Ptm* ptm = read_ptm_file(name)) return ptm;
    std::printf("Unable to load file %s\n", name);
    end_program(-1);
  }
  // Only a name that is no file, or a file of no kind we know, can be the
  // base of coefficient images, and only when the first one is there; a
  // picture, a folder or an empty file was given as the map itself.
  const bool images_there = file_exists((base + "0.ppm").c_str());
  if (identity.kind == FileKind::missing && !images_there) {
    std::printf("File %s does not exist\n", name);
    end_program(-1);
  }
  const bool may_be_base = identity.kind == FileKind::missing || identity.kind == FileKind::other ||
                           identity.kind == FileKind::unopenable;
  if (!may_be_base || !images_there) {
    std::printf("%s\n", not_a_map_message(name, identity).c_str());
    end_program(-1);
  }
  std::printf("Unable to load file directly, trying ppm files\n");

  int width = 0;
  int height = 0;
  Input_ppm_size((base + "0.ppm").c_str(), width, height);
  if (!ptm_size_fits(width, height, PTM_FORMAT_RGB, preferred_representation())) {
    std::printf("Coefficient image %s0.ppm has an impossible size %d x %d\n", name, width, height);
    end_program(-1);
  }
  Ptm* ptm = create_ptm(width, height, PTM_FORMAT_RGB);
  for (int i = 0; i < 6; ++i) take_coefficient_image(*ptm, i, base);
  read_scale_bias_file(base, *ptm);
  convert_all_coefficients(*ptm);
  return ptm;
}

void read_scale_bias_file(const std::string& base, Ptm& ptm) {
  const std::string path = base + ".sab";
  FileHandle file(std::fopen(path.c_str(), "r"));
  if (!file) {
    std::fprintf(stderr, "Warning: Read Scale and Bias: Can't open ppm file: %s\n", path.c_str());
    std::fprintf(stderr, "Will assume no scaling or bias\n");
    for (int k = 0; k < 6; ++k) {
      ptm.scale_bias[k] = 256;
      ptm.scale_bias[6 + k] = 0;
    }
    return;
  }
  std::printf("Reading SAB file...");
  std::fflush(stdout);
  HeaderToken token;
  for (int k = 0; k < 6; ++k) {
    float scale = 0;
    if (read_header_token(file.get(), token) != TokenStatus::ok ||
        !parse_float(token.text, scale) || !scale_to_fixed(scale, ptm.scale_bias[k])) {
      sab_read_error(path);
    }
  }
  for (int k = 0; k < 6; ++k) {
    if (read_header_token(file.get(), token) != TokenStatus::ok ||
        !parse_decimal_int(token.text, ptm.scale_bias[6 + k])) {
      sab_read_error(path);
    }
  }
  std::printf("done.\n");
}
