// ViewerState: the one process-wide record of user-interface state. Every
// viewer field lives here, so a search for a field's name finds every
// place that changes it.
#pragma once

#include <string>

#include "analysis/source_images.h"
#include "common/lcg_random.h"
#include "common/rgb_image.h"
#include "ptm/ptm.h"
#include "render/diffuse_gain.h"
#include "render/lights.h"
#include "render/render_mode.h"
#include "render/specular.h"

struct ViewerState {
  // Files
  std::string base_name;  // the file name from the command line
  std::string base_dir;   // its directory prefix; typed output names are appended to it
  Ptm* current_ptm = nullptr;
  // The derived map the views show instead while diffuse gain is on or the
  // view is zoomed.
  Ptm* display_ptm = nullptr;
  // Whether display_ptm holds the unzoomed diffuse-gain transform of
  // current_ptm, ready to be zoomed.
  int display_ptm_transformed = 0;
  // Set by 'd': the loaded map's colour was discarded, and its a5 is
  // discarded_constant_term everywhere (display units times 256), which the
  // diffuse-gain transform takes in place of the stored a5 bytes.
  int color_discarded = 0;
  float discarded_constant_term = 0.0f;

  // Windows and geometry
  int main_window = 0;
  int reflectance_window = 0;
  int main_window_width = 0;
  int main_window_height = 0;
  int double_buffered = 0;
  RgbImage* view_image = nullptr;         // allocated at full map size
  RgbImage* reflectance_image = nullptr;  // 250 x 250
  RgbImage* region_image = nullptr;       // allocated at full map size
  int region_x = 0;
  int region_y = 0;

  // Selection, probe and drag (view pixels, y from the bottom, inclusive)
  int sel_x0 = 0;
  int sel_y0 = 0;
  int sel_x1 = 0;
  int sel_y1 = 0;
  int selecting = 0;
  int selection_visible = 0;
  int selection_started_outside = 0;
  int probe_x = 0;
  int probe_y = 0;
  int light_dragging = 0;
  int clear_outside_pending = 0;

  // Zoom and pan
  float zoom_factor = 1.0f;
  float fit_zoom = 1.0f;
  int zoomed = 0;
  float pan_u = 0.0f;
  float pan_v = 0.0f;
  int zoom_pending = 0;
  float pending_zoom = 0.0f;
  float pending_pan_u = 0.0f;
  float pending_pan_v = 0.0f;

  // Autopilot
  int autopilot_on = 0;
  int autopilot_started = 0;
  float autopilot_angle = 0.0f;
  int autopilot_frame = 1;

  // Lights. A direction is its projection (u, v) on the image plane, u to
  // the right, v upward. light_u, light_v is the direction being rendered
  // or steered: the current light's, which its slot gets back when the view
  // sums the lights.
  float light_u = 0.0f;
  float light_v = 0.0f;
  int current_light = 0;  // 0..8, the light the mouse steers
  float light_u_of[light_count] = {};
  float light_v_of[light_count] = {};
  float light_intensity[light_count] = {1, 1, 1, 1, 1, 1, 1, 1, 1};  // 0..4
  int light_enabled[light_count] = {1, 0, 0, 0, 0, 0, 0, 0, 0};
  // Half-width of the square of reachable light positions (1 .. 3 while
  // extrapolating), and the extent kept while extrapolation is off.
  float light_extent = 1.0f;
  float saved_light_extent = 2.0f;

  // Mode toggles
  int specular_on = 0;
  int diffuse_gain_on = 0;
  int ptm_vs_texture_on = 0;
  int normal_crosshair_on = 0;
  int extrapolation_on = 0;
  int source_errors_on = 0;
  int variance_on = 0;
  // "Display Normal Visualization": the view shows the normal image and
  // the plot the normal scatter while set; every change the user makes
  // clears both.
  int normal_vis_request_view = 0;
  int normal_vis_request_reflectance = 0;
  int show_source_image = 0;

  // The enhancements' parameters: Kd, Ks and Exp, and the gain of the Amp
  // slider (the slider's position 0..1, and g, at least 1).
  SpecularSettings specular;
  float diffuse_gain = 1.0f;
  float diffuse_gain_slider = starting_gain_position;

  // 0 until compute_normals has started on the loaded map, then 1 for the
  // rest of the run.
  int normals_valid = 0;

  // Source photographs: loaded on first need and kept until exit. The flag
  // is set by a complete load only (an empty list counts), so a failed one
  // is tried again at the next request.
  SourceImageSet source_images;
  int source_images_loaded = 0;

  // Slider windows (GLUT ids; 0 while a slider does not exist)
  int light_slider_window = 0;
  int gain_slider_window = 0;
  int scale_slider_window = 0;
  int kd_slider_window = 0;
  int ks_slider_window = 0;
  int exp_slider_window = 0;

  // The palettizers' random sequence: state 1 at start-up and never
  // re-seeded, so the first palettized file of a run is always the same
  // and a second command goes on with the sequence.
  LcgRandom palette_random;
};

extern ViewerState viewer;

// The map the views show: display_ptm while diffuse gain is on or the view
// is zoomed, else the loaded map.
inline Ptm* displayed_ptm() {
  return viewer.diffuse_gain_on || viewer.zoomed ? viewer.display_ptm : viewer.current_ptm;
}

// The map whose normals the normal views show: display_ptm only while zoomed
// (it carries the resampled normals), else the loaded map.
inline Ptm* normals_ptm() { return viewer.zoomed ? viewer.display_ptm : viewer.current_ptm; }

// The enhancement the menu has switched on (at most one) with the sliders'
// parameters and the light extent, for the renders.
RenderMode viewer_render_mode();
