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
#include "tool/relief_options.h"
#include "tool/render_options.h"
#include "tool/web_options.h"

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
  // Each command's parser over the whole list, as its arguments.
  const auto as_command = [&](auto parse) {
    parse_quietly([&] {
      ArgumentList arguments(static_cast<int>(argv.size()), argv.data(), 0);
      parse(arguments);
    });
  };
  as_command([](ArgumentList& a) { parse_info_arguments(a); });
  as_command([](ArgumentList& a) { parse_render_arguments(a); });
  as_command([](ArgumentList& a) { parse_fit_options(a); });
  as_command([](ArgumentList& a) { parse_convert_options(a); });
  as_command([](ArgumentList& a) { parse_normals_arguments(a); });
  as_command([](ArgumentList& a) { parse_depth_arguments(a); });
  as_command([](ArgumentList& a) { parse_mesh_arguments(a); });
  as_command([](ArgumentList& a) { parse_web_arguments(a); });
  as_command([](ArgumentList& a) {
    while (!a.done()) {
      const char* argument = a.next();
      if (a.is_option() && !a.common_option(argument)) a.value();
    }
  });
  return 0;
}
