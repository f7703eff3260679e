// FFmpeg 5's send/receive encoding interface: frames go in with
// avcodec_send_frame, packets come out with avcodec_receive_packet (the
// encoder holds several frames back to look ahead), and the muxer orders
// and writes them. The container writes through our own I/O callbacks on
// OutputFile's temporary file, so a failure leaves no file behind.
#include "imageio/video_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <cstring>

#include "common/output_file.h"

namespace {

// The muxer's write buffer.
constexpr int io_buffer_size = 1 << 16;

std::string error_text(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

int write_to_file(void* opaque, std::uint8_t* data, int size) {
  auto* file = static_cast<std::FILE*>(opaque);
  if (std::fwrite(data, 1, static_cast<std::size_t>(size), file) != static_cast<std::size_t>(size)) {
    return AVERROR(EIO);
  }
  return size;
}

std::int64_t seek_in_file(void* opaque, std::int64_t offset, int whence) {
  auto* file = static_cast<std::FILE*>(opaque);
  if (whence == AVSEEK_SIZE) return -1;  // unknown: the muxer does without
  if (std::fflush(file) != 0 || std::fseek(file, static_cast<long>(offset), whence) != 0) {
    return AVERROR(EIO);
  }
  return std::ftell(file);
}

struct CodecChoice {
  const char* container;  // libavformat's name
  const char* encoder;    // libavcodec's name
  const char* label;      // for messages
};

CodecChoice codec_choice(VideoContainer container) {
  return container == VideoContainer::mp4 ? CodecChoice{"mp4", "libx264", "H.264 (libx264)"}
                                          : CodecChoice{"webm", "libvpx-vp9", "VP9 (libvpx-vp9)"};
}

// Quality and speed: H.264 at a constant rate factor of 18 (close to
// visually lossless for relit surfaces) with the "medium" preset; VP9 in
// constant-quality mode (crf 30 with no bitrate cap) at speed 4 of 0..8,
// rows of a frame in parallel.
void set_encoder_options(AVCodecContext* codec, VideoContainer container) {
  if (container == VideoContainer::mp4) {
    av_opt_set(codec->priv_data, "preset", "medium", 0);
    av_opt_set(codec->priv_data, "crf", "18", 0);
    // High profile is what browsers decode in hardware.
    av_opt_set(codec->priv_data, "profile", "high", 0);
  } else {
    codec->bit_rate = 0;
    av_opt_set(codec->priv_data, "crf", "30", 0);
    av_opt_set(codec->priv_data, "deadline", "good", 0);
    av_opt_set(codec->priv_data, "cpu-used", "4", 0);
    // Columns of tiles (up to 4, as the width allows) are coded apart and
    // shared among the threads; rows within a tile are not, as libvpx's
    // row threading changes the bytes with the thread count.
    av_opt_set(codec->priv_data, "row-mt", "0", 0);
    av_opt_set(codec->priv_data, "tile-columns", "2", 0);
  }
}

}  // namespace

struct VideoFile::Encoder {
  std::string path;
  OutputFile file;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  SwsContext* convert = nullptr;
  // H.264 only: takes x264's SEI note of its settings out of the stream,
  // the one part of the bytes that names the encoder's thread count.
  AVBSFContext* filter = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  std::int64_t next_pts = 0;

  ~Encoder() {
    if (format != nullptr) {
      if (format->pb != nullptr) {
        av_freep(&format->pb->buffer);
        avio_context_free(&format->pb);
      }
      avformat_free_context(format);
    }
    av_bsf_free(&filter);
    avcodec_free_context(&codec);
    sws_freeContext(convert);
    av_frame_free(&frame);
    av_packet_free(&packet);
  }

  bool fail(const std::string& message) {
    std::fprintf(stderr, "Can't write video %s: %s; no file was written\n", path.c_str(),
                 message.c_str());
    return false;
  }

  bool write_packet() {
    av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
    packet->stream_index = stream->index;
    const int status = av_interleaved_write_frame(format, packet);
    if (status < 0) return fail("writing failed: " + error_text(status));
    return true;
  }

  // Passes the packet in `packet` (none at the end) through the filter and
  // writes what comes out.
  bool filter_and_write(bool end) {
    if (filter == nullptr) return end || write_packet();
    int status = av_bsf_send_packet(filter, end ? nullptr : packet);
    if (status < 0) return fail("the stream filter refused a packet: " + error_text(status));
    for (;;) {
      status = av_bsf_receive_packet(filter, packet);
      if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
      if (status < 0) return fail("the stream filter failed: " + error_text(status));
      if (!write_packet()) return false;
    }
  }

  // Sends `input` (null: the end) and writes every packet that comes out.
  bool encode(const AVFrame* input) {
    int status = avcodec_send_frame(codec, input);
    if (status < 0) return fail("the encoder refused a frame: " + error_text(status));
    for (;;) {
      status = avcodec_receive_packet(codec, packet);
      if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) {
        return input != nullptr || filter_and_write(true);
      }
      if (status < 0) return fail("the encoder failed: " + error_text(status));
      if (!filter_and_write(false)) return false;
    }
  }

  // The filter that removes SEI units (NAL unit type 6) from H.264.
  bool start_filter() {
    const AVBitStreamFilter* kind = av_bsf_get_by_name("filter_units");
    if (kind == nullptr || av_bsf_alloc(kind, &filter) < 0) {
      return fail("this FFmpeg has no filter_units stream filter");
    }
    av_opt_set(filter->priv_data, "remove_types", "6", 0);
    int status = avcodec_parameters_from_context(filter->par_in, codec);
    if (status >= 0) {
      filter->time_base_in = codec->time_base;
      status = av_bsf_init(filter);
    }
    if (status < 0) return fail("the stream filter cannot start: " + error_text(status));
    return true;
  }
};

void show_video_library_errors_only() { av_log_set_level(AV_LOG_ERROR); }

VideoFile::VideoFile() = default;
VideoFile::~VideoFile() = default;

bool VideoFile::open(const char* path, const VideoSettings& settings) {
  encoder_ = std::make_unique<Encoder>();
  Encoder& e = *encoder_;
  e.path = path;
  const CodecChoice choice = codec_choice(settings.container);
  if (settings.width < 2 || settings.height < 2 || settings.width % 2 != 0 ||
      settings.height % 2 != 0) {
    return e.fail("a video needs an even width and height of at least 2");
  }
  const AVCodec* codec = avcodec_find_encoder_by_name(choice.encoder);
  if (codec == nullptr) {
    return e.fail(std::string("this FFmpeg has no ") + choice.label + " encoder");
  }
  if (avformat_alloc_output_context2(&e.format, nullptr, choice.container, nullptr) < 0) {
    return e.fail(std::string("this FFmpeg cannot write ") + choice.container);
  }
  e.stream = avformat_new_stream(e.format, nullptr);
  e.codec = avcodec_alloc_context3(codec);
  e.frame = av_frame_alloc();
  e.packet = av_packet_alloc();
  if (e.stream == nullptr || e.codec == nullptr || e.frame == nullptr || e.packet == nullptr) {
    return e.fail("FFmpeg could not start");
  }
  AVCodecContext* c = e.codec;
  c->width = settings.width;
  c->height = settings.height;
  c->time_base = AVRational{1, settings.frames_per_second};
  c->framerate = AVRational{settings.frames_per_second, 1};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->gop_size = 2 * settings.frames_per_second;  // a key frame every 2 s, for seeking
  c->thread_count = settings.threads;
  // Rec. 709 colours, limited range: what browsers assume for video of
  // this kind, and what the conversion below produces.
  c->color_primaries = AVCOL_PRI_BT709;
  c->color_trc = AVCOL_TRC_BT709;
  c->colorspace = AVCOL_SPC_BT709;
  c->color_range = AVCOL_RANGE_MPEG;
  // No random identifiers or library versions in the file: the same
  // frames give the same bytes.
  e.format->flags |= AVFMT_FLAG_BITEXACT;
  c->flags |= AV_CODEC_FLAG_BITEXACT;
  if ((e.format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  set_encoder_options(c, settings.container);
  int status = avcodec_open2(c, codec, nullptr);
  if (status < 0) return e.fail("the encoder cannot start: " + error_text(status));
  if (settings.container == VideoContainer::mp4 && !e.start_filter()) return false;
  status = avcodec_parameters_from_context(e.stream->codecpar, c);
  if (status < 0) return e.fail("FFmpeg could not start: " + error_text(status));
  e.stream->time_base = c->time_base;
  e.stream->avg_frame_rate = c->framerate;

  e.frame->format = c->pix_fmt;
  e.frame->width = c->width;
  e.frame->height = c->height;
  if (av_frame_get_buffer(e.frame, 0) < 0) return e.fail("no memory for a frame");
  e.convert = sws_getContext(c->width, c->height, AV_PIX_FMT_RGB24, c->width, c->height,
                             AV_PIX_FMT_YUV420P, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr,
                             nullptr, nullptr);
  if (e.convert == nullptr) return e.fail("FFmpeg cannot convert the pictures");
  // RGB in full range to Rec. 709 YUV in limited range.
  sws_setColorspaceDetails(e.convert, sws_getCoefficients(SWS_CS_ITU709), 1,
                           sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);

  if (!e.file.open(path)) {
    return e.fail(std::strerror(e.file.error()));
  }
  auto* buffer = static_cast<unsigned char*>(av_malloc(io_buffer_size));
  if (buffer == nullptr) return e.fail("no memory for the output buffer");
  e.format->pb = avio_alloc_context(buffer, io_buffer_size, 1, e.file.get(), nullptr,
                                    write_to_file, seek_in_file);
  if (e.format->pb == nullptr) {
    av_free(buffer);
    return e.fail("no memory for the output");
  }
  // A pipe or a terminal cannot go back to fill in sizes: the muxers then
  // write what they can in one pass.
  e.format->pb->seekable = std::ftell(e.file.get()) >= 0 ? AVIO_SEEKABLE_NORMAL : 0;
  status = avformat_write_header(e.format, nullptr);
  if (status < 0) return e.fail("the container cannot start: " + error_text(status));
  return true;
}

bool VideoFile::add_frame(const RgbImage& picture) {
  Encoder& e = *encoder_;
  if (picture.width != e.codec->width || picture.height != e.codec->height) {
    return e.fail("a frame is not of the video's size");
  }
  if (av_frame_make_writable(e.frame) < 0) return e.fail("no memory for a frame");
  // The picture is bottom-up: start at its top row and step backward.
  const int stride = 3 * picture.width;
  const std::uint8_t* top = picture.pixels + static_cast<std::size_t>(picture.height - 1) * stride;
  const std::uint8_t* const source[1] = {top};
  const int source_stride[1] = {-stride};
  sws_scale(e.convert, source, source_stride, 0, picture.height, e.frame->data,
            e.frame->linesize);
  e.frame->pts = e.next_pts++;
  return e.encode(e.frame);
}

bool VideoFile::finish() {
  Encoder& e = *encoder_;
  if (!e.encode(nullptr)) return false;
  const int status = av_write_trailer(e.format);
  if (status < 0) return e.fail("the container cannot be finished: " + error_text(status));
  avio_flush(e.format->pb);
  if (e.format->pb->error < 0) return e.fail(error_text(e.format->pb->error));
  if (!e.file.commit()) {
    report_write_failure("video", e.path.c_str(), e.file.error());
    return false;
  }
  return true;
}
