// d88conv as a process: a disk in every container converted and read back,
// several images merged in order, --split, damaged D88 disks written
// afresh, and the outputs it refuses or cannot write, with no temporary
// file left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "containers/container.h"
#include "d88/d88_format.h"
#include "support/container_builder.h"
#include "support/d88_builder.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;
using testimg::Bytes;
using testimg::Disk;

const std::string kConv = D88CONV_PATH;
const std::string kTestcut = TESTCUT_PATH;
const std::string kInfo = D88INFO_PATH;
const std::string kUsage =
    "Usage: d88conv [-f] [-o OUT.d88] IMAGE...\n"
    "       d88conv [-f] [-o BASE.d88] --split IMAGE\n";

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string Wrote(const std::string& name, int disks, size_t bytes) {
  return "wrote " + name + ": " + std::to_string(disks) + (disks == 1 ? " disk, " : " disks, ") +
         std::to_string(bytes) + " bytes\n";
}

// A whole 2HD disk of 26 sectors of 256 bytes a track, which testcut takes
// for its first kind.
Disk Full(const std::string& tag) {
  Disk disk;
  disk.tag = tag;
  disk.mediaType = 0x20;
  disk.Format(0, 153);
  disk.Poke(0, 1, 0, "AAA");
  return disk;
}

Disk Small(const std::string& tag, int tracks = 4) {
  Disk disk;
  disk.tag = tag;
  disk.name = tag;
  disk.Format(0, tracks - 1);
  return disk;
}

// What the container layer makes of the file: the bytes of its conversion,
// or the file itself when it is read as D88.
Bytes AsD88(const std::string& path, containers::Kind* kind) {
  static d88::D88Image image;
  containers::ImageFile file;
  EXPECT_TRUE(file.Open(path.c_str(), image)) << path;
  *kind = file.GetKind();
  if (file.D88Data() == nullptr) return testimg::ReadFile(path);
  return Bytes(file.D88Data(), file.D88Data() + file.D88Size());
}

// Runs testcut on `image` in a fresh folder.
testimg::RunOutcome Cut(const std::string& image) {
  testimg::ScratchDir work;
  testimg::RunOutcome outcome;
  outcome.process = testimg::RunProcess(kTestcut, {image}, work.path());
  outcome.files = work.Files();
  return outcome;
}

TEST(D88ConvE2E, EveryContainerConvertsToTheD88ItReadsAs) {
  const Disk disk = Full("R");
  // A sound D88 is copied byte for byte, bytes no reader here looks at too
  // (one some emulators read as the drive's speed).
  Bytes d88 = disk.Build();
  d88[d88::kDiskHeaderSize + 0x0D] = 0x01;
  struct Case {
    const char* what;
    const char* name;
    Bytes bytes;
    bool recognised;  // testcut takes the disk for its first kind
  };
  const Case cases[] = {
      {"D88", "in.d88", d88, true},
      {"FDI", "in.fdi", testimg::BuildFdi(disk, testimg::k2hd26), true},
      {"NFD r0", "in.nfd", testimg::BuildNfdR0(disk), true},
      {"NFD r1", "in.nfd", testimg::BuildNfdR1(disk), true},
      {"FDD", "in.fdd", testimg::BuildFdd(disk), true},
      {"DCP", "in.dcp", testimg::BuildDcp(disk, testimg::k2hd26), true},
      {"raw", "in.img", testimg::BuildRaw(disk, testimg::k2hd26), true},
      {"DIP (8 x 1024)", "in.dip", testimg::BuildDip(Small("P")), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::ScratchDir dir;
    const std::string in = dir / c.name;
    ASSERT_TRUE(testimg::WriteFile(in, c.bytes));
    containers::Kind kind;
    const Bytes expected = AsD88(in, &kind);
    EXPECT_EQ(kind == containers::Kind::kD88, std::string(c.what) == "D88");

    const testimg::ProcessResult run = testimg::RunProcess(kConv, {"-o", "out.d88", c.name}, dir.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, Wrote("out.d88", 1, expected.size()));
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(testimg::ReadFile(dir / "out.d88") == expected);

    // The programs run the same on the container and on its D88.
    const testimg::RunOutcome fromContainer = Cut(in);
    const testimg::RunOutcome fromD88 = Cut(dir / "out.d88");
    EXPECT_EQ(fromD88.process.status, fromContainer.process.status);
    EXPECT_EQ(fromD88.process.out, fromContainer.process.out);
    EXPECT_EQ(fromD88.process.err, fromContainer.process.err);
    EXPECT_TRUE(fromD88.files == fromContainer.files);
    EXPECT_EQ(fromD88.files.count("ONE"), c.recognised ? 1u : 0u);
  }
}

TEST(D88ConvE2E, SeveralImagesMergeInOrder) {
  testimg::ScratchDir dir;
  const Bytes first = testimg::BuildImage({Small("A"), Small("B")});
  const Bytes last = Small("D").Build();
  testimg::WriteFile(dir / "a.d88", first);
  testimg::WriteFile(dir / "b.nfd", testimg::BuildNfdR1(Small("C")));
  testimg::WriteFile(dir / "c.d88", last);
  containers::Kind kind;
  const Bytes expected = testimg::Concat(testimg::Concat(first, AsD88(dir / "b.nfd", &kind)), last);

  const testimg::ProcessResult run =
      testimg::RunProcess(kConv, {"a.d88", "b.nfd", "c.d88"}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  // Named after the first image, which is a .d88 itself.
  EXPECT_EQ(run.out, Wrote("a_conv.d88", 4, expected.size()));
  EXPECT_TRUE(testimg::ReadFile(dir / "a_conv.d88") == expected);
}

TEST(D88ConvE2E, SplitWritesADiskPerFile) {
  const std::vector<Disk> disks = {Small("A"), Small("B", 2), Small("C", 6)};
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string base;
  };
  const Case cases[] = {
      {"named after the image", {"--split", "game.fdx"}, "game"},
      {"named after -o", {"--split", "-o", "part.d88", "game.fdx"}, "part"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::ScratchDir dir;
    testimg::WriteFile(dir / "game.fdx", testimg::BuildImage(disks));
    const testimg::ProcessResult run = testimg::RunProcess(kConv, c.args, dir.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    std::string out;
    std::map<std::string, Bytes> expected = {{"game.fdx", testimg::BuildImage(disks)}};
    for (size_t i = 0; i < disks.size(); ++i) {
      const std::string name = c.base + "_" + std::to_string(i) + ".d88";
      expected[name] = disks[i].Build();
      out += Wrote(name, 1, expected[name].size());
    }
    EXPECT_EQ(run.out, out);
    EXPECT_TRUE(dir.Files() == expected);
  }
}

TEST(D88ConvE2E, DamagedDisksAreWrittenAfreshWithEverySector) {
  Disk twice = Small("T");  // a duplicate identity with other data, kept
  testimg::Sector copy = twice.tracks[1][0];
  copy.data = testimg::Filler("dup", 1, 1);
  twice.tracks[1].push_back(copy);
  twice.tracks[2][3].deleted = 0x10;
  twice.tracks[2][4].density = 0x40;
  twice.tracks[2][5].status = 0xB0;
  Disk tooLong = twice;
  tooLong.sizeField = static_cast<int64_t>(twice.Build().size()) + 4096;

  // A file cut inside the last sector: its data is what the file holds.
  const Disk plain = Small("S");
  Bytes cutShort = plain.Build();
  cutShort.resize(cutShort.size() - 100);
  Disk shortened = plain;
  shortened.tracks[3].back().data.resize(256 - 100);

  // A size field that stops where the last track starts: the programs read
  // that track at the disk's very end, so it is kept.
  Disk lastShort = plain;
  lastShort.tracks[3].resize(1);
  const Bytes whole = lastShort.Build();
  Disk atEnd = lastShort;
  atEnd.sizeField = d88::GetU32le(whole.data() + d88::kTrackTableOffset + 4 * 3);

  // An entry pointing into the header is no track; the tracks after it are.
  Disk intoHeader = plain;
  intoHeader.trackOffsets = {{0, 0x100}};
  Disk withoutFirst = plain;
  withoutFirst.RemoveTrack(0);

  struct Case {
    const char* what;
    Bytes input;
    Bytes expected;
  };
  const Case cases[] = {
      {"size field beyond the file", tooLong.Build(), twice.Build()},
      {"an entry into the header", intoHeader.Build(), withoutFirst.Build()},
      {"160-entry track table", testimg::WithShortTrackTable(plain.Build()), plain.Build()},
      {"file cut inside a sector", cutShort, shortened.Build()},
      {"a track at the disk's very end (its entry equal to the size field)", atEnd.Build(), whole},
      {"damaged disk after a sound one", testimg::Concat(plain.Build(), tooLong.Build()),
       testimg::BuildImage({plain, twice})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::ScratchDir dir;
    testimg::WriteFile(dir / "in.d88", c.input);
    const testimg::ProcessResult run = testimg::RunProcess(kConv, {"-o", "out.d88", "in.d88"}, dir.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.rfind("warning: in.d88: disk ", 0), 0u) << run.err;
    EXPECT_TRUE(testimg::ReadFile(dir / "out.d88") == c.expected);
  }
}

// What d88info lists of an image's sectors: each disk's line without where
// it stands, its size and its count of tracks, and each track that holds a
// sector with its identities.  A conversion moves and resizes disks, keeps
// no track that holds no sector (D88 has no safe way to write one), and
// gives a sector the file cut short the length it holds.
std::string SectorsListed(const std::string& image) {
  const std::string out = testimg::RunProcess(kInfo, {"--sectors", image}, ".").out;
  std::string kept;
  size_t start = 0;
  while (start < out.size()) {
    const size_t end = out.find('\n', start);
    std::string line = out.substr(start, end - start);
    start = end == std::string::npos ? out.size() : end + 1;
    if (line.rfind("disk ", 0) == 0) {
      const size_t size = line.find("size ");
      if (size != std::string::npos) line.erase(line.find(": ") + 2, line.find(", ", size) + 2 - line.find(": ") - 2);
      const size_t tracks = line.find(" tracks,");
      if (tracks != std::string::npos) line.erase(line.rfind(", ", tracks), tracks + 7 - line.rfind(", ", tracks));
    } else if (line.find(": no sectors") != std::string::npos) {
      continue;
    } else if (line.rfind("  track ", 0) == 0) {
      line.erase(line.find(" sector") );
    }
    kept += line + "\n";
  }
  return kept;
}

// However a disk is damaged, the programs cut from d88conv's D88 of it what
// they cut from it, and d88info lists the same tracks and sectors in both.
TEST(D88ConvE2E, DamagedDisksReadTheSameAfterConversion) {
  Disk base = Small("A", 6);
  base.Poke(0, 1, 0, "AAA");  // testcut's first kind: its cuts read track 2
  const Bytes sound = base.Build();
  const uint32_t track2 = d88::GetU32le(sound.data() + d88::kTrackTableOffset + 4 * 2);

  Disk pastDisk = base;
  pastDisk.trackOffsets[2] = 0x7FFFFFF0;
  // Track 2 read from the table's own bytes: entries 100 to 103 spell a
  // header of sector 1/0/1/1 (entry 101, a count of 1, is then a track
  // starting at byte 1 too).
  Disk intoHeader = base;
  intoHeader.trackOffsets = {{2, d88::kTrackTableOffset + 4 * 100}, {100, 0x01010001},
                             {101, 1}, {103, 0x01000000}};
  Disk endsAtTrack2 = base;  // tracks 3 to 5 past the disk, 2 at its very end
  endsAtTrack2.sizeField = track2;
  Disk duplicate = base;
  testimg::Sector copy = duplicate.tracks[2][0];
  copy.data = testimg::Filler("dup", 2, 1);
  duplicate.tracks[2].insert(duplicate.tracks[2].begin(), copy);
  duplicate.tracks[2][0].status = 0xB0;
  Bytes cutShort = sound;
  cutShort.resize(track2 + 300);

  struct Case {
    const char* what;
    Bytes input;
    bool cutsOne;  // testcut writes ONE from the input
  };
  const Case cases[] = {
      {"track 2 past the disk", pastDisk.Build(), false},
      {"track 2 inside the header", intoHeader.Build(), true},
      {"track 2 at the disk's very end", endsAtTrack2.Build(), true},
      {"a 160-entry table", testimg::WithShortTrackTable(sound), true},
      {"a file cut inside track 2", cutShort, true},
      {"a duplicate identity with a CRC error first", duplicate.Build(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::ScratchDir dir;
    ASSERT_TRUE(testimg::WriteFile(dir / "in.d88", c.input));
    const testimg::ProcessResult run = testimg::RunProcess(kConv, {"-o", "out.d88", "in.d88"}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const testimg::RunOutcome fromImage = Cut(dir / "in.d88");
    const testimg::RunOutcome fromD88 = Cut(dir / "out.d88");
    EXPECT_EQ(fromD88.process.out, fromImage.process.out);
    EXPECT_EQ(fromD88.process.err, fromImage.process.err);
    EXPECT_TRUE(fromD88.files == fromImage.files);
    EXPECT_EQ(fromImage.files.count("ONE"), c.cutsOne ? 1u : 0u);
    EXPECT_EQ(SectorsListed(dir / "out.d88"), SectorsListed(dir / "in.d88"));
  }
}

TEST(D88ConvE2E, OnlyTheDisksADirectoryHoldsAreRead) {
  Disk empty;  // a header and nothing else
  const std::vector<Disk> disks(d88::kMaxDisks + 1, empty);
  testimg::ScratchDir dir;
  testimg::WriteFile(dir / "many.d88", testimg::BuildImage(disks));
  const testimg::ProcessResult run = testimg::RunProcess(kConv, {"-o", "out.d88", "many.d88"}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "warning: many.d88: holds more than 64 disks; only the first 64 are read\n");
  const std::vector<Disk> listed(d88::kMaxDisks, empty);
  EXPECT_TRUE(testimg::ReadFile(dir / "out.d88") == testimg::BuildImage(listed));
}

// A run in a folder holding `files` (a name ending in '/' is a folder),
// which must hold `after` when it ends, and nothing else.
struct FolderCase {
  const char* what;
  std::map<std::string, Bytes> files;
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;  // or its start, when the system's reason follows
  std::map<std::string, Bytes> after;
  bool errIsPrefix = false;
};

void Check(const FolderCase& c) {
  SCOPED_TRACE(c.what);
  testimg::ScratchDir dir;
  for (const auto& file : c.files) {
    if (file.first.back() == '/') {
      fs::create_directories(dir / file.first);
    } else {
      testimg::WriteFile(dir / file.first, file.second);
    }
  }
  const testimg::ProcessResult run = testimg::RunProcess(kConv, c.args, dir.path());
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.out, c.out);
  if (c.errIsPrefix) {
    EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  } else {
    EXPECT_EQ(run.err, c.err);
  }
  std::map<std::string, Bytes> left;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    if (entry.is_regular_file()) {
      left[fs::relative(entry.path(), dir.path()).generic_string()] =
          testimg::ReadFile(entry.path().string());
    }
  }
  EXPECT_TRUE(left == c.after) << "files left: " << left.size();
}

TEST(D88ConvE2E, RefusalsAndFailuresLeaveNoFile) {
  const Bytes a = Small("A").Build();
  const Bytes b = Small("B").Build();
  const Bytes ab = testimg::Concat(a, b);
  const Bytes old = Text("old");
  const std::string exists = "d88conv: out.d88 exists (-f replaces it)\n";
  const FolderCase cases[] = {
      {"existing output", {{"in.d88", a}, {"out.d88", old}}, {"-o", "out.d88", "in.d88"}, 1, "",
       exists, {{"in.d88", a}, {"out.d88", old}}},
      {"-f replaces it", {{"in.d88", a}, {"out.d88", old}}, {"-f", "-o", "out.d88", "in.d88"}, 0,
       Wrote("out.d88", 1, a.size()), "", {{"in.d88", a}, {"out.d88", a}}},
      {"output is an input", {{"in.d88", a}, {"b.d88", b}}, {"-f", "-o", "in.d88", "b.d88", "in.d88"},
       1, "", "d88conv: in.d88 is an input; it is never written over\n", {{"in.d88", a}, {"b.d88", b}}},
      {"the input by another path", {{"in.d88", a}, {"sub/", {}}},
       {"-f", "-o", "sub/../in.d88", "in.d88"}, 1, "",
       "d88conv: sub/../in.d88 is an input; it is never written over\n", {{"in.d88", a}}},
      {"split output exists", {{"g.d88", ab}, {"g_1.d88", old}}, {"--split", "g.d88"}, 1, "",
       "d88conv: g_1.d88 exists (-f replaces it)\n", {{"g.d88", ab}, {"g_1.d88", old}}},
      {"missing input", {{"in.d88", a}}, {"-o", "out.d88", "in.d88", "missing.d88"}, 1, "",
       "d88conv: cannot read missing.d88: ", {{"in.d88", a}}, true},
      {"input is a folder", {{"in.d88", a}, {"dir/", {}}}, {"-o", "out.d88", "dir"}, 1, "",
       "d88conv: cannot read dir", {{"in.d88", a}}, true},
      {"input without a disk", {{"empty.d88", {}}}, {"empty.d88"}, 1, "",
       "d88conv: cannot read empty.d88: it holds no disk\n", {{"empty.d88", {}}}},
      {"output folder in the way", {{"in.d88", a}, {"blocker", old}}, {"-o", "blocker/out.d88", "in.d88"},
       1, "", "d88conv: cannot write blocker/out.d88: ", {{"in.d88", a}, {"blocker", old}}, true},
  };
  for (const FolderCase& c : cases) Check(c);

  // A second name of the input's own file (a hard link) is the input too.
  testimg::ScratchDir dir;
  testimg::WriteFile(dir / "in.d88", a);
  std::error_code error;
  fs::create_hard_link(dir / "in.d88", dir / "link.d88", error);
  if (!error) {
    const testimg::ProcessResult run =
        testimg::RunProcess(kConv, {"-f", "-o", "link.d88", "in.d88"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "d88conv: link.d88 is an input; it is never written over\n");
    EXPECT_TRUE(testimg::ReadFile(dir / "in.d88") == a);
  }
}

TEST(D88ConvE2E, UsageErrorsHelpAndVersion) {
  const FolderCase cases[] = {
      {"no image", {}, {}, 2, "", "d88conv: no image given\n" + kUsage, {}},
      {"unknown option", {}, {"-x", "a.d88"}, 2, "", "d88conv: unknown option '-x'\n" + kUsage, {}},
      {"-o without a name", {}, {"a.d88", "-o"}, 2, "", "d88conv: -o needs a file name\n" + kUsage, {}},
      {"two -o", {}, {"-o", "x", "-o", "y", "a"}, 2, "", "d88conv: more than one -o given\n" + kUsage, {}},
      {"split of two", {}, {"--split", "a", "b"}, 2, "", "d88conv: --split takes one image\n" + kUsage, {}},
      {"version", {}, {"--version"}, 0, "d88conv " D88CUT_VERSION "\n", "", {}},
  };
  for (const FolderCase& c : cases) Check(c);
  testimg::ScratchDir dir;
  const testimg::ProcessResult help = testimg::RunProcess(kConv, {"--help"}, dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind(kUsage, 0), 0u);
  const testimg::ProcessResult shortHelp = testimg::RunProcess(kConv, {"-h"}, dir.path());
  EXPECT_EQ(shortHelp.status, 0);
  EXPECT_EQ(shortHelp.out, help.out);
}

}  // namespace
