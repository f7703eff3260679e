#include "app/depth_commands.h"

#include <cstdio>
#include <string>

#include "analysis/depth_outputs.h"
#include "analysis/normal_image.h"
#include "app/console_commands.h"
#include "app/core/console.h"
#include "app/core/current_map.h"
#include "app/core/viewer_state.h"
#include "app/menu.h"

namespace {

// The name buffer of the prompt holds 119 characters and its end.
constexpr std::size_t longest_name = 119;

}  // namespace

void write_normal_image() {
  std::string path;
  if (ask_output_path("PPM format normal image filename to output?\n", longest_name, path)) {
    compute_normals();
    if (!write_normal_image_file(*viewer.current_ptm, path.c_str())) {
      // The main window would cover the message at once.
      std::fprintf(stderr, "Hit any key to continue\n");
      wait_for_key_press();
      std::printf("getch performed\n");
    }
  }
  finish_console_command();
}

void output_depth() {
  show_wait_cursor();
  std::printf("Calculating depth data\n");
  compute_normals();
  write_depth_outputs(*viewer.current_ptm, viewer.base_name);
  restore_cursors();
}
