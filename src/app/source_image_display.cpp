#include "app/source_image_display.h"

#include <GL/freeglut.h>

#include <algorithm>

#include "analysis/source_images.h"
#include "app/core/viewer_state.h"
#include "app/sliders.h"
#include "app/view_display.h"
#include "render/reflectance_plot.h"

namespace {

void draw_rgb(const RgbImage& image, int width, int height) {
  glDrawPixels(width, height, GL_RGB, GL_UNSIGNED_BYTE, image.pixels);
}

// The photograph magnified by the zoom factor with the map's pan, so that
// each view pixel shows the photograph where it shows the map: view pixel
// x stands for photograph column x / z + width * pan_u. The view is black
// where the panned photograph does not reach.
void draw_zoomed(const RgbImage& photo) {
  const int view_w = viewer.view_image->width;
  const int view_h = viewer.view_image->height;
  const float z = viewer.zoom_factor;
  glClearColor(0, 0, 0, 1);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, view_w, view_h);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glPixelZoom(z, z);
  // Where the photograph's corner lands; a corner left of (or below) the
  // view is drawn from the first column (row) that is inside instead.
  const float px = -(photo.width * viewer.pan_u * z);
  const float py = -(photo.height * viewer.pan_v * z);
  float raster_x = 0;
  float raster_y = 0;
  int skip_x = 0;
  int skip_y = 0;
  if (px > 0) {
    raster_x = px;
  } else {
    skip_x = static_cast<int>(0.5f - px / z);
  }
  if (py > 0) {
    raster_y = py;
  } else {
    skip_y = static_cast<int>(0.5f - py / z);
  }
  const int w = std::min(static_cast<int>(view_w / z - raster_x / z + 0.5f), photo.width - skip_x);
  const int h = std::min(static_cast<int>(view_h / z - raster_y / z + 0.5f), photo.height - skip_y);
  // Panned wholly out of the view: nothing of it to draw.
  if (w > 0 && h > 0) {
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, skip_x);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, skip_y);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, photo.width);
    glRasterPos2f(raster_x, raster_y);
    draw_rgb(photo, w, h);
  }
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glPixelZoom(1, 1);
  glRasterPos2i(0, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void draw_photograph(const RgbImage& photo) {
  glPixelTransferf(GL_RED_SCALE, 1.0f);
  glPixelTransferf(GL_GREEN_SCALE, 1.0f);
  glPixelTransferf(GL_BLUE_SCALE, 1.0f);
  glDisable(GL_BLEND);
  if (viewer.zoomed) {
    draw_zoomed(photo);
  } else {
    glRasterPos2i(0, 0);
    draw_rgb(photo, photo.width, photo.height);
  }
  glColor3f(1.0f, 1.0f, 1.0f);
  draw_caption(20, 20, "Source image");
  glRasterPos2i(0, 0);
}

// The probe as a pixel of the photographs (which have the loaded map's
// size): while zoomed the probe is a view pixel of the zoomed map and is
// taken back to the loaded map's pixel it shows.
void probe_in_photographs(int& x, int& y) {
  x = viewer.probe_x;
  y = viewer.probe_y;
  if (!viewer.zoomed) return;
  const Ptm& map = *viewer.current_ptm;
  x = static_cast<int>(map.width * viewer.pan_u + x / viewer.zoom_factor + 0.5f);
  y = static_cast<int>(map.height * viewer.pan_v + y / viewer.zoom_factor + 0.5f);
}

}  // namespace

bool draw_source_photograph_for_light(float u, float v) {
  if (!viewer.source_errors_on || !viewer.show_source_image) return false;
  // The choice is announced on the console, except while a region is
  // being dragged out (each step of the drag redraws the view).
  const int index = select_source_image(viewer.source_images, u, v, !viewer.selecting);
  if (index < 0) return false;
  draw_photograph(*viewer.source_images.images[index].image);
  return true;
}

void draw_source_samples() {
  int px = 0;
  int py = 0;
  probe_in_photographs(px, py);
  const SourceImageSet& set = viewer.source_images;
  for (int k = 0; k < set.count; ++k) {
    const RgbImage& photo = *set.images[k].image;
    float rgb[3] = {0, 0, 0};  // black outside the photograph
    if (px >= 0 && py >= 0 && px < photo.width && py < photo.height) {
      const std::uint8_t* pixel =
          photo.pixels + (static_cast<std::size_t>(py) * photo.width + px) * 3;
      for (int c = 0; c < 3; ++c) rgb[c] = pixel[c] / 255.0f;
    }
    const PlotPoint centre = plot_position(set.images[k].lu, set.images[k].lv, viewer.light_extent);
    glColor3f(rgb[0], rgb[1], rgb[2]);
    glRecti(centre.x - 10, centre.y - 10, centre.x + 10, centre.y + 10);
    glColor3f(0, 0, 0);
    glBegin(GL_LINE_STRIP);
    glVertex2i(centre.x - 10, centre.y - 10);
    glVertex2i(centre.x - 10, centre.y + 10);
    glVertex2i(centre.x + 10, centre.y + 10);
    glVertex2i(centre.x + 10, centre.y - 10);
    glVertex2i(centre.x - 10, centre.y - 10);
    glEnd();
  }
}

void glance_at_relit_map() {
  glutSetWindow(viewer.main_window);
  glRasterPos2i(0, 0);
  draw_rgb(*viewer.view_image, viewer.view_image->width, viewer.view_image->height);
  glutSwapBuffers();
}

void relight_behind_photograph() {
  viewer.show_source_image = 0;
  composite_lights();
  viewer.show_source_image = 1;
}
