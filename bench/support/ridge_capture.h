// A synthetic capture for the fit's benchmarks: a Lambertian relief of
// ridges in colour, with a little texture so that no two pixels are alike,
// photographed as a camera would (JPEG, quality 92) under three rings of
// lights, and its light-position file.
#pragma once

#include <string>
#include <vector>

#include "analysis/ptm_fit.h"
#include "imageio/photograph.h"

// `count` lights on three rings at elevations of about 70, 45 and 20
// degrees (a third of them each).
std::vector<LightDirection> ridge_capture_lights(int count);

// The relief lit from `light`, 8 bits, rows rendered on `threads` threads.
Photograph render_ridges(int width, int height, const LightDirection& light, int threads);

// The photograph as a camera-like JPEG file's bytes, with the APP2
// payloads (an ICC profile) given.
std::string ridge_jpeg(const Photograph& photograph, const std::vector<std::string>& app2_payloads);

// Writes `count` photographs shotN.jpg of width x height pixels and
// capture.lp into `folder` (which must exist), two photographs at a time
// on `threads` threads; returns the light-position file's path.
std::string write_ridge_capture(const std::string& folder, int count, int width, int height,
                                int threads);
