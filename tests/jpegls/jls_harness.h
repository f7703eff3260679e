// Drives the JPEG-LS codec from memory in the tests: whole images in and
// out of the callback interface, PNM test images, and CharLS as an
// independent reference through its public API.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jpegls/jpegls.h"
#include "support/pnm_image.h"

std::string testdata_path(const std::string& relative);

struct DecodeOutcome {
  bool started = false;
  bool decoded = false;
  JlsInfo info{};
  TestImage image;
  std::string messages;  // every diagnostic, one per line
};

// StartDecode, GetInfo and DecodeFromCB over `stream`.
DecodeOutcome decode_jls(const std::string& stream);

struct EncodeOutcome {
  bool encoded = false;
  std::string stream;
  std::string messages;
};

// StartEncode and EncodeFromCB of `image` with `info` (size and
// components taken from the image).
EncodeOutcome encode_jls(const TestImage& image, JlsInfo info);

// The default description for an image of this shape, interleave and NEAR.
JlsInfo info_for(const TestImage& image, int interleave, int near);

// CharLS's encoding and decoding, for cross-checks; CharLS takes and gives
// plane-interleaved images component by component, which these convert.
// `color_transform` is one of HP's transforms 1 to 3, or 0.
std::string charls_encode(const TestImage& image, int interleave, int near, int t1, int t2, int t3,
                          int reset, int color_transform = 0);
bool charls_decode(const std::string& stream, TestImage& image);

// Largest difference between two images of the same shape (-1 when the
// shapes differ).
int max_difference(const TestImage& a, const TestImage& b);
