// Any bytes as a relumo-tool argument list: the input is split at zero
// bytes into arguments and each argument parser is run on them. Every
// outcome must be a value or a usage error.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tool/arguments.h"
#include "tool/convert_options.h"
#include "tool/fit_options.h"
#include "tool/info_options.h"
#include "tool/render_options.h"

namespace {

std::vector<std::string> split_arguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
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
  for (const std::string& text : texts) {
    const char* t = text.c_str();
    parse_quietly([&] { parse_number(t, "value"); });
    parse_quietly([&] { parse_integer(t, -100, 100, "value"); });
    parse_quietly([&] { parse_number_list(t, 2, 3, "--light"); });
    parse_quietly([&] { parse_integer_list(t, 4, 0, 1 << 30, "--crop"); });
    parse_quietly([&] { parse_picture_size(t, 65536, "--size"); });
    parse_quietly([&] { parse_choice(t, {"plain", "specular"}, "--mode"); });
    file_extension(t);
  }
  // The commands' own parsers over the whole list.
  parse_quietly([&] {
    ArgumentList arguments(static_cast<int>(argv.size()), argv.data(), 0);
    parse_info_arguments(arguments);
  });
  parse_quietly([&] {
    ArgumentList arguments(static_cast<int>(argv.size()), argv.data(), 0);
    parse_render_arguments(arguments);
  });
  parse_quietly([&] {
    ArgumentList arguments(static_cast<int>(argv.size()), argv.data(), 0);
    while (!arguments.done()) {
      const char* argument = arguments.next();
      if (arguments.is_option() && !arguments.common_option(argument)) arguments.value();
    }
  });
  parse_quietly([&] {
    ArgumentList arguments(static_cast<int>(argv.size()), argv.data(), 0);
    parse_fit_options(arguments);
  });
  parse_quietly([&] {
    ArgumentList arguments(static_cast<int>(argv.size()), argv.data(), 0);
    parse_convert_options(arguments);
  });
  return 0;
}
