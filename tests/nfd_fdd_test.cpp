// NFD r0/r1 and FDD: the builders against the published minimal images,
// detection near misses, and conversions compared byte for byte with the
// D88 disk the same sectors make, whole and damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "containers/fdd_format.h"
#include "containers/nfd_format.h"
#include "containers/readers.h"
#include "d88/d88_format.h"
#include "support/container_builder.h"

namespace {

using containers::Conversion;
using containers::D88Writer;
using testimg::Bytes;
using testimg::Disk;
using testimg::MakeSector;
using testimg::Sector;
namespace nfd = containers::nfd;
namespace fdd = containers::fdd;

Bytes Hex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 3)
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::string Zeros(int count) {
  std::string hex;
  for (int i = 0; i < count; ++i) hex += "00 ";
  return hex;
}

Bytes Cut(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

Bytes Poke(Bytes bytes, size_t at, const std::string& hex) {
  const Bytes patch = Hex(hex);
  std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<long>(at));
  return bytes;
}

void Put(Bytes& image, size_t at, const Bytes& bytes) {
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(at));
}


// The reference layouts' disk: 77 x 2 x 8 x 1024, or 26 sectors (track 0 FM
// 128 bytes, the rest 256); each sector "C H R N" then one repeated byte.
Disk ReferenceDisk(bool eightInch) {
  Disk disk;
  disk.name = "";
  disk.mediaType = 0x20;
  for (int t = 0; t < 154; ++t) {
    const int c = t / 2, h = t % 2, n = !eightInch ? 3 : t == 0 ? 0 : 1;
    for (int r = 1; r <= (eightInch ? 26 : 8); ++r) {
      Bytes data(static_cast<size_t>(128) << n, static_cast<uint8_t>(c * 7 + h * 3 + r));
      Put(data, 0,
          {static_cast<uint8_t>(c), static_cast<uint8_t>(h), static_cast<uint8_t>(r),
           static_cast<uint8_t>(n)});
      disk.tracks[t].push_back(MakeSector(c, h, r, n, data, eightInch && t == 0 ? 0x40 : 0));
    }
  }
  return disk;
}

struct ReferenceCase {
  std::string what;
  Bytes image;
  size_t size;
  std::vector<std::pair<size_t, std::string>> bytes;
};

TEST(NfdFddBuilders, MatchTheReferenceLayouts) {
  testimg::NfdR1Extras extras;
  extras.retries[{0, 1}] = 1;
  extras.diags[0].push_back(testimg::NfdDiag{0x02, 0, 0, 1, 3, 0xE0, Bytes(64, 0x5A), 0});
  const std::string r0 = "54 39 38 46 44 44 49 4D 41 47 45 2E 52 30 00 00",
                    empty = "FF FF FF FF FF FF FF FF FF FF FF 00 00 00 00 00";
  // clang-format off
  const std::vector<ReferenceCase> cases = {
      {"NFD r0 8x1024", testimg::BuildNfdR0(ReferenceDisk(false)), 1329680,
       {{0, r0}, {0x110, "10 0A 01 00 00 02"}, {0x120, "00 00 01 03 01 00 00 00 00 00 90 00 00 00 00 00"},
        {0x2C0, "00 01 01 03 01 00 00 04 00 00 90"}, {0x1A0, empty}, {0x10A00, Zeros(16)}, {0x10A10, "00 00 01 03 01"}}},
      {"NFD r0 26-sector", testimg::BuildNfdR0(ReferenceDisk(true)), 1089808,
       {{0x120, "00 00 01 00 00 00 00 00 00 00 90"}, {0x2C0, "00 01 01 01 01 00 00 04 00 00 90"},
        {0x120 + 154 * 26 * 16, empty}, {0x11710, "00 01 01 01 04"}}},
      {"NFD r1 8x1024", testimg::BuildNfdR1(ReferenceDisk(false)), 1284704,
       {{0x0D, "31 00 00"}, {0x110, "60 5A 00 00 00 02"}, {0x120, "C0 03 00 00 50 04 00 00 E0 04 00 00"},
        {0x388, "00 00 00 00"}, {0x3C0, "08 00 00 00 " + Zeros(12) + "00 00 01 03 01 00 00 00 00 00 00 90 00 00 00 00"}}},
      {"NFD r1 26-sector", testimg::BuildNfdR1(ReferenceDisk(true)), 1089184,
       {{0x110, "A0 07 01 00"}, {0x120, "C0 03 00 00 70 05 00 00 20 07 00 00"}, {0x3C0, "1A 00 00 00"},
        {0x3D0, "00 00 01 00 00 00 00 00 00 00 00 90"}}},
      // Track 0's block holds a diagnostic record; R1 one retry copy.
      {"NFD r1 retry and diag", testimg::BuildNfdR1(ReferenceDisk(false), extras), 1284704 + 16 + 1024 + 64,
       {{0x3C0, "08 00 01 00"}, {0x3DA, "01 90"}, {0x450, "02 00 00 01 03 E0 00 00 00 00 40 00 00 00 90 00"},
        {0x460, "08 00 00 00"}, {0x5A70 + 2048, "00 00 02 03"}, {0x5A70 + 8 * 1024 + 1024 + 64, "00 01 01 03"}}},
      {"FDD 8x1024", testimg::BuildFdd(ReferenceDisk(false)), 1311740,
       {{0, "56 46 44 31 2E 30 30 00"}, {0xDC, "00 00 01 03 FF 00 01 01 FC C3 00 00"},
        {0xE8, "00 00 02 03 FF 00 01 01 FC C7 00 00"}, {0xDC + 312, "00 01 01 03 FF 00 01 01 FC E3 00 00"},
        {0xDC + 96, "FF FF FF FF FF FF FF FF FF FF FF FF"}, {0xC3DC, Zeros(32)}}},
      {"FDD 26-sector", testimg::BuildFdd(ReferenceDisk(true)), 1071868,
       {{0xDC, "00 00 01 00 FF 00 00 01 FC C3 00 00"}, {0xDC + 312, "00 01 01 01 FF 00 01 01 FC D0 00 00"}}},
  };
  // clang-format on
  for (const ReferenceCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.image.size(), c.size);
    for (const auto& [at, hex] : c.bytes) {
      const Bytes expected = Hex(hex);
      ASSERT_LE(at + expected.size(), c.image.size());
      EXPECT_EQ(Bytes(c.image.begin() + static_cast<long>(at),
                      c.image.begin() + static_cast<long>(at + expected.size())),
                expected)
          << "at 0x" << std::hex << at;
    }
  }
}

// Every kind of sector the containers keep: FM track 0 in interleave order,
// deleted and CRC-error sectors, a stranger's ID with another size, a
// missing track, a short track of 1 KB sectors and a uniform sector.
Disk RichDisk() {
  Disk disk;
  disk.name = "RICH";
  disk.mediaType = 0x20;
  disk.writeProtect = 0x10;
  disk.Format(1, 2).Format(4, 4).Remove(2, 26);
  for (int i = 0; i < 26; ++i) {
    const int r = i % 2 == 0 ? i / 2 + 1 : i / 2 + 14;
    disk.tracks[0].push_back(MakeSector(0, 0, r, 0, testimg::Filler("D", 0, r, 128), 0x40));
  }
  Sector& deleted = disk.tracks[1][4];
  deleted.deleted = deleted.status = 0x10;
  disk.tracks[1][8].status = 0xB0;
  disk.tracks[2].insert(disk.tracks[2].begin() + 3,
                        MakeSector(9, 0, 0xF5, 2, testimg::Filler("X", 2, 0xF5, 512)));
  for (int r = 1; r <= 8; ++r) {
    disk.tracks[5].push_back(MakeSector(2, 1, r, 3, testimg::Filler("D", 5, r, 1024)));
  }
  disk.tracks[7].push_back(MakeSector(3, 1, 1, 1, Bytes(256, 0xE5)));
  return disk;
}

// FDD keeps no read result: a clean read, 0x10 when deleted.
Disk WithoutStatus(Disk disk) {
  for (auto& [t, sectors] : disk.tracks) {
    for (Sector& s : sectors) s.status = s.deleted;
  }
  return disk;
}

using ConvertFn = bool (*)(const uint8_t*, size_t, D88Writer&, Conversion*);

struct Result {
  bool ok = false;
  Bytes d88;
  Conversion info;
};

Result Convert(ConvertFn convert, const Bytes& file, size_t limit = 4 << 20) {
  Result result;
  D88Writer out(limit);
  result.ok = convert(file.data(), file.size(), out, &result.info);
  result.d88.assign(out.Data(), out.Data() + out.Size());
  return result;
}

::testing::AssertionResult SameBytes(const Bytes& actual, const Bytes& expected) {
  const size_t common = std::min(actual.size(), expected.size());
  const size_t at = static_cast<size_t>(
      std::mismatch(actual.begin(), actual.begin() + static_cast<long>(common), expected.begin())
          .first -
      actual.begin());
  if (at == common && actual.size() == expected.size()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "D88 of " << actual.size() << " bytes, expected "
                                       << expected.size() << "; first difference at byte " << at;
}

// The primary copies only: R1 of track 0 and R3 of track 4 have retry
// copies, as has the last sector of all; tracks 0 and 5 hold diagnostic-read
// data, some with copies of its own.
testimg::NfdR1Extras RichExtras() {
  testimg::NfdR1Extras extras;
  extras.retries = {{{0, 1}, 1}, {{4, 3}, 8}, {{7, 1}, 2}};
  extras.diags[0].push_back(testimg::NfdDiag{0x02, 0, 0, 1, 0, 0xE0, Bytes(64, 0x5A), 0});
  extras.diags[5].push_back(testimg::NfdDiag{0x06, 2, 1, 9, 3, 0xB0, Bytes(300, 0xA5), 2});
  return extras;
}

struct ConvertCase {
  std::string what;
  ConvertFn convert;
  Bytes file;
  Disk expected;
  std::string warning;
};

TEST(NfdFddConvert, KeepsEverySectorAsStoredAndWarnsOnceForDamage) {
  const Disk rich = RichDisk();
  const Bytes r0 = testimg::BuildNfdR0(rich), r1 = testimg::BuildNfdR1(rich, RichExtras()),
              fddImage = testimg::BuildFdd(rich);
  const auto without = [](Disk d, int track, size_t keep) {
    for (auto it = d.tracks.begin(); it != d.tracks.end();) {
      it = it->first > track ? d.tracks.erase(it) : std::next(it);
    }
    d.tracks[track].resize(keep);
    return d;
  };
  Bytes zeroUnused = fddImage;
  for (size_t at = fdd::kTableOffset; at < fdd::kTableEnd; at += fdd::kRecordSize) {
    if (zeroUnused[at] == 0xFF) {
      std::fill_n(zeroUnused.begin() + static_cast<long>(at), fdd::kRecordSize, 0);
    }
  }
  const size_t t1 = nfd::kR0HeadSize + 26 * 128;                    // where track 1's data starts
  const size_t fddRec = fdd::kTableOffset + 26 * fdd::kRecordSize;  // track 1 slot 0
  testimg::NfdR1Extras at3B0 = RichExtras();
  at3B0.firstBlock = 0x3B0;
  Disk fill = WithoutStatus(rich);
  fill.tracks[1][0].data.assign(256, 0x00);
  const std::string pastEnd = " runs past the end of the file; ";
  const std::vector<ConvertCase> cases = {
      {"NFD r0", containers::ConvertNfd, r0, rich, ""},
      {"NFD r1, retry and diagnostic data stepped over", containers::ConvertNfd, r1, rich, ""},
      {"NFD r1, blocks from 0x3B0", containers::ConvertNfd, testimg::BuildNfdR1(rich, at3B0), rich,
       ""},
      {"FDD", containers::ConvertFdd, fddImage, WithoutStatus(rich), ""},
      {"FDD 1.01, nothing stored as fill", containers::ConvertFdd,
       testimg::BuildFdd(rich, {false, "VFD1.01"}), WithoutStatus(rich), ""},
      {"NFD r0 cut in track 1 sector 10", containers::ConvertNfd, Cut(r0, t1 + 9 * 256 + 100),
       without(rich, 1, 9),
       "NFD track 1" + pastEnd + "17 of its 26 sectors read as absent (and 4 more problems)"},
      {"NFD r0 cut at its table's end", containers::ConvertNfd, Cut(r0, nfd::kR0TableEnd),
       without(rich, -1, 0), "NFD track 0" + pastEnd + "read as absent (and 5 more problems)"},
      {"NFD r0 data start outside the file", containers::ConvertNfd,
       Poke(r0, nfd::kHeadSizeOffset, "FF FF FF FF"), rich,
       "NFD data start 4294967295 is out of range; read from 68112"},
      {"NFD r1 cut inside its header (no device type left: 2DD)", containers::ConvertNfd,
       Cut(r1, 0x3C0 + 20),
       [&] {
         Disk d = without(rich, -1, 0);
         d.mediaType = 0x10;
         return d;
       }(),
       "NFD track 0" + pastEnd + "read as absent (and 5 more problems)"},
      {"NFD r1 cut inside the last retry copies", containers::ConvertNfd, Cut(r1, r1.size() - 300),
       rich, ""},
      {"FDD cut in track 1 sector 1", containers::ConvertFdd,
       Cut(fddImage, fdd::kDataStart + 26 * 128 + 10),
       [&] {
         Disk d = without(WithoutStatus(rich), 0, 26);
         d.tracks[7] = rich.tracks.at(7);
         return d;
       }(),
       "FDD track 1" + pastEnd + "read as absent (and 3 more problems)"},
      {"FDD pointer into the header", containers::ConvertFdd,
       Poke(fddImage, fddRec + fdd::kRecordData, "00 01 00 00"),
       [&] {
         Disk d = WithoutStatus(rich);
         d.tracks[1].erase(d.tracks[1].begin());
         return d;
       }(),
       "FDD track 1 sector 1 points into the header; read as absent"},
      {"FDD fill byte beside stored data", containers::ConvertFdd,
       Poke(fddImage, fddRec + fdd::kRecordFill, "00"), WithoutStatus(rich),
       "FDD track 1 sector 1 has both a fill byte and stored data; read the data"},
      {"FDD offset 0 means fill", containers::ConvertFdd,
       Poke(fddImage, fddRec + fdd::kRecordFill, "00 00 01 01 00 00 00 00"), fill, ""},
      {"FDD unused records all zero", containers::ConvertFdd, zeroUnused, WithoutStatus(rich), ""},
  };
  for (const ConvertCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Result result = Convert(c.convert, c.file);
    ASSERT_TRUE(result.ok);
    EXPECT_TRUE(SameBytes(result.d88, c.expected.Build()));
    EXPECT_EQ(result.info.warning, c.warning);
  }
}

TEST(NfdFddConvert, StatesKindAndGeometry) {
  const Disk rich = RichDisk();
  const Result r0 = Convert(containers::ConvertNfd, testimg::BuildNfdR0(rich));
  const Result r1 = Convert(containers::ConvertNfd, testimg::BuildNfdR1(ReferenceDisk(false)));
  const Result fdd = Convert(containers::ConvertFdd, testimg::BuildFdd(ReferenceDisk(true)));
  EXPECT_EQ(r0.info.kind, containers::Kind::kNfdR0);
  EXPECT_EQ(r1.info.kind, containers::Kind::kNfdR1);
  EXPECT_EQ(fdd.info.kind, containers::Kind::kFdd);
  const auto shape = [](const containers::Geometry& g) {
    return std::to_string(g.cylinders) + "x" + std::to_string(g.heads) + "x" +
           std::to_string(g.sectors) + "x" + std::to_string(g.sectorSize) +
           (g.track0Fm ? " FM0" : "");
  };
  EXPECT_EQ(shape(r0.info.geometry), "4x2x26x256 FM0");
  EXPECT_EQ(shape(r1.info.geometry), "77x2x8x1024");
  EXPECT_EQ(shape(fdd.info.geometry), "77x2x26x256 FM0");
}

TEST(NfdFddConvert, FailsWhenTheWriterRefusesWhatTheRecordsAsk) {
  // Every FDD record a 16 KB sector filled from one byte: 68 MB from 50 KB.
  Bytes image = testimg::BuildFdd(Disk());
  for (int i = 0; i < fdd::kTracks * fdd::kSlots; ++i) {
    image = Poke(image, fdd::kTableOffset + i * fdd::kRecordSize,
                 "00 00 01 07 00 00 01 01 FF FF FF FF");
  }
  EXPECT_FALSE(Convert(containers::ConvertFdd, image, 1 << 20).ok);
}

TEST(NfdFddConvert, NamesTheDiskFromTheCommentsFirstLineWithoutSplittingACharacter) {
  const struct {
    std::string comment, name;
  } cases[] = {
      // "ミュージックディスク": 20 bytes, the first 8 characters fit.
      {"\x83\x7E\x83\x85\x81\x5B\x83\x57\x83\x62\x83\x4E\x83\x66\x83\x42\x83\x58\x83\x4E",
       "\x83\x7E\x83\x85\x81\x5B\x83\x57\x83\x62\x83\x4E\x83\x66\x83\x42"},
      {"ABCDEFGHIJKLMNO\x89\xB9", "ABCDEFGHIJKLMNO"},  // "音" would end past 16 bytes
      {"TEST\r\nsecond line", "TEST"},
  };
  for (const auto& c : cases) {
    Disk disk = RichDisk(), named = disk;
    disk.name = c.comment;
    named.name = c.name;
    EXPECT_TRUE(
        SameBytes(Convert(containers::ConvertNfd, testimg::BuildNfdR0(disk)).d88, named.Build()));
    EXPECT_TRUE(SameBytes(Convert(containers::ConvertFdd, testimg::BuildFdd(disk)).d88,
                          WithoutStatus(named).Build()));
  }
}

struct DetectCase {
  std::string what;
  Bytes file;
  bool nfd, fdd;
};

TEST(NfdFddDetect, TakesOnlyWhatSurelyIsThatContainer) {
  const Disk disk = RichDisk();
  const Bytes r0 = testimg::BuildNfdR0(disk), r1 = testimg::BuildNfdR1(disk),
              fddImage = testimg::BuildFdd(disk);
  const size_t block0 = d88::GetU32le(r1.data() + nfd::kR1TrackTableOffset);
  const std::vector<DetectCase> cases = {
      {"NFD r0", r0, true, false},
      {"NFD r1", r1, true, false},
      {"FDD", fddImage, false, true},
      {"D88", disk.Build(), false, false},
      {"NFD byte 14 not zero", Poke(r0, 14, "20"), false, false},
      {"NFD byte 15 not zero", Poke(r1, 15, "01"), false, false},
      {"NFD revision 2", Poke(r0, 13, "32"), false, false},
      {"NFD r0 cut to its table", Cut(r0, nfd::kR0TableEnd), true, false},
      {"NFD r0 cut inside its table", Cut(r0, nfd::kR0TableEnd - 1), false, false},
      {"NFD r0 record with N 8", Poke(r0, nfd::kR0TableOffset + nfd::kRecordN, "08"), false, false},
      {"NFD r0 empty slot with N 8",
       Poke(r0, nfd::kR0TableOffset + 26 * 16 * 6 + nfd::kRecordN, "08"), true, false},
      {"NFD r1 cut inside its track table", Cut(r1, nfd::kR1TableEnd - 1), false, false},
      {"NFD r1 cut inside a block", Cut(r1, block0 + 40), true, false},
      {"NFD r1 data start inside the track table", Poke(r1, nfd::kHeadSizeOffset, "00 02 00 00"),
       false, false},
      {"NFD r1 block inside the track table", Poke(r1, nfd::kR1TrackTableOffset, "00 02 00 00"),
       false, false},
      {"NFD r1 block of 256 sectors", Poke(r1, block0, "00 01"), false, false},
      {"NFD r1 records past the data start", Poke(r1, block0 + 2, "FF 00"), false, false},
      {"NFD r1 record with N 8", Poke(r1, block0 + 16 + nfd::kRecordN, "08"), false, false},
      {"FDD version 1.02", Poke(fddImage, 6, "32"), false, false},
      {"FDD without the zero after its version", Poke(fddImage, 7, "20"), false, false},
      {"FDD cut inside its header", Cut(fddImage, fdd::kDataStart - 1), false, false},
      {"FDD cut to its header", Cut(fddImage, fdd::kDataStart), false, true},
      {"FDD record with N 8", Poke(fddImage, fdd::kTableOffset + fdd::kRecordN, "08"), false,
       false},
  };
  for (const DetectCase& c : cases) {
    EXPECT_EQ(containers::DetectNfd(c.file.data(), c.file.size()), c.nfd) << c.what;
    EXPECT_EQ(containers::DetectFdd(c.file.data(), c.file.size()), c.fdd) << c.what;
  }
}

}  // namespace
