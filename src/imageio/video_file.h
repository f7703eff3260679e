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
  // The encoder's threads. The file is the same for every number: no
  // random identifiers or versions are written, VP9 shares only columns
  // of tiles among them, and x264's note of its settings (which names
  // the count) is left out. (x264 with several threads limits the
  // vertical motion search to the rows already coded, about a frame's
  // height over the thread count, far more than a light sweep moves.)
  int threads = 1;
};

// FFmpeg's libraries print what they do (the encoder's settings, its
// statistics) on standard error; after this call only their errors, for
// the whole process.
void show_video_library_errors_only();

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
