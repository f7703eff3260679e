// A picture of a map for one light direction.
#pragma once

#include <cstdint>

#include "common/rgb_image.h"
#include "ptm/ptm.h"
#include "render/render_mode.h"

// Fills all out.width x out.height pixels from the rectangle of `ptm` whose
// lower-left pixel is (x0, y0): output pixel (x, y) is map pixel
// (x0 + x, y0 + y). The caller keeps the rectangle inside the map. With
// specular enhancement adds the highlight of the map's normals; with the
// PTM-versus-texture comparison shows the lower half as the head-on
// texture dimmed by the light's elevation. Diffuse gain is in the map the
// caller passes. Blocks of rows go to up to `threads` threads; every pixel
// depends on its own map pixel alone, so the bytes are the same for any
// thread count.
void render_ptm_image(RgbImage& out, const Ptm& ptm, const RenderMode& mode, float u, float v,
                      int x0, int y0, int threads = 1);

// The same picture in plain relighting alone: the evaluators' bytes for the
// light (u, v), for products made without a window.
void render_plain_image(RgbImage& out, const Ptm& ptm, float u, float v, int x0, int y0,
                        int threads = 1);

// Where a run of picture rows lies: the picture is `width` x
// `picture_height`, the run its rows first_row .. end_row - 1, picture row r
// is map row y0 + r from column x0 on, and `pixels` receives the run's rows
// (three bytes per pixel, row first_row first). A run is what a block of
// work or a band of a large picture renders; the picture's height matters
// because the texture comparison splits the picture at half its height.
struct PictureRows {
  std::uint8_t* pixels;
  int width;
  int picture_height;
  int first_row;
  int end_row;
  int x0;
  int y0;
};

// The rows of one block of work for a picture `width` pixels wide in
// `mode`. The highlight pass remembers the highlight of each normal it meets
// within a run (a table of 64K slots to clear), so specular runs are longer.
std::int64_t render_block_rows(int width, const RenderMode& mode);

// One run of render_ptm_image's picture, on the calling thread: its pixels
// are those render_ptm_image gives the same rows.
void render_ptm_rows(const PictureRows& rows, const Ptm& ptm, const RenderMode& mode, float u,
                     float v);
