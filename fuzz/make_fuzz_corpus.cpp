// Writes the seed corpus of every fuzz target: valid small files of each
// kind, made by the test fixture writers.
//   make_fuzz_corpus <directory>   -> <directory>/<target name>/...
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "imageio/png_image.h"
#include "ptm/reader.h"
#include "support/icc_fixture.h"
#include "support/jpeg_fixture.h"
#include "support/png_fixture.h"
#include "support/ppm_fixture.h"
#include "support/ptm_fixture.h"
#include "support/tiff_fixture.h"
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

// A picture as relumo-tool render writes it: resolution and the notes
// that render --from reads back.
void write_noted_png_seed(const std::string& path) {
  RgbImage* picture = new_rgb_image(3, 2);
  for (int i = 0; i < 18; ++i) picture->pixels[i] = static_cast<std::uint8_t>(40 * i);
  PngNotes notes;
  notes.pixels_per_metre_x = 4000;
  notes.pixels_per_metre_y = 2000;
  notes.texts = {{"Software", "Relumo 0.3.0"},
                 {"Relumo map", "stone.ptm"},
                 {"Relumo view",
                  "--light 0.3,0.4,1 --light -1,0.5,2 --mode specular --kd 0.4 --ks 1 --exp 60 "
                  "--size 3x2 --dpi 101.6 --scale-bar"}};
  write_png_rgb(*picture, path.c_str(), notes);
  free_rgb_image(picture);
}

// Colour profiles bare, in a JPEG's APP2 markers (one and split in three)
// and in a PNG's iCCP chunk.
void write_icc_profile_seeds(const std::string& directory) {
  std::filesystem::create_directories(directory);
  const std::string adobe = adobe_rgb_profile_bytes();
  write_file_bytes(directory + "/adobe_rgb.icc", adobe);
  write_file_bytes(directory + "/grey.icc", grey_profile_bytes());
  JpegFixture jpeg;
  jpeg.width = jpeg.height = 8;
  jpeg.samples.assign(8 * 8 * 3, 120);
  jpeg.app2_payloads = icc_app2_payloads(adobe, 3);
  write_file_bytes(directory + "/split_profile.jpg", jpeg_fixture_bytes(jpeg));
  write_file_bytes(directory + "/png_profile.png",
                   png_with_icc_profile(png_fixture_bytes({2, 2, 2, 8, false,
                                                           {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
                                                           {}}),
                                        adobe));
}

// Photographs in PPM and PGM as other programs write them.
void write_netpbm_seeds(const std::string& directory) {
  write_text_seeds(directory, "photo", ".pnm",
                   {"P6\n# comment\n2 1\n255\nabcdef", "P6 1 1 65535\n\x12\x34\x56\x78\x9a\xbc",
                    "P3\n2 1\n1023\n0 512 1023 5 6 7\n", "P2 2 2 15 0 5 10 15\n",
                    "P5\n3 1\n255\n\x01\x80\xff"});
}

// Argument lists as scripts pass them, arguments separated by zero bytes.
void write_argument_seeds(const std::string& directory) {
  std::filesystem::create_directories(directory);
  int n = 0;
  for (const std::string& seed :
       {std::string("-o\0out.png\0--light\0-0.5,0.25,2\0--mode\0specular\0map.ptm", 50),
        std::string("--size\0""640x480\0--crop\0""0,0,10,10\0--\0-map.ptm\0--quiet", 45),
        std::string("--kd\0""1e999\0--gain\0nan\0--near\0""0.4,\0--help", 39),
        std::string("--azimuths\0""12\0--elevation\0""17.5\0--seconds\0""0.5\0--fps\0""30\0"
                    "--ppmm\0""3\0--scale-bar\0--detrend\0quadric\0--detail\0--sigma\0""4", 111),
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
  std::filesystem::create_directories(root + "/jpeg_region_fuzzer");
  write_jpeg_seed_corpus(root + "/jpeg_region_fuzzer");
  std::filesystem::create_directories(root + "/png_image_fuzzer");
  write_png_seed_corpus(root + "/png_image_fuzzer");
  write_noted_png_seed(root + "/png_image_fuzzer/noted.png");
  write_argument_seeds(root + "/tool_arguments_fuzzer");
  write_icc_profile_seeds(root + "/icc_profile_fuzzer");
  std::filesystem::create_directories(root + "/tiff_photograph_fuzzer");
  write_tiff_seed_corpus(root + "/tiff_photograph_fuzzer");
  write_netpbm_seeds(root + "/netpbm_photograph_fuzzer");
  return 0;
}
