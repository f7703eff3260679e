// Bytes as base64 text (RFC 4648, section 4: the standard alphabet with '='
// padding), for files embedded in a web page as data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Appends the base64 text of the `size` bytes at `data` to `out`.
void append_base64(const std::uint8_t* data, std::size_t size, std::string& out);
