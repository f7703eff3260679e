// The figures relumo-tool makes for reports, read back as their readers
// will: the raking-light sheet against single renders, the light-sweep
// video decoded through FFmpeg's libraries, the physical resolution and
// provenance notes through libpng, and a render remade from its notes.
#include <gtest/gtest.h>
#include <png.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "imageio/png_image.h"
#include "render/raking_sheet.h"
#include "support/files.h"
#include "support/ptm_fixture.h"
#include "support/run_program.h"

namespace {

constexpr double pi = 3.14159265358979323846;

ProgramRun tool(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), RELUMO_TOOL_BINARY);
  return run_program(arguments);
}

struct MapFile {
  ScratchDirectory scratch{"figures"};
  std::string path = scratch.file("maps/panel.ptm");
  MapFile(int width, int height, unsigned seed) {
    std::filesystem::create_directory(scratch.file("maps"));
    write_file_bytes(path, ptm_fixture_bytes(random_ptm_fixture(2, 2, width, height, seed)));
  }
};

// "--light u,v,1" for a light from `azimuth` (a bearing: 0 from the top,
// 90 from the right) at `elevation`, written so it reads back as the same
// floats the sheet computes.
std::string light_text(double azimuth, double elevation) {
  const double a = azimuth * pi / 180;
  const double across = std::cos(elevation * pi / 180);
  char text[96];
  std::snprintf(text, sizeof text, "%.9g,%.9g,1",
                static_cast<double>(static_cast<float>(across * std::sin(a))),
                static_cast<double>(static_cast<float>(across * std::cos(a))));
  return text;
}

// The rgb of pixel (x, y) from the top of a bottom-up picture.
const std::uint8_t* top_down(const RgbImage& image, int x, int y) {
  return image.pixels + (static_cast<std::size_t>(image.height - 1 - y) * image.width + x) * 3;
}

TEST(SheetCommand, HasNPanelsInReadingOrderEachTheRenderOfItsLight) {
  struct Case {
    int azimuths;
    int columns;  // ceil(sqrt(N))
    std::vector<std::string> options;
    std::vector<std::string> render_options;
    int panel_width, panel_height;
  };
  const Case cases[] = {
      {5, 3, {"--elevation", "30"}, {}, 24, 18},
      {4, 2, {"--elevation", "12.5", "--size", "20x13", "--mode", "specular", "--ks", "2"},
       {"--size", "20x13", "--mode", "specular", "--ks", "2"}, 20, 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.azimuths);
    MapFile map(24, 18, 11);
    const std::string sheet_path = map.scratch.file("sheet.png");
    std::vector<std::string> arguments = {"sheet", map.path, "-o", sheet_path, "--azimuths",
                                          std::to_string(c.azimuths)};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.insert(arguments.end(), {"--threads", "1"});
    const ProgramRun run = tool(arguments);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    // The same bytes with more threads (the specular panels' normals are
    // computed on them).
    const std::string one_thread = read_file_bytes(sheet_path);
    arguments.back() = "3";
    ASSERT_EQ(tool(arguments).exit_status, 0);
    EXPECT_EQ(read_file_bytes(sheet_path), one_thread);
    RgbImage* sheet = read_png_rgb(sheet_path.c_str());
    ASSERT_NE(sheet, nullptr);

    const double elevation = std::stod(c.options[1]);
    RakingSheet asked;
    asked.azimuth_count = c.azimuths;
    asked.view.width = c.panel_width;
    asked.view.height = c.panel_height;
    TextFont* font = open_text_font();
    ASSERT_NE(font, nullptr);
    const SheetLayout layout = raking_sheet_layout(asked, 24, 18, *font);
    close_text_font(font);
    EXPECT_EQ(layout.columns, c.columns);
    EXPECT_EQ(layout.rows, (c.azimuths + c.columns - 1) / c.columns);
    ASSERT_EQ(sheet->width, layout.width);
    ASSERT_EQ(sheet->height, layout.height);
    int previous_left = -1, previous_top = -1;
    for (int i = 0; i < c.azimuths; ++i) {
      SCOPED_TRACE("panel " + std::to_string(i));
      const std::string panel_path = map.scratch.file("p" + std::to_string(i) + ".png");
      std::vector<std::string> render = {"render", map.path, "-o", panel_path, "--light",
                                         light_text(360.0 * i / c.azimuths, elevation)};
      render.insert(render.end(), c.render_options.begin(), c.render_options.end());
      ASSERT_EQ(tool(render).exit_status, 0);
      RgbImage* panel = read_png_rgb(panel_path.c_str());
      ASSERT_NE(panel, nullptr);
      int left = 0, top = 0;
      sheet_panel_origin(layout, i, left, top);
      // Reading order: along a row, then the next row from the left.
      EXPECT_TRUE(top > previous_top ? left < previous_left || i == 0 : left > previous_left);
      EXPECT_EQ(i % c.columns == 0, top > previous_top);
      previous_left = left;
      previous_top = top;
      int differing = 0;
      for (int y = 0; y < c.panel_height; ++y) {
        for (int x = 0; x < c.panel_width; ++x) {
          differing += std::memcmp(top_down(*sheet, left + x, top + y), top_down(*panel, x, y), 3) != 0;
        }
      }
      EXPECT_EQ(differing, 0);
      // The label: dark text on the white strip below the panel.
      int dark = 0;
      for (int y = top + c.panel_height; y < top + c.panel_height + layout.label_height; ++y) {
        for (int x = left; x < left + c.panel_width; ++x) dark += top_down(*sheet, x, y)[0] < 128;
      }
      EXPECT_GT(dark, 10);
      free_rgb_image(panel);
    }
    free_rgb_image(sheet);
  }
}

// ---- video ----

struct DecodedVideo {
  int frames = 0;
  int width = 0;
  int height = 0;
  std::string codec;
  std::vector<std::vector<std::uint8_t>> luma;  // each frame's Y plane, rows top first
};

// Decodes every frame of the file through libavformat and libavcodec.
DecodedVideo decode_video(const std::string& path) {
  DecodedVideo video;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return video;
  avformat_find_stream_info(format, nullptr);
  const AVCodec* codec = nullptr;
  const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (stream < 0 || codec == nullptr) {
    avformat_close_input(&format);
    return video;
  }
  video.codec = codec->name;
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(decoder, format->streams[stream]->codecpar);
  avcodec_open2(decoder, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  const auto drain = [&] {
    while (avcodec_receive_frame(decoder, frame) == 0) {
      ++video.frames;
      video.width = frame->width;
      video.height = frame->height;
      std::vector<std::uint8_t> y;
      for (int row = 0; row < frame->height; ++row) {
        const std::uint8_t* line = frame->data[0] + row * frame->linesize[0];
        y.insert(y.end(), line, line + frame->width);
      }
      video.luma.push_back(y);
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == stream) avcodec_send_packet(decoder, packet);
    av_packet_unref(packet);
    drain();
  }
  avcodec_send_packet(decoder, nullptr);
  drain();
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&format);
  return video;
}

// The mean distance between a decoded Y plane and the luma of a picture
// (Rec. 709, limited range, as the video is coded).
double luma_distance(const std::vector<std::uint8_t>& y, const RgbImage& picture) {
  double sum = 0;
  for (int row = 0; row < picture.height; ++row) {
    for (int x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = top_down(picture, x, row);
      const double luma = 16 + 219 * (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255;
      sum += std::fabs(luma - y[static_cast<std::size_t>(row) * picture.width + x]);
    }
  }
  return sum / (picture.width * picture.height);
}

TEST(VideoCommand, DecodesToRoundSecondsTimesFpsFramesOfAnEvenSize) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    const char* codec;
    int frames, width, height;
  };
  const Case cases[] = {
      // The map's own size, 37 x 27, rounded down to even.
      {"v.mp4", {"--seconds", "1", "--fps", "8"}, "h264", 8, 36, 26},
      {"v.webm", {"--seconds", "0.7", "--fps", "6", "--size", "31x20"}, "vp9", 4, 30, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MapFile map(37, 27, 5);
    const std::string out = map.scratch.file(c.name);
    std::vector<std::string> arguments = {"video", map.path, "-o", out, "--threads", "1"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    ProgramRun run = tool(arguments);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const DecodedVideo video = decode_video(out);
    EXPECT_EQ(video.codec, c.codec);
    EXPECT_EQ(video.frames, c.frames);
    EXPECT_EQ(video.width, c.width);
    EXPECT_EQ(video.height, c.height);
    // The same bytes with more threads.
    arguments[5] = "3";
    const std::string first = read_file_bytes(out);
    ASSERT_EQ(tool(arguments).exit_status, 0);
    EXPECT_EQ(read_file_bytes(out), first);
  }
}

TEST(VideoCommand, TheLightStartsAtTheTopAndCirclesClockwise) {
  MapFile map(40, 30, 8);
  const std::string out = map.scratch.file("sweep.mp4");
  ASSERT_EQ(tool({"video", map.path, "-o", out, "--seconds", "1", "--fps", "8", "--elevation", "25"})
                .exit_status,
            0);
  const DecodedVideo video = decode_video(out);
  ASSERT_EQ(video.frames, 8);
  // Frame 2 of 8 is lit from azimuth 90 (the right): nearer the render lit
  // from the right than the one lit from the left; frame 0 from the top.
  std::map<int, RgbImage*> renders;
  for (int azimuth : {0, 90, 180, 270}) {
    const std::string path = map.scratch.file("r" + std::to_string(azimuth) + ".png");
    ASSERT_EQ(tool({"render", map.path, "-o", path, "--light", light_text(azimuth, 25), "--size",
                    "40x30"})
                  .exit_status,
              0);
    renders[azimuth] = read_png_rgb(path.c_str());
    ASSERT_NE(renders[azimuth], nullptr);
  }
  EXPECT_LT(luma_distance(video.luma[2], *renders[90]), luma_distance(video.luma[2], *renders[270]));
  EXPECT_LT(luma_distance(video.luma[6], *renders[270]), luma_distance(video.luma[6], *renders[90]));
  EXPECT_LT(luma_distance(video.luma[0], *renders[0]), luma_distance(video.luma[0], *renders[180]));
  for (auto& [azimuth, picture] : renders) free_rgb_image(picture);
}

// ---- notes ----

struct LibpngNotes {
  bool has_resolution = false;
  png_uint_32 x = 0, y = 0;
  int unit = -1;
  std::map<std::string, std::string> texts;
};

LibpngNotes libpng_notes(const std::string& path) {
  LibpngNotes notes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return notes;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return LibpngNotes{};
  }
  png_init_io(png, file);
  png_read_info(png, info);
  notes.has_resolution = png_get_pHYs(png, info, &notes.x, &notes.y, &notes.unit) != 0;
  png_textp texts = nullptr;
  int count = 0;
  png_get_text(png, info, &texts, &count);
  for (int i = 0; i < count; ++i) notes.texts[texts[i].key] = texts[i].text;
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return notes;
}

TEST(FigureNotes, EveryPictureCarriesItsResolutionMapAndViewForLibpng) {
  MapFile map(20, 16, 3);
  struct Case {
    std::vector<std::string> arguments;  // after MAP -o OUT
    unsigned pixels_per_metre_x, pixels_per_metre_y;
    std::string view;
  };
  const Case cases[] = {
      {{"render", "--light", "0.3,0.4", "--mode", "specular", "--exp", "25", "--ppmm", "4"},
       4000, 4000, "--light 0.3,0.4,1 --mode specular --kd 0.4 --ks 1 --exp 25 --size 20x16 --ppmm 4"},
      // Twice as many picture pixels across, half as many up: 2 x 4 and 0.5 x 4 per mm.
      {{"render", "--size", "40x8", "--dpi", "101.6", "--light", "-1,0.5,2", "--light", "0,0,0.5",
        "--mode", "gain", "--gain", "3"},
       8000, 2000, "--light -1,0.5,2 --light 0,0,0.5 --mode gain --gain 3 --size 40x8 --dpi 101.6"},
      {{"sheet", "--azimuths", "3", "--ppmm", "4"}, 4000, 4000,
       "sheet --elevation 20 --azimuths 3 --mode plain --size 20x16 --ppmm 4"},
      {{"normals", "--ppmm", "4"}, 4000, 4000, "normals --ppmm 4"},
      {{"depth", "--ppmm", "4"}, 4000, 4000, "depth --method poisson --detrend plane --ppmm 4"},
      {{"depth", "--detail", "--sigma", "2.5", "--colormap", "--ppmm", "4", "--scale-bar"}, 4000,
       4000,
       "depth --method poisson --detrend plane --detail --sigma 2.5 --colormap --ppmm 4 --scale-bar"},
      {{"curvature", "--sigma", "0"}, 0, 0, "curvature --sigma 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.view);
    const std::string out = map.scratch.file("figure.png");
    std::vector<std::string> arguments = {c.arguments[0], map.path, "-o", out};
    arguments.insert(arguments.end(), c.arguments.begin() + 1, c.arguments.end());
    const ProgramRun run = tool(arguments);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const LibpngNotes notes = libpng_notes(out);
    EXPECT_EQ(notes.has_resolution, c.pixels_per_metre_x > 0);
    if (c.pixels_per_metre_x > 0) {
      EXPECT_EQ(notes.x, c.pixels_per_metre_x);
      EXPECT_EQ(notes.y, c.pixels_per_metre_y);
      EXPECT_EQ(notes.unit, PNG_RESOLUTION_METER);
    }
    EXPECT_EQ(notes.texts.size(), 3u);
    EXPECT_EQ(notes.texts.count("Software"), 1u);
    EXPECT_EQ(notes.texts.at("Software").rfind("Relumo ", 0), 0u);
    EXPECT_GT(notes.texts.at("Software").size(), 7u) << "the version follows the name";
    EXPECT_EQ(notes.texts.at("Relumo map"), "panel.ptm");
    EXPECT_EQ(notes.texts.at("Relumo view"), c.view);
  }
}

TEST(RenderFrom, RemakesTheSameBytesFromTheRecordedView) {
  MapFile map(21, 17, 9);
  const std::vector<std::vector<std::string>> views = {
      {},
      {"--light", "0.3,0.4", "--light", "-0.21,0.7,0.55", "--mode", "specular", "--kd", "0.3",
       "--ks", "1.7", "--exp", "33"},
      {"--light", "0.1,-0.9", "--mode", "gain", "--gain", "2.2", "--size", "30x11"},
      {"--mode", "normals", "--dpi", "300", "--scale-bar"},
      {"--light", "0.5,0.5", "--mode", "texture", "--ppmm", "2.5", "--scale-bar", "--size",
       "64x48"},
  };
  for (const std::vector<std::string>& view : views) {
    std::string trace;
    for (const std::string& word : view) trace += word + " ";
    SCOPED_TRACE(trace);
    const std::string figure = map.scratch.file("figure.png");
    const std::string again = map.scratch.file("again.png");
    std::vector<std::string> arguments = {"render", map.path, "-o", figure};
    arguments.insert(arguments.end(), view.begin(), view.end());
    ASSERT_EQ(tool(arguments).exit_status, 0);
    const ProgramRun run = tool({"render", "--from", figure, map.path, "-o", again});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const std::string bytes = read_file_bytes(figure);
    EXPECT_FALSE(bytes.empty());
    EXPECT_EQ(read_file_bytes(again), bytes);
  }
}

TEST(FigureCommands, BadInputIsRefusedWithAMessageAndNoFile) {
  MapFile map(12, 10, 4);
  // A picture of another command and a picture with no notes at all.
  const std::string depth_figure = map.scratch.file("depth.png");
  ASSERT_EQ(tool({"depth", map.path, "-o", depth_figure}).exit_status, 0);
  const std::string plain_png = map.scratch.file("plain.png");
  RgbImage* picture = new_rgb_image(2, 2);
  std::memset(picture->pixels, 9, 12);
  ASSERT_TRUE(write_png_rgb(*picture, plain_png.c_str()));
  free_rgb_image(picture);
  const std::string garbage = map.scratch.file("garbage.png");
  write_file_bytes(garbage, "\x89PNG\r\n\x1a\n but no more");
  const std::string tiny = map.scratch.file("tiny.ptm");
  write_file_bytes(tiny, ptm_fixture_bytes(random_ptm_fixture(2, 2, 1, 5, 2)));
  const std::string out = map.scratch.file("out");
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string named;
  };
  const std::vector<Case> cases = {
      {{"render", "--from", depth_figure, map.path, "-o", out + ".png"}, 1, "depth.png"},
      {{"render", "--from", plain_png, map.path, "-o", out + ".png"}, 1, "plain.png"},
      {{"render", "--from", garbage, map.path, "-o", out + ".png"}, 1, "garbage.png"},
      {{"render", "--from", plain_png, map.path, "-o", out + ".png", "--light", "0,0"}, 2, "--from"},
      {{"render", map.path, "-o", out + ".png", "--scale-bar"}, 2, "--scale-bar"},
      {{"render", map.path, "-o", out + ".png", "--ppmm", "0"}, 2, "--ppmm"},
      {{"render", map.path, "-o", out + ".png", "--ppmm", "3", "--dpi", "300"}, 2, "twice"},
      {{"curvature", map.path, "-o", out + ".jpg"}, 2, ".pfm"},
      {{"curvature", map.path, "-o", out + ".png", "--sigma", "-1"}, 2, "--sigma"},
      {{"curvature", map.path, "-o", out + ".pfm", "--ppmm", "2", "--scale-bar"}, 2, "--scale-bar"},
      {{"depth", map.path, "-o", out + ".png", "--detrend", "cubic"}, 2, "--detrend"},
      {{"depth", map.path, "-o", out + ".png", "--method", "rings", "--detrend", "plane"}, 2,
       "--detrend"},
      {{"depth", map.path, "-o", out + ".png", "--sigma", "3"}, 2, "--detail"},
      {{"depth", map.path, "-o", out + ".png", "--detail", "--sigma", "0"}, 2, "--sigma"},
      {{"depth", map.path, "-o", out + ".pfm", "--colormap"}, 2, "--colormap"},
      {{"depth", map.path, "-o", out + ".png", "--ppmm", "3", "--scale-bar"}, 2, "--colormap"},
      {{"normals", map.path, "-o", out + ".png", "--ppmm", "3", "--scale-bar"}, 2, "--scale-bar"},
      {{"mesh", map.path, "-o", out + ".cob", "--ppmm", "3"}, 2, "--ppmm"},
      {{"mesh", map.path, "-o", out + ".cob", "--detrend", "none"}, 2, "--detrend"},
      {{"sheet", map.path, "-o", out + ".jpg"}, 2, ".png"},
      {{"sheet", map.path, "-o", out + ".png", "--azimuths", "0"}, 2, "--azimuths"},
      {{"sheet", map.path, "-o", out + ".png", "--elevation", "91"}, 2, "--elevation"},
      {{"sheet", map.path, "-o", out + ".png", "--light", "0,0"}, 2, "--light"},
      {{"video", map.path, "-o", out + ".avi"}, 2, ".mp4"},
      {{"video", map.path, "-o", out + ".mp4", "--fps", "0"}, 2, "--fps"},
      {{"video", map.path, "-o", out + ".mp4", "--seconds", "0.01"}, 2, "no frame"},
      {{"video", map.path, "-o", out + ".webm", "--size", "1x8"}, 2, "--size"},
      {{"video", map.path, "-o", out + ".mp4", "--scale-bar"}, 2, "--scale-bar"},
      {{"video", map.path, "-o", out + ".mp4", "--gain", "2"}, 2, "--gain"},
      {{"video", tiny, "-o", out + ".mp4"}, 1, "tiny.ptm"},
      {{"video", map.scratch.file("none.ptm"), "-o", out + ".mp4"}, 1, "none.ptm"},
      {{"sheet", map.scratch.file("none.ptm"), "-o", out + ".png"}, 1, "none.ptm"},
      {{"curvature", map.path, "-o", map.scratch.file("no/c.png")}, 1, "no/c.png"},
      {{"video", map.path, "-o", map.scratch.file("no/v.webm")}, 1, "no/v.webm"},
      {{"sheet", map.path, "-o", map.scratch.file("no/s.png")}, 1, "no/s.png"},
  };
  const std::set<std::string> before = file_names_in(map.scratch.path);
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.arguments) trace += a + " ";
    SCOPED_TRACE(trace);
    const ProgramRun run = tool(c.arguments);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(file_names_in(map.scratch.path), before);
  }
}

}  // namespace
