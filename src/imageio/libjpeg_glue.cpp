#include "imageio/libjpeg_glue.h"

// clang-format off
#include <jerror.h>
// clang-format on

namespace {

[[noreturn]] void exit_by_jump(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

// The stored stream is handed to libjpeg all at the first request: the
// library only reads through next_input_byte, so no copy is needed.
struct JpegMemorySource {
  jpeg_source_mgr pub;
  const JOCTET* data;  // next byte not yet handed to the library
  const JOCTET* end;   // one past the stream's last byte
  int start_of_file;   // 1 until the stream has been handed out
};

JpegMemorySource* memory_source(j_decompress_ptr cinfo) {
  return reinterpret_cast<JpegMemorySource*>(cinfo->src);
}

void init_source(j_decompress_ptr cinfo) { memory_source(cinfo)->start_of_file = 1; }

// Past the end of the stream the library gets an end-of-image marker, as
// from libjpeg's own file source.
const JOCTET end_of_image[2] = {0xFF, JPEG_EOI};

boolean fill_input_buffer(j_decompress_ptr cinfo) {
  JpegMemorySource* src = memory_source(cinfo);
  if (src->data == src->end) {
    if (src->start_of_file != 0) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->pub.next_input_byte = end_of_image;
    src->pub.bytes_in_buffer = sizeof end_of_image;
  } else {
    src->pub.next_input_byte = src->data;
    src->pub.bytes_in_buffer = static_cast<std::size_t>(src->end - src->data);
    src->data = src->end;
  }
  src->start_of_file = 0;
  return TRUE;
}

// A marker segment may declare up to 65533 bytes to skip. Past the end of
// the stream nothing is left to skip over: the library gets the
// end-of-image marker once, where a loop of fills would hand it out two
// bytes at a time, some 30,000 times for a few bytes of a damaged stream.
void skip_input_data(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* pub = cinfo->src;
  const JpegMemorySource* src = memory_source(cinfo);
  while (count > static_cast<long>(pub->bytes_in_buffer)) {
    count -= static_cast<long>(pub->bytes_in_buffer);
    const bool exhausted = src->data == src->end;
    fill_input_buffer(cinfo);
    if (exhausted) return;
  }
  pub->next_input_byte += count;
  pub->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void term_source(j_decompress_ptr) {}

// libjpeg's compressed output gathered in a growing vector.
struct JpegMemoryDestination {
  jpeg_destination_mgr pub;
  std::vector<std::uint8_t>* stream;
};

constexpr std::size_t destination_block = 65536;

std::vector<std::uint8_t>& destination_stream(j_compress_ptr cinfo) {
  return *reinterpret_cast<JpegMemoryDestination*>(cinfo->dest)->stream;
}

void init_destination(j_compress_ptr cinfo) {
  std::vector<std::uint8_t>& stream = destination_stream(cinfo);
  stream.resize(destination_block);
  cinfo->dest->next_output_byte = stream.data();
  cinfo->dest->free_in_buffer = stream.size();
}

// Called when the whole free space is used: the vector doubles.
boolean empty_output_buffer(j_compress_ptr cinfo) {
  std::vector<std::uint8_t>& stream = destination_stream(cinfo);
  const std::size_t used = stream.size();
  stream.resize(used * 2);
  cinfo->dest->next_output_byte = stream.data() + used;
  cinfo->dest->free_in_buffer = stream.size() - used;
  return TRUE;
}

void term_destination(j_compress_ptr cinfo) {
  std::vector<std::uint8_t>& stream = destination_stream(cinfo);
  stream.resize(stream.size() - cinfo->dest->free_in_buffer);
}

void limit_scans(j_common_ptr common) {
  auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
  if (cinfo->input_scan_number <= max_jpeg_scans) return;
  auto* error = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  std::fprintf(stderr, "JPEG stream has more than %d scans\n", max_jpeg_scans);
  std::longjmp(error->jump, 1);
}

}  // namespace

jpeg_error_mgr* jumping_error_manager(JpegErrorManager& manager) {
  jpeg_error_mgr* err = jpeg_std_error(&manager.pub);
  err->error_exit = exit_by_jump;
  return err;
}

void install_memory_source(j_decompress_ptr cinfo, const std::uint8_t* stream,
                           std::size_t stream_bytes) {
  auto* src = static_cast<JpegMemorySource*>((*cinfo->mem->alloc_small)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegMemorySource)));
  src->pub.init_source = init_source;
  src->pub.fill_input_buffer = fill_input_buffer;
  src->pub.skip_input_data = skip_input_data;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = term_source;
  src->pub.bytes_in_buffer = 0;
  src->pub.next_input_byte = nullptr;
  src->data = stream;
  src->end = stream + stream_bytes;
  src->start_of_file = 1;
  cinfo->src = &src->pub;
}

void install_memory_destination(j_compress_ptr cinfo, std::vector<std::uint8_t>* stream) {
  // Allocated in the compressor's permanent pool, released with it.
  auto* destination = static_cast<JpegMemoryDestination*>((*cinfo->mem->alloc_small)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegMemoryDestination)));
  destination->pub.init_destination = init_destination;
  destination->pub.empty_output_buffer = empty_output_buffer;
  destination->pub.term_destination = term_destination;
  destination->stream = stream;
  cinfo->dest = &destination->pub;
}

void install_scan_limit(j_decompress_ptr cinfo, jpeg_progress_mgr& progress) {
  progress.progress_monitor = limit_scans;
  cinfo->progress = &progress;
}
