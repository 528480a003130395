// oabcut run as a process on built images: recognition by bytes 94 and 95
// of track 0 sector 1, the files against the sectors they come from,
// forced disk numbers and the usage line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oabcut/catalogue.h"
#include "support/expected_run.h"

namespace {

using testimg::Disk;
using testimg::ExpectedRun;
using testimg::FromHex;

const std::string kProgram = OABCUT_PATH;
const std::string kOpeningMessage =  // "Opening Diskを認識しました.\n"
    FromHex("4F 70 65 6E 69 6E 67 20 44 69 73 6B 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A");
const std::string kDiskAMessage =  // "Disk Aを認識しました.\n"
    FromHex("44 69 73 6B 20 41 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A");
const std::string kDiskBMessage =  // "Disk Bを認識しました.\n"
    FromHex("44 69 73 6B 20 42 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A");

TEST(OabcutCatalogue, RulesCarryTheirNumbersAndShiftJisMessages) {
  const struct {
    int number;
    std::string message;
  } want[] = {{1, kOpeningMessage}, {2, kDiskAMessage}, {3, kDiskBMessage}};
  ASSERT_EQ(oabcut::kCatalogue.rules.count, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(oabcut::kCatalogue.rules.data[i].number, want[i].number);
    EXPECT_EQ(oabcut::kCatalogue.rules.data[i].message, want[i].message);
  }
}

// The probe track and every track a cut reads, each sector naming its
// place and `tag`; `mark` goes to bytes 94 and 95 of the probe sector.
Disk MakeDisk(const std::string& tag, const std::string& mark) {
  Disk d;
  d.tag = tag;
  d.Format(0, 0).Format(8, 8).Format(106, 109);
  d.Poke(0, 1, 94, mark);
  return d;
}

// DRIVER and MUS000 to MUS002 fill track 8: 8 sectors, then 6 each.
void ExpectOpening(ExpectedRun& e, const Disk& d) {
  e.err += kOpeningMessage;
  e.Cut(d, "DRIVER", 8, 1, 8 * 256);
  for (int k = 0; k < 3; ++k) e.Cut(d, testimg::Numbered("MUS0%02d", k), 8, 9 + 6 * k, 6 * 256);
}

// MUS100 to MUS115: one run of 96 sectors from track 106, 6 to a file.
void ExpectDiskA(ExpectedRun& e, const Disk& d) {
  e.err += kDiskAMessage;
  for (int k = 0; k < 16; ++k) {
    const int at = 106 * 26 + 6 * k;
    e.Cut(d, testimg::Numbered("MUS1%02d", k), at / 26, at % 26 + 1, 6 * 256);
  }
}

std::vector<testimg::RunCase> Cases() {
  std::vector<testimg::RunCase> cases;
  const Disk opening = MakeDisk("O", "\x08\x2C");
  const Disk a = MakeDisk("A", std::string("\x10\x00", 2));
  const Disk b = MakeDisk("B", "\x10\x75");
  Disk noProbe = MakeDisk("N", "\x10\x75");
  noProbe.RemoveTrack(0);
  // Cut short after byte 94: byte 95 reads as zero, not as the 0x75 of the
  // Disk B before it, so this is a Disk A.
  Disk shortProbe = MakeDisk("P", "\x10");
  shortProbe.Data(0, 1).resize(95);
  Disk partial = MakeDisk("Q", "\x08\x2C");  // MUS108 found in part, none after
  partial.RemoveTrack(108).RemoveTrack(109);

  testimg::RunCase c{"Opening Disk, Disk A and Disk B", {opening, a, b}, {}, {}};
  ExpectOpening(c.expected, opening);
  ExpectDiskA(c.expected, a);
  c.expected.err += kDiskBMessage;
  cases.push_back(c);

  c = {"near misses, then a Disk A", {}, {}, {}};
  for (const char* mark : {"\x10\x01", "\x10\x74", "\x10\x76", "\x08\x2D", "\x09\x2C", "\x2C\x08", "\x90\x00"}) {
    c.disks.push_back(MakeDisk("X", std::string(mark, 2)));
  }
  // 10 00 a byte early and a byte late
  c.disks.push_back(MakeDisk("X", std::string(2, '\0')).Poke(0, 1, 93, "\x10"));
  c.disks.push_back(MakeDisk("X", std::string("\0\x10\0", 3)));
  c.disks.push_back(a);
  ExpectDiskA(c.expected, a);
  cases.push_back(c);

  c = {"no probe sector after a Disk B", {b, noProbe}, {}, {}};
  c.expected.err = kDiskBMessage;
  cases.push_back(c);

  c = {"probe sector cut short after a Disk B", {b, shortProbe}, {}, {}};
  c.expected.err = kDiskBMessage;
  ExpectDiskA(c.expected, shortProbe);
  cases.push_back(c);

  for (const char* no : {"3", "31"}) {
    c = {std::string("disk number ") + no + " on an Opening Disk", {opening, a}, {no}, {}};
    c.expected.err = kDiskBMessage;
    cases.push_back(c);
  }

  c = {"disk number 2 on an Opening Disk short of tracks", {partial, a}, {"2"}, {}};
  ExpectDiskA(c.expected, partial);
  cases.push_back(c);

  for (const char* no : {"0", "4"}) cases.push_back({std::string("disk number ") + no, {a}, {no}, testimg::UsageError(kProgram)});
  return cases;
}

TEST(OabcutRun, PrintsAndWritesExactlyWhatTheDisksCallFor) {
  testimg::CheckRuns(kProgram, Cases());
}

}  // namespace
