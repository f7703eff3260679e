#include "render/relit_figure.h"

#include "render/scale_bar.h"

bool write_relit_figure(Ptm& map, const RelitSettings& settings, PictureFormat format,
                        const char* path, const FigureExtras& extras) {
  RgbImage* picture = render_relit_picture(map, settings);
  if (picture == nullptr) return false;
  bool written = false;
  if (!extras.scale_bar || !(extras.pixels_per_mm > 0) ||
      draw_scale_bar(*picture, extras.pixels_per_mm)) {
    written = write_picture_file(*picture, format, path,
                                 format == PictureFormat::png ? extras.notes : PngNotes{});
  }
  free_rgb_image(picture);
  return written;
}
