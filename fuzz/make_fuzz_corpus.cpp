// Writes the seed corpus of every fuzz target: valid small files of each
// kind, made by the test fixture writers.
//   make_fuzz_corpus <directory>   -> <directory>/<target name>/...
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "ptm/reader.h"
#include "support/jpeg_fixture.h"
#include "support/png_fixture.h"
#include "support/ppm_fixture.h"
#include "support/ptm_fixture.h"
#include "writers/compressed_ptm_writer.h"

namespace {

// Small JPEG- and JPEG-LS-compressed maps, from uncompressed fixtures
// through the compressed writer: all I-planes, and P-planes with every
// transformation, half-pixel motion, a reference decoded later and side
// information; JPEG-LS lossless and near-lossless.
void write_compressed_seeds(const std::string& directory) {
  std::filesystem::create_directories(directory);
  const std::string scratch = directory + "/source.ptm";
  for (int format : {0, 2}) {
    write_file_bytes(scratch, ptm_fixture_bytes(random_ptm_fixture(format, 2, 9, 6, 11 + format)));
    Ptm* ptm = read_ptm_file(scratch.c_str(), CoefRepresentation::wide);
    for (int type : {compression_jpeg, compression_jpegls}) {
      const std::string name = directory + (type == compression_jpeg ? "/jpeg" : "/jpegls") +
                               (format == 0 ? "_rgb" : "_lrgb");
      CompressedPtmOptions intra;
      intra.compression_type = type;
      intra.quality = 40;
      intra.near = 3;
      write_compressed_ptm(*ptm, (name + "_intra.ptm").c_str(), intra);
      CompressedPtmOptions predicted;
      predicted.compression_type = type;
      predicted.quality = 80;
      predicted.correction_threshold = 20;
      predicted.planes[1] = {1, 0, 0, 0, {{3, 200}}};
      predicted.planes[2] = {2, -3, 1, 0, {}};
      predicted.planes[3] = {3, 2, -2, 1, {}};
      predicted.planes[4] = {0, 0, 0, 8, {}};
      write_compressed_ptm(*ptm, (name + "_predicted.ptm").c_str(), predicted);
    }
    free_ptm(ptm);
  }
  std::filesystem::remove(scratch);
}

// Writes each text as <directory>/<stem>N<extension>, N from 0.
void write_text_seeds(const std::string& directory, const std::string& stem,
                      const std::string& extension, std::initializer_list<const char*> seeds) {
  std::filesystem::create_directories(directory);
  int n = 0;
  for (const char* seed : seeds) {
    write_file_bytes(directory + "/" + stem + std::to_string(n++) + extension, seed);
  }
}

// Camera files as people write them: with and without the commas, other
// line ends, and values the depth command refuses.
void write_camera_seeds(const std::string& directory) {
  write_text_seeds(
      directory, "camera", ".cam",
      {"focal length 50\nimage width 36\nimage height 24\nestimated depth 10\n"
       "initial distance 600\n",
       "focal length 35.5\nimage width 24.25,\nimage height 16,\nestimated depth 2.5\n"
       "initial distance 1e3",
       "focal length 20\r\nimage width 20\n,image height 20\n,estimated depth -1\r\n"
       "initial distance 30\r\n",
       "focal length 0\nimage width 9\nimage height 6\nestimated depth 1\ninitial distance 10\n",
       "focal length 1.0000001\nimage width 9\nimage height 6\nestimated depth 1e-30\n"
       "initial distance 1e30\n"});
}

// Light-position files as capture tools write them, with their quirks.
void write_light_position_seeds(const std::string& directory) {
  write_text_seeds(
      directory, "seed", ".lp",
      {("3\nimage01.jpg 0.2051586 -0.2370206 0.9495952\nimage02.jpg 0.452 -0.403 0.796\n"
        "image03.ppm 0 0 1\n"),
       "2\r\nphotos\\a.JPEG 1e-1 -2.5E-1 0.75\r\nmy photo.ppm 0 0 0\r\n\r\n",
       "5  \n\na.ppm 0 0 1\nb.jpg 0.5 0 0.5", "1\na.ppm 0 0 1\nb.ppm 1 0 0\n", "0\n"});
}

// Argument lists as scripts pass them, arguments separated by zero bytes.
void write_argument_seeds(const std::string& directory) {
  std::filesystem::create_directories(directory);
  int n = 0;
  for (const std::string& seed :
       {std::string("-o\0out.png\0--light\0-0.5,0.25,2\0--mode\0specular\0map.ptm", 50),
        std::string("--size\0""640x480\0--crop\0""0,0,10,10\0--\0-map.ptm\0--quiet", 45),
        std::string("--kd\0""1e999\0--gain\0nan\0--near\0""0.4,\0--help", 39),
        std::string("map.ptm\0-o\0site\0--tiles\0jpeg\0--quality\0""80\0--tile-size\0""254\0"
                    "--iiif-base\0https://example.org/m\0--force", 99)}) {
    write_file_bytes(directory + "/arguments" + std::to_string(n++), seed);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
    return 2;
  }
  const std::string root = argv[1];
  write_ptm_seed_corpus(root + "/ptm_file_fuzzer");
  write_compressed_seeds(root + "/compressed_ptm_fuzzer");
  write_camera_seeds(root + "/camera_file_fuzzer");
  for (const char* target : {"/mask_ppm_fuzzer", "/ppm_image_fuzzer"}) {
    std::filesystem::create_directories(root + target);
    write_ppm_seed_corpus(root + target);
  }
  write_light_position_seeds(root + "/light_position_fuzzer");
  std::filesystem::create_directories(root + "/jpeg_photograph_fuzzer");
  write_jpeg_seed_corpus(root + "/jpeg_photograph_fuzzer");
  std::filesystem::create_directories(root + "/png_image_fuzzer");
  write_png_seed_corpus(root + "/png_image_fuzzer");
  write_argument_seeds(root + "/tool_arguments_fuzzer");
  return 0;
}
