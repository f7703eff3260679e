#include "app/glat/glat.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <new>

#include "app/core/slider_geometry.h"
#include "app/input.h"
#include "app/windows.h"
#include "common/checked_alloc.h"

// Created with the first slider and kept until exit.
static GlatSliderList* sliders = nullptr;

static GlatSlider* find_slider(int window) {
  if (sliders == nullptr) return nullptr;
  for (GlatSlider* s = sliders->first; s != nullptr; s = s->next)
    if (s->window == window) return s;
  return nullptr;
}

static void append_slider(GlatSlider* slider) {
  if (sliders == nullptr)
    sliders = new (checked_alloc(sizeof(GlatSliderList))) GlatSliderList{0, nullptr};
  GlatSlider** link = &sliders->first;
  while (*link != nullptr) link = &(*link)->next;
  *link = slider;
  ++sliders->count;
}

static void fill_rect(SliderRect r) { glRecti(r.x0, r.y0, r.x1, r.y1); }

static void draw_slider(const GlatSlider& s) {
  glutSetWindow(s.window);
  glClearColor(static_cast<GLclampf>(s.background[0]), static_cast<GLclampf>(s.background[1]),
               static_cast<GLclampf>(s.background[2]), 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  const bool vertical = s.vertical != 0;
  glColor3dv(s.groove_color);
  fill_rect(slider_groove(s.width, s.height, vertical));
  glColor3dv(s.handle_color);
  fill_rect(slider_handle(s.width, s.height, vertical, s.value));
  glFlush();
  glutSwapBuffers();
}

int glatCreateSlider(int parent, int x, int y, int width, int height) {
  const int window = glutCreateSubWindow(parent, x, y, width, height);
  auto* slider = new (checked_alloc(sizeof(GlatSlider))) GlatSlider{
      .window = window,
      .vertical = slider_is_vertical(width, height) ? 1 : 0,
      .width = width,
      .height = height,
      .background = {0.8, 0.8, 0.8},
      .groove_color = {0.4, 0.4, 0.4},
      .handle_color = {0.0, 0.0, 0.0},
      .value = 0.5,
      .callback = nullptr,
      .next = nullptr,
  };
  append_slider(slider);

  glutDisplayFunc(glatDisplayAll);
  glutMotionFunc(glatMotion);
  // Keys keep working while the pointer rests over a slider.
  glutKeyboardFunc(on_key);
  glutSpecialFunc(on_special_key);

  set_pixel_projection(width, height);
  glutSetCursor(GLUT_CURSOR_LEFT_RIGHT);
  draw_slider(*slider);
  return window;
}

void glatSetCallback(GlatCallback callback) {
  GlatSlider* slider = find_slider(glutGetWindow());
  if (slider == nullptr) {
    std::printf("glat error: incorrectly referenced slider\n");
    return;
  }
  slider->callback = callback;
}

void glatSetColors(double background_r, double background_g, double background_b, double groove_r,
                   double groove_g, double groove_b, double handle_r, double handle_g,
                   double handle_b) {
  GlatSlider* slider = find_slider(glutGetWindow());
  if (slider == nullptr) return;
  slider->background[0] = background_r;
  slider->background[1] = background_g;
  slider->background[2] = background_b;
  slider->groove_color[0] = groove_r;
  slider->groove_color[1] = groove_g;
  slider->groove_color[2] = groove_b;
  slider->handle_color[0] = handle_r;
  slider->handle_color[1] = handle_g;
  slider->handle_color[2] = handle_b;
}

void glatSetSlider(int window, double value) {
  GlatSlider* slider = find_slider(window);
  // Not a slider window: a caller error, but no reason to crash over it.
  if (slider == nullptr) return;
  if (value < 0 || value > 1)
    std::printf("glatGetSlider error: value out of range: %f.\n", value);
  else
    slider->value = value;
  draw_slider(*slider);
}

void glatDestroySlider(int window) {
  if (sliders == nullptr) return;
  for (GlatSlider** link = &sliders->first; *link != nullptr; link = &(*link)->next) {
    GlatSlider* slider = *link;
    if (slider->window != window) continue;
    glutDestroyWindow(window);
    *link = slider->next;
    checked_free(slider);
    --sliders->count;
    return;
  }
}

void glatDisplayAll() {
  if (sliders == nullptr) return;
  const int current = glutGetWindow();
  for (const GlatSlider* s = sliders->first; s != nullptr; s = s->next) draw_slider(*s);
  glutSetWindow(current);
}

void glatMotion(int x, int y) {
  GlatSlider* slider = find_slider(glutGetWindow());
  if (slider == nullptr) return;
  const double v = slider_value_at(slider->width, slider->height, slider->vertical != 0, x, y);
  if (v != slider->value) {
    slider->value = v;
    if (slider->callback != nullptr) slider->callback(v);
  }
  draw_slider(*slider);
}
