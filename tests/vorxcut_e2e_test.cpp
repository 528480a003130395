// vorxcut run as a process on built images: what it prints, its exit
// status and every file it writes, byte for byte.  The expected files are
// worked out from where each kind's files lie on the disk, sectors counted
// as track * 26 + R - 1, so a wrong row in the catalogue shows as a wrong
// file.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/expected_run.h"
#include "vorxcut/catalogue.h"

namespace {

using testimg::Disk;
using testimg::ExpectedRun;
using testimg::Numbered;
using testimg::RunCase;

const std::string kProgram = VORXCUT_PATH;

int At(int track, int r) { return track * testimg::kSectorsPerTrack + r - 1; }

// One output file: its name, first sector (counted as above) and length.
struct Piece {
  std::string name;
  int first;
  int sectors;
};

// The files each disk kind yields, in the order they are cut.
std::vector<Piece> PiecesOf(int kind) {
  std::vector<Piece> pieces;
  switch (kind) {
    case 1:
      return {{"DRIVER", At(1, 1), 15}, {"OP1", At(1, 16), 8}, {"OP2", At(3, 16), 8}};
    case 3:  // sixteen runs of 16 sectors, one after another
      for (int i = 0; i < 16; ++i) pieces.push_back({Numbered("MUS0%02d", i), At(2, 1) + 16 * i, 16});
      return pieces;
    case 4:
      return {{"DRIVER2", At(95, 1), 16}};
    case 5: {  // runs of 8 sectors; 8, 8 and 4 sectors skipped after rows 0, 1 and 4
      int first = At(2, 1);
      for (int i = 0; i < 20; ++i) {
        pieces.push_back({Numbered("MUS1%02d", i), first, 8});
        first += 8 + (i == 0 || i == 1 ? 8 : i == 4 ? 4 : 0);
      }
      return pieces;
    }
    case 6: {  // DRIVER3, then runs filling tracks 141 to 153 without a gap
      pieces.push_back({"DRIVER3", At(140, 1), 14});
      const int sectors[] = {13, 12, 11, 11, 13, 11, 15, 14, 15, 14, 18, 14,
                             13, 12, 15, 14, 16, 15, 12, 15, 14, 14, 37};
      int first = At(141, 1);
      for (int i = 0; i < 23; ++i) {
        pieces.push_back({Numbered("MUS2%02d", i), first, sectors[i]});
        first += sectors[i];
      }
      EXPECT_EQ(first, At(154, 1));
      return pieces;
    }
    case 7:
      return {{"OPNMUS", At(102, 1), 19}};
    default:  // 2 and 8 only print their message
      return pieces;
  }
}

// Puts the signature of `kind` into its probe sector.
void Mark(Disk& disk, int kind) {
  switch (kind) {
    case 1: disk.Poke(2, 1, 0, "\x8C\xC8\x8E\xD8\x8E\xC0"); break;
    case 2: disk.Poke(2, 2, 145, "VORX98Program by QUIR ZALO"); break;
    case 3: disk.Poke(12, 3, 17, "VORX(C)Z.T.Q"); break;
    case 4: disk.Poke(2, 2, 118, "MORAVEKSILDA VORX98Program by QUIR ZALO"); break;
    case 5: disk.Poke(0, 1, 24, "THIS DISK IS DRIVE 2 !"); break;
    case 6: disk.Poke(0, 7, 1, "\x82\x60\x81\x6E"); break;
    case 7: disk.Poke(0, 9, 2, "NEBR_OPEN"); break;
    case 8: disk.Poke(0, 6, 244, "\x81\x6D\x83\x66\x81\x5B\x83\x5E\x81\x5B\x81\x6E"); break;
  }
}

// A fully formatted disk whose sectors name the disk and their place,
// carrying the signatures of `kinds`.
Disk MakeDisk(const std::string& tag, std::vector<int> kinds = {}) {
  Disk disk;
  disk.tag = tag;
  disk.Format(0, 153);
  for (int kind : kinds) Mark(disk, kind);
  return disk;
}

std::string Message(int kind) {
  for (const cut::DiskRule& rule : vorxcut::kCatalogue.rules) {
    if (rule.number == kind) return rule.message;
  }
  ADD_FAILURE() << "no rule " << kind;
  return "";
}

// What cutting `disk` as `kind` adds: its message and its pieces.
void ExpectKind(ExpectedRun& e, const Disk& disk, int kind) {
  e.err += Message(kind);
  for (const Piece& p : PiecesOf(kind)) {
    e.Cut(disk, p.name, p.first / testimg::kSectorsPerTrack, p.first % testimg::kSectorsPerTrack + 1,
          p.sectors * 256);
  }
}

// An image of disks, each with the kind it must be taken for (0: none).
RunCase Case(const std::string& what, const std::vector<std::pair<Disk, int>>& disks,
             const std::vector<std::string>& args = {}) {
  RunCase c{what, {}, args, {}};
  for (const auto& [disk, kind] : disks) {
    c.disks.push_back(disk);
    if (kind != 0) ExpectKind(c.expected, disk, kind);
  }
  return c;
}

TEST(VorxcutRun, AllEightKindsInOneImageWrite65Files) {
  Disk empty;  // no tracks at all
  const RunCase c = Case("all eight, unknown disks between",
                         {{MakeDisk("H", {8}), 8}, {MakeDisk("X"), 0}, {MakeDisk("F", {6}), 6},
                          {MakeDisk("D", {4}), 4}, {MakeDisk("A", {1}), 1}, {empty, 0},
                          {MakeDisk("E", {5}), 5}, {MakeDisk("C", {3}), 3}, {MakeDisk("G", {7}), 7},
                          {MakeDisk("B", {2}), 2}});
  EXPECT_EQ(c.expected.files.size(), 65u);
  testimg::CheckRuns(kProgram, {c});
}

TEST(VorxcutRun, RulesAreTriedInTheirOrder) {
  Disk wrongSector = MakeDisk("W");
  // Rule 4 tests what rule 2's probe read, not the sector before it.
  wrongSector.Poke(12, 3, 118, "MORAVEKSILDA VORX98Program by QUIR ZALO");
  testimg::CheckRuns(kProgram, {
      Case("opening signature wins", {{MakeDisk("A", {1, 3, 2, 5, 6, 7, 8}), 1}}),
      Case("map before character", {{MakeDisk("A", {3, 2, 5, 6, 7, 8}), 3}}),
      Case("map before rule 4", {{MakeDisk("A", {3, 4}), 3}}),
      Case("character before the rest", {{MakeDisk("A", {2, 5, 6, 7, 8}), 2}}),
      Case("rule 4 on rule 2's probe", {{MakeDisk("A", {4, 5, 6, 7, 8}), 4}}),
      Case("drive 2 map", {{MakeDisk("A", {5, 6, 7, 8}), 5}}),
      Case("system disk", {{MakeDisk("A", {6, 7, 8}), 6}}),
      Case("opening disk", {{MakeDisk("A", {7, 8}), 7}}),
      Case("rule 4 signature elsewhere", {{wrongSector, 0}}),
  });
}

TEST(VorxcutRun, MissingAndShortRunsAndRepeatedKinds) {
  // MUS200's first sector and all of DRIVER3's track are gone; MUS202
  // (track 141 R 26 on into track 142) finds only its first sector.
  Disk holes = MakeDisk("F", {6});
  holes.Remove(141, 1).Remove(142, 1).RemoveTrack(140);
  // The second map disk lacks track 11: MUS014 is cut short over the
  // first disk's file and MUS015 is left as the first disk wrote it.
  Disk later = MakeDisk("B", {3});
  later.RemoveTrack(11);
  testimg::CheckRuns(kProgram, {
      Case("holes in a series", {{holes, 6}}),
      Case("a later disk of the same kind", {{MakeDisk("A", {3}), 3}, {MakeDisk("X"), 0}, {later, 3}}),
  });
}

TEST(VorxcutRun, DiskNumberForcesAKindOnTheFirstDiskOnly) {
  Disk empty;
  std::vector<RunCase> cases;
  for (int k = 1; k <= 8; ++k) {
    const std::string no = std::to_string(k);
    cases.push_back(Case(no + " on a blank first disk", {{MakeDisk("X"), k}, {MakeDisk("G", {7}), 0}}, {no}));
  }
  cases.push_back(Case("4 on an opening disk", {{MakeDisk("A", {1}), 4}, {MakeDisk("D", {4}), 0}}, {"4"}));
  cases.push_back(Case("6 on a map disk", {{MakeDisk("C", {3}), 6}}, {"6"}));
  cases.push_back(Case("12: only the first character counts", {{MakeDisk("X"), 1}}, {"12"}));
  cases.push_back(Case("6 on a disk with no tracks", {{empty, 6}, {MakeDisk("F", {6}), 0}}, {"6"}));
  testimg::CheckRuns(kProgram, cases);
}

TEST(VorxcutRun, BadArgumentsGiveTheUsageLine) {
  const Disk a = MakeDisk("A", {1});
  std::vector<RunCase> cases;
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"0"}, {"9"}, {"a"}, {":"}, {""}, {"1", "x"}}) {
    cases.push_back({"arguments '" + args[0] + "'...", {a}, args, testimg::UsageError(kProgram)});
  }
  testimg::CheckRuns(kProgram, cases);
  testimg::ScratchDir dir;
  const testimg::ProcessResult bare = testimg::RunProcess(kProgram, {}, dir.path());
  EXPECT_EQ(bare.status, 1);
  EXPECT_EQ(bare.err, testimg::UsageError(kProgram).err);
  EXPECT_TRUE(dir.Files().empty());
}

}  // namespace
