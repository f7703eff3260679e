// Writing a video file through FFmpeg's libraries (libavformat for the
// container, libavcodec for the encoder, libswscale for the colour
// conversion): H.264 in MP4 and VP9 in WebM, the pairs every browser
// plays, from 8-bit RGB pictures.
#pragma once

#include <memory>
#include <string>

#include "common/rgb_image.h"

enum class VideoContainer { mp4, webm };

struct VideoSettings {
  VideoContainer container = VideoContainer::mp4;
  int width = 0;   // even, at least 2: 4:2:0 chroma covers 2 x 2 pixels
  int height = 0;
  int frames_per_second = 25;
  // The encoder's own threads; the bytes it writes depend on their number
  // with H.264 (each thread starts its frame before the previous one is
  // done), never the pictures' content.
  int threads = 1;
};

// One video file being written: open, add every frame in order, finish.
// Written through OutputFile, so the target appears only when finish()
// succeeds; an object destroyed before that leaves nothing behind.
class VideoFile {
 public:
  VideoFile();
  ~VideoFile();
  VideoFile(const VideoFile&) = delete;
  VideoFile& operator=(const VideoFile&) = delete;

  // Opens `path` for the settings. False after a message naming the file
  // on standard error (the encoder missing from this FFmpeg, a size the
  // encoder refuses, a file that cannot be made).
  bool open(const char* path, const VideoSettings& settings);

  // Encodes the next frame: a bottom-up picture of the video's size.
  // False after a message.
  bool add_frame(const RgbImage& picture);

  // Drains the encoder, writes the container's index and moves the file to
  // its name. False after a message; nothing is left then.
  bool finish();

 private:
  struct Encoder;
  std::unique_ptr<Encoder> encoder_;
};
