// The value parsers and the argument walk every relumo-tool command shares.
#include "tool/arguments.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A parser run on a text, its values as numbers; empty `expected` means
// the text is refused as a usage error.
struct ValueCase {
  const char* parser;
  const char* text;
  std::vector<double> expected;
};

std::vector<double> parse_with(const std::string& parser, const char* text) {
  if (parser == "number") return {parse_number(text, "value")};
  if (parser == "integer 0..100") {
    return {static_cast<double>(parse_integer(text, 0, 100, "value"))};
  }
  if (parser == "2..3 numbers") return parse_number_list(text, 2, 3, "--light");
  if (parser == "4 integers") {
    std::vector<double> values;
    for (std::int64_t v : parse_integer_list(text, 4, 0, 1000, "--crop")) values.push_back(v);
    return values;
  }
  if (parser == "size") {
    const PictureSize size = parse_picture_size(text, 4096, "--size");
    return {static_cast<double>(size.width), static_cast<double>(size.height)};
  }
  if (parser == "extension") return {static_cast<double>(file_extension(text).size())};
  throw std::logic_error("no parser " + parser);
}

TEST(ToolArguments, ValuesAreParsedWholeAndFinite) {
  const ValueCase cases[] = {
      {"number", "0.5", {0.5}},
      {"number", "-0.25", {-0.25}},
      {"number", "+2", {2}},
      {"number", "1e3", {1000}},
      {"number", "1e-400", {0}},  // underflow is a value, not an error
      {"number", "0.4,", {}},
      {"number", "nan", {}},
      {"number", "inf", {}},
      {"number", "1e999", {}},
      {"number", "-1e999", {}},
      {"number", "0x10", {}},
      {"number", " 1", {}},
      {"number", "1 ", {}},
      {"number", "", {}},
      {"number", "1.5x", {}},
      {"number", "--", {}},
      {"integer 0..100", "0", {0}},
      {"integer 0..100", "100", {100}},
      {"integer 0..100", "101", {}},
      {"integer 0..100", "-1", {}},
      {"integer 0..100", "1.0", {}},
      {"integer 0..100", "99999999999999999999", {}},
      {"integer 0..100", "", {}},
      {"2..3 numbers", "0.5,-0.25", {0.5, -0.25}},
      {"2..3 numbers", "-3,3,2", {-3, 3, 2}},
      {"2..3 numbers", "0.5", {}},
      {"2..3 numbers", "1,2,3,4", {}},
      {"2..3 numbers", "1,,2", {}},
      {"2..3 numbers", "1,2,", {}},
      {"2..3 numbers", ",1", {}},
      {"2..3 numbers", "1,nan", {}},
      {"4 integers", "0,1,20,1000", {0, 1, 20, 1000}},
      {"4 integers", "0,1,20", {}},
      {"4 integers", "0,1,20,1001", {}},
      {"4 integers", "0,1,2.5,3", {}},
      {"size", "640x480", {640, 480}},
      {"size", "1X2", {1, 2}},
      {"size", "4096x4096", {4096, 4096}},
      {"size", "4097x1", {}},
      {"size", "0x480", {}},
      {"size", "640x", {}},
      {"size", "x480", {}},
      {"size", "640", {}},
      {"size", "640x480x2", {}},
      {"size", "-1x4", {}},
      {"extension", "out/a.PNG", {3}},  // "png"
      {"extension", "dir.d/name", {0}},
      {"extension", ".hidden", {0}},
      {"extension", "a.tar.gz", {2}},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(std::string(c.parser) + " \"" + c.text + "\"");
    if (c.expected.empty()) {
      EXPECT_THROW(parse_with(c.parser, c.text), UsageError);
    } else {
      EXPECT_EQ(parse_with(c.parser, c.text), c.expected);
    }
  }
  EXPECT_EQ(file_extension("out/a.PNG"), "png");
}

// An argument list walked as a command walks it: each option that is not a
// common one takes the next argument as its value. The walk is written as
// "operand", "-x=value" or "error" per step; "--threads" as "threads=N".
struct WalkCase {
  std::vector<std::string> arguments;
  std::vector<std::string> expected;
};

std::vector<std::string> walk(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  ArgumentList list(static_cast<int>(argv.size()), argv.data(), 0);
  std::vector<std::string> steps;
  try {
    while (!list.done()) {
      const std::string argument = list.next();
      if (!list.is_option()) {
        steps.push_back(argument);
      } else if (!list.common_option(argument.c_str())) {
        steps.push_back(argument + "=" + list.value());
      } else if (argument == "--threads") {
        steps.push_back("threads=" + std::to_string(list.threads()));
      }
    }
  } catch (const UsageError&) {
    steps.push_back("error");
  } catch (const HelpRequested&) {
    steps.push_back("help");
  }
  return steps;
}

TEST(ToolArguments, OptionValuesAndTheEndOfOptions) {
  const WalkCase cases[] = {
      {{"map.ptm", "-o", "out.png"}, {"map.ptm", "-o=out.png"}},
      // A value is the next argument whatever it begins with.
      {{"-o", "-x.png", "--light", "-0.5,0"}, {"-o=-x.png", "--light=-0.5,0"}},
      {{"-o", "--", "map"}, {"-o=--", "map"}},
      // "--" ends the options, once; "-" alone is an operand.
      {{"--", "-o", "--", "x"}, {"-o", "--", "x"}},
      {{"-", "a"}, {"-", "a"}},
      {{"a", "-o"}, {"a", "error"}},
      {{"--quiet", "a"}, {"a"}},
      {{"a", "--help", "-o"}, {"a", "help"}},
      {{"--", "--help"}, {"--help"}},
      {{"--threads", "3", "a"}, {"threads=3", "a"}},
      {{"a", "--threads", "0"}, {"a", "error"}},
      {{"a", "--threads", "2x"}, {"a", "error"}},
      {{"a", "--threads"}, {"a", "error"}},
  };
  for (const WalkCase& c : cases) {
    std::string trace;
    for (const std::string& a : c.arguments) trace += a + " ";
    SCOPED_TRACE(trace);
    EXPECT_EQ(walk(c.arguments), c.expected);
  }
}

TEST(ToolArguments, ChoicesAndUnknownOptionsNameTheArgument) {
  EXPECT_EQ(parse_choice("gain", {"plain", "specular", "gain"}, "--mode"), 2);
  try {
    parse_choice("Gain", {"plain", "gain"}, "--mode");
    FAIL() << "a choice out of the list was accepted";
  } catch (const UsageError& error) {
    EXPECT_STREQ(error.what(), "--mode \"Gain\" is not one of plain, gain");
  }
  std::string argument = "--bogus";
  char* argv[] = {argument.data()};
  ArgumentList list(1, argv, 0);
  list.next();
  try {
    list.unknown_option();
    FAIL();
  } catch (const UsageError& error) {
    EXPECT_STREQ(error.what(), "unknown option --bogus");
  }
}

}  // namespace
