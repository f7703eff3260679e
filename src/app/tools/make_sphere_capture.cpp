// Writes a made-up capture to try the light finder on: JPEG photographs of
// glossy black spheres beside a textured object, each lit from a known
// direction, and those directions as a light-position file to compare
// with what "relumo-tool lights" finds.
//
//   relumo_make_sphere_capture FOLDER [--count N] [--size WxH] [--radius R]
//                              [--spheres 1|2] [--quality Q]
//
// The folder gets photo_01.jpg ... and true.lp; the spheres' circles are
// printed as --sphere options.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "analysis/light_position_writer.h"
#include "analysis/synthetic_sphere_capture.h"
#include "common/parallel.h"

namespace {

struct Settings {
  std::string folder;
  int count = 36;
  int width = 1600;
  int height = 1068;
  double radius = 110;
  int spheres = 1;
  int quality = 92;
};

[[noreturn]] void usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s FOLDER [--count N] [--size WxH] [--radius R] [--spheres 1|2] "
               "[--quality Q]\n",
               program);
  std::exit(2);
}

bool parse(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--count" && has_value) {
      settings.count = std::atoi(argv[++i]);
    } else if (a == "--size" && has_value) {
      if (std::sscanf(argv[++i], "%dx%d", &settings.width, &settings.height) != 2) return false;
    } else if (a == "--radius" && has_value) {
      settings.radius = std::atof(argv[++i]);
    } else if (a == "--spheres" && has_value) {
      settings.spheres = std::atoi(argv[++i]);
    } else if (a == "--quality" && has_value) {
      settings.quality = std::atoi(argv[++i]);
    } else if (a[0] != '-' && settings.folder.empty()) {
      settings.folder = a;
    } else {
      return false;
    }
  }
  const double r = settings.radius;
  return !settings.folder.empty() && settings.count >= 1 && settings.count <= 999 &&
         settings.spheres >= 1 && settings.spheres <= 2 && settings.quality >= 1 &&
         settings.quality <= 100 && r >= 8 && settings.width >= 8 * r && settings.height >= 5 * r &&
         settings.height <= 30000 && settings.width <= 30000;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!parse(argc, argv, settings)) usage(argv[0]);
  if (mkdir(settings.folder.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "%s: cannot make %s: %s\n", argv[0], settings.folder.c_str(),
                 std::strerror(errno));
    return 1;
  }
  const int threads = available_cores();
  const SphereCaptureStage stage = prepare_sphere_capture(
      sphere_capture_layout(settings.width, settings.height, settings.radius, settings.spheres),
      threads);
  const std::vector<Vector3> lights = dome_light_directions(settings.count, 15, 80);
  std::vector<SceneShot> shots;
  std::vector<LightPosition> truth;
  for (int i = 0; i < settings.count; ++i) {
    SceneShot shot;
    shot.light = lights[static_cast<std::size_t>(i)];
    shot.seed = static_cast<std::uint32_t>(i + 1);
    shots.push_back(shot);
    char name[32];
    std::snprintf(name, sizeof name, "photo_%02d.jpg", i + 1);
    truth.push_back({name, static_cast<float>(shot.light.x), static_cast<float>(shot.light.y),
                     static_cast<float>(shot.light.z)});
  }
  std::vector<std::string> paths;
  if (!write_sphere_capture(stage, shots, settings.folder, settings.quality, threads, paths)) {
    return 1;
  }
  const std::string lp = settings.folder + "/true.lp";
  if (!write_light_position_file(lp.c_str(), truth)) return 1;
  std::printf("%d photographs of %d x %d in %s, their lights in %s; the spheres:", settings.count,
              settings.width, settings.height, settings.folder.c_str(), lp.c_str());
  for (std::size_t k = 0; k < stage.outlines.size(); ++k) {
    const Circle& c = stage.outlines[k];
    std::printf(" --sphere %.1f,%.1f,%.1f", c.x, c.y, c.radius);
  }
  std::printf("\n");
  return 0;
}
