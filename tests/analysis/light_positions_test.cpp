#include "analysis/light_positions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Entry {
  std::string name;
  float x, y, z;
};

struct Case {
  const char* what;
  std::string text;
  bool read;
  std::vector<Entry> entries;
  std::string output;  // everything printed, exactly
};

const std::vector<Entry> two = {{"a.ppm", 0, 0, 1}, {"b.jpg", 0.5f, -0.25f, 0.75f}};

}  // namespace

TEST(LightPositions, ReadsTheQuirksOfRealFilesAndRefusesWhatIsNoListOfPhotographs) {
  const Case cases[] = {
      {"plain", "2\na.ppm 0 0 1\nb.jpg 0.5 -0.25 0.75\n", true, two, ""},
      {"Windows line ends", "2\r\na.ppm 0 0 1\r\nb.jpg 0.5 -0.25 0.75\r\n", true, two, ""},
      {"blanks after the count", "2  \t\na.ppm 0 0 1\nb.jpg 0.5 -0.25 0.75\n", true, two, ""},
      {"blank lines at the end", "2\na.ppm 0 0 1\nb.jpg 0.5 -0.25 0.75\n\n  \r\n\n", true, two, ""},
      {"no line end at the end", "2\na.ppm 0 0 1\nb.jpg 0.5 -0.25 0.75", true, two, ""},
      {"blank lines before and between", "\n 2\n\na.ppm 0 0 1\n\t\nb.jpg 0.5 -0.25 0.75\n", true,
       two, ""},
      {"tabs and runs of blanks", "2\na.ppm\t0  0\t 1\nb.jpg   0.5\t-0.25 0.75  \n", true, two, ""},
      {"byte-order mark",
       "\xEF\xBB\xBF"
       "2\na.ppm 0 0 1\nb.jpg 0.5 -0.25 0.75\n",
       true, two, ""},
      {"exponents", "1\na.ppm 5e-1 -2.5E-1 .75\n", true, {{"a.ppm", 0.5f, -0.25f, 0.75f}}, ""},
      {"names with a folder",
       "2\nphotos/a.ppm 0 0 1\nC:\\capture\\b.jpg 1 0 0\n",
       true,
       {{"photos/a.ppm", 0, 0, 1}, {"C:\\capture\\b.jpg", 1, 0, 0}},
       ""},
      {"a name with blanks", "1\nmy  photo 1.jpg 0 0 1\n", true, {{"my  photo 1.jpg", 0, 0, 1}}, ""},
      {"count of 0", "0\n", true, {}, ""},
      {"count larger than the entries", "5\na.ppm 0 0 1\nb.jpg 0.5 -0.25 0.75\n", true, two,
       "Light position file t.lp announces 5 images but lists 2; reading those\n"},
      {"absurdly large count", "2147483647\na.ppm 0 0 1\nb.jpg 0.5 -0.25 0.75\n", true, two,
       "Light position file t.lp announces 2147483647 images but lists 2; reading those\n"},
      {"count smaller than the entries",
       "1\na.ppm 0 0 1\nb.jpg 0.5 -0.25 0.75\n\nc.ppm 1 0 0\n",
       true,
       {{"a.ppm", 0, 0, 1}},
       "Light position file t.lp announces 1 images; the 2 lines after them are ignored\n"},
      {"negative count",
       "-3\na.ppm 0 0 1\n",
       false,
       {},
       "Light position file t.lp gives a negative number of images (-3)\n"},
      {"count beyond 64 bits",
       "99999999999999999999\na.ppm 0 0 1\n",
       false,
       {},
       "Light position file t.lp does not begin with the number of images\n"},
      {"empty",
       "",
       false,
       {},
       "Light position file t.lp does not begin with the number of images\n"},
      {"only blank lines",
       "\n \r\n",
       false,
       {},
       "Light position file t.lp does not begin with the number of images\n"},
      {"an entry split over two lines", "2\na.ppm 0 0\n1\nb.jpg\n0.5 -0.25 0.75\n", true, two,
       ""},
      {"two entries on one line", "2\na.ppm 0 0 1 b.jpg 0.5 -0.25 0.75\n", true, two, ""},
      {"the first entry on the count's line", "2 a.ppm 0 0 1\nb.jpg 0.5 -0.25 0.75", true, two,
       ""},
      {"old Mac line ends", "2\ra.ppm 0 0 1\rb.jpg 0.5 -0.25 0.75\r", true, two, ""},
      {"decimal commas", "2\na.ppm 0 0 1\nb.jpg 0,5 -0,25 0,75\n", true, two, ""},
      {"words after the count",
       "2 images\na.ppm 0 0 1\n",
       false,
       {},
       "Light position file t.lp, line 1: expected an image file name and the three numbers of "
       "its light direction\n"},
      {"a fourth number",
       "2\na.ppm 0 0 1 7\nb.jpg 0.5 -0.25 0.75\n",
       false,
       {},
       "Light position file t.lp, line 2: a fourth number (7) after the light direction of "
       "a.ppm\n"},
      {"a fourth number on the next line, after old Mac line ends",
       "2\r\ra.ppm 0 0 1\r-1\rb.jpg 0.5 -0.25 0.75\r",
       false,
       {},
       "Light position file t.lp, line 4: a fourth number (-1) after the light direction of "
       "a.ppm\n"},
      {"a name followed by two numbers and the next name",
       "2\r\nmy photo.ppm 0 0\r\nb.jpg 0.5 -0.25 0.75\r\n",
       false,
       {},
       "Light position file t.lp, line 2: expected an image file name and the three numbers of "
       "its light direction\n"},
      {"a name alone on its line",
       "2\na.ppm\nb.jpg 0.5 -0.25 0.75\n",
       false,
       {},
       "Light position file t.lp, line 2: expected an image file name and the three numbers of "
       "its light direction\n"},
      {"two decimal commas in a number",
       "1\na.ppm 0 0,5,0 1\n",
       false,
       {},
       "Light position file t.lp, line 2: expected an image file name and the three numbers of "
       "its light direction\n"},
      {"garbage",
       std::string("\x00\xff\x13 7", 5),
       false,
       {},
       "Light position file t.lp does not begin with the number of images\n"},
      {"an entry without z",
       "2\na.ppm 0 0 1\nb.jpg 0.5 -0.25\n",
       false,
       {},
       "Light position file t.lp, line 3: expected an image file name and the three numbers of "
       "its light direction\n"},
      {"an entry without a name",
       "1\n\n0 0 1\n",
       false,
       {},
       "Light position file t.lp, line 3: expected an image file name and the three numbers of "
       "its light direction\n"},
      {"a number that is not finite",
       "1\na.ppm nan 0 1\n",
       false,
       {},
       "Light position file t.lp, line 2: expected an image file name and the three numbers of "
       "its light direction\n"},
      {"a number with trailing letters",
       "1\na.ppm 0 0 1x\n",
       false,
       {},
       "Light position file t.lp, line 2: expected an image file name and the three numbers of "
       "its light direction\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<LightPosition> entries{{"left over", 9, 9, 9}};
    testing::internal::CaptureStdout();
    const bool read = parse_light_positions(c.text, "t.lp", entries);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
    EXPECT_EQ(read, c.read);
    ASSERT_EQ(entries.size(), c.entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].name, c.entries[i].name) << "entry " << i;
      EXPECT_EQ(entries[i].x, c.entries[i].x) << "entry " << i;
      EXPECT_EQ(entries[i].y, c.entries[i].y) << "entry " << i;
      EXPECT_EQ(entries[i].z, c.entries[i].z) << "entry " << i;
    }
  }
}

TEST(LightPositions, TheFileOfAMapIsItsNameCutAtTheFirstDotOfTheFileItself) {
  const struct {
    const char* base_name;
    const char* expected;
  } cases[] = {
      {"object.ptm", "object.lp"},
      {"../captures/stone.ptm", "../captures/stone.lp"},
      {"maps/v1.2/stone.ptm", "maps/v1.2/stone.lp"},
      {"stone.x.ptm", "stone.lp"},
      {"stone", "stone.lp"},
      {"C:\\maps.old\\stone.ptm", "C:\\maps.old\\stone.lp"},
      {"stone\n", "stone.lp"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(light_position_file_name(c.base_name), c.expected) << c.base_name;
  }
}
