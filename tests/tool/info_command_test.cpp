// relumo-tool info --json read back by Python's json module, its values
// checked against the maps the test wrote; the plane facts of the
// compressed maps against the file's own header, parsed in Python.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ptm/reader.h"
#include "support/files.h"
#include "support/ptm_fixture.h"
#include "support/run_program.h"
#include "writers/compressed_ptm_writer.h"

namespace {

// Checks every key's type and prints one line per object:
//   path (UTF-8, hex) | format_word | format | version | width x height |
//   scale x 256 | bias | mask | file_size | planes
// where planes is "-" for an uncompressed map, else the count, "ok" when
// every plane agrees with the header numbers of the file itself (compression
// parameter, then per plane transformation, motion x, motion y, order,
// reference, size and side-information size), and plane 1's facts.
const char checker[] = R"PY(
import json, sys

def header_planes(path, count):
    with open(path, 'rb') as f:
        tokens = f.read(1 << 16).split(None, 17 + 7 * count)
    rows = [[int(t) for t in tokens[17 + r * count:17 + (r + 1) * count]] for r in range(7)]
    return tokens[1].decode(), rows

for line in open(sys.argv[1], encoding='utf-8'):
    o = json.loads(line)
    assert sorted(k for k in o if k != 'planes') == sorted(
        ['path', 'format_word', 'format', 'version', 'width', 'height', 'scale', 'bias',
         'mask', 'file_size']), o.keys()
    assert all(isinstance(o[k], str) for k in ['path', 'format_word', 'format', 'version'])
    assert all(type(o[k]) is int for k in ['width', 'height', 'file_size'])
    assert len(o['scale']) == 6 and all(type(s) in (int, float) for s in o['scale'])
    assert len(o['bias']) == 6 and all(type(b) is int for b in o['bias'])
    assert type(o['mask']) is bool
    scale256 = [s * 256 for s in o['scale']]
    assert all(s == int(s) for s in scale256), o['scale']
    planes = '-'
    if 'planes' in o:
        word, (transform, mvx, mvy, order, reference, size, side) = header_planes(
            o['path'], len(o['planes']))
        ok = word == o['format_word']
        for k, p in enumerate(o['planes']):
            assert sorted(p) == sorted(['index', 'codec', 'type', 'reference', 'transform',
                                        'motion', 'side_info', 'bytes']), p
            assert type(p['side_info']) is bool and len(p['motion']) == 2
            intra = transform[k] == 0 and reference[k] == -1
            ok = ok and p['index'] == k and p['type'] == ('I' if intra else 'P')
            ok = ok and p['codec'] == ('jpegls' if 'JPEGLS' in word else 'jpeg')
            ok = ok and p['reference'] == reference[k] and p['transform'] == transform[k]
            ok = ok and p['motion'] == [mvx[k], mvy[k]]
            ok = ok and p['side_info'] == (side[k] > 0) and p['bytes'] == size[k] + side[k]
        p1 = o['planes'][1]
        planes = '%d %s %s,%d,%d,%d,%d' % (len(o['planes']), 'ok' if ok else 'mismatch',
                                          p1['type'], p1['reference'], p1['transform'],
                                          p1['motion'][0], p1['motion'][1])
    print('|'.join([o['path'].encode('utf-8').hex(), o['format_word'], o['format'],
                    o['version'], '%dx%d' % (o['width'], o['height']),
                    ','.join(str(int(s)) for s in scale256),
                    ','.join(str(b) for b in o['bias']), str(o['mask']).lower(),
                    str(o['file_size']), planes]))
)PY";

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

struct Expected {
  std::string path;
  std::string json_path;  // the path as JSON gives it back, in UTF-8
  std::string fields;     // format_word .. planes, as the checker prints them
};

TEST(InfoCommand, JsonLinesParseAndHoldTheMapsFacts) {
  ScratchDirectory scratch("info_json");
  std::vector<Expected> expected;
  auto add_fixture = [&](const std::string& name, PtmFixture f, const std::string& facts) {
    const std::string path = scratch.file(name);
    const std::string bytes = ptm_fixture_bytes(f);
    write_file_bytes(path, bytes);
    expected.push_back({path, path, facts + "|false|" + std::to_string(bytes.size()) + "|-"});
  };

  // Scales become trunc(value * 256) steps; biases are C integer literals.
  PtmFixture rgb = random_ptm_fixture(0, 1, 13, 9, 1);
  rgb.scale_line = "0.3 1 2.5 -0.75 1.00390625 8\n";
  rgb.bias_line = "0 -5 0x10 12 255 010\n";
  add_fixture("rgb11.ptm", rgb,
              "PTM_FORMAT_RGB|rgb|1.1|13x9|76,256,640,-192,257,2048|0,-5,16,12,255,8");
  add_fixture("lum.ptm", random_ptm_fixture(1, 2, 4, 6, 2),
              "PTM_FORMAT_LUM|lum|1.2|4x6|256,256,256,256,256,256|0,0,0,0,0,0");
  add_fixture("lut.ptm", random_ptm_fixture(3, 2, 5, 3, 3, 7),
              "PTM_FORMAT_PTM_LUT|lrgb|1.2|5x3|256,256,256,256,256,256|0,0,0,0,0,0");
  add_fixture("clut.ptm", random_ptm_fixture(4, 1, 5, 3, 4, 7),
              "PTM_FORMAT_PTM_C_LUT|lrgb|1.1|5x3|256,256,256,256,256,256|0,0,0,0,0,0");
  // A name with a quote, a backslash, a control character and a byte that
  // is not UTF-8, which JSON gives back as U+FFFD.
  const std::string odd_name = std::string("we\"ird\\na\x01me\xff.ptm");
  add_fixture(odd_name, random_ptm_fixture(2, 2, 3, 2, 5),
              "PTM_FORMAT_LRGB|lrgb|1.2|3x2|256,256,256,256,256,256|0,0,0,0,0,0");
  expected.back().json_path = scratch.file("we\"ird\\na\x01me\xEF\xBF\xBD.ptm");

  // A mask image beside the map: <name>mask.ppm of the map's size.
  const PtmFixture masked = random_ptm_fixture(2, 2, 3, 2, 6);
  add_fixture("masked.ptm", masked,
              "PTM_FORMAT_LRGB|lrgb|1.2|3x2|256,256,256,256,256,256|0,0,0,0,0,0");
  write_file_bytes(scratch.file("maskedmask.ppm"), std::string("P6\n3 2\n255\n") +
                                                       std::string(18, '\xff'));
  expected.back().fields.replace(expected.back().fields.find("|false|"), 7, "|true|");

  // Compressed maps, with plane 1 predicted from plane 0, inverted and
  // moved by (2, -1) half pixels.
  write_file_bytes(scratch.file("source.ptm"), ptm_fixture_bytes(random_ptm_fixture(2, 2, 16, 8, 7)));
  write_file_bytes(scratch.file("source_rgb.ptm"),
                   ptm_fixture_bytes(random_ptm_fixture(0, 2, 16, 8, 8)));
  const struct {
    const char* name;
    const char* source;
    int compression;
    const char* facts;
  } compressed[] = {
      {"jpegls.ptm", "source.ptm", compression_jpegls,
       "PTM_FORMAT_JPEGLS_LRGB|lrgb|1.2|16x8|256,256,256,256,256,256|0,0,0,0,0,0|false|"},
      {"jpeg.ptm", "source_rgb.ptm", compression_jpeg,
       "PTM_FORMAT_JPEG_RGB|rgb|1.2|16x8|256,256,256,256,256,256|0,0,0,0,0,0|false|"},
  };
  for (const auto& c : compressed) {
    Ptm* map = read_ptm_file(scratch.file(c.source).c_str());
    ASSERT_NE(map, nullptr);
    CompressedPtmOptions options;
    options.compression_type = c.compression;
    options.planes[1] = {transform_invert | transform_motion, 2, -1, 0, {}};
    options.correction_threshold = c.compression == compression_jpeg ? 4 : -1;
    const std::string path = scratch.file(c.name);
    ASSERT_TRUE(write_compressed_ptm(*map, path.c_str(), options));
    free_ptm(map);
    const int planes = c.compression == compression_jpegls ? 9 : 18;
    expected.push_back({path, path,
                        c.facts + std::to_string(std::filesystem::file_size(path)) + "|" +
                            std::to_string(planes) + " ok P,0,3,2,-1"});
  }
  expected.push_back({RELUMO_SAMPLE_MAP, RELUMO_SAMPLE_MAP, ""});

  std::vector<std::string> arguments = {RELUMO_TOOL_BINARY, "info", "--json"};
  for (const Expected& e : expected) arguments.push_back(e.path);
  const ProgramRun run = run_program(arguments);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  write_file_bytes(scratch.file("info.jsonl"), run.out);
  write_file_bytes(scratch.file("check.py"), checker);
  const std::string checked = command_output("timeout 60 python3 " + scratch.file("check.py") +
                                             " " + scratch.file("info.jsonl") + " 2>&1");
  std::string wanted;
  for (const Expected& e : expected) {
    if (e.fields.empty()) continue;  // the sample map: its own line, below
    wanted += hex(e.json_path) + "|" + e.fields + "\n";
  }
  const std::size_t sample_line = checked.rfind('\n', checked.size() - 2);
  ASSERT_NE(sample_line, std::string::npos) << checked;
  EXPECT_EQ(checked.substr(0, sample_line + 1), wanted);
  // The sample map: LRGB as fitted, its size as read.
  Ptm* sample = read_ptm_file(RELUMO_SAMPLE_MAP);
  ASSERT_NE(sample, nullptr);
  const std::string sample_size = std::to_string(sample->width) + "x" + std::to_string(sample->height);
  free_ptm(sample);
  EXPECT_NE(checked.find("|PTM_FORMAT_LRGB|lrgb|1.2|" + sample_size + "|", sample_line), std::string::npos)
      << checked;

  // The same maps as text: one block per map, in order, naming each.
  arguments.erase(arguments.begin() + 2);
  const ProgramRun text = run_program(arguments);
  ASSERT_EQ(text.exit_status, 0) << text.err;
  EXPECT_EQ(text.out.rfind(scratch.file("rgb11.ptm") + "\n  format:    PTM_FORMAT_RGB (in memory rgb)\n"
                           "  version:   1.1\n  size:      13 x 9\n"
                           "  scale:     0.296875 1 2.5 -0.75 1.00390625 8\n"
                           "  bias:      0 -5 16 12 255 8\n  mask:      no\n", 0),
            0u)
      << text.out;
  EXPECT_NE(text.out.find("\n\n" + scratch.file("jpegls.ptm") + "\n"), std::string::npos);
}

}  // namespace
