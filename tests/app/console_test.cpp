#include "app/core/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/console_input.h"

namespace {

struct Answer {
  ConsoleWord kind;
  std::string word;
};

// What successive reads of words of at most 8 characters give for `input`.
std::vector<Answer> words_of(const std::string& input, int reads) {
  ConsoleInput console(input);
  std::vector<Answer> answers;
  for (int i = 0; i < reads; ++i) {
    std::string word = "stale";
    const ConsoleWord kind = read_console_word(word, 8);
    answers.push_back({kind, word});
  }
  return answers;
}

TEST(ConsoleWord, WordsAreReadAsScanfReadsThemAndLongOnesAreRefusedWhole) {
  using K = ConsoleWord;
  struct Case {
    std::string input;
    std::vector<Answer> expected;
  };
  const std::vector<Case> cases = {
      {"crop.ptm\n", {{K::read, "crop.ptm"}, {K::end_of_input, ""}}},
      {"  \t\n a.ppm  b\r\n", {{K::read, "a.ppm"}, {K::read, "b"}, {K::end_of_input, ""}}},
      {"last", {{K::read, "last"}, {K::end_of_input, ""}}},
      // Exactly the limit is accepted; one more is refused, and the next
      // answer is the next word, not the refused word's tail.
      {"12345678 123456789 next\n",
       {{K::read, "12345678"}, {K::too_long, ""}, {K::read, "next"}}},
      {"", {{K::end_of_input, ""}, {K::end_of_input, ""}}},
      {" \n\n", {{K::end_of_input, ""}}},
  };
  for (const Case& c : cases) {
    const std::vector<Answer> got = words_of(c.input, static_cast<int>(c.expected.size()));
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(got[i].kind, c.expected[i].kind) << "input \"" << c.input << "\", read " << i;
      EXPECT_EQ(got[i].word, c.expected[i].word) << "input \"" << c.input << "\", read " << i;
    }
  }
}

TEST(ConsoleWord, AKeyPressAfterANameIsLeftForTheKeyWait) {
  ConsoleInput console("name.ppm\nxy");
  std::string word;
  ASSERT_EQ(read_console_word(word, 119), ConsoleWord::read);
  wait_for_key_press();  // takes "x"
  ASSERT_EQ(read_console_word(word, 119), ConsoleWord::read);
  EXPECT_EQ(word, "y");
}

TEST(ConsoleWord, OutputNamesGoBesideTheInputUnlessAbsolute) {
  EXPECT_EQ(output_path("maps/", "crop.ptm"), "maps/crop.ptm");
  EXPECT_EQ(output_path("", "crop.ptm"), "crop.ptm");
  EXPECT_EQ(output_path("C:\\maps\\", "crop.ptm"), "C:\\maps\\crop.ptm");
  EXPECT_EQ(output_path("maps/", "/tmp/crop.ptm"), "/tmp/crop.ptm");
}

}  // namespace
