// d88info as a process: its lines per disk and per track, its option and
// error handling.  Most cases run the build over the tests' catalogue
// (listed twice, as "testcut" and "twincut"); the last one runs the real
// program on a disk of every kind the three programs know.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d88/d88_format.h"
#include "support/d88_builder.h"
#include "support/kind_disk.h"
#include "support/process.h"

#if defined(D88INFO_PATH)
#include "abcut/catalogue.h"
#include "oabcut/catalogue.h"
#include "vorxcut/catalogue.h"
#endif

namespace {

using testimg::Bytes;
using testimg::Disk;

const std::string kTool = D88INFO_TESTCUT_PATH;
const std::string kUsage = "Usage: d88info [--sectors] [--files] [--map] [--disk N] IMAGE\n";

struct Case {
  const char* what;
  Bytes image;
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

void Check(const Case& c) {
  SCOPED_TRACE(c.what);
  const testimg::RunOutcome run = testimg::RunOnImage(kTool, c.image, c.args);
  EXPECT_EQ(run.process.status, c.status);
  EXPECT_EQ(run.process.out, c.out);
  EXPECT_EQ(run.process.err, c.err);
  EXPECT_TRUE(run.files.empty()) << "d88info writes no files";
}

// testcut rule 1: "AAA" at the start of track 0, sector 1.
Disk First() {
  Disk d;
  d.Format(0, 0).Poke(0, 1, 0, "AAA");
  return d;
}

TEST(D88InfoE2E, DiskLines) {
  Disk odd;  // a name that needs escaping, no tracks
  odd.name = std::string("\x82\xA0" "A\"\\\x7F~");
  odd.mediaType = 0x20;
  odd.writeProtect = 0x10;
  Disk second;  // testcut rule 2: "BB" at byte 10 of rule 1's probe
  second.name = "";
  second.mediaType = 0x55;
  second.writeProtect = 0x01;
  second.Format(0, 0).Poke(0, 1, 10, "BB");
  Disk big;
  big.name = "SIXTEEN CHARS!!!";  // fills the whole name field
  big.Format(0, 1).Format(3, 3, 5);
  big.mediaType = 0x40;

  const std::string both = "testcut 1 (first), twincut 1 (first)";
  const std::string lineA = "disk 0: offset 0, size 7760, 2D, writable, name \"TEST\", 1 track, 26 sectors; " + both + "\n";
  const std::string lineB = "disk 1: offset 7760, size 688, 2HD, write-protected, name \"\\x82\\xA0A\\x22\\x5C\\x7F~\", 0 tracks, 0 sectors; recognised by none\n";
  const std::string lineC = "disk 2: offset 8448, size 7760, media 0x55, write-protect 0x01, name \"\", 1 track, 26 sectors; testcut 2 (second), twincut 2 (second)\n";
  const std::string lineD = "disk 3: offset 16208, size 16192, 1DD, writable, name \"SIXTEEN CHARS!!!\", 3 tracks, 57 sectors; recognised by none\n";
  Disk tiny = odd;  // a size field below the header's size ends the chain
  tiny.sizeField = 100;
  const Bytes image = testimg::BuildImage({First(), odd, second, big});

  const Case cases[] = {
      {"every disk", image, {}, 0, lineA + lineB + lineC + lineD, ""},
      {"one disk", image, {"--disk", "2"}, 0, lineC, ""},
      {"one disk, = form", image, {"--disk=1"}, 0, lineB, ""},
      {"a disk it does not hold", image, {"--disk", "4"}, 1, "", "d88info: no disk 4 (the image holds 4)\n"},
      {"an empty file", {}, {}, 0, "no disks\n", ""},
      {"a disk too small to hold its header", testimg::Concat(tiny.Build(), First().Build()), {}, 0,
       "disk 0: offset 0, size 100, 2HD, write-protected, name \"\\x82\\xA0A\\x22\\x5C\\x7F~\", 0 tracks, 0 sectors; recognised by none\n",
       ""},
  };
  for (const Case& c : cases) Check(c);
}

TEST(D88InfoE2E, SectorLists) {
  Disk damaged;
  damaged.Format(4, 4).Remove(4, 3).Remove(4, 7).Remove(4, 8).Remove(4, 9);
  damaged.Data(4, 5).resize(128);
  testimg::Sector stray = damaged.tracks[4][0];  // R1 again, as cylinder 9
  stray.c = 9;
  damaged.tracks[4].push_back(stray);
  damaged.Format(6, 6, 2);
  for (testimg::Sector& s : damaged.tracks[6]) s.count = 0;  // states no sectors
  damaged.trackOffsets[8] = 0x7FFFFFF0;  // beyond the disk: no track the programs read

  Disk shortTable;
  shortTable.Format(0, 0, 3).Format(1, 1, 1);

  Disk worn;  // a mark for each way a sector comes out
  worn.Format(0, 1).Remove(1, 26);
  worn.tracks[0][2].status = 0xB0;
  worn.tracks[0][3].deleted = 0x10;
  worn.tracks[0][4].status = 0xA0;
  worn.tracks[1][5].status = 0xF0;

  const Case cases[] = {
      {"a damaged track, an empty one and one beyond the disk", damaged.Build(), {"--sectors"}, 0,
       "disk 0: offset 0, size 7360, 2D, writable, name \"TEST\", 2 tracks, 23 sectors; recognised by none\n"
       "  track 4: 23 sectors, 256 bytes x22, 128 bytes x1, missing 3 7-9\n"
       "    2/0/1/1 2/0/2/1 2/0/4/1 2/0/5/1 2/0/6/1 2/0/10/1 2/0/11/1 2/0/12/1 2/0/13/1 2/0/14/1 2/0/15/1 2/0/16/1 2/0/17/1\n"
       "    2/0/18/1 2/0/19/1 2/0/20/1 2/0/21/1 2/0/22/1 2/0/23/1 2/0/24/1 2/0/25/1 2/0/26/1 9/0/1/1\n"
       "  track 6: no sectors\n",
       ""},
      {"--map draws a row per track", worn.Build(), {"--map"}, 0,
       "disk 0: offset 0, size 14560, 2D, writable, name \"TEST\", 2 tracks, 51 sectors; recognised by none\n"
       "  map: . sound, d deleted data, x data CRC error, i ID CRC error, n no data, ? other status\n"
       "  track   0: ..xdi.....................\n"
       "  track   1: .....n...................  missing 26\n",
       ""},
      // Entries 160 to 163 of a 160-entry table hold the first track's first
      // sector header (C0 H0 R1 N1, the sector count 3, ... the length 256).
      {"a 160-entry track table shows no phantom tracks",
       testimg::WithShortTrackTable(shortTable.Build()), {"--sectors"}, 0,
       "disk 0: offset 0, size 1760, 2D, writable, name \"TEST\", 2 tracks, 4 sectors; recognised by none\n"
       "  track 0: 3 sectors, 256 bytes each, missing 4-26\n"
       "    0/0/1/1 0/0/2/1 0/0/3/1\n"
       "  track 1: 1 sector, 256 bytes each, missing 2-26\n"
       "    0/1/1/1\n",
       ""},
      {"--disk limits the track lists too", testimg::BuildImage({shortTable, First()}),
       {"--sectors", "--disk", "1"}, 0,
       "disk 1: offset 1776, size 7760, 2D, writable, name \"TEST\", 1 track, 26 sectors; testcut 1 (first), twincut 1 (first)\n"
       "  track 0: 26 sectors, 256 bytes each, none of 1-26 missing\n"
       "    0/0/1/1 0/0/2/1 0/0/3/1 0/0/4/1 0/0/5/1 0/0/6/1 0/0/7/1 0/0/8/1 0/0/9/1 0/0/10/1 0/0/11/1 0/0/12/1 0/0/13/1\n"
       "    0/0/14/1 0/0/15/1 0/0/16/1 0/0/17/1 0/0/18/1 0/0/19/1 0/0/20/1 0/0/21/1 0/0/22/1 0/0/23/1 0/0/24/1 0/0/25/1 0/0/26/1\n",
       ""},
  };
  for (const Case& c : cases) Check(c);
}

TEST(D88InfoE2E, CommandLine) {
  const Bytes image = First().Build();
  const Case cases[] = {
      {"--help", image, {"--help"}, 0, "", ""},
      {"--version", image, {"--version"}, 0, "d88info " D88CUT_VERSION "\n", ""},
      {"unknown option", image, {"-x"}, 2, "", "d88info: unknown option '-x'\n" + kUsage},
      {"--disk without a number", image, {"--disk"}, 2, "", "d88info: --disk needs a disk number\n" + kUsage},
      {"--disk with a bad number", image, {"--disk", "1x"}, 2, "", "d88info: bad disk number '1x'\n" + kUsage},
      {"--disk with a negative number", image, {"--disk=-1"}, 2, "", "d88info: bad disk number '-1'\n" + kUsage},
      {"two images", image, {"other.d88"}, 2, "", "d88info: more than one image given\n" + kUsage},
  };
  for (Case c : cases) {
    if (c.args[0] == "--help") {
      // Checked for its shape only: the usage line, then the options.
      const testimg::RunOutcome run = testimg::RunOnImage(kTool, c.image, c.args);
      EXPECT_EQ(run.process.status, 0);
      EXPECT_EQ(run.process.out.rfind(kUsage, 0), 0u);
      EXPECT_NE(run.process.out.find("--sectors"), std::string::npos);
      EXPECT_EQ(run.process.err, "");
      continue;
    }
    Check(c);
  }

  testimg::ScratchDir dir;
  const testimg::ProcessResult none = testimg::RunProcess(kTool, {}, dir.path());
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err, "d88info: no image given\n" + kUsage);
  const std::string missing = dir / "missing.d88";
  const testimg::ProcessResult absent = testimg::RunProcess(kTool, {missing}, dir.path());
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(absent.out, "");
  EXPECT_EQ(absent.err, "d88info: cannot read " + missing + ": No such file or directory\n");
}

#if defined(D88INFO_PATH)
// The real program on one disk of every kind each program knows: each disk
// is taken for its own kind, by its own program only.
TEST(D88InfoE2E, EveryKindOfEveryProgram) {
  const cut::Catalogue* const catalogues[] = {&vorxcut::kCatalogue, &abcut::kCatalogue,
                                              &oabcut::kCatalogue};
  std::vector<Disk> disks;
  std::vector<std::string> expected;
  for (const cut::Catalogue* catalogue : catalogues) {
    for (const cut::DiskRule& rule : catalogue->rules) {
      disks.push_back(testimg::KindDisk(*catalogue, rule));
      expected.push_back("; " + std::string(catalogue->program) + " " +
                         std::to_string(rule.number) + " (" + rule.label + ")\n");
    }
  }
  const testimg::RunOutcome run = testimg::RunOnImage(D88INFO_PATH, testimg::BuildImage(disks));
  EXPECT_EQ(run.process.status, 0);
  EXPECT_EQ(run.process.err, "");
  EXPECT_TRUE(run.files.empty());
  size_t at = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    const size_t end = run.process.out.find('\n', at);
    ASSERT_NE(end, std::string::npos) << "disk " << i << " has no line";
    const std::string line = run.process.out.substr(at, end + 1 - at);
    EXPECT_EQ(line.rfind("disk " + std::to_string(i) + ": ", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - std::min(line.size(), expected[i].size())), expected[i]);
    at = end + 1;
  }
  EXPECT_EQ(at, run.process.out.size());
}
#endif

}  // namespace
