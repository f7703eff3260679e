#include "render/relit_figure.h"

#include "render/scale_bar.h"
#include "render/text_drawing.h"

bool write_relit_figure(Ptm& map, const RelitSettings& settings, PictureFormat format,
                        const char* path, const FigureExtras& extras) {
  const PngNotes& notes = format == PictureFormat::png ? extras.notes : PngNotes{};
  if (!extras.scale_bar || !(extras.pixels_per_mm > 0)) {
    return write_relit_picture(map, settings, format, path, notes);
  }
  // The picture goes out a band at a time, so the bar comes ready on its
  // plate and is laid over the bands it crosses.
  const bool sized = settings.width > 0 && settings.height > 0;
  const int width = sized ? settings.width : map.width;
  const int height = sized ? settings.height : map.height;
  TextFont* font = open_text_font();
  if (font == nullptr) return false;
  PicturePatch patch;
  RgbImage* plate =
      scale_bar_plate(*font, width, height, extras.pixels_per_mm, patch.left, patch.top);
  close_text_font(font);
  patch.picture = plate;
  const bool written = write_relit_picture(map, settings, format, path, notes, patch);
  free_rgb_image(plate);
  return written;
}
