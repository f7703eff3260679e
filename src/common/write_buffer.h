// Bytes gathered in a large buffer and handed to a stream in big writes,
// for files of millions of small pieces (mesh vertices and faces): one
// fwrite per megabyte instead of one per number.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

class WriteBuffer {
 public:
  explicit WriteBuffer(std::FILE* file);
  // Hands what is left to the stream. Write errors stay in the stream's
  // error flag, for the caller's commit to find.
  ~WriteBuffer();
  WriteBuffer(const WriteBuffer&) = delete;
  WriteBuffer& operator=(const WriteBuffer&) = delete;

  // Room for `bytes` more bytes (at most `reserve`), to be filled and then
  // passed to advance.
  char* room(std::size_t bytes) {
    if (capacity - used_ < bytes) flush();
    return data_ + used_;
  }
  void advance(char* end) { used_ = static_cast<std::size_t>(end - data_); }

  void append(std::string_view bytes);

  // Hands the gathered bytes to the stream now.
  void flush();

  // The largest piece `room` hands out.
  static constexpr std::size_t reserve = 4096;

 private:
  static constexpr std::size_t capacity = std::size_t{1} << 20;
  std::FILE* file_;
  char* data_;
  std::size_t used_ = 0;
};
