#include "app/screenshot.h"

#include "app/core/ptm_transform.h"
#include "app/core/screenshot_image.h"
#include "app/core/viewer_state.h"
#include "app/view_display.h"

void take_screenshot() {
  // A zoomed display_ptm holds only what the view shows; the transform is
  // made again at full size for the shot and zoomed back afterwards.
  const bool zoomed_gain = viewer.zoomed && viewer.diffuse_gain_on;
  if (zoomed_gain) ptm_transform();
  const Ptm& shown = viewer.diffuse_gain_on ? *viewer.display_ptm : *viewer.current_ptm;
  save_screenshot(shown, viewer.base_dir);
  if (zoomed_gain) zoom_ptm();
}
