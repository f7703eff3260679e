#include "app/sliders.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/core/viewer_state.h"
#include "app/glat/glat.h"
#include "render/light_state.h"

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

// One row per slider of the panel. The mode sliders (Amp at (25, 50),
// Scale at (25, 80), Kd, Ks and Exp at (180, 30), (180, 55) and
// (180, 80)) join the light slider here when they are added.
constexpr SliderPlace light_slider_place{&ViewerState::light_slider_window, 40, 180};
constexpr SliderPlace slider_places[] = {light_slider_place};

int panel_x(const SliderPlace& place) { return viewer.view_image->width + place.dx; }
int panel_y(const SliderPlace& place) { return viewer.reflectance_image->height + place.dy; }

void set_program_slider_colors() { glatSetColors(0.3, 0.3, 0.3, 1, 1, 1, 0.8, 0.8, 0.8); }

// The slider spans intensities 0..4; at 0 the light is switched off.
void on_light_slider(double x) {
  light_intensity[current_light] = static_cast<float>(4 * x);
  light_enabled[current_light] = 4 * x > 0 ? 1 : 0;
}

// Relighting the whole view is too slow to follow a drag; it waits for the
// button to come up.
void on_light_slider_mouse(int /*button*/, int state, int /*x*/, int /*y*/) {
  if (state != GLUT_UP) return;
  glutPostWindowRedisplay(viewer.main_window);
  glutPostWindowRedisplay(viewer.reflectance_window);
}

// `text` with GLUT's 10-point Times Roman, from (x, y) in the main window's
// drawing coordinates.
void draw_caption(int x, int y, const char* text) {
  glRasterPos2i(x, y);
  for (const char* c = text; *c != '\0'; ++c) glutBitmapCharacter(GLUT_BITMAP_TIMES_ROMAN_10, *c);
}

}  // namespace

void create_light_slider() {
  viewer.light_slider_window =
      glatCreateSlider(viewer.main_window, panel_x(light_slider_place), panel_y(light_slider_place),
                       slider_width, slider_height);
  glatSetCallback(on_light_slider);
  set_program_slider_colors();
  glutMouseFunc(on_light_slider_mouse);
  glatSetSlider(viewer.light_slider_window, light_intensity[current_light] * 0.25);
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
  std::snprintf(light_caption, sizeof light_caption, "Light  %d", current_light + 1);
  draw_caption(v + 3, top - 191, light_caption);
  glRasterPos2i(0, 0);
}
