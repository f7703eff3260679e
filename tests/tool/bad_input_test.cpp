// relumo-tool info, render and web on bad input: every refusal has its exit
// status (1 for the input or output, 2 for a usage error), a message that
// names what was refused, and leaves no file behind, not even a partial one.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/ptm_fixture.h"
#include "support/run_program.h"

namespace {

TEST(ToolBadInput, EveryRefusalHasItsStatusNamesTheCulpritAndWritesNothing) {
  ScratchDirectory scratch("tool_bad_input");
  const std::string map_bytes = ptm_fixture_bytes(random_ptm_fixture(2, 2, 6, 5, 9));
  const std::string map = scratch.file("map.ptm");
  write_file_bytes(map, map_bytes);
  write_file_bytes(scratch.file("truncated.ptm"), map_bytes.substr(0, map_bytes.size() - 7));
  write_file_bytes(scratch.file("header_only.ptm"), "PTM_1.2\nPTM_FORMAT_LRGB\n6\n5\n1 1 1");
  write_file_bytes(scratch.file("garbage.ptm"), "\x89\x01 not a map at all\n");
  write_file_bytes(scratch.file("huge.ptm"), oversized_compressed_claim());
  // A map under a picture's name, so that only its being the input is wrong.
  write_file_bytes(scratch.file("map.tga"), map_bytes);
  const std::string missing = scratch.file("missing.ptm");
  const std::string out = scratch.file("out.png");
  const std::string site = scratch.file("site");
  const std::set<std::string> inputs = file_names_in(scratch.path);

  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string named;  // in the message on standard error
  } cases[] = {
      {{"render", missing, "-o", out}, 1, missing},
      {{"render", scratch.file("truncated.ptm"), "-o", out}, 1, scratch.file("truncated.ptm")},
      {{"render", scratch.file("header_only.ptm"), "-o", out}, 1, scratch.file("header_only.ptm")},
      {{"render", scratch.file("garbage.ptm"), "-o", out}, 1, scratch.file("garbage.ptm")},
      {{"render", scratch.file("huge.ptm"), "-o", out}, 1, scratch.file("huge.ptm")},
      {{"render", scratch.path, "-o", out}, 1, scratch.path},
      {{"render", map, "-o", scratch.file("no/such/dir/out.png")}, 1, "no/such/dir/out.png"},
      {{"render", map, "-o", scratch.file("no/such/dir/out.tga")}, 1, "no/such/dir/out.tga"},
      {{"render", map, "-o", scratch.file("no/such/dir/out.ppm")}, 1, "no/such/dir/out.ppm"},
      {{"render", scratch.file("map.tga"), "-o", scratch.file("./map.tga")}, 2, "map.tga"},
      {{"render", map, "-o", scratch.file("out.jpg")}, 2, "out.jpg"},
      {{"render", map, "-o", scratch.file("out")}, 2, "out"},
      {{"render", map, "-o", out, "--bogus"}, 2, "--bogus"},
      {{"render", map, "-o", out, "--light", "0.4,"}, 2, "0.4,"},
      {{"render", map, "-o", out, "--light", "nan,0"}, 2, "--light \"nan\""},
      {{"render", map, "-o", out, "--light", "1e999,0"}, 2, "--light \"1e999\""},
      {{"render", map, "-o", out, "--light", "0.5"}, 2, "\"0.5\""},
      {{"render", map, "-o", out, "--light", "3.01,0"}, 2, "3.01,0"},
      {{"render", map, "-o", out, "--light", "0,-3.5"}, 2, "0,-3.5"},
      {{"render", map, "-o", out, "--light", "0,0,-0.1"}, 2, "0,0,-0.1"},
      {{"render", map, "-o", out, "--kd", "1e999"}, 2, "1e999"},
      {{"render", map, "-o", out, "--ks", "-1"}, 2, "--ks"},
      {{"render", map, "-o", out, "--exp", "2.5"}, 2, "2.5"},
      {{"render", map, "-o", out, "--gain", "0.5"}, 2, "--gain"},
      {{"render", map, "-o", out, "--mode", "shiny"}, 2, "shiny"},
      {{"render", map, "-o", out, "--size", "0x5"}, 2, "--size \"0\""},
      {{"render", map, "-o", out, "--size", "64"}, 2, "\"64\""},
      {{"render", map, "-o", out, "--light"}, 2, "--light"},
      {{"render", map, "-o", out, "--kd", "0.5"}, 2, "--kd applies to --mode specular only"},
      {{"render", map, "-o", out, "--mode", "gain", "--ks", "2"}, 2, "--ks applies to --mode"},
      {{"render", map, "-o", out, "--exp", "8", "--mode", "texture"}, 2, "--exp applies to"},
      {{"render", map, "-o", out, "--mode", "specular", "--gain", "2"}, 2,
       "--gain applies to --mode gain only"},
      {{"render", map, "-o", out, "--light", "0,0", "--mode", "normals"}, 2,
       "--light does not apply to --mode normals"},
      {{"render", map}, 2, "-o"},
      {{"render", "-o", out}, 2, "no map"},
      {{"render", map, map, "-o", out}, 2, map},
      {{"render", map, "-o", out, "--light", "0,0", "--light", "0,0", "--light", "0,0", "--light",
        "0,0", "--light", "0,0", "--light", "0,0", "--light", "0,0", "--light", "0,0", "--light",
        "0,0", "--light", "0,0"},
       2,
       "9 lights"},
      {{"info", missing}, 1, missing},
      {{"info", scratch.file("truncated.ptm")}, 1, scratch.file("truncated.ptm")},
      {{"info", "--json", scratch.file("garbage.ptm")}, 1, scratch.file("garbage.ptm")},
      {{"info", "--json", scratch.file("huge.ptm")}, 1, scratch.file("huge.ptm")},
      {{"info", "--bogus", map}, 2, "--bogus"},
      {{"info"}, 2, "no map"},
      {{"web", missing, "-o", site}, 1, missing},
      {{"web", scratch.file("garbage.ptm"), "-o", site}, 1, scratch.file("garbage.ptm")},
      {{"web", map, "-o", scratch.file("no/such/dir/site")}, 1, "no/such/dir/site"},
      {{"web", map, "-o", scratch.file("no/such/dir/page.html")}, 1, "no/such/dir/page.html"},
      {{"web", map, "-o", scratch.file("map.tga")}, 1, "not a folder"},
      {{"web", map, "-o", site, "--bogus"}, 2, "--bogus"},
      {{"web", map, "-o", site, "--quality", "80"}, 2, "--tiles jpeg"},
      {{"web", map, "-o", site, "--tiles", "webp"}, 2, "webp"},
      {{"web", map, "-o", site, "--tiles", "jpeg", "--quality", "0"}, 2, "--quality"},
      {{"web", map, "-o", scratch.file("page.html"), "--iiif-base", "https://example.org/m"}, 2,
       "--iiif-base"},
      {{"web", map, "-o", site, "--iiif-base", "ftp://example.org/m"}, 2, "ftp://"},
      {{"web", map, "-o", site, "--tile-size", "130x"}, 2, "130x"},
      {{"web", map, "-o", site, "--tile-size", "129"}, 2, "odd"},
      {{"web", map, "-o", site, "--tile-size", "32"}, 2, "--tile-size"},
      {{"web", map, "-o", site, "--mode", "texture"}, 2, "texture"},
      {{"web", map, "-o", site, "--light", "3.5,0"}, 2, "3.5,0"},
      {{"web", map, "-o", site, "--light"}, 2, "--light"},
      {{"web", map}, 2, "-o"},
      {{"web", "-o", site}, 2, "no map"},
      {{"web", map, map, "-o", site}, 2, "second map"},
      {{"web", map, "-o", map}, 2, "input"},
  };
  for (const auto& c : cases) {
    std::string trace;
    for (const std::string& a : c.arguments) trace += a + " ";
    SCOPED_TRACE(trace);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.begin(), RELUMO_TOOL_BINARY);
    const ProgramRun run = run_program(arguments);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(file_names_in(scratch.path), inputs);
    EXPECT_EQ(read_file_bytes(scratch.file("map.tga")), map_bytes);
  }
}

// A file that is not a map is named for what it is, and every refused
// file gets exactly one line: no echo of the name, no bytes of the file,
// the reader's reason alone for a PTM file it refuses.
TEST(ToolBadInput, AFileThatIsNoMapGetsOneLineSayingWhatItIs) {
  ScratchDirectory scratch("tool_file_kinds");
  // The starts of a JFIF file and of a PNG file: their signatures.
  write_file_bytes(scratch.file("photo.jpg"), std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11));
  write_file_bytes(scratch.file("photo.png"),
                   std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16));
  std::filesystem::create_directory(scratch.file("maps"));
  write_file_bytes(scratch.file("empty.ptm"), "");
  write_file_bytes(scratch.file("notes.txt"), "\x01\x02\xFE plain bytes\n");
  const std::string map_bytes = ptm_fixture_bytes(random_ptm_fixture(2, 2, 6, 5, 9));
  write_file_bytes(scratch.file("cut.ptm"), map_bytes.substr(0, map_bytes.size() - 7));
  const std::string cut = scratch.file("cut.ptm");
  const struct {
    std::string name;
    std::string line;  // after "relumo-tool: "
  } cases[] = {
      {"photo.jpg", scratch.file("photo.jpg") + " is a JPEG picture, not a PTM map"},
      {"photo.png", scratch.file("photo.png") + " is a PNG picture, not a PTM map"},
      {"maps", scratch.file("maps") + " is a folder"},
      {"empty.ptm", scratch.file("empty.ptm") + " is empty"},
      {"notes.txt", scratch.file("notes.txt") + " is not a PTM map"},
      // 6 x 5 LRGB pixels of 6 coefficient and 3 colour bytes each.
      {"cut.ptm",
       cut + ": Ptm file " + cut + " ends before its data: 270 bytes needed, 263 present"},
  };
  for (const auto& c : cases) {
    for (const char* command : {"info", "render", "depth"}) {
      SCOPED_TRACE(std::string(command) + " " + c.name);
      std::vector<std::string> arguments = {RELUMO_TOOL_BINARY, command, scratch.file(c.name)};
      if (std::string(command) != "info") {
        arguments.insert(arguments.end(), {"-o", scratch.file("out.png")});
      }
      const ProgramRun run = run_program(arguments);
      EXPECT_EQ(run.exit_status, 1);
      EXPECT_EQ(run.err, "relumo-tool: " + c.line + "\n");
      EXPECT_EQ(run.out, "");
    }
  }
}

TEST(ToolBadInput, InfoDescribesTheGoodMapsAroundABadOne) {
  ScratchDirectory scratch("tool_info_continues");
  const std::string map = scratch.file("map.ptm");
  write_file_bytes(map, ptm_fixture_bytes(random_ptm_fixture(0, 2, 4, 3, 1)));
  const std::string missing = scratch.file("missing.ptm");
  const ProgramRun run = run_program({RELUMO_TOOL_BINARY, "info", "--json", map, missing, map});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.err.find("relumo-tool: " + missing + ": "), std::string::npos) << run.err;
  const std::string line = "{\"path\":\"" + map + "\",\"format_word\":\"PTM_FORMAT_RGB\"";
  EXPECT_EQ(run.out.find(line), 0u) << run.out;
  EXPECT_NE(run.out.find("\n" + line), std::string::npos) << run.out;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
}

}  // namespace

namespace {

// A disk that fills up part way: under a file-size limit every command
// that writes reports the failed write naming its file, exits with 1 and
// leaves nothing, where the process would otherwise be killed by SIGXFSZ
// with its temporary file left behind.
TEST(ToolBadInput, AWriteThatFailsPartWayIsReportedAndLeavesNoFile) {
  ScratchDirectory scratch("tool_full_disk");
  const std::string map = scratch.file("map.ptm");
  write_file_bytes(map, ptm_fixture_bytes(random_ptm_fixture(2, 2, 120, 90, 4)));
  const std::set<std::string> inputs = file_names_in(scratch.path);
  const std::vector<std::vector<std::string>> commands = {
      {"render", map, "-o", scratch.file("out.png")},
      {"render", map, "-o", scratch.file("out.tga")},
      {"convert", map, "-o", scratch.file("out.ptm"), "--format", "jpegls-lrgb"},
      {"convert", map, "-o", scratch.file("out.ptm"), "--format", "rgb"},
      {"normals", map, "-o", scratch.file("out.pfm")},
      {"depth", map, "-o", scratch.file("out.pfm")},
      {"mesh", map, "-o", scratch.file("out.ply")},
      {"mesh", map, "-o", scratch.file("out.obj")},
      {"depth", map, "-o", scratch.file("out.png"), "--colormap"},
      {"curvature", map, "-o", scratch.file("out.png")},
      {"sheet", map, "-o", scratch.file("out.png")},
      {"video", map, "-o", scratch.file("out.mp4"), "--seconds", "2"},
      {"video", map, "-o", scratch.file("out.webm"), "--seconds", "2"},
      {"web", map, "-o", scratch.file("site")},
      {"web", map, "-o", scratch.file("page.html")},
  };
  for (const std::vector<std::string>& command : commands) {
    SCOPED_TRACE(command[0] + " " + command[3]);
    // 8 blocks of 512 bytes: the map itself is larger, every product too.
    std::vector<std::string> arguments = {"/bin/sh", "-c", "ulimit -f 8 && exec \"$0\" \"$@\"",
                                          RELUMO_TOOL_BINARY};
    arguments.insert(arguments.end(), command.begin(), command.end());
    const ProgramRun run = run_program(arguments);
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_NE(run.err.find(command[3]), std::string::npos) << run.err;
    EXPECT_EQ(file_names_in(scratch.path), inputs);
  }
}

}  // namespace

namespace {

// info's result on a full disk: the lost output is a failure, reported.
TEST(ToolBadInput, AResultThatCannotBeWrittenIsAFailure) {
  ScratchDirectory scratch("tool_full_stdout");
  const std::string map = scratch.file("map.ptm");
  write_file_bytes(map, ptm_fixture_bytes(random_ptm_fixture(2, 2, 6, 5, 9)));
  for (const char* form : {"", "--json"}) {
    SCOPED_TRACE(form);
    const ProgramRun run = run_program({"/bin/sh", "-c", "exec \"$0\" info $1 \"$2\" > /dev/full",
                                        RELUMO_TOOL_BINARY, form, map});
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_NE(run.err.find("cannot write the result"), std::string::npos) << run.err;
  }
}

}  // namespace
