// Start-up: banner, command line, loading, display buffers, windows, and
// the event loop, which the program leaves only by exiting.
#include <GL/freeglut.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "app/core/command_line.h"
#include "app/core/current_map.h"
#include "app/core/display_buffers.h"
#include "app/core/viewer_state.h"
#include "app/windows.h"
#include "common/end_program.h"
#include "common/version.h"

int main(int argc, char** argv) {
  // The usage and the version need no window system, so they come before
  // GLUT looks for a display.
  switch (start_request(argc, argv)) {
    case StartRequest::help:
      print_usage(stdout, argv[0]);
      return 0;
    case StartRequest::version:
      std::printf("relumo %s\n", relumo_version);
      return 0;
    case StartRequest::open_map:
      break;
  }
  // GLUT takes its own options (-display, -geometry, ...) out of argv first.
  glutInit(&argc, argv);
  // Past a file-size limit (ulimit -f) a write fails with EFBIG and the
  // writer reports it and removes its temporary file; by default the signal
  // would end the viewer and leave the temporary file behind.
  std::signal(SIGXFSZ, SIG_IGN);
  // Messages and prompts reach the console (or a log) line by line, also
  // while the event loop runs.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("Relumo\n");
  std::printf("Polynomial texture map viewer. Copyright (c) 2026 the Relumo developers.\n");
  std::printf("\n\n");

  if (const char* option = unknown_option(argc, argv)) {
    std::fprintf(stderr, "Unknown option %s\n", option);
    print_usage_line(stderr, argv[0]);
    return 2;
  }
  std::string file_name;
  if (!parse_command_line(argc, argv, file_name)) {
    print_usage_line(stdout, argv[0]);
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
