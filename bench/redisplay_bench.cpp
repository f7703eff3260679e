// The viewer's redisplays in a real window: the program's own
// display_main_window draws a 1024 x 768 map into a GLUT window (on a
// private Xvfb with Mesa's software renderer when there is no display), and
// each iteration ends with glFinish so that the drawing is counted, not
// only queued. Alongside: zoom_ptm rebuilding the view of a 4096 x 4096 map,
// which resamples the view's pixels alone, and maps of up to 16000 x 15000
// opened fitted to the same window, whose light changes must redraw in
// under a tenth of a second.
//
// Each case reports the pixels relit per redisplay ("evaluated"): the whole
// view once per enabled light, or only the selected region while the light
// is dragged.
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "analysis/normals.h"
#include "app/core/display_buffers.h"
#include "app/core/region.h"
#include "app/core/viewer_state.h"
#include "app/view_display.h"
#include "app/windows.h"
#include "support/memory_bandwidth.h"
#include "support/random_map.h"
#include "support/run_program.h"

namespace {

constexpr int view_width = 1024;
constexpr int view_height = 768;
constexpr int region_side = 256;

void pump_events_for(double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) glutMainLoopEvent();
}

// The program's windows on a random LRGB map, shown and settled.
bool open_viewer(int argc, char** argv) {
  Ptm* ptm = make_random_map(view_width, view_height, PTM_FORMAT_LRGB, preferred_representation());
  viewer.current_ptm = ptm;
  allocate_display_buffers(*ptm, 0, 0);
  viewer.main_window_width = view_width + 300;
  viewer.main_window_height = view_height;
  glutInitWindowSize(viewer.main_window_width, viewer.main_window_height);
  glutInitWindowPosition(0, 0);
  setup_windows(argc, argv);
  // glutMainLoopEvent never calls the idle function: the refit that the
  // first reshape installs there (normals, first redisplay) is run here.
  pump_events_for(0.5);
  refit_view();
  glutIdleFunc(nullptr);
  pump_events_for(0.5);
  return viewer.normals_valid != 0 && viewer.view_image->width == view_width;
}

void enable_lights(int count) {
  const float directions[3][2] = {{0.3f, -0.4f}, {-0.5f, 0.2f}, {0.1f, 0.6f}};
  for (int i = 0; i < light_count; ++i) viewer.light_enabled[i] = i < count ? 1 : 0;
  for (int i = 0; i < count; ++i) {
    viewer.light_u_of[i] = directions[i][0];
    viewer.light_v_of[i] = directions[i][1];
    viewer.light_intensity[i] = 1.0f;
  }
  viewer.current_light = 0;
  viewer.light_u = viewer.light_u_of[0];
  viewer.light_v = viewer.light_v_of[0];
}

void report(benchmark::State& state, double evaluated_per_redisplay) {
  state.counters["evaluated"] = evaluated_per_redisplay;
  state.counters["Mpixels/s"] =
      benchmark::Counter(evaluated_per_redisplay * static_cast<double>(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
}

// One redisplay per iteration, the current light moved each time by
// `step` radians round a circle of `radius`.
void redraw_while_the_light_moves(benchmark::State& state, float radius, float step) {
  float angle = 0;
  for (auto _ : state) {
    viewer.light_u = radius * std::sin(angle);
    viewer.light_v = radius * std::cos(angle);
    angle += step;
    display_main_window();
    glFinish();
  }
}

// A full redisplay with `lights` enabled: every light relights the whole
// view and is blended in.
void BM_FullRedisplay(benchmark::State& state) {
  const int lights = static_cast<int>(state.range(0));
  enable_lights(lights);
  viewer.light_dragging = 0;
  reset_region();
  for (auto _ : state) {
    display_main_window();
    glFinish();
  }
  report(state, static_cast<double>(view_width) * view_height * lights);
  state.SetLabel(viewer.double_buffered ? "double buffered" : "single buffered");
}

// One step of a light drag with a 256 x 256 region selected in the middle
// of the view: only the region is relit, with the one enabled light.
void BM_RegionRedisplayDuringDrag(benchmark::State& state) {
  enable_lights(1);
  viewer.sel_x0 = (view_width - region_side) / 2;
  viewer.sel_y0 = (view_height - region_side) / 2;
  viewer.sel_x1 = viewer.sel_x0 + region_side - 1;
  viewer.sel_y1 = viewer.sel_y0 + region_side - 1;
  clamp_region();
  viewer.light_dragging = 1;
  redraw_while_the_light_moves(state, 0.5f, 0.01f);
  report(state, static_cast<double>(viewer.region_image->width) * viewer.region_image->height);
  viewer.light_dragging = 0;
  reset_region();
}

// Frees a larger map a case showed, with its zoomed copy, and shows the
// benchmark's own map again as it was: unzoomed, with its own normals and
// zoomed copy (if any), the view sized for it.
void show_again(Ptm* own, Ptm* own_display, Ptm* larger) {
  free_derived_ptm_of(viewer.display_ptm, *larger);
  free_ptm(larger);
  viewer.current_ptm = own;
  viewer.display_ptm = own_display;
  viewer.zoomed = 0;
  viewer.zoom_factor = 1.0f;
  viewer.pan_u = 0.0f;
  viewer.pan_v = 0.0f;
  on_reshape(viewer.main_window_width, viewer.main_window_height);
  glutIdleFunc(nullptr);
}

// zoom_ptm on a 4096 x 4096 map at the zoom that fits it into a 1024 x 768
// view: the derived map the view shows has the view's size.
void BM_ZoomPtm(benchmark::State& state) {
  Ptm* const shown = viewer.current_ptm;
  Ptm* const shown_display = viewer.display_ptm;
  Ptm* big = make_random_map(4096, 4096, PTM_FORMAT_LRGB, preferred_representation());
  viewer.current_ptm = big;
  viewer.display_ptm = nullptr;
  viewer.zoom_factor = 0.1875f;  // 768 / 4096
  viewer.pan_u = 0.5f - 0.5f * (1024.0f / 4096) / viewer.zoom_factor;
  viewer.pan_v = 0.0f;
  for (auto _ : state) zoom_ptm();
  report(state, static_cast<double>(viewer.view_image->width) * viewer.view_image->height);
  show_again(shown, shown_display, big);
}

// A width x height map opened in the window as the viewer opens a file it
// has read: the view sized by the window's reshape, the normals computed
// and the view fitted to the map (the "open_s" counter), then a light
// change redrawn per iteration. The zoomed map has the view's size, so a
// redraw costs the same for every map size; "peak_rss_GB" is the process's
// peak so far (the map itself and its normals).
void BM_FittedMapLightChange(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  Ptm* const small = viewer.current_ptm;
  Ptm* const small_display = viewer.display_ptm;
  Ptm* large = make_random_map(width, height, PTM_FORMAT_LRGB, preferred_representation());
  viewer.current_ptm = large;
  viewer.display_ptm = nullptr;
  viewer.normals_valid = 0;
  enable_lights(1);
  const auto start = std::chrono::steady_clock::now();
  on_reshape(viewer.main_window_width, viewer.main_window_height);
  refit_view();
  glutIdleFunc(nullptr);
  display_main_window();
  glFinish();
  const std::chrono::duration<double> opening = std::chrono::steady_clock::now() - start;
  if (!viewer.zoomed || viewer.display_ptm->width != viewer.view_image->width) {
    state.SkipWithError("the view was not fitted with a map of its size");
  }
  redraw_while_the_light_moves(state, 0.6f, 0.05f);
  const double view_pixels =
      static_cast<double>(viewer.view_image->width) * viewer.view_image->height;
  report(state, view_pixels);
  state.counters["open_s"] = opening.count();
  state.counters["zoom"] = viewer.zoom_factor;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_GB"] = static_cast<double>(usage.ru_maxrss) / (1 << 20);
  show_again(small, small_display, large);
}

}  // namespace

BENCHMARK(BM_FullRedisplay)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RegionRedisplayDuringDrag)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZoomPtm)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_FittedMapLightChange)
    ->Args({4096, 4096})
    ->Args({16000, 15000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!ensure_display()) {
    std::fprintf(stderr, "redisplay_bench: no X display and no Xvfb to start\n");
    return 1;
  }
  int glut_argc = 1;
  char name[] = "redisplay_bench";
  char* glut_argv[] = {name, nullptr};
  glutInit(&glut_argc, glut_argv);
  if (!open_viewer(glut_argc, glut_argv)) {
    std::fprintf(stderr, "redisplay_bench: the viewer's window did not settle\n");
    return 1;
  }
  benchmark::AddCustomContext("GL_RENDERER",
                              reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
