#include "app/view_display.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstring>

#include "app/core/ptm_transform.h"
#include "app/core/viewer_state.h"
#include "app/menu.h"
#include "app/sliders.h"
#include "app/source_image_display.h"
#include "render/render_image.h"
#include "render/zoom.h"

namespace {

bool full_clear_requested = true;

// The selection rectangle is drawn with XOR, so that drawing it again at
// the same corners erases it: whether a band is on screen, and its corners.
int rubber_band_drawn = 0;
int band_corners[4] = {};

void draw_rubber_band() {
  glEnable(GL_COLOR_LOGIC_OP);
  glLogicOp(GL_XOR);
  glColor3f(1, 1, 1);
  auto loop = [](int x0, int y0, int x1, int y1) {
    glBegin(GL_LINE_LOOP);
    glVertex2i(x0, y0);
    glVertex2i(x0, y1);
    glVertex2i(x1, y1);
    glVertex2i(x1, y0);
    glEnd();
  };
  if (rubber_band_drawn) loop(band_corners[0], band_corners[1], band_corners[2], band_corners[3]);
  loop(viewer.sel_x0, viewer.sel_y0, viewer.sel_x1, viewer.sel_y1);
  glDisable(GL_COLOR_LOGIC_OP);
  band_corners[0] = viewer.sel_x0;
  band_corners[1] = viewer.sel_y0;
  band_corners[2] = viewer.sel_x1;
  band_corners[3] = viewer.sel_y1;
}

void draw_image(const RgbImage& image, int x, int y) {
  glRasterPos2i(x, y);
  glDrawPixels(image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE, image.pixels);
}

void set_pixel_scale(float scale) {
  glPixelTransferf(GL_RED_SCALE, scale);
  glPixelTransferf(GL_GREEN_SCALE, scale);
  glPixelTransferf(GL_BLUE_SCALE, scale);
}

// Every enabled light rendered into `image` (the rectangle at (x0, y0) of
// the view) and drawn there with its intensity as the pixel-transfer scale;
// additive blending sums the lights, each channel saturating. With
// `photographs`, a light taken by a source photograph shows that
// photograph in place of the map and ends the sum. Returns whether any
// light was drawn.
bool draw_enabled_lights(RgbImage& image, int x0, int y0, bool photographs) {
  viewer.light_u_of[viewer.current_light] = viewer.light_u;
  viewer.light_v_of[viewer.current_light] = viewer.light_v;
  glutSetWindow(viewer.main_window);
  glRasterPos2i(x0, y0);
  const RenderMode mode = viewer_render_mode();
  bool drawn = false;
  for (int i = 0; i < light_count; ++i) {
    if (!viewer.light_enabled[i]) continue;
    const float u = viewer.light_u_of[i];
    const float v = viewer.light_v_of[i];
    if (photographs && draw_source_photograph_for_light(u, v)) {
      drawn = true;
      break;
    }
    render_ptm_image(image, *displayed_ptm(), mode, u, v, x0, y0);
    set_pixel_scale(viewer.light_intensity[i]);
    draw_image(image, x0, y0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    drawn = true;
  }
  set_pixel_scale(1.0f);
  glDisable(GL_BLEND);
  return drawn;
}

// Clears a rectangle of the main window with the scissor test.
void clear_rectangle(int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return;
  glEnable(GL_SCISSOR_TEST);
  glScissor(x, y, width, height);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

}  // namespace

void display_main_window() {
  glutSetWindow(viewer.main_window);
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  const int view_w = viewer.view_image->width;
  const int view_h = viewer.view_image->height;
  if (glutLayerGet(GLUT_NORMAL_DAMAGED) || full_clear_requested) {
    full_clear_requested = false;
    glClear(GL_COLOR_BUFFER_BIT);
  } else {
    // The panel's captions change with the current light and the modes:
    // they are drawn on a cleared panel, never over their old text.
    clear_rectangle(view_w, 0, viewer.main_window_width - view_w, viewer.main_window_height);
    // A back buffer holds an older frame, so the strip above the image is
    // cleared too; the image itself is redrawn whole.
    if (viewer.double_buffered)
      clear_rectangle(0, view_h, view_w, viewer.main_window_height - view_h);
  }
  if (viewer.normal_vis_request_view) {
    // The picture stays through redraws that change nothing (an expose,
    // the menu closing over the window) until end_normal_pictures.
    normal_image(*normals_ptm(), *viewer.view_image);
    draw_image(*viewer.view_image, 0, 0);
  } else if (viewer.light_dragging) {
    composite_lights_region();
  } else {
    composite_lights();
  }
  if (viewer.selection_visible) {
    draw_rubber_band();
    rubber_band_drawn = 1;
    viewer.selection_visible = 0;
  }
  draw_panel_labels();
  glFlush();
  glutSwapBuffers();
}

void request_full_clear() { full_clear_requested = true; }

void end_normal_pictures() {
  if (!viewer.normal_vis_request_view && !viewer.normal_vis_request_reflectance) return;
  viewer.normal_vis_request_view = 0;
  viewer.normal_vis_request_reflectance = 0;
  glutPostWindowRedisplay(viewer.main_window);
  glutPostWindowRedisplay(viewer.reflectance_window);
}

void composite_lights() {
  if (!draw_enabled_lights(*viewer.view_image, 0, 0, true)) {
    glClear(GL_COLOR_BUFFER_BIT);
    draw_panel_labels();
  }
  rubber_band_drawn = 0;  // the image covered the band
}

void composite_lights_region() {
  draw_enabled_lights(*viewer.region_image, viewer.region_x, viewer.region_y, false);
}

void zoom_ptm() {
  show_wait_cursor();
  const Ptm& current = *viewer.current_ptm;
  if (viewer.display_ptm == nullptr) viewer.display_ptm = create_derived_ptm(current);
  ZoomResult result = ZoomResult::done;
  if (viewer.diffuse_gain_on) {
    // The zoom resamples the transformed map into a new one. A display_ptm
    // that is already a zoomed copy (after a reshape or a colour discard)
    // is transformed afresh first, so a view is never zoomed twice.
    if (!viewer.display_ptm_transformed) ptm_transform();
    Ptm* zoomed = create_derived_ptm(current);
    result =
        zoom_ptm_into(*viewer.display_ptm, *zoomed, viewer.zoom_factor, viewer.pan_u, viewer.pan_v);
    // The scale and bias of the transform describe the zoomed values too.
    std::memcpy(zoomed->scale_bias, viewer.display_ptm->scale_bias, 12 * sizeof(std::int32_t));
    zoomed->normals = viewer.display_ptm->normals;
    viewer.display_ptm->normals = nullptr;
    free_derived_ptm_of(viewer.display_ptm, current);
    viewer.display_ptm = zoomed;
  } else {
    own_color_planes(*viewer.display_ptm, current);
    result =
        zoom_ptm_into(current, *viewer.display_ptm, viewer.zoom_factor, viewer.pan_u, viewer.pan_v);
  }
  viewer.display_ptm_transformed = 0;
  if (result == ZoomResult::unsupported_format) viewer.zoomed = 0;
  restore_cursors();
}

void zoom_normals() {
  if (viewer.display_ptm == nullptr || viewer.current_ptm->normals == nullptr) return;
  zoom_normals_into(*viewer.current_ptm, *viewer.display_ptm, viewer.zoom_factor, viewer.pan_u,
                    viewer.pan_v);
}
