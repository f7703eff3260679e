#include "app/core/help_text.h"

#include <cstdio>
#include <initializer_list>

namespace {

constexpr double version = 1.06;

void print_lines(std::initializer_list<const char*> lines) {
  for (const char* line : lines) std::fputs(line, stdout);
}

}  // namespace

void print_help_text() {
  print_lines({
      "\n",
      "This program is a browser for Polynomial Texture Maps (PTM's).\n",
      "The left window gives a spatial view of such texture maps, the right\n",
      "window provides a view of the reflectance function for a paticular pixel\n",
      "that has been selected in the left window. This reflectance function is\n",
      "internally represented as a biquadradic polynomial, and represents the\n",
      "surface color, usually as a function of parameterized light direction.\n",
      "Hence, the right window displays the color of a pixel as the light direction\n",
      "varies. Left-clicking in the left window selects the pixel, left-clicking on\n",
      "the right window sets the light direction. The right button is used to access\n",
      "the menu. The image can be modified by adding specular enhancement or diffuse\n",
      "gain. These modes must be enabled in the menu first (right mouse click).\n",
      "The arrow keys and the +,- keys can be used for panning and zooming.\n",
      "\n",
      "The middle button is used for selecting regions of the spatial image. This has\n",
      "two uses, first it selects the region of the image for fast updates during\n",
      "changes to ptm parameters. Use shift-left button if you have no middle button.\n",
      "Second, the selected region is used when writing out a cropped ptm file.\n",
      "It will be necessary to type the output file name in the text window when\n",
      "outputing files, so make sure this is visible. If available the original source\n",
      "images can be accessed by selecting them in the ptm window.The keys 'c' and 'p'\n",
      "can be used to construct paletized PTM's from LRGB format ptms.\n",
      "The 'a' key enables the autopilot. The 't' captures a full size screenshot.\n",
      "The number keys 1-9 allow additional lights to be enabled and disabled.\n",
      "Press any key to continue.\n",
  });
}

void print_about_text() {
  std::printf("\n");
  std::printf("Relumo\n");
  std::printf("Version %3.2f\n", version);
  std::printf("Copyright (c) 2026 the Relumo developers.\n");
  print_lines({"\n", "\n", "\n", "\n", "the software.\n", "\n"});
  std::printf("https://relumo.org/\n");
  std::printf("Press any key to continue.\n");
}
