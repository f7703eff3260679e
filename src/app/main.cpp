// Start-up: banner, command line, loading, display buffers, windows, and
// the event loop, which the program leaves only by exiting.
#include <GL/freeglut.h>

#include <cstdio>
#include <string>

#include "app/core/command_line.h"
#include "app/core/current_map.h"
#include "app/core/display_buffers.h"
#include "app/core/viewer_state.h"
#include "app/windows.h"
#include "common/end_program.h"

int main(int argc, char** argv) {
  // GLUT takes its own options (-display, -geometry, ...) out of argv first.
  glutInit(&argc, argv);
  // Messages and prompts reach the console (or a log) line by line, also
  // while the event loop runs.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("Relumo\n");
  std::printf("Polynomial texture map viewer. Copyright (c) 2026 the Relumo developers.\n");
  std::printf("\n\n");

  std::string file_name;
  if (!parse_command_line(argc, argv, file_name)) {
    std::printf("Usage: %s [-d | -s] base_filename\n", argv[0]);
    end_program(-1);
  }
  viewer.base_name = file_name;
  viewer.base_dir = derive_base_dir(file_name);

  Ptm* ptm = load_ptm(viewer.base_name.c_str());
  std::printf("%d x %d image\n", ptm->width, ptm->height);
  allocate_display_buffers(*ptm);

  const WindowSize size =
      initial_window_size(viewer.view_image->width, viewer.view_image->height,
                          glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT));
  viewer.main_window_width = size.width;
  viewer.main_window_height = size.height;
  glutInitWindowSize(size.width, size.height);
  glutInitWindowPosition(0, 0);
  setup_windows(argc, argv);
  std::fflush(stdout);
  glutMainLoop();
  return 0;
}
