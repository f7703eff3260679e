// Any bytes as a relumo-tool argument list: the input is split at zero
// bytes into arguments, each argument goes to one value parser (chosen by
// its place in the list) and the list to one command's parser (chosen by
// the input's length), so any text reaches every parser. Every outcome
// must be a value or a usage error. A refusal is an exception, which costs
// microseconds under the sanitizers: running every parser on every
// argument and every command on the list made each input cost dozens of
// them, and lists are cut at a length no command line needs to reach
// every rule.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tool/arguments.h"
#include "tool/convert_options.h"
#include "tool/fit_options.h"
#include "tool/info_options.h"
#include "tool/lights_options.h"
#include "tool/relief_options.h"
#include "tool/render_options.h"
#include "tool/sheet_options.h"
#include "tool/video_options.h"
#include "tool/view_options.h"
#include "tool/web_options.h"

namespace {

constexpr std::size_t max_arguments = 24;

std::vector<std::string> split_arguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      if (arguments.size() == max_arguments) break;
      arguments.emplace_back();
    } else {
      arguments.back() += static_cast<char>(data[i]);
    }
  }
  return arguments;
}

template <typename Parse>
void parse_quietly(Parse parse) {
  try {
    parse();
  } catch (const UsageError&) {
  } catch (const HelpRequested&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> texts = split_arguments(data, size);
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const char* t = texts[i].c_str();
    switch (i % 7) {
      case 0:
        parse_quietly([&] { parse_number(t, "value"); });
        break;
      case 1:
        parse_quietly([&] { parse_integer(t, -100, 100, "value"); });
        break;
      case 2:
        parse_quietly([&] { parse_number_list(t, 2, 3, "--light"); });
        break;
      case 3:
        parse_quietly([&] { parse_integer_list(t, 4, 0, 1 << 30, "--crop"); });
        break;
      case 4:
        parse_quietly([&] { parse_picture_size(t, 65536, "--size"); });
        break;
      case 5:
        parse_quietly([&] { parse_choice(t, {"plain", "specular"}, "--mode"); });
        break;
      case 6:
        parse_quietly([&] { parse_render_view(t); });
        break;
    }
    file_extension(t);
  }
  // One command's parser over the whole list, as its arguments: the
  // command is chosen by the input's length, so the fuzzer reaches each by
  // adding or removing a byte.
  ArgumentList arguments(static_cast<int>(argv.size()), argv.data(), 0);
  parse_quietly([&] {
    switch (size % 13) {
      case 0:
        parse_info_arguments(arguments);
        break;
      case 1:
        parse_render_arguments(arguments);
        break;
      case 2:
        parse_fit_options(arguments);
        break;
      case 3:
        parse_convert_options(arguments);
        break;
      case 4:
        parse_normals_arguments(arguments);
        break;
      case 5:
        parse_depth_arguments(arguments);
        break;
      case 6:
        parse_mesh_arguments(arguments);
        break;
      case 7:
        parse_curvature_arguments(arguments);
        break;
      case 8:
        parse_sheet_arguments(arguments);
        break;
      case 9:
        parse_video_arguments(arguments);
        break;
      case 10:
        parse_lights_options(arguments);
        break;
      case 11:
        parse_web_arguments(arguments);
        break;
      case 12:
        while (!arguments.done()) {
          const char* argument = arguments.next();
          if (arguments.is_option() && !arguments.common_option(argument)) arguments.value();
        }
        break;
    }
  });
  return 0;
}
