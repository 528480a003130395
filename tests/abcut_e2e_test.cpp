// abcut run as a process on built images: recognition by the first byte of
// track 0 sector 1, the Disk A files against the sectors they come from,
// forced disk numbers and the usage line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "abcut/catalogue.h"
#include "support/expected_run.h"

namespace {

using testimg::Bytes;
using testimg::Disk;
using testimg::ExpectedRun;
using testimg::FromHex;

const std::string kProgram = ABCUT_PATH;
const std::string kDiskAMessage =  // "Disk A を認識しました.\n"
    FromHex("44 69 73 6B 20 41 20 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A");
const std::string kDiskBMessage =  // "Disk Bを認識しました.\n"
    FromHex("44 69 73 6B 20 42 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A");

TEST(AbcutCatalogue, RulesCarryTheirNumbersAndShiftJisMessages) {
  const struct {
    int number;
    std::string message;
  } want[] = {{1, kDiskAMessage}, {2, kDiskBMessage}};
  ASSERT_EQ(abcut::kCatalogue.rules.count, 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(abcut::kCatalogue.rules.data[i].number, want[i].number);
    EXPECT_EQ(abcut::kCatalogue.rules.data[i].message, want[i].message);
  }
}

// The probe track and every track a Disk A cut reads, each sector naming
// its place and `tag`; `first` is byte 0 of the probe sector.
Disk MakeDisk(const std::string& tag, uint8_t first) {
  Disk d;
  d.tag = tag;
  d.Format(0, 0).Format(122, 141);
  d.Data(0, 1)[0] = first;
  return d;
}

// A Disk A: DRIVER and MUS00 back to back on track 122, MUS01 on track 123,
// MUS02 to MUS14 back to back from track 128 (13 sectors each), and MUS15
// to MUS21 from sector 16 of tracks 134 to 140, each running onto the next.
void ExpectDiskA(ExpectedRun& e, const Disk& d) {
  e.err += kDiskAMessage;
  e.Cut(d, "DRIVER", 122, 1, 11 * 256).Cut(d, "MUS00", 122, 12, 9 * 256).Cut(d, "MUS01", 123, 1, 13 * 256);
  for (int k = 0; k < 13; ++k) {
    const int at = 128 * 26 + 13 * k;
    e.Cut(d, testimg::Numbered("MUS%02d", 2 + k), at / 26, at % 26 + 1, 13 * 256);
  }
  for (int k = 0; k < 7; ++k) e.Cut(d, testimg::Numbered("MUS%02d", 15 + k), 134 + k, 16, 13 * 256);
}

std::vector<testimg::RunCase> Cases() {
  std::vector<testimg::RunCase> cases;
  const Disk a = MakeDisk("A", 0x33), a2 = MakeDisk("A2", 0x33), b = MakeDisk("B", 0x1A);
  Disk noProbe = MakeDisk("N", 0x33);
  noProbe.RemoveTrack(0);
  Disk gappy = MakeDisk("G", 0x00);  // only DRIVER, MUS00 and MUS02..MUS05 found
  for (int t = 123; t <= 141; ++t) {
    if (t != 128 && t != 129) gappy.RemoveTrack(t);
  }
  testimg::RunCase c{"Disk A from 0x33", {a}, {}, {}};
  ExpectDiskA(c.expected, a);
  cases.push_back(c);

  c = {"Disk B from 0x1A, then a Disk A", {b, a}, {}, {}};
  c.expected.err = kDiskBMessage;
  ExpectDiskA(c.expected, a);
  cases.push_back(c);

  c = {"first bytes other than 0x33 and 0x1A, then a Disk A", {}, {}, {}};
  for (uint8_t first : {0x00, 0x32, 0x34, 0x1B, 0x19, 0xB3, 0x9A, 0x3A}) c.disks.push_back(MakeDisk("X", first));
  c.disks.push_back(a);
  ExpectDiskA(c.expected, a);
  cases.push_back(c);

  c = {"a second Disk A replaces the first one's files", {a, a2}, {}, {}};
  ExpectDiskA(c.expected, a);
  ExpectDiskA(c.expected, a2);
  cases.push_back(c);

  c = {"no probe sector after a Disk A", {a, noProbe}, {}, {}};
  ExpectDiskA(c.expected, a);
  cases.push_back(c);

  for (const char* no : {"2", "21"}) {
    c = {std::string("disk number ") + no + " on a Disk A", {a, a}, {no}, {}};
    c.expected.err = kDiskBMessage;
    cases.push_back(c);
  }

  c = {"disk number 1 on a blank disk, then a Disk A", {gappy, a}, {"1"}, {}};
  ExpectDiskA(c.expected, gappy);
  cases.push_back(c);

  for (const char* no : {"0", "3"}) cases.push_back({std::string("disk number ") + no, {a}, {no}, testimg::UsageError(kProgram)});
  return cases;
}

TEST(AbcutRun, PrintsAndWritesExactlyWhatTheDisksCallFor) {
  testimg::CheckRuns(kProgram, Cases());
}

// Without track 135, MUS15 loses its last two sectors and MUS16 is gone;
// the short line and the zeros are also pinned to literals here.
TEST(AbcutRun, ShortMusicFileIsZeroFilledAndReported) {
  Disk d = MakeDisk("S", 0x33);
  d.RemoveTrack(135);
  const testimg::RunOutcome r = testimg::RunOnImage(kProgram, testimg::BuildImage({d}));
  ExpectedRun expected;
  ExpectDiskA(expected, d);
  EXPECT_TRUE(SameRun(r, expected));
  EXPECT_EQ(r.process.err, kDiskAMessage + "short ... MUS15: 2816 of 3328 bytes found, the rest written as zeros\n");
  EXPECT_EQ(r.files.at("MUS15"), testimg::Concat(d.Run(134, 16, 2816), Bytes(512, 0)));
  EXPECT_EQ(r.files.count("MUS16"), 0u);
  EXPECT_EQ(r.files.size(), 22u);
}

}  // namespace
