// relumo-tool lights: a capture's light-position file from the glossy
// spheres in its photographs.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/capture_lights.h"
#include "analysis/light_contact_sheet.h"
#include "analysis/light_position_writer.h"
#include "tool/commands.h"
#include "common/json_text.h"
#include "tool/lights_options.h"
#include "tool/progress_bar.h"
#include "tool/tool_io.h"

const char lights_usage[] =
    "Usage: relumo-tool lights PHOTO... -o OUT.lp [options]\n"
    "\n"
    "Reads each photograph's light direction from the highlight on one or more\n"
    "glossy black spheres in view (JPEG, PNG, PPM/PGM or TIFF photographs of\n"
    "one size, 8 or 16 bits, in capture order; JPEG photographs are decoded\n"
    "only around the spheres) and writes the light-position file that\n"
    "'relumo-tool fit' takes, the photographs named relative to its folder.\n"
    "Positions are in pixels from the picture's top-left corner, x to the right\n"
    "and y down; directions have x to the right, y up and z toward the camera;\n"
    "elevation is the angle above the object's plane, azimuth a bearing (0 from\n"
    "the top of the picture, 90 from the right).\n"
    "\n"
    "Options:\n"
    "  -o OUT.lp               the light-position file to write (required)\n"
    "  --sphere X,Y,R          a sphere's circle, centre and radius in pixels;\n"
    "                          repeat for several spheres. Without it the\n"
    "                          spheres are found and their circles printed\n"
    "  --focal-px F            a perspective camera of focal length F pixels,\n"
    "                          principal point at the picture's centre\n"
    "                          (default: orthographic)\n"
    "  --json                  one JSON object per photograph and line on\n"
    "                          standard output, then {\"spheres\": [[x, y, r]...]}\n"
    "  --contact-sheet S.png   a picture of every photograph's spheres with the\n"
    "                          highlights marked, and a polar plot of the lights\n"
    "  --skip-missing          leave out photographs whose highlight is missing\n"
    "                          or ambiguous (listed) instead of failing\n"
    "\n"
    "Exit status 1, with no light-position file, when a photograph cannot be\n"
    "read, differs in size, or (without --skip-missing) has no clear highlight;\n"
    "in the last case the JSON lines and the contact sheet still show why.\n";

LightsOptions parse_lights_options(ArgumentList& args) {
  LightsOptions options;
  bool have_output = false;
  while (!args.done()) {
    const char* a = args.next();
    if (!args.is_option()) {
      options.photographs.push_back(a);
      continue;
    }
    if (args.common_option(a)) continue;
    if (std::strcmp(a, "-o") == 0) {
      options.output = args.value();
      have_output = true;
    } else if (std::strcmp(a, "--sphere") == 0) {
      const std::vector<double> v = parse_number_list(args.value(), 3, 3, "--sphere");
      if (!(v[2] > 0)) throw UsageError("--sphere radius must be positive");
      options.spheres.push_back({v[0], v[1], v[2]});
    } else if (std::strcmp(a, "--focal-px") == 0) {
      options.focal_px = parse_number(args.value(), "--focal-px");
      if (!(options.focal_px > 0)) throw UsageError("--focal-px must be positive");
    } else if (std::strcmp(a, "--json") == 0) {
      options.json = true;
    } else if (std::strcmp(a, "--contact-sheet") == 0) {
      options.contact_sheet = args.value();
      if (options.contact_sheet.empty()) throw UsageError("--contact-sheet needs a file name");
    } else if (std::strcmp(a, "--skip-missing") == 0) {
      options.skip_missing = true;
    } else {
      args.unknown_option();
    }
  }
  if (options.photographs.empty()) throw UsageError("no photographs given");
  if (!have_output || options.output.empty()) throw UsageError("no output file given (-o OUT.lp)");
  for (const std::string& photograph : options.photographs) {
    check_output_is_not_input(photograph.c_str(), options.output.c_str());
    if (!options.contact_sheet.empty()) {
      check_output_is_not_input(photograph.c_str(), options.contact_sheet.c_str());
    }
  }
  if (!options.contact_sheet.empty() && options.contact_sheet == options.output) {
    throw UsageError("the contact sheet and the light-position file are one file");
  }
  return options;
}

namespace {

std::string number(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The bearing of `d` for printing with `decimals` decimals: one that would
// round up to 360 is printed as 0, the same bearing.
double printed_azimuth(const Vector3& d, int decimals) {
  const double azimuth = azimuth_degrees(d);
  return azimuth >= 360 - 0.5 * std::pow(10.0, -decimals) ? 0 : azimuth;
}

std::string vector_json(const Vector3& d) {
  char text[96];
  std::snprintf(text, sizeof text, "[%.7f,%.7f,%.7f]", d.x, d.y, d.z);
  return text;
}

std::string photograph_json(const PhotographLight& p) {
  const bool ok = p.status == LightStatus::ok;
  std::string line = "{\"photo\":" + json_string(p.path) + ",\"highlights\":[";
  for (std::size_t s = 0; s < p.spheres.size(); ++s) {
    const SphereLight& h = p.spheres[s];
    const bool found = h.status == LightStatus::ok;
    line += s > 0 ? ",{" : "{";
    line += "\"x\":" + (found ? number(h.x, 3) : "null") +
            ",\"y\":" + (found ? number(h.y, 3) : "null") +
            ",\"direction\":" + (found ? vector_json(h.direction) : "null") + ",\"status\":\"" +
            light_status_name(h.status) + "\",\"others\":[";
    for (std::size_t k = 0; k < h.others.size(); ++k) {
      line +=
          (k > 0 ? ",[" : "[") + number(h.others[k].x, 3) + "," + number(h.others[k].y, 3) + "]";
    }
    line += "]}";
  }
  line += "],\"direction\":" + (ok ? vector_json(p.direction) : "null") +
          ",\"elevation\":" + (ok ? number(elevation_degrees(p.direction), 3) : "null") +
          ",\"azimuth\":" + (ok ? number(printed_azimuth(p.direction, 3), 3) : "null") +
          ",\"spread\":" + (ok ? number(p.spread_degrees, 3) : "null") + ",\"status\":\"" +
          light_status_name(p.status) + "\"";
  if (!ok) line += ",\"reason\":" + json_string(p.reason);
  return line + "}\n";
}

std::string spheres_json(const std::vector<Circle>& spheres) {
  std::string line = "{\"spheres\":[";
  for (std::size_t s = 0; s < spheres.size(); ++s) {
    char circle[96];
    std::snprintf(circle, sizeof circle, "%s[%.2f,%.2f,%.2f]", s > 0 ? "," : "", spheres[s].x,
                  spheres[s].y, spheres[s].radius);
    line += circle;
  }
  return line + "]}\n";
}

// The photograph's name as the light-position file at `lp_path` should
// list it: relative to that file's folder (through symbolic links as the
// file system resolves them), or absolute when no relative path reaches
// it.
std::string name_in_light_file(const std::string& photograph, const std::string& lp_path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path target = fs::weakly_canonical(fs::absolute(photograph, error), error);
  if (error) return photograph;
  const fs::path folder = fs::weakly_canonical(fs::absolute(lp_path, error).parent_path(), error);
  if (error) return target.generic_string();
  const fs::path relative = target.lexically_relative(folder);
  return relative.empty() ? target.generic_string() : relative.generic_string();
}

void print_report(const CaptureLights& lights) {
  for (std::size_t s = 0; s < lights.spheres.size(); ++s) {
    const Circle& c = lights.spheres[s];
    std::fprintf(stderr, "Sphere %zu %s: --sphere %.1f,%.1f,%.1f\n", s + 1,
                 lights.spheres_found ? "found" : "given", c.x, c.y, c.radius);
  }
  const bool several = lights.spheres.size() > 1;
  for (const PhotographLight& p : lights.photographs) {
    if (p.status != LightStatus::ok) {
      std::fprintf(stderr, "  %s: %s: %s\n", p.path.c_str(), light_status_name(p.status),
                   p.reason.c_str());
      continue;
    }
    std::fprintf(stderr, "  %s: elevation %.2f, azimuth %.2f", p.path.c_str(),
                 elevation_degrees(p.direction), printed_azimuth(p.direction, 2));
    if (several) std::fprintf(stderr, ", spheres %.2f degrees apart", p.spread_degrees);
    for (std::size_t s = 0; s < p.spheres.size(); ++s) {
      const SphereLight& h = p.spheres[s];
      if (h.status != LightStatus::ok && several) {
        std::fprintf(stderr, "; sphere %zu %s: %s", s + 1, light_status_name(h.status),
                     h.reason.c_str());
      }
      for (const HighlightSpot& other : h.others) {
        std::fprintf(stderr, "; %s spot at (%.1f, %.1f) not taken", several ? "another" : "other",
                     other.x, other.y);
      }
    }
    std::fprintf(stderr, "\n");
  }
}

bool is_folder(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

int run_lights(ArgumentList& arguments) {
  const LightsOptions options = parse_lights_options(arguments);
  for (const std::string& photograph : options.photographs) {
    if (is_folder(photograph)) {
      report_file_error(photograph.c_str(), "is a folder, not a photograph");
      report_file_error(options.output.c_str(), "not written");
      return 1;
    }
  }
  CaptureLightsOptions find_options;
  find_options.spheres = options.spheres;
  find_options.focal_px = options.focal_px;
  find_options.threads = arguments.threads();
  if (!options.contact_sheet.empty()) find_options.thumbnail_size = contact_sheet_thumbnail;
  CaptureLights lights;
  bool found;
  {
    ProgressBar bar("Reading photographs");
    find_options.progress = bar.callback();
    found = find_capture_lights(options.photographs, find_options, lights);
  }
  std::fflush(stdout);
  if (!found) {
    report_file_error(options.output.c_str(), "not written");
    return 1;
  }
  print_report(lights);
  if (options.json) {
    for (const PhotographLight& p : lights.photographs) {
      std::fputs(photograph_json(p).c_str(), result_output());
    }
    std::fputs(spheres_json(lights.spheres).c_str(), result_output());
  }
  if (!options.contact_sheet.empty() &&
      !write_light_contact_sheet(lights, options.contact_sheet.c_str())) {
    std::fflush(stdout);
    report_file_error(options.output.c_str(), "not written");
    return 1;
  }
  std::vector<LightPosition> entries;
  std::vector<std::string> left_out;
  for (const PhotographLight& p : lights.photographs) {
    if (p.status != LightStatus::ok) {
      left_out.push_back(p.path);
      continue;
    }
    entries.push_back({name_in_light_file(p.path, options.output),
                       static_cast<float>(p.direction.x), static_cast<float>(p.direction.y),
                       static_cast<float>(p.direction.z)});
  }
  if (!left_out.empty() && !options.skip_missing) {
    std::fprintf(stderr,
                 "relumo-tool: %zu of %zu photographs have no clear highlight; %s not written "
                 "(--skip-missing leaves them out)\n",
                 left_out.size(), lights.photographs.size(), options.output.c_str());
    return 1;
  }
  if (entries.empty()) {
    std::fprintf(stderr, "relumo-tool: no photograph has a light; %s not written\n",
                 options.output.c_str());
    return 1;
  }
  if (!left_out.empty()) {
    std::fprintf(stderr, "Left out, without a clear highlight:");
    for (const std::string& path : left_out) std::fprintf(stderr, " %s", path.c_str());
    std::fprintf(stderr, "\n");
  }
  if (!write_light_position_file(options.output.c_str(), entries)) {
    std::fflush(stdout);
    report_file_error(options.output.c_str(), "not written");
    return 1;
  }
  std::fprintf(stderr, "Wrote %s: %zu photographs\n", options.output.c_str(), entries.size());
  return 0;
}
