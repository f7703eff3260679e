#include "web/map_description.h"

#include <cstdio>
#include <cstdlib>

#include "common/json_text.h"

namespace {

// The shortest decimal text that reads back as the same single-precision
// value: 0.4f as "0.4", not "0.400000006".
std::string float_text(float value) {
  char text[32];
  for (int digits = 6; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  return text;
}

// A fixed-point scale (times 256) as its exact decimal value: at most
// eight binary places, so eight decimal places hold it exactly.
std::string scale_text(std::int32_t fixed) {
  char text[32];
  std::snprintf(text, sizeof text, "%.8f", fixed / 256.0);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string string_list(const std::vector<std::string>& items) {
  std::string text = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += ", ";
    text += json_string(items[i]);
  }
  return text + "]";
}

}  // namespace

const char* page_mode_name(RelitMode mode) {
  switch (mode) {
    case RelitMode::plain:
      return "plain";
    case RelitMode::specular:
      return "specular";
    case RelitMode::gain:
      return "gain";
    case RelitMode::normals:
      return "normals";
    case RelitMode::texture:
      break;
  }
  return nullptr;
}

std::string map_description_json(const MapDescription& description) {
  const PublishedMap& published = *description.published;
  const RelitSettings& view = description.view;
  const RelitLight light = view.lights.empty() ? RelitLight{0, 0, 1} : view.lights[0];
  std::string scales;
  std::string biases;
  for (int k = 0; k < 6; ++k) {
    if (k > 0) {
      scales += ", ";
      biases += ", ";
    }
    scales += scale_text(published.scale_bias[k]);
    biases += std::to_string(published.scale_bias[6 + k]);
  }
  const char* mode = page_mode_name(view.mode);
  std::string json = "{\n";
  json += "  \"format\": \"" + std::string(published_format_name(published.format)) + "\",\n";
  json += "  \"width\": " + std::to_string(published.source->width) + ",\n";
  json += "  \"height\": " + std::to_string(published.source->height) + ",\n";
  json += "  \"scale\": [" + scales + "],\n";
  json += "  \"bias\": [" + biases + "],\n";
  json += "  \"tile_size\": " + std::to_string(description.tile_size) + ",\n";
  json += "  \"overlap\": " + std::to_string(description.overlap) + ",\n";
  json += "  \"tile_format\": \"" + std::string(description.tile_format) + "\",\n";
  json += "  \"levels\": " + std::to_string(description.levels) + ",\n";
  json += "  \"planes\": " + string_list(description.planes) + ",\n";
  json += "  \"default_view\": {\"light\": [" + float_text(light.u) + ", " + float_text(light.v) +
          "], \"mode\": \"" + (mode != nullptr ? mode : "plain") + "\", \"kd\": " +
          float_text(view.kd) + ", \"ks\": " + float_text(view.ks) +
          ", \"exp\": " + std::to_string(view.exponent) + ", \"gain\": " + float_text(view.gain) +
          ", \"intensity\": " + float_text(light.intensity) + "},\n";
  json += "  \"title\": " + json_string(description.title);
  if (!description.iiif.empty()) json += ",\n  \"iiif\": " + json_string(description.iiif);
  json += "\n}\n";
  return json;
}
