// Damaged and hostile images: each case has a defined outcome, nothing is
// read or written out of bounds (the sanitizer build checks that), and the
// run goes on wherever it can.  Cases are grouped by what is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cut/run.h"
#include "d88/d88_image.h"
#include "support/d88_builder.h"
#include "support/in_process.h"
#include "support/process.h"
#include "support/test_catalogue.h"

namespace fs = std::filesystem;
using testimg::Bytes;
using testimg::Disk;
using testimg::Sector;

namespace {

// "ファイルをオープンできません.\n"
const std::string kCannotOpen =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76"
    "\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n";

Bytes Raw(const std::string& text) { return Bytes(text.begin(), text.end()); }

using RunResult = testimg::InProcessRun;

// The whole run of the test catalogue in-process, in an empty folder.
RunResult RunInProcess(const Bytes& image) { return testimg::RunFrameOn(testcat::kCatalogue, image); }

// Opens `image` from a file with a D88Image of its own.
struct OpenImage {
  testimg::ScratchDir dir;
  d88::D88Image image;
  explicit OpenImage(const Bytes& bytes) {
    testimg::WriteFile(dir / "image.d88", bytes);
    EXPECT_TRUE(image.Open((dir / "image.d88").c_str()));
  }
};

// A sector of identity 0/0/r/1 holding `data`.
Sector MakeSector(int r, const Bytes& data, int count = -1, int length = -1) {
  Sector s;
  s.c = 0;
  s.h = 0;
  s.r = static_cast<uint8_t>(r);
  s.data = data;
  s.count = count;
  s.length = length;
  return s;
}

// A disk the first rule recognises: track 0 holds only the probe sector,
// so none of its cuts finds a sector.
Disk FirstKindProbeOnly(const std::string& tag = "D") {
  Disk d;
  d.tag = tag;
  Bytes probe = testimg::Filler(tag, 0, 1);
  probe[0] = probe[1] = probe[2] = 'A';
  d.tracks[0] = {MakeSector(1, probe)};
  return d;
}

int ProbeBytes(d88::D88Image& image, int disk) {
  uint8_t buffer[256];
  image.SelectDisk(disk);
  return image.ReadSector(0, 0, 0, 1, 1, buffer, 256);
}

// --- Files too short to hold a disk, and paths that are no image ---------

TEST(HostileFile, ShortFilesHoldOnlyTheirWholeHeaders) {
  struct Case {
    size_t size;
    int disks;
  } cases[] = {{0, 0}, {1, 0}, {687, 0}, {688, 1}, {688 + 687, 1}, {2 * 688, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    // Every whole header states a size of 688, so the chain steps over it.
    Bytes bytes(c.size, 0);
    for (size_t at = 0; at + 688 <= bytes.size(); at += 688) {
      bytes[at + 0x1C] = 0xB0;
      bytes[at + 0x1D] = 0x02;
    }
    OpenImage open(bytes);
    EXPECT_EQ(open.image.DiskCount(), c.disks);
    for (int i = 0; i < c.disks; ++i) EXPECT_EQ(ProbeBytes(open.image, i), 0);

    const RunResult run = RunInProcess(bytes);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.files.empty());
  }
}

TEST(HostileFile, PathsThatAreNoImageFailToOpen) {
  testimg::ScratchDir dir;
  fs::create_directory(dir / "folder");
  const std::string paths[] = {dir / "folder", dir / "missing.d88", ""};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    d88::D88Image image;
    EXPECT_FALSE(image.Open(path.c_str()));
    EXPECT_EQ(image.DiskCount(), 0);
    EXPECT_FALSE(image.SelectDisk(0));

    testimg::ScratchDir work;
    const testimg::ProcessResult run = testimg::RunProcess(TESTCUT_PATH, {path}, work.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, kCannotOpen);
    EXPECT_TRUE(work.Files().empty());
  }
}

// --- Disk sizes and the disk chain ------------------------------------------

TEST(HostileDiskSize, TheChainStopsAtSizesItCannotFollow) {
  struct Case {
    int64_t size;  // of the first disk; a recognisable second disk follows
    int disks;
    int probeBytes;  // of the first disk's probe
    const char* err;
  } cases[] = {
      // A size below the header's ends the chain; its tracks lie beyond it.
      {0, 1, 0, ""},
      {1, 1, 0, ""},
      {687, 1, 0, ""},
      {-1, 2, 256, "first\nfirst\n"},  // its real size
      // Sizes past the end of the file, or past 31 bits, end the chain.
      {0x7FFFFFFF, 1, 256, "first\n"},
      {0x80000000, 1, 256, "first\n"},
      {0xFFFFFFFF, 1, 256, "first\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Disk first = FirstKindProbeOnly("A");
    first.sizeField = c.size;
    const Bytes bytes = testimg::BuildImage({first, FirstKindProbeOnly("B")});
    OpenImage open(bytes);
    EXPECT_EQ(open.image.DiskCount(), c.disks);
    EXPECT_EQ(ProbeBytes(open.image, 0), c.probeBytes);

    const RunResult run = RunInProcess(bytes);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
}

TEST(HostileDiskSize, OnlyTheFirst64DisksAreReached) {
  std::vector<Disk> disks(70, FirstKindProbeOnly());
  const Bytes bytes = testimg::BuildImage(disks);
  const long long size = static_cast<long long>(bytes.size()) / 70;
  OpenImage open(bytes);
  ASSERT_EQ(open.image.DiskCount(), 64);
  EXPECT_EQ(open.image.DiskPosition(63), 63 * size);
  EXPECT_EQ(open.image.DiskPosition(64), -1);
  EXPECT_FALSE(open.image.SelectDisk(64));
  EXPECT_EQ(ProbeBytes(open.image, 63), 256);

  std::string expected;
  for (int i = 0; i < 64; ++i) expected += "first\n";
  EXPECT_EQ(RunInProcess(bytes).err, expected);
}

// --- Track offsets ----------------------------------------------------------

TEST(HostileTrackOffset, OnlyOffsetsWithinTheDiskAndTheFileReadASector) {
  // The tested disk is the second of the image, so a sum of its position
  // and a large offset would overflow 32 bits.  `after` bytes follow it:
  // a probe sector, `gap` bytes after the disk's end.
  struct Case {
    const char* what;
    int64_t offset;  // of track 0; -1 keeps where the builder put it
    int64_t size;    // -1 for the disk's real size
    int gap;         // -1: nothing after the disk
    int probeBytes;
  } cases[] = {
      {"absent", 0, -1, -1, 0},
      {"inside the name", 1, -1, -1, 0},
      {"inside the track table", 0x20, -1, -1, 0},
      {"where the builder put it", -1, -1, -1, 256},
      {"equal to the disk size", -2, -1, 0, 256},
      {"one past the disk size", -3, -1, 1, 0},
      {"past the end of the file", 0x10000000, 0x7FFFFFFF, -1, 0},
      {"largest with 31 bits", 0x7FFFFFFF, 0xFFFFFFFF, -1, 0},
      {"top bit set", 0x80000000, 0xFFFFFFFF, -1, 0},
      {"all bits set", 0xFFFFFFFF, 0xFFFFFFFF, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Disk plain;
    plain.Format(0, 0, 2);
    Disk tested = FirstKindProbeOnly();
    const uint32_t realSize = static_cast<uint32_t>(tested.Build().size());
    if (c.offset >= 0) tested.trackOffsets[0] = static_cast<uint32_t>(c.offset);
    if (c.offset == -2) tested.trackOffsets[0] = realSize;
    if (c.offset == -3) tested.trackOffsets[0] = realSize + 1;
    tested.sizeField = c.size;
    Bytes bytes = testimg::BuildImage({plain, tested});
    if (c.gap >= 0) {
      // The probe sector again, as a track of its own past the disk's end.
      Disk carrier = FirstKindProbeOnly();
      const Bytes track = carrier.Build();
      bytes.insert(bytes.end(), static_cast<size_t>(c.gap), 0);
      bytes.insert(bytes.end(), track.begin() + 688, track.end());
    }
    OpenImage open(bytes);
    ASSERT_GE(open.image.DiskCount(), 2);
    EXPECT_EQ(ProbeBytes(open.image, 1), c.probeBytes);
    uint8_t ids[64];
    EXPECT_EQ(open.image.ListSectorIds(0, ids, sizeof ids), c.probeBytes > 0 ? 4 : 0);

    const RunResult run = RunInProcess(bytes);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, c.probeBytes > 0 ? "first\n" : "");
  }
}

// --- Sector counts and the end of a track walk ------------------------------

TEST(HostileSectorCount, EveryTrackWalkEnds) {
  const Bytes target = Raw("TARGET");
  struct Case {
    const char* what;
    std::vector<Sector> sectors;  // track 0, the last thing in the file
    int found;                    // bytes of sector 9 (the target) read
    int listed;                   // identities listed
  };
  // 65,536 empty sectors stating 65,535, but the 65,535th states 1: no
  // header's position equals its count before the target at 65,536.
  std::vector<Sector> endless(65536, MakeSector(1, {}, 65535));
  endless[65534].count = 1;
  endless.back() = MakeSector(9, target, 65535);
  std::vector<Sector> full(65535, MakeSector(1, {}, 65535));
  full.back() = MakeSector(9, target, 65535);

  const Case cases[] = {
      {"first header states 0", {MakeSector(9, target, 0)}, 0, 0},
      {"second header states 0", {MakeSector(1, {}, 3), MakeSector(2, {}, 0), MakeSector(9, target, 3)}, 0, 1},
      {"counts too high, file ends", {MakeSector(1, {}, 5), MakeSector(2, {}, 5)}, 0, 2},
      {"no position equals its count", {MakeSector(1, {}, 2), MakeSector(2, {}, 1), MakeSector(9, target, 1)}, 6, 3},
      {"65,535 sectors", full, 6, 65535},
      {"more headers than a count can name", endless, 0, 65535},
  };
  static uint8_t ids[65536 * 4];
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Disk d;
    d.tracks[0] = c.sectors;
    OpenImage open(d.Build());
    ASSERT_TRUE(open.image.SelectDisk(0));
    uint8_t buffer[256] = {};
    EXPECT_EQ(open.image.ReadSector(0, 0, 0, 9, 1, buffer, 256), c.found);
    EXPECT_EQ(open.image.ReadSector(0, 0, 0, 77, 1, buffer, 256), 0);  // absent
    EXPECT_EQ(open.image.ListSectorIds(0, ids, sizeof ids), 4 * c.listed);
  }
}

// --- Sector data: lengths, identities, the end of the file ------------------

TEST(HostileSectorData, ReadsDeliverWhatTheHeadersAndTheFileHold) {
  const Bytes big(65535, 'B');
  struct Case {
    const char* what;
    std::vector<Sector> sectors;  // track 0
    size_t cut;                   // bytes of the file dropped from its end
    int sector;                   // read with 256 bytes asked
    int found;
    int run;                      // ReadSectors of 512 bytes from sector 1
    std::string first;            // the first bytes read
  } cases[] = {
      {"length 0", {MakeSector(1, {}), MakeSector(2, Raw("next"))}, 0, 1, 0, 0, ""},
      {"length 128 under N 1", {MakeSector(1, Bytes(128, 'h')), MakeSector(2, Bytes(256, 'x'))}, 0, 1, 128, 0, "hhhh"},
      {"length 65,535", {MakeSector(1, big), MakeSector(2, Raw("after"))}, 0, 2, 5, 256, "after"},
      {"data past the end of the file", {MakeSector(1, Bytes(256, 'a')), MakeSector(2, Bytes(256, 'b'))}, 156, 2, 100, 256, "bbbb"},
      {"header cut by the end of the file", {MakeSector(1, Bytes(256, 'a')), MakeSector(2, Bytes(256, 'b'))}, 264, 2, 0, 256, ""},
      {"duplicate identities", {MakeSector(1, Raw("one")), MakeSector(1, Raw("two")), MakeSector(2, Raw("x"))}, 0, 1, 3, 0, "one"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Disk d;
    d.tracks[0] = c.sectors;
    Bytes bytes = d.Build();
    bytes.resize(bytes.size() - c.cut);
    OpenImage open(bytes);
    ASSERT_TRUE(open.image.SelectDisk(0));
    uint8_t buffer[600];
    std::fill(buffer, buffer + sizeof buffer, 0xEE);
    const int got = open.image.ReadSector(0, 0, 0, c.sector, 1, buffer, 256);
    EXPECT_EQ(got, c.found);
    EXPECT_EQ(std::string(buffer, buffer + c.first.size()), c.first);
    EXPECT_EQ(buffer[got], 0xEE);  // nothing past what was delivered
    EXPECT_EQ(open.image.ReadSectors(0, 0, 0, 1, 1, buffer, 512), c.run);
    EXPECT_EQ(buffer[512], 0xEE);
  }
}

// --- A file that ends inside the cuts ---------------------------------------

TEST(HostileCut, ARunCutByTheEndOfTheFileIsWrittenWholeWithZeros) {
  // The third kind: its series reads 4/1 (512), 4/26 (768, onto track 5)
  // and 9/26 (512).  The file ends 10 bytes into sector 1 of track 5.
  Disk d;
  d.Format(0, 10);
  d.Poke(0, 3, 254, std::string("\0Z", 2));
  Bytes bytes = d.Build();
  const size_t sectorSize = 16 + 256;
  bytes.resize(688 + (5 * 26 + 0) * sectorSize + 16 + 10);

  const RunResult run = RunInProcess(bytes);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "cutting ... S00\ncutting ... S01\n");
  EXPECT_EQ(run.err, "third\nshort ... S01: 256 of 768 bytes found, the rest written as zeros\n");
  Bytes s01 = d.Run(4, 26, 256);
  s01.resize(768, 0);
  const std::map<std::string, Bytes> expected = {{"S00", d.Run(4, 1, 512)}, {"S01", s01}};
  EXPECT_EQ(run.files, expected);
}

TEST(HostileCut, ASkippedPartCountsNothingFound) {
  // SKIPPED reads 400 bytes and writes the last 300: with only sector 1
  // whole, 156 of them are found.
  Disk d = FirstKindProbeOnly();
  d.Format(2, 2);
  Bytes bytes = d.Build();
  bytes.resize(bytes.size() - 26 * 272 + 272 + 16 + 50);

  const RunResult run = RunInProcess(bytes);
  EXPECT_EQ(run.out, "cutting ... ONE\ncutting ... SKIPPED\n");
  EXPECT_EQ(run.err,
            "first\n"
            "short ... ONE: 256 of 512 bytes found, the rest written as zeros\n"
            "short ... SKIPPED: 156 of 300 bytes found, the rest written as zeros\n");
  Bytes one = d.Run(2, 1, 256);
  one.resize(512, 0);
  Bytes skipped(one.begin() + 100, one.begin() + 400);
  const std::map<std::string, Bytes> expected = {{"ONE", one}, {"SKIPPED", skipped}};
  EXPECT_EQ(run.files, expected);
}

}  // namespace
