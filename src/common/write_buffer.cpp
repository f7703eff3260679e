#include "common/write_buffer.h"

#include <cstring>

#include "common/checked_alloc.h"

WriteBuffer::WriteBuffer(std::FILE* file)
    : file_(file), data_(checked_alloc_array<char>(capacity)) {}

WriteBuffer::~WriteBuffer() {
  flush();
  checked_free(data_);
}

void WriteBuffer::append(std::string_view bytes) {
  if (bytes.size() > reserve) {
    flush();
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    return;
  }
  char* out = room(bytes.size());
  std::memcpy(out, bytes.data(), bytes.size());
  advance(out + bytes.size());
}

void WriteBuffer::flush() {
  std::fwrite(data_, 1, used_, file_);
  used_ = 0;
}
