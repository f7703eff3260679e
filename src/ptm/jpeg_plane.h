// One coefficient or colour plane as a baseline JPEG stream of a single
// 8-bit component, through the libjpeg 6b interface: the stream always
// comes from memory and the samples always go to memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes `stream_bytes` bytes of `stream` into `destination`, which holds
// width x height bytes, rows in stream order. Returns width * height, or
// -1 when the stream is not a one-component image of exactly that size or
// libjpeg cannot decode it (its message is printed on standard error, and
// a line of ours on standard output). The stream is never read past its
// end: when libjpeg wants more it gets an end-of-image marker.
int decode_jpeg_plane(const std::uint8_t* stream, std::size_t stream_bytes,
                      std::uint8_t* destination, int width, int height);

// The same a band of rows at a time, so that several planes can be decoded
// side by side without holding any of them whole. open_jpeg_plane returns
// null after a message when the stream is not a plane of this size;
// read_jpeg_plane_rows delivers the next `count` rows into `rows` (width
// bytes each, consecutive) or returns false after a message; the reader
// stays open until close_jpeg_plane (null allowed).
struct JpegPlaneReader;
JpegPlaneReader* open_jpeg_plane(const std::uint8_t* stream, std::size_t stream_bytes, int width,
                                 int height);
bool read_jpeg_plane_rows(JpegPlaneReader* reader, std::uint8_t* rows, int count);
void close_jpeg_plane(JpegPlaneReader* reader);

// The stream's frame header, read before anything is decoded or allocated
// for the image: the most samples the stream's bytes can code when it is a
// one-component image of width x height (Huffman coding spends at least
// one bit on every 8 x 8 block; arithmetic coding has no such floor, and
// gives UINT64_MAX), or 0 after the messages of open_jpeg_plane when it is
// not such an image.
std::uint64_t probe_jpeg_plane(const std::uint8_t* stream, std::size_t stream_bytes, int width,
                               int height);

// Encodes width x height bytes of `plane` at `quality` (1..100, libjpeg's
// scale) into `stream`, replacing its content. False after libjpeg's
// message when the library refuses.
bool encode_jpeg_plane(const std::uint8_t* plane, int width, int height, int quality,
                       std::vector<std::uint8_t>& stream);
