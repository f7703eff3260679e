#include "common/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Expected texts by RFC 8259 section 7 and RFC 3629 section 4; U+FFFD is
// EF BF BD.
TEST(JsonString, EscapesWhatJsonRequiresAndReplacesWhatIsNotUtf8) {
  const struct {
    std::string text;
    std::string json;
  } cases[] = {
      {"", "\"\""},
      {"plain/path.ptm", "\"plain/path.ptm\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\n\t\r\b\f", "\"\\n\\t\\r\\b\\f\""},
      {std::string("\x00\x01\x1f", 3), "\"\\u0000\\u0001\\u001f\""},
      {"\x7f/", "\"\x7f/\""},                          // DEL needs no escape
      {"caf\xC3\xA9", "\"caf\xC3\xA9\""},              // U+00E9
      {"\xE2\x82\xAC", "\"\xE2\x82\xAC\""},            // U+20AC
      {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},    // U+1F600
      {"\xF4\x8F\xBF\xBF", "\"\xF4\x8F\xBF\xBF\""},    // U+10FFFF, the last
      {"a\xFFz", "\"a\xEF\xBF\xBDz\""},                // never a UTF-8 byte
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},    // overlong '/'
      {"\xE0\x80\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // overlong
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // surrogate D800
      {"\xF4\x90\x80\x80",
       "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},      // above U+10FFFF
      {"x\xE2\x82", "\"x\xEF\xBF\xBD\xEF\xBF\xBD\""},                // cut short
      {"\x80q", "\"\xEF\xBF\xBDq\""},                                // lone continuation
  };
  for (const auto& c : cases) {
    EXPECT_EQ(json_string(c.text), c.json) << c.json;
  }
}

}  // namespace
