#include "analysis/synthetic_sphere_capture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "common/parallel.h"
#include "common/srgb_curve.h"
#include "imageio/jpeg_photograph_writer.h"

namespace {

constexpr double radians_per_degree = std::numbers::pi / 180;

// Normal-incidence reflectance of glass (refractive index 1.5): 4 %.
constexpr double glass_reflectance = 0.04;
// The glossy halo around the flash's mirror image, in linear units of
// the white table lit from straight above, and its width in flash radii.
constexpr double halo_level = 0.35;
constexpr double halo_width = 3.0;
// The spheres' faint diffuse term: a black glaze still scatters a little.
constexpr double sphere_diffuse = 0.012;
// Light that reaches the table from the room, besides the flash.
constexpr double ambient = 0.04;

// A well-mixed 64-bit hash (the splitmix64 finaliser), for the texture's
// lattice values and the noise, so that every pixel's randomness is its
// own and rows can be rendered in any order.
std::uint64_t mix(std::uint64_t z) {
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double lattice(std::int64_t i, std::int64_t j, std::uint64_t salt) {
  const std::uint64_t h = mix(static_cast<std::uint64_t>(i) * 0x100000001B3ull ^
                              mix(static_cast<std::uint64_t>(j) ^ salt));
  return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

// Smooth value noise in 0..1 with features about `scale` pixels apart.
double value_noise(double u, double v, double scale, std::uint64_t salt) {
  const double x = u / scale;
  const double y = v / scale;
  const double fx = std::floor(x);
  const double fy = std::floor(y);
  const auto i = static_cast<std::int64_t>(fx);
  const auto j = static_cast<std::int64_t>(fy);
  const auto smooth = [](double t) { return t * t * (3 - 2 * t); };
  const double sx = smooth(x - fx);
  const double sy = smooth(y - fy);
  const double top = lattice(i, j, salt) * (1 - sx) + lattice(i + 1, j, salt) * sx;
  const double bottom = lattice(i, j + 1, salt) * (1 - sx) + lattice(i + 1, j + 1, salt) * sx;
  return top * (1 - sy) + bottom * sy;
}

struct Linear {
  double r = 0;
  double g = 0;
  double b = 0;
};

bool inside(const PixelRect& rect, double u, double v) {
  return u >= rect.left && u < rect.left + rect.width && v >= rect.top &&
         v < rect.top + rect.height;
}

// The matte reflectance at table point (u, v) in picture pixels: a grey
// cloth, and on it the object: a mottled terracotta with white areas and
// a dark border.
Linear albedo(const SphereCaptureScene& scene, double u, double v) {
  if (!inside(scene.object, u, v)) {
    const double g = 0.28 * (0.9 + 0.2 * value_noise(u, v, 150, 1));
    return {g, g, g};
  }
  const PixelRect& o = scene.object;
  const double edge = std::min({u - o.left, o.left + o.width - u, v - o.top, o.top + o.height - v});
  if (edge < 6) return {0.05, 0.04, 0.04};
  if (value_noise(u, v, 90, 2) > 0.66) return {0.93, 0.93, 0.90};
  const double m = 0.6 + 0.45 * value_noise(u, v, 40, 3) + 0.2 * value_noise(u, v, 7, 4);
  return {0.62 * m, 0.36 * m, 0.24 * m};
}

// The object's relief: its height in pixels at table point (u, v).
double relief_height(double u, double v) {
  return 10 * value_noise(u, v, 70, 5) + 3 * value_noise(u, v, 18, 6);
}

// The unit normal of the object's surface at (u, v) (the table's is
// straight up): from the height's slope by central differences, y up in
// space where v runs down the picture.
Vector3 surface_normal(const SphereCaptureScene& scene, double u, double v) {
  if (!inside(scene.object, u, v)) return {0, 0, 1};
  const double du = (relief_height(u + 0.5, v) - relief_height(u - 0.5, v));
  const double dv = (relief_height(u, v + 0.5) - relief_height(u, v - 0.5));
  return normalized({-du, dv, 1});
}

void place_spheres(const SphereCaptureScene& scene, std::vector<SphereInSpace>& spheres,
                   std::vector<Circle>& outlines) {
  const PictureCamera camera = scene_camera(scene);
  for (const SceneSphere& s : scene.spheres) {
    // Standing on the table: its centre one radius above the point under it.
    const Vector3 under = picture_plane_point(camera, s.x, s.y);
    const SphereInSpace sphere{{under.x, under.y, under.z + s.radius}, s.radius};
    spheres.push_back(sphere);
    outlines.push_back(sphere_outline(camera, sphere));
  }
}

bool blocked(const std::vector<SphereInSpace>& spheres, const Ray& ray) {
  double unused;
  for (const SphereInSpace& sphere : spheres) {
    if (hit_sphere(ray, sphere, unused) && unused > 0) return true;
  }
  return false;
}

// What the mirror shows of a source along the reflected ray: its disc
// (edge softened over a tenth of its radius) at 4 % of a radiance that
// gives the flash's irradiance, and the halo.
double source_seen(const SceneSource& source, Vector3 reflected_ray) {
  const double radius = source.radius_degrees * radians_per_degree;
  const double off = angle_between(reflected_ray, source.direction);
  const double soft = 0.1 * radius;
  const double disc = std::clamp((radius + soft - off) / (2 * soft), 0.0, 1.0);
  const double radiance = 1 / (std::numbers::pi * std::sin(radius) * std::sin(radius));
  const double halo = halo_level * std::exp(-std::pow(off / (halo_width * radius), 2));
  return source.brightness * (glass_reflectance * radiance * disc + halo);
}

// The linear light the camera receives along `ray` through pixel
// (x, y) (a table point's reflectance is its pixel's).
Linear shade(const SphereCaptureStage& stage, const SceneShot& shot, const PictureCamera& camera,
             const Ray& ray, int x, int y) {
  const SphereCaptureScene& scene = stage.scene;
  const SceneSource flash{shot.light, scene.flash_radius_degrees, 1.0};
  double nearest = INFINITY;
  int hit = -1;
  for (std::size_t k = 0; k < stage.spheres.size(); ++k) {
    double distance;
    if (hit_sphere(ray, stage.spheres[k], distance) && distance < nearest) {
      nearest = distance;
      hit = static_cast<int>(k);
    }
  }
  if (hit >= 0) {
    const SphereInSpace& sphere = stage.spheres[hit];
    const Vector3 normal =
        (1 / sphere.radius) * (ray.origin + nearest * ray.direction - sphere.centre);
    const Vector3 mirror = reflected(-1 * ray.direction, normal);
    double light = 0;
    if (shot.flash_reaches_spheres) {
      light += source_seen(flash, mirror) + sphere_diffuse * std::max(0.0, dot(normal, shot.light));
    }
    for (const SceneSource& s : scene.room_lights) light += source_seen(s, mirror);
    for (const SceneSource& s : shot.extra_sources) light += source_seen(s, mirror);
    return {light, light, light};
  }
  // The table: the plane one picture-plane depth below the camera.
  const double depth = picture_plane_depth(camera);
  const Vector3 point = ray.origin + ((-depth - ray.origin.z) / ray.direction.z) * ray.direction;
  const std::size_t pixel = static_cast<std::size_t>(y) * scene.width + x;
  const std::int8_t* slope = stage.slope.data() + 2 * pixel;
  const double nx = slope[0] / 127.0;
  const double ny = slope[1] / 127.0;
  const Vector3 normal{nx, ny, std::sqrt(std::max(0.0, 1 - nx * nx - ny * ny))};
  double light = ambient;
  const double facing = dot(normal, shot.light);
  if (facing > 0 && shot.light.z > 0 && !blocked(stage.spheres, {point, shot.light})) {
    light += facing;
  }
  const std::uint8_t* a = stage.albedo.data() + 3 * pixel;
  constexpr double unit = 1.0 / 255;
  return {a[0] * unit * light, a[1] * unit * light, a[2] * unit * light};
}

// Approximately standard normal: the sum of four uniform bytes, centred and
// scaled (its tails end at 3.5 standard deviations, which noise needs no
// more than).
double gaussian(std::uint64_t bits) {
  double sum = 0;
  for (int k = 0; k < 4; ++k) sum += static_cast<double>((bits >> (8 * k)) & 0xFF);
  return (sum - 4 * 127.5) / 147.8;
}

// The tone curve's table: enough entries that interpolating between them
// is far finer than a grey level everywhere but the darkest few.
constexpr int tone_entries = 65536;

// The sample of `linear` light with `noise` (in 8-bit levels) added, at a
// white of `white` (255 or 65535).
long level(const std::vector<float>& tone, double linear, double noise, long white) {
  const double at = std::clamp(linear, 0.0, 1.0) * (tone_entries - 1);
  const int i = std::min(static_cast<int>(at), tone_entries - 2);
  const double grey = tone[i] + (at - i) * (tone[i + 1] - tone[i]);
  return std::clamp(std::lround((grey + noise) * (white / 255.0)), 0L, white);
}

// Renders every pixel and hands its three samples (0 .. white) to
// store(y, x, red, green, blue), y counted from the top.
template <typename Store>
void render_pixels(const SphereCaptureStage& stage, const SceneShot& shot, int threads, long white,
                   Store store) {
  const SphereCaptureScene& scene = stage.scene;
  const PictureCamera camera = scene_camera(scene);
  const int n = std::max(1, scene.samples_per_side);
  const auto near_a_sphere = [&](double x, double y) {
    for (const Circle& c : stage.outlines) {
      if (std::abs(x - c.x) < c.radius + 2 && std::abs(y - c.y) < c.radius + 2) return true;
    }
    return false;
  };
  parallel_blocks(threads, scene.height, 16, [&](std::int64_t begin, std::int64_t end) {
    for (auto y = static_cast<int>(begin); y < end; ++y) {
      for (int x = 0; x < scene.width; ++x) {
        Linear sum;
        const int side = near_a_sphere(x + 0.5, y + 0.5) ? n : 1;
        for (int j = 0; j < side; ++j) {
          for (int i = 0; i < side; ++i) {
            const Ray ray = camera_ray(camera, x + (i + 0.5) / side, y + (j + 0.5) / side);
            const Linear c = shade(stage, shot, camera, ray, x, y);
            sum.r += c.r, sum.g += c.g, sum.b += c.b;
          }
        }
        const double w = 1.0 / (side * side);
        const std::uint64_t pixel = static_cast<std::uint64_t>(y) * scene.width + x;
        const std::uint64_t bits = mix(pixel ^ mix(shot.seed));
        const std::uint64_t more = mix(bits);
        store(y, x, level(stage.tone, sum.r * w, scene.noise * gaussian(bits), white),
              level(stage.tone, sum.g * w, scene.noise * gaussian(bits >> 32), white),
              level(stage.tone, sum.b * w, scene.noise * gaussian(more), white));
      }
    }
  });
}

}  // namespace

SphereCaptureScene sphere_capture_layout(int width, int height, double radius, int spheres) {
  SphereCaptureScene scene;
  scene.width = width;
  scene.height = height;
  const int strip = static_cast<int>(3.4 * radius);
  scene.object = {strip, height / 10, width - strip - width / 12, height * 8 / 10};
  scene.spheres.push_back({1.5 * radius, height - 1.6 * radius, radius});
  if (spheres == 2) scene.spheres.push_back({1.5 * radius, 1.6 * radius, radius});
  return scene;
}

PictureCamera scene_camera(const SphereCaptureScene& scene) {
  return {scene.width, scene.height, scene.focal_px};
}

Circle scene_sphere_circle(const SphereCaptureScene& scene, int index) {
  std::vector<SphereInSpace> spheres;
  std::vector<Circle> outlines;
  place_spheres(scene, spheres, outlines);
  return outlines[static_cast<std::size_t>(index)];
}

Vector3 direction_from_angles(double elevation_degrees, double azimuth_degrees) {
  const double e = elevation_degrees * radians_per_degree;
  const double a = azimuth_degrees * radians_per_degree;
  return {std::cos(e) * std::sin(a), std::cos(e) * std::cos(a), std::sin(e)};
}

SphereCaptureStage prepare_sphere_capture(const SphereCaptureScene& scene, int threads) {
  SphereCaptureStage stage;
  stage.scene = scene;
  place_spheres(scene, stage.spheres, stage.outlines);
  stage.tone.resize(tone_entries);
  for (int i = 0; i < tone_entries; ++i) {
    stage.tone[i] = static_cast<float>(255 * linear_to_srgb(i / (tone_entries - 1.0)));
  }
  const std::size_t pixels = static_cast<std::size_t>(scene.width) * scene.height;
  stage.albedo.resize(pixels * 3);
  stage.slope.resize(pixels * 2);
  parallel_blocks(threads, scene.height, 16, [&](std::int64_t begin, std::int64_t end) {
    for (auto y = static_cast<int>(begin); y < end; ++y) {
      const std::size_t first = static_cast<std::size_t>(y) * scene.width;
      std::uint8_t* row = stage.albedo.data() + 3 * first;
      std::int8_t* slope = stage.slope.data() + 2 * first;
      for (int x = 0; x < scene.width; ++x) {
        const Linear a = albedo(scene, x + 0.5, y + 0.5);
        row[3 * x] = static_cast<std::uint8_t>(std::lround(255 * a.r));
        row[3 * x + 1] = static_cast<std::uint8_t>(std::lround(255 * a.g));
        row[3 * x + 2] = static_cast<std::uint8_t>(std::lround(255 * a.b));
        const Vector3 n = surface_normal(scene, x + 0.5, y + 0.5);
        slope[2 * x] = static_cast<std::int8_t>(std::lround(127 * n.x));
        slope[2 * x + 1] = static_cast<std::int8_t>(std::lround(127 * n.y));
      }
    }
  });
  return stage;
}

void render_sphere_capture(const SphereCaptureStage& stage, const SceneShot& shot, RgbImage& out,
                           int threads) {
  const int width = stage.scene.width;
  const int height = stage.scene.height;
  render_pixels(stage, shot, threads, 255, [&](int y, int x, long r, long g, long b) {
    // Picture row y (top-down) is the image's row height - 1 - y.
    std::uint8_t* p = out.pixels + (static_cast<std::size_t>(height - 1 - y) * width + x) * 3;
    p[0] = static_cast<std::uint8_t>(r), p[1] = static_cast<std::uint8_t>(g);
    p[2] = static_cast<std::uint8_t>(b);
  });
}

void render_sphere_capture(const SphereCaptureStage& stage, const SceneShot& shot, Photograph& out,
                           int threads) {
  const int width = stage.scene.width;
  const int height = stage.scene.height;
  allocate_photograph_samples(out, width, height, 16);
  render_pixels(stage, shot, threads, 65535, [&](int y, int x, long r, long g, long b) {
    std::uint16_t* p =
        out.samples16.data() + (static_cast<std::size_t>(height - 1 - y) * width + x) * 3;
    p[0] = static_cast<std::uint16_t>(r), p[1] = static_cast<std::uint16_t>(g);
    p[2] = static_cast<std::uint16_t>(b);
  });
}

std::vector<Vector3> dome_light_directions(int count, double lowest, double highest) {
  // 360 (1 - 1 / phi) degrees, phi the golden ratio.
  constexpr double golden_angle = 137.50776405003785;
  std::vector<Vector3> lights;
  for (int i = 0; i < count; ++i) {
    const double t = count > 1 ? static_cast<double>(i) / (count - 1) : 0.5;
    lights.push_back(
        direction_from_angles(lowest + t * (highest - lowest), std::fmod(i * golden_angle, 360)));
  }
  return lights;
}

bool write_sphere_capture(const SphereCaptureStage& stage, const std::vector<SceneShot>& shots,
                          const std::string& folder, int quality, int threads,
                          std::vector<std::string>& paths) {
  RgbImage* photograph = new_rgb_image(stage.scene.width, stage.scene.height);
  bool written = true;
  for (std::size_t i = 0; i < shots.size() && written; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/photo_%02zu.jpg", i + 1);
    render_sphere_capture(stage, shots[i], *photograph, threads);
    paths.push_back(folder + name);
    written = write_jpeg_photograph(*photograph, paths.back().c_str(), quality);
  }
  free_rgb_image(photograph);
  return written;
}
