#include "app/sliders.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/core/ptm_transform.h"
#include "app/core/slider_values.h"
#include "app/core/viewer_state.h"
#include "app/glat/glat.h"
#include "app/menu.h"
#include "app/view_display.h"
#include "render/diffuse_gain.h"
#include "render/specular.h"

namespace {

// Every program slider is a 100 x 20 horizontal bar in the control panel.
constexpr int slider_width = 100;
constexpr int slider_height = 20;

// Where a slider sits in the main window, from its top-left corner: right
// of the image view (V = view width) and below the reflectance window
// (R = its height), offset by (dx, dy).
struct SliderPlace {
  int ViewerState::*window;  // its window id, 0 while it does not exist
  int dx;
  int dy;
};

constexpr SliderPlace light_place{&ViewerState::light_slider_window, 40, 180};
constexpr SliderPlace gain_place{&ViewerState::gain_slider_window, 25, 50};
constexpr SliderPlace scale_place{&ViewerState::scale_slider_window, 25, 80};
constexpr SliderPlace kd_place{&ViewerState::kd_slider_window, 180, 30};
constexpr SliderPlace ks_place{&ViewerState::ks_slider_window, 180, 55};
constexpr SliderPlace exp_place{&ViewerState::exp_slider_window, 180, 80};
constexpr SliderPlace slider_places[] = {light_place, gain_place, scale_place,
                                         kd_place,    ks_place,   exp_place};

int panel_x(const SliderPlace& place) { return viewer.view_image->width + place.dx; }
int panel_y(const SliderPlace& place) { return viewer.reflectance_image->height + place.dy; }

void redisplay_both() {
  glutPostWindowRedisplay(viewer.main_window);
  glutPostWindowRedisplay(viewer.reflectance_window);
}

// Creates a program slider at its place: its value callback, the panel's
// colours, a mouse callback for the button's release, and its starting
// position.
void create_slider(const SliderPlace& place, GlatCallback on_value,
                   void (*on_mouse)(int, int, int, int), double position) {
  const int window = glatCreateSlider(viewer.main_window, panel_x(place), panel_y(place),
                                      slider_width, slider_height);
  viewer.*place.window = window;
  glatSetCallback(on_value);
  glatSetColors(0.3, 0.3, 0.3, 1, 1, 1, 0.8, 0.8, 0.8);
  glutMouseFunc(on_mouse);
  glatSetSlider(window, position);
}

void destroy_slider(const SliderPlace& place) {
  glatDestroySlider(viewer.*place.window);
  viewer.*place.window = 0;
}

void on_light_slider(double x) {
  viewer.light_intensity[viewer.current_light] = light_intensity_from_slider(x);
  viewer.light_enabled[viewer.current_light] =
      viewer.light_intensity[viewer.current_light] > 0 ? 1 : 0;
}
void on_gain_slider(double x) {
  viewer.diffuse_gain_slider = static_cast<float>(x);
  viewer.diffuse_gain = gain_from_slider(x);
}
void on_scale_slider(double x) { viewer.light_extent = light_extent_from_slider(x); }
void on_kd_slider(double x) { viewer.specular.kd = static_cast<float>(x); }
void on_ks_slider(double x) { viewer.specular.ks = static_cast<float>(x); }
void on_exp_slider(double x) { viewer.specular.exponent = specular_exponent_from_slider(x); }

// Relighting the whole view is too slow to follow a drag: the sliders act
// on the image when the button comes up.
void on_redisplay_release(int /*button*/, int state, int /*x*/, int /*y*/) {
  if (state != GLUT_UP) return;
  end_normal_pictures();
  redisplay_both();
}

void on_gain_release(int /*button*/, int state, int /*x*/, int /*y*/) {
  if (state == GLUT_UP) end_normal_pictures();
  if (state != GLUT_UP || !viewer.diffuse_gain_on) return;
  show_wait_cursor();
  ptm_transform();
  restore_cursors();
  if (viewer.zoomed) zoom_ptm();
  redisplay_both();
}

void on_specular_release(int /*button*/, int state, int /*x*/, int /*y*/) {
  if (state == GLUT_UP) end_normal_pictures();
  if (state == GLUT_UP && viewer.specular_on) redisplay_both();
}

}  // namespace

void draw_caption(int x, int y, const char* text) {
  glRasterPos2i(x, y);
  for (const char* c = text; *c != '\0'; ++c) glutBitmapCharacter(GLUT_BITMAP_TIMES_ROMAN_10, *c);
}

void create_light_slider() {
  create_slider(light_place, on_light_slider, on_redisplay_release,
                slider_position_of_intensity(viewer.light_intensity[viewer.current_light]));
}

void create_gain_slider() {
  create_slider(gain_place, on_gain_slider, on_gain_release, viewer.diffuse_gain_slider);
  viewer.diffuse_gain = gain_on_switching_on(viewer.diffuse_gain_slider);
}

void create_scale_slider() {
  create_slider(scale_place, on_scale_slider, on_redisplay_release,
                slider_position_of_extent(viewer.light_extent));
}

void create_specular_sliders() {
  create_slider(kd_place, on_kd_slider, on_specular_release, slider_position(viewer.specular.kd));
  create_slider(ks_place, on_ks_slider, on_specular_release, slider_position(viewer.specular.ks));
  create_slider(exp_place, on_exp_slider, on_specular_release,
                slider_position_of_exponent(viewer.specular.exponent));
}

void destroy_gain_slider() { destroy_slider(gain_place); }
void destroy_scale_slider() { destroy_slider(scale_place); }

void destroy_specular_sliders() {
  destroy_slider(ks_place);
  destroy_slider(kd_place);
  destroy_slider(exp_place);
}

void reposition_sliders() {
  const int current = glutGetWindow();
  for (const SliderPlace& place : slider_places) {
    const int window = viewer.*place.window;
    if (window == 0) continue;
    glutSetWindow(window);
    glutPositionWindow(panel_x(place), panel_y(place));
  }
  if (current != 0) glutSetWindow(current);
}

void draw_panel_labels() {
  glutSetWindow(viewer.main_window);
  // Captions are placed in drawing coordinates (y upward), below the
  // reflectance window at the panel's left edge (V + 3) or right of the
  // specular sliders (V + 284).
  const int v = viewer.view_image->width;
  const int top = viewer.main_window_height - viewer.reflectance_image->height;
  glColor3f(1.0f, 1.0f, 1.0f);
  if (viewer.extrapolation_on) draw_caption(v + 3, top - 91, "Scale");
  if (viewer.diffuse_gain_on) draw_caption(v + 3, top - 61, "Amp");
  if (viewer.specular_on) {
    draw_caption(v + 284, top - 41, "Kd");
    draw_caption(v + 284, top - 66, "Ks");
    draw_caption(v + 284, top - 91, "Exp");
  }
  char light_caption[24];  // room for any int, though current_light is 0..8
  std::snprintf(light_caption, sizeof light_caption, "Light  %d", viewer.current_light + 1);
  draw_caption(v + 3, top - 191, light_caption);
  glRasterPos2i(0, 0);
}
