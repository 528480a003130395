// The file-system layer over built volumes: FAT12/16 floppies of every
// PC-98 shape, damaged FAT volumes, N88-BASIC disks of each layout,
// hard-disk images with a PC-98 table, and volumes made by mkfs.fat and
// mcopy (checked by fsck.fat the other way round) where they are installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "d88/d88_image.h"
#include "fs/fat.h"
#include "fs/hard_disk.h"
#include "fs/listing.h"
#include "fs/n88.h"
#include "fs/safe_name.h"
#include "fs/volume.h"
#include "support/d88_builder.h"
#include "support/fs_builder.h"
#include "support/kind_disk.h"
#include "support/process.h"
#include "support/test_catalogue.h"

namespace {

using testimg::Bytes;
using testimg::FatBuilder;
using testimg::ShortName;

// "ソフト" (So-fu-to): a trail byte 0x5C, which must stay a name byte.
const std::string kSoftware = "\x83\x5C\x83\x74\x83\x67";
// "蕭" begins with 0xE5, stored as 0x05.
const std::string kE5Kanji = "\xE5\x4A";

Bytes Text(size_t length, char seed) {
  Bytes b(length);
  for (size_t i = 0; i < length; ++i) b[i] = static_cast<uint8_t>(seed + static_cast<char>(i % 23));
  return b;
}

// A D88 disk opened from memory, its geometry found and listed.
struct Floppy {
  explicit Floppy(const testimg::Disk& disk)
      : bytes(disk.Build()), image(std::make_unique<d88::D88Image>()) {
    geometryFound = image->OpenMemory(bytes.data(), bytes.size()) && image->SelectDisk(0) &&
                    fs::DetectFloppyGeometry(*image, &geometry);
    volume = std::make_unique<fs::FloppyVolume>(*image, geometry);
    listed = geometryFound && fs::ListVolume(*volume, &listing);
  }
  const fs::Entry* Find(const std::string& path) const {
    for (const fs::Entry& e : listing.entries) {
      if (fs::JoinedPath(e.path) == path) return &e;
    }
    return nullptr;
  }
  Bytes Read(const std::string& path, std::string* problem = nullptr) {
    Bytes out;
    const fs::Entry* e = Find(path);
    if (e != nullptr) fs::ReadFile(*volume, listing, *e, &out, problem);
    return out;
  }
  bool HasProblem(const std::string& text) const {
    for (const std::string& p : listing.problems) {
      if (p.find(text) != std::string::npos) return true;
    }
    return false;
  }

  Bytes bytes;
  std::unique_ptr<d88::D88Image> image;
  fs::FloppyGeometry geometry;
  std::unique_ptr<fs::FloppyVolume> volume;
  fs::Listing listing;
  bool geometryFound = false;
  bool listed = false;
};

Floppy FatFloppy(const FatBuilder& fat) {
  return Floppy(testimg::FloppyDisk(fat.Build(), fat.Format()));
}

struct FormatRow {
  const char* name;
  testimg::FatFormat (*format)();
};

class FatFormats : public testing::TestWithParam<FormatRow> {};

// Every floppy shape: the geometry from the IDs, the label, names of every
// kind, and each file's bytes back.
TEST_P(FatFormats, ListsAndReads) {
  const testimg::FatFormat format = GetParam().format();
  FatBuilder fat(format, "PC98DISK");
  const Bytes small = Text(100, 'a'), big = Text(5000, 'k'), fragmented = Text(4000, 'F');
  fat.AddFile(0, ShortName("README.TXT"), small);
  fat.AddFile(0, ShortName(kSoftware + ".TXT"), big);
  fat.AddFile(0, std::string("\x05\x4A      DAT", 11), small);
  fat.AddFile(0, ShortName("EMPTY.DAT"), {});
  fat.AddFile(0, ShortName("LONGFI~1.TXT"), small, u"Long file name \u65E5\u672C.txt");
  const uint32_t folder = fat.AddFolder(0, ShortName("SUB"));
  fat.AddFile(folder, ShortName("FRAG.BIN"), fragmented, u"", 2);
  fat.AddFile(folder, ShortName("AFTER.BIN"), small);
  Floppy f = FatFloppy(fat);

  ASSERT_TRUE(f.geometryFound);
  EXPECT_EQ(f.geometry.sectorsPerTrack, format.sectorsPerTrack);
  EXPECT_EQ(f.geometry.sectorSize, format.sectorSize);
  EXPECT_EQ(f.geometry.cylinders, format.cylinders);
  ASSERT_TRUE(f.listed);
  EXPECT_EQ(f.listing.type, "FAT12");
  EXPECT_EQ(f.listing.label, "PC98DISK");
  EXPECT_TRUE(f.listing.problems.empty()) << f.listing.problems.front();
  EXPECT_EQ(f.listing.entries.size(), 8u);

  EXPECT_EQ(f.Read("README.TXT"), small);
  EXPECT_EQ(f.Read(kSoftware + ".TXT"), big);
  EXPECT_EQ(f.Read(kE5Kanji + ".DAT"), small);
  EXPECT_EQ(f.Read("SUB/FRAG.BIN"), fragmented);
  EXPECT_EQ(f.Read("SUB/AFTER.BIN"), small);
  ASSERT_NE(f.Find("EMPTY.DAT"), nullptr);
  EXPECT_EQ(f.Find("EMPTY.DAT")->size, 0u);
  ASSERT_NE(f.Find("LONGFI~1.TXT"), nullptr);
  EXPECT_EQ(f.Find("LONGFI~1.TXT")->path.back().longName, u"Long file name \u65E5\u672C.txt");
  EXPECT_EQ(f.Find("README.TXT")->path.back().longName, u"");
  const fs::Entry* sub = f.Find("SUB");
  ASSERT_NE(sub, nullptr);
  EXPECT_TRUE(sub->isDirectory);
  const fs::DateTime& t = f.Find("README.TXT")->modified;
  EXPECT_TRUE(t.valid);
  EXPECT_EQ((std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second}),
            (std::vector<int>{2026, 12, 8, 9, 8, 38}));
  EXPECT_EQ(f.Find("README.TXT")->attributes, 0x20);
}

INSTANTIATE_TEST_SUITE_P(Floppies, FatFormats,
                         testing::Values(FormatRow{"2HD1232", testimg::Fat2hd},
                                         FormatRow{"2DD640", testimg::Fat2dd640},
                                         FormatRow{"2DD720", testimg::Fat2dd720},
                                         FormatRow{"2HC", testimg::Fat2hc},
                                         FormatRow{"1440", testimg::Fat144}),
                         [](const testing::TestParamInfo<FormatRow>& i) { return i.param.name; });

// Damage: each case names the file in one problem, and the file reads as
// far as its chain is sound.
struct DamageRow {
  const char* name;
  void (*damage)(FatBuilder&, uint32_t first);
  const char* problem;
  size_t readable;  // bytes of the 3 x 1024-byte file still read
};

class FatDamage : public testing::TestWithParam<DamageRow> {};

TEST_P(FatDamage, NamesTheFile) {
  FatBuilder fat(testimg::Fat2hd());
  const Bytes data = Text(3000, 'D');
  const uint32_t first = fat.AddFile(0, ShortName("VICTIM.DAT"), data);
  fat.AddFile(0, ShortName("OTHER.DAT"), Text(2000, 'O'));
  GetParam().damage(fat, first);
  Floppy f = FatFloppy(fat);
  ASSERT_TRUE(f.listed);
  ASSERT_TRUE(f.HasProblem(GetParam().problem))
      << (f.listing.problems.empty() ? "no problem" : f.listing.problems.front());
  std::string problem;
  const Bytes read = f.Read("VICTIM.DAT", &problem);
  EXPECT_EQ(read.size(), GetParam().readable);
  EXPECT_TRUE(std::equal(read.begin(), read.end(), data.begin()));
  if (read.size() < data.size()) {
    EXPECT_NE(problem.find("VICTIM.DAT"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Chains, FatDamage,
    testing::Values(
        DamageRow{"Loop",
                  [](FatBuilder& b, uint32_t c) { b.SetFat(c + 1, static_cast<uint16_t>(c)); },
                  "VICTIM.DAT: cluster chain loops back", 2048},
        DamageRow{"SelfLoop",
                  [](FatBuilder& b, uint32_t c) { b.SetFat(c, static_cast<uint16_t>(c)); },
                  "VICTIM.DAT: cluster chain loops back", 1024},
        DamageRow{"CrossLink",
                  [](FatBuilder& b, uint32_t c) { b.SetFat(c + 3, static_cast<uint16_t>(c + 2)); },
                  "OTHER.DAT: cluster 4 is also used by VICTIM.DAT", 3000},
        DamageRow{"OutOfRange", [](FatBuilder& b, uint32_t c) { b.SetFat(c, 0xF00); },
                  "VICTIM.DAT: cluster chain leads to cluster 3840", 1024},
        DamageRow{"FreeInChain", [](FatBuilder& b, uint32_t c) { b.SetFat(c + 1, 0); },
                  "VICTIM.DAT: cluster chain runs into a free cluster", 2048},
        DamageRow{"SizeBeyondChain", [](FatBuilder& b, uint32_t c) { b.SetFat(c, 0xFFF); },
                  "VICTIM.DAT: size 3000 bytes needs 3 clusters, the chain holds 1", 1024},
        DamageRow{"FirstClusterOutside",
                  [](FatBuilder& b, uint32_t) {
                    b.AddEntry(0, testimg::DirEntry(ShortName("GHOST.DAT"), 0x20, 4000, 10));
                  },
                  "GHOST.DAT: first cluster 4000 is outside", 3000}),
    [](const testing::TestParamInfo<DamageRow>& i) { return i.param.name; });

// A folder whose cluster is on the volume's FAT but past the disk's last
// track: one problem naming the folder, the rest still listed.
TEST(FatDamage, FolderOffTheVolume) {
  FatBuilder fat(testimg::Fat2hd());
  fat.AddFile(0, ShortName("KEEP.TXT"), Text(10, 'k'));
  fat.AddEntry(0, testimg::DirEntry(ShortName("FAR"), 0x10, 1200, 0));
  fat.SetFat(1200, 0xFFF);
  testimg::Disk disk = testimg::FloppyDisk(fat.Build(), fat.Format());
  for (int t = 140; t < 154; ++t) disk.RemoveTrack(t);
  Floppy f(disk);
  ASSERT_TRUE(f.listed);
  EXPECT_TRUE(f.HasProblem("FAR: directory cluster 1200 runs off the volume"));
  EXPECT_EQ(f.Read("KEEP.TXT"), Text(10, 'k'));
}

// A long name whose checksum belongs to another short name is not used,
// a folder that contains itself is walked once, and the NT case flags
// come with the raw name.
TEST(FatNames, BadChecksumAndFolderCycle) {
  FatBuilder fat(testimg::Fat2hd());
  fat.AddLongName(0, ShortName("OTHER.TXT"), u"Wrong owner.txt");
  fat.AddFile(0, ShortName("PLAIN.TXT"), Text(10, 'p'));
  const uint32_t folder = fat.AddFolder(0, ShortName("LOOP"));
  fat.AddEntry(folder, testimg::DirEntry(ShortName("AGAIN"), 0x10, folder, 0));
  Bytes lower = testimg::DirEntry(ShortName("LOWER.TXT"), 0x20, 0, 0);
  lower[0x0C] = 0x08 | 0x04;  // base name in lower case; 0x04 is no flag
  fat.AddEntry(0, lower);
  Floppy f = FatFloppy(fat);
  ASSERT_TRUE(f.listed);
  EXPECT_EQ(f.Find("LOWER.TXT")->path.back().caseFlags, 0x08);
  EXPECT_EQ(f.Find("PLAIN.TXT")->path.back().caseFlags, 0);
  EXPECT_EQ(f.Find("PLAIN.TXT")->path.back().longName, u"");
  EXPECT_NE(f.Find("LOOP/AGAIN"), nullptr);
  EXPECT_EQ(f.Find("LOOP/AGAIN/AGAIN"), nullptr);
  EXPECT_TRUE(f.HasProblem("LOOP/AGAIN: directory starts at cluster"));
}

// Folders that all start inside one long chain: each is named once as
// cross-linked and none is read through the other's clusters, so the
// listing stays as long as the volume's entries, not folders x chain.
TEST(FatDamage, SharedChainsAreReadOnce) {
  FatBuilder fat(testimg::Fat2hd());
  for (int i = 0; i < 100; ++i) {
    char name[12];
    std::snprintf(name, sizeof name, "DIR%03d     ", i);
    fat.AddEntry(0, testimg::DirEntry(name, 0x10, static_cast<uint32_t>(900 + i), 0));
  }
  Bytes big(1000 * 1024);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i % 32 == 0 ? 'F' : 0x10);
  fat.AddFile(0, ShortName("BIG.DAT"), big);
  Floppy f = FatFloppy(fat);
  ASSERT_TRUE(f.listed);
  EXPECT_EQ(f.listing.entries.size(), 101u);
  EXPECT_TRUE(f.HasProblem("DIR099: cluster 999 is also used by BIG.DAT"));
  EXPECT_EQ(f.Read("BIG.DAT"), big);
}

// Recognition: only a sane BPB, or the FAT ID on a known shape, shows FAT.
struct RecognitionRow {
  const char* name;
  testimg::Disk (*disk)();
  const char* type;  // "" for no file system
};

class Recognition : public testing::TestWithParam<RecognitionRow> {};

TEST_P(Recognition, FromContentAlone) {
  Floppy f(GetParam().disk());
  EXPECT_EQ(f.listed, *GetParam().type != '\0');
  EXPECT_EQ(f.listing.type, GetParam().type);
}

testimg::Disk RandomDisk(const testimg::FatFormat& format, unsigned seed) {
  std::mt19937 random(seed);
  Bytes flat(size_t{format.totalSectors} * static_cast<size_t>(format.sectorSize));
  for (uint8_t& b : flat) b = static_cast<uint8_t>(random());
  return testimg::FloppyDisk(flat, format);
}

testimg::Disk NoBpb(uint8_t fatId) {
  FatBuilder fat(testimg::Fat2hd());
  fat.AddFile(0, ShortName("OLD.TXT"), Text(700, 'o'));
  fat.DropBpb();
  Bytes flat = fat.Build();
  flat[1024] = fatId;
  return testimg::FloppyDisk(flat, testimg::Fat2hd());
}

INSTANTIATE_TEST_SUITE_P(
    Disks, Recognition,
    testing::Values(
        RecognitionRow{"Random2HD", [] { return RandomDisk(testimg::Fat2hd(), 1); }, ""},
        RecognitionRow{"Random2DD", [] { return RandomDisk(testimg::Fat2dd640(), 2); }, ""},
        RecognitionRow{"Random256",
                       [] {
                         return testimg::FloppyDisk(RandomDisk(testimg::Fat2hd(), 3).Build(), 77, 2,
                                                    26, 256, 0x20);
                       },
                       ""},
        RecognitionRow{"Zeros2HD",
                       [] { return testimg::FloppyDisk(Bytes(1232 * 1024, 0), testimg::Fat2hd()); },
                       ""},
        RecognitionRow{
            "Zeros2HD256",
            [] { return testimg::FloppyDisk(Bytes(77 * 2 * 26 * 256, 0), 77, 2, 26, 256, 0x20); },
            ""},
        RecognitionRow{"FillerSectors",
                       [] {
                         testimg::Disk d;
                         d.Format(0, 153);
                         return d;
                       },
                       ""},
        RecognitionRow{"NoBpbFatId", [] { return NoBpb(0xFE); }, "FAT12"},
        RecognitionRow{"NoBpbWrongFatId", [] { return NoBpb(0xF9); }, ""}),
    [](const testing::TestParamInfo<RecognitionRow>& i) { return i.param.name; });

// A track 0 with a sector beyond the format's (as copy protection adds)
// still holds the boot sector and the FAT.
TEST(Recognition, ExtraSectorOnTrackZero) {
  FatBuilder fat(testimg::Fat2hd());
  fat.AddFile(0, ShortName("A.TXT"), Text(10, 'a'));
  testimg::Disk disk = testimg::FloppyDisk(fat.Build(), fat.Format());
  disk.tracks[0].push_back(testimg::MakeSector(0, 0, 9, 3, Bytes(1024, 0)));
  Floppy f(disk);
  ASSERT_TRUE(f.listed);
  EXPECT_EQ(f.geometry.firstTrackSectors, 0);
  EXPECT_EQ(f.Read("A.TXT"), Text(10, 'a'));
}

// The disks the cutting programs are tested on, as the sample images are
// built, hold no file system.
TEST(Recognition, KindDisksShowNone) {
  for (const cut::DiskRule& rule : testcat::kCatalogue.rules) {
    Floppy f(testimg::KindDisk(testcat::kCatalogue, rule));
    EXPECT_FALSE(f.listed) << rule.number;
  }
}

// N88-BASIC: each layout, sizes from the last cluster's count, the notes.
struct N88Row {
  const char* name;
  testimg::N88Kind kind;
};

class N88Layouts : public testing::TestWithParam<N88Row> {};

TEST_P(N88Layouts, ListsAndReads) {
  testimg::N88Builder n88(GetParam().kind);
  const Bytes program = Text(3 * 256 + 10, 'P');                   // 4 sectors
  const Bytes data = Text(n88.ClusterSectors() * 256 + 256, 'B');  // a cluster and a sector
  n88.AddFile("PROG", "", 0x80, program);
  n88.AddFile("DATA", "DAT", 0x00, data);
  n88.AddFile("SECRET", "BAS", 0xA0, Text(256, 'S'));
  n88.AddFile("MACH", "BIN", 0x01, Text(300, 'M'));
  Floppy f(n88.Build());
  ASSERT_TRUE(f.listed);
  EXPECT_EQ(f.listing.type, "N88-BASIC");
  EXPECT_TRUE(f.listing.problems.empty()) << f.listing.problems.front();
  ASSERT_EQ(f.listing.entries.size(), 4u);
  EXPECT_EQ(f.Find("PROG")->size, 4u * 256);
  EXPECT_TRUE(f.Find("PROG")->isTokenised);
  EXPECT_FALSE(f.Find("PROG")->modified.valid);
  EXPECT_EQ(f.Find("DATA.DAT")->size, data.size());
  EXPECT_TRUE(f.Find("SECRET.BAS")->isProtected);
  EXPECT_TRUE(f.Find("MACH.BIN")->isMachineCode);
  Bytes read = f.Read("PROG");
  ASSERT_EQ(read.size(), 4u * 256);
  EXPECT_TRUE(std::equal(program.begin(), program.end(), read.begin()));
  EXPECT_EQ(f.Read("DATA.DAT"), data);
}

INSTANTIATE_TEST_SUITE_P(Disks, N88Layouts,
                         testing::Values(N88Row{"N2D", testimg::N88Kind::k2D},
                                         N88Row{"N2DD", testimg::N88Kind::k2DD},
                                         N88Row{"N2HD", testimg::N88Kind::k2HD}),
                         [](const testing::TestParamInfo<N88Row>& i) { return i.param.name; });

TEST(N88, DamageAndRecognition) {
  {
    testimg::N88Builder n88(testimg::N88Kind::k2HD);
    const int first = n88.AddFile("LOOP", "", 0, Text(26 * 256 * 2, 'L'));
    n88.SetFat(first + 1, static_cast<uint8_t>(first));
    n88.AddFile("OK", "", 0, Text(10, 'o'));
    n88.SetFatCopy(2, 100, 0x20);
    Floppy f(n88.Build());
    ASSERT_TRUE(f.listed);
    EXPECT_TRUE(f.HasProblem("LOOP: cluster chain loops back"));
    EXPECT_TRUE(f.HasProblem("FAT copy 3 differs"));
    EXPECT_EQ(f.Read("OK").size(), 256u);
  }
  {
    // A FAT code between the cluster count and 0xC0 is no N88 FAT.
    testimg::N88Builder n88(testimg::N88Kind::k2DD);
    n88.SetFatCopy(0, 5, 0xA0);
    EXPECT_FALSE(Floppy(n88.Build()).listed);
  }
  {
    // The system track's clusters must be reserved.
    testimg::N88Builder n88(testimg::N88Kind::k2D);
    n88.SetFatCopy(0, 74, 0xFF);
    EXPECT_FALSE(Floppy(n88.Build()).listed);
  }
}

// Hard disks: each header around the same PC-98 disk of two partitions.
struct HardDiskRow {
  const char* name;
  Bytes (*image)();
  const char* format;
  uint64_t header;
};

class HardDisks : public testing::TestWithParam<HardDiskRow> {};

TEST_P(HardDisks, PartitionsListAsVolumes) {
  const Bytes image = GetParam().image();
  fs::MemoryByteSource source(image.data(), image.size());
  fs::HardDisk disk;
  ASSERT_TRUE(fs::ReadHardDisk(source, &disk));
  EXPECT_EQ(disk.format, GetParam().format);
  EXPECT_EQ(disk.table, "PC-98");
  EXPECT_EQ(disk.sectorSize, 512);
  EXPECT_EQ(disk.heads, 8);
  EXPECT_EQ(disk.sectorsPerTrack, 17);
  EXPECT_TRUE(disk.problems.empty()) << disk.problems.front();
  ASSERT_EQ(disk.partitions.size(), 2u);
  const uint64_t cylinder = 8 * 17 * 512;
  EXPECT_EQ(disk.partitions[0].name, "MS-DOS 6.20");
  EXPECT_EQ(disk.partitions[0].offset, GetParam().header + cylinder);
  EXPECT_EQ(disk.partitions[0].size, 80 * cylinder);
  EXPECT_TRUE(disk.partitions[0].active);
  EXPECT_EQ(disk.partitions[1].name, "DATA");
  EXPECT_EQ(disk.partitions[1].offset, GetParam().header + 81 * cylinder);
  EXPECT_FALSE(disk.partitions[1].active);
  const char* types[] = {"FAT16", "FAT12"};
  for (int i = 0; i < 2; ++i) {
    const fs::Partition& p = disk.partitions[static_cast<size_t>(i)];
    fs::ByteRangeVolume volume(source, p.offset, p.size, disk.sectorSize);
    fs::Listing listing;
    ASSERT_TRUE(fs::ListVolume(volume, &listing));
    EXPECT_EQ(listing.type, types[i]);
    EXPECT_TRUE(listing.problems.empty()) << listing.problems.front();
    ASSERT_EQ(listing.entries.size(), 3u);
    Bytes out;
    EXPECT_EQ(fs::ReadFile(volume, listing, listing.entries.back(), &out, nullptr), 5000u);
    EXPECT_EQ(out, testimg::Filler(i == 0 ? "SYSTEM" : "DATA", 2, 2, 5000));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Images, HardDisks,
    testing::Values(HardDiskRow{"Plain", testimg::TwoPartitionDisk, "plain", 0},
                    HardDiskRow{"Hdi",
                                [] {
                                  return testimg::WithHdiHeader(testimg::TwoPartitionDisk(),
                                                                testimg::TwoPartitionGeometry());
                                },
                                "HDI", 4096},
                    HardDiskRow{"Nhd",
                                [] {
                                  return testimg::WithNhdHeader(testimg::TwoPartitionDisk(),
                                                                testimg::TwoPartitionGeometry());
                                },
                                "NHD", 512},
                    HardDiskRow{"Virtual98",
                                [] {
                                  return testimg::WithVirtual98Header(
                                      testimg::TwoPartitionDisk(), testimg::TwoPartitionGeometry());
                                },
                                "Virtual98", 220}),
    [](const testing::TestParamInfo<HardDiskRow>& i) { return i.param.name; });

// Hostile header values never size or offset anything.
TEST(HardDisk, HostileHeadersAndTables) {
  const testimg::HdGeometry g = testimg::TwoPartitionGeometry();
  const Bytes disk = testimg::TwoPartitionDisk();
  struct Row {
    const char* name;
    Bytes image;
    bool recognised;
  };
  Bytes hugeNhdHeader = testimg::WithNhdHeader(disk, g);
  d88::PutU32le(&hugeNhdHeader[0x110], 0xFFFFFFF0u);
  Bytes zeroHeads = testimg::WithNhdHeader(disk, g);
  d88::PutU16le(&zeroHeads[0x118], 0);
  Bytes hdiWrongData = testimg::WithHdiHeader(disk, g);
  d88::PutU32le(&hdiWrongData[0x0C], 12345);  // then it is no HDI, and no table at 0
  Bytes overlapping = disk;
  d88::PutU16le(&overlapping[512 + 32 + 0x0A], 40);  // the second starts inside the first
  Bytes badPadding = disk;
  overlapping[512 + 2] = 0;
  badPadding[512 + 2] = 1;
  Bytes noIpl = disk;
  noIpl[4] = 'X';
  const Row rows[] = {
      {"huge NHD header", hugeNhdHeader, false},   {"NHD with 0 heads", zeroHeads, false},
      {"HDI sizes disagree", hdiWrongData, false}, {"overlapping partitions", overlapping, false},
      {"padding not 0", badPadding, false},        {"no IPL", noIpl, false},
      {"zeros", Bytes(1 << 20, 0), false},
  };
  for (const Row& row : rows) {
    fs::MemoryByteSource source(row.image.data(), row.image.size());
    fs::HardDisk hd;
    EXPECT_EQ(fs::ReadHardDisk(source, &hd), row.recognised) << row.name;
  }
  // A partition past the end of a cut image is clipped, with a problem.
  Bytes cut = testimg::WithNhdHeader(disk, g);
  cut.resize(cut.size() - 8 * 17 * 512 * 10);
  fs::MemoryByteSource source(cut.data(), cut.size());
  fs::HardDisk hd;
  ASSERT_TRUE(fs::ReadHardDisk(source, &hd));
  ASSERT_EQ(hd.partitions.size(), 2u);
  EXPECT_EQ(hd.partitions[1].offset + hd.partitions[1].size, cut.size());
  EXPECT_FALSE(hd.problems.empty());
}

// SASI disks of 256-byte sectors, in HDI and THD: the table in sector 1
// (byte 256), and the FAT's 1024-byte sectors over four physical ones.
// An IBM MBR on a file without header.
TEST(HardDisk, SasiAndMbr) {
  testimg::HdGeometry g;
  g.sectorSize = 256, g.heads = 8, g.sectors = 33, g.cylinders = 12;
  testimg::HdPartition p;
  p.startCylinder = 1, p.endCylinder = 11, p.name = "SASI";
  p.volume = testimg::PartitionVolume(g, 1, 11, "SASI", 2);
  const Bytes disk = testimg::Pc98Disk(g, {p});
  const uint64_t cylinder = 8 * 33 * 256;
  struct Row {
    const char* format;
    Bytes image;
    uint64_t offset;
    const char* table;
  };
  const Row rows[] = {
      {"HDI", testimg::WithHdiHeader(disk, g), 4096 + cylinder, "PC-98"},
      {"THD", testimg::WithThdHeader(disk, g), 256 + cylinder, "PC-98"},
      {"plain", testimg::MbrDisk(p.volume, 63), 63 * 512, "MBR"},
  };
  for (const Row& row : rows) {
    fs::MemoryByteSource source(row.image.data(), row.image.size());
    fs::HardDisk hd;
    ASSERT_TRUE(fs::ReadHardDisk(source, &hd)) << row.format;
    EXPECT_EQ(hd.format, row.format);
    EXPECT_EQ(hd.table, row.table) << row.format;
    ASSERT_EQ(hd.partitions.size(), 1u) << row.format;
    EXPECT_EQ(hd.partitions[0].offset, row.offset) << row.format;
    fs::ByteRangeVolume volume(source, hd.partitions[0].offset, hd.partitions[0].size,
                               hd.sectorSize);
    fs::Listing listing;
    ASSERT_TRUE(fs::ListVolume(volume, &listing)) << row.format;
    EXPECT_EQ(listing.label, "SASI");
    ASSERT_EQ(listing.entries.size(), 3u);
    Bytes out;
    fs::ReadFile(volume, listing, listing.entries.front(), &out, nullptr);
    EXPECT_EQ(out, testimg::Filler("SASI", 1, 1, 3000)) << row.format;
  }
}

// A hard-disk image read from a file through stdio, not loaded whole.
TEST(HardDisk, ReadsThroughAFile) {
  testimg::ScratchDir dir;
  const std::string path = dir / "disk.hdi";
  const Bytes image =
      testimg::WithHdiHeader(testimg::TwoPartitionDisk(), testimg::TwoPartitionGeometry());
  ASSERT_TRUE(testimg::WriteFile(path, image));
  std::FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  fs::FileByteSource source(file, image.size());
  fs::HardDisk disk;
  ASSERT_TRUE(fs::ReadHardDisk(source, &disk));
  ASSERT_EQ(disk.partitions.size(), 2u);
  fs::ByteRangeVolume volume(source, disk.partitions[1].offset, disk.partitions[1].size, 512);
  fs::Listing listing;
  ASSERT_TRUE(fs::ListVolume(volume, &listing));
  Bytes out;
  EXPECT_EQ(fs::ReadFile(volume, listing, listing.entries.front(), &out, nullptr), 3000u);
  std::fclose(file);
}

TEST(SafeName, Rules) {
  const std::pair<std::string, std::string> rows[] = {
      {"", ""},
      {".", ""},
      {"..", ""},
      {"a/b", "a_b"},
      {"..\\x", ".._x"},
      {"a:b*?.txt", "a_b__.txt"},
      {"tab\tname", "tab_name"},
      {"CON", "CON_"},
      {"aux.txt", "aux_.txt"},
      {"COM1.DAT", "COM1_.DAT"},
      {"COM0", "COM0"},
      {"CONSOLE", "CONSOLE"},
      {"name.", "name_"},
      {"\xE3\x82\xBD", "\xE3\x82\xBD"},
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(fs::SafeName(in), out) << in;
  fs::FolderNames names;
  EXPECT_EQ(names.Unique("ABC.TXT"), "ABC.TXT");
  EXPECT_EQ(names.Unique("abc.txt"), "abc (2).txt");
  EXPECT_EQ(names.Unique("Abc.Txt"), "Abc (3).Txt");
  EXPECT_EQ(names.Unique("README"), "README");
  EXPECT_EQ(names.Unique("readme"), "readme (2)");
}

// The FAT tools as independent checkers.
std::string FindTool(const std::string& name) {
  std::string dirs = "/usr/sbin:/sbin:/usr/bin:/bin";
  if (const char* path = std::getenv("PATH")) dirs = std::string(path) + ":" + dirs;
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::filesystem::path candidate =
        std::filesystem::path(dirs.substr(start, end - start)) / name;
    std::error_code ignored;
    if (!dirs.substr(start, end - start).empty() && std::filesystem::exists(candidate, ignored)) {
      return candidate.string();
    }
    start = end + 1;
  }
  return "";
}

// Runs a tool of mtools with a configuration that skips its geometry
// checks (PC-98 shapes fail them).
int RunMtools(const testimg::ScratchDir& dir, const std::string& tool,
              const std::vector<std::string>& args, std::string* out = nullptr) {
  const std::string config = "mtools_skip_check=1\n";
  testimg::WriteFile(dir / "mtoolsrc", Bytes(config.begin(), config.end()));
  std::vector<std::string> command = {"MTOOLSRC=" + (dir / "mtoolsrc"), FindTool(tool)};
  command.insert(command.end(), args.begin(), args.end());
  const testimg::ProcessResult result = testimg::RunProcess("env", command, dir.path());
  if (out != nullptr) *out = result.out;
  return result.status;
}

// mkfs.fat makes each PC-98 floppy layout and mcopy fills it; this reader
// must find what they wrote.
TEST(FatTools, ReadsWhatMkfsAndMcopyWrote) {
  const std::string mkfs = FindTool("mkfs.fat");
  if (mkfs.empty() || FindTool("mcopy").empty() || FindTool("mmd").empty()) {
    GTEST_SKIP() << "mkfs.fat or mtools not installed";
  }
  struct Row {
    testimg::FatFormat (*format)();
    std::vector<std::string> mkfs;  // the layout's options, then the size in KiB
  };
  const Row rows[] = {
      {testimg::Fat2hd, {"-S", "1024", "-s", "1", "-r", "192", "-M", "0xFE", "-g", "2/8", "1232"}},
      {testimg::Fat2dd640, {"-S", "512", "-s", "2", "-r", "112", "-M", "0xFB", "-g", "2/8", "640"}},
      {testimg::Fat2dd720, {"-S", "512", "-s", "2", "-r", "112", "-M", "0xF9", "-g", "2/9", "720"}},
      {testimg::Fat2hc, {"-S", "512", "-s", "1", "-r", "224", "-M", "0xF9", "-g", "2/15", "1200"}},
      {testimg::Fat144, {"-S", "512", "-s", "1", "-r", "224", "-M", "0xF0", "-g", "2/18", "1440"}},
  };
  const Bytes readme = Text(1500, 'r'), big = Text(20000, 'b');
  for (const Row& row : rows) {
    testimg::ScratchDir dir;
    ASSERT_TRUE(testimg::WriteFile(dir / "readme.txt", readme));
    ASSERT_TRUE(testimg::WriteFile(dir / "A long name.dat", big));
    std::vector<std::string> args = {"-C", "-F", "12", "-R",    "1",  "-f",
                                     "2",  "-a", "-n", "TOOLS", "-i", "12345678"};
    args.insert(args.end(), row.mkfs.begin(), row.mkfs.end() - 1);
    args.push_back("disk.img");
    args.push_back(row.mkfs.back());
    ASSERT_EQ(testimg::RunProcess(mkfs, args, dir.path()).status, 0);
    ASSERT_EQ(RunMtools(dir, "mcopy", {"-i", "disk.img", "readme.txt", "A long name.dat", "::/"}),
              0);
    ASSERT_EQ(RunMtools(dir, "mmd", {"-i", "disk.img", "::/SUB"}), 0);
    ASSERT_EQ(RunMtools(dir, "mcopy", {"-i", "disk.img", "readme.txt", "::/SUB/INNER.TXT"}), 0);
    const testimg::FatFormat format = row.format();
    Floppy f(testimg::FloppyDisk(testimg::ReadFile(dir / "disk.img"), format));
    ASSERT_TRUE(f.listed) << row.mkfs.back();
    EXPECT_EQ(f.listing.type, "FAT12");
    EXPECT_EQ(f.listing.label, "TOOLS");
    EXPECT_TRUE(f.listing.problems.empty()) << f.listing.problems.front();
    EXPECT_EQ(f.Read("README.TXT"), readme);
    EXPECT_EQ(f.Read("SUB/INNER.TXT"), readme);
    const fs::Entry* longOne = nullptr;
    for (const fs::Entry& e : f.listing.entries) {
      if (e.path.back().longName == u"A long name.dat") longOne = &e;
    }
    ASSERT_NE(longOne, nullptr);
    Bytes out;
    fs::ReadFile(*f.volume, f.listing, *longOne, &out, nullptr);
    EXPECT_EQ(out, big);
  }
}

// mtools reads each partition of the builder's HDI image at the offset
// the table gives: the offsets are the ones another reader finds.
TEST(FatTools, MtoolsReadsThePartitionsAtTheirOffsets) {
  if (FindTool("mtype").empty()) GTEST_SKIP() << "mtools not installed";
  testimg::ScratchDir dir;
  const Bytes image =
      testimg::WithHdiHeader(testimg::TwoPartitionDisk(), testimg::TwoPartitionGeometry());
  ASSERT_TRUE(testimg::WriteFile(dir / "disk.hdi", image));
  fs::MemoryByteSource source(image.data(), image.size());
  fs::HardDisk disk;
  ASSERT_TRUE(fs::ReadHardDisk(source, &disk));
  ASSERT_EQ(disk.partitions.size(), 2u);
  const char* labels[] = {"SYSTEM", "DATA"};
  for (int i = 0; i < 2; ++i) {
    const std::string at =
        "disk.hdi@@" + std::to_string(disk.partitions[static_cast<size_t>(i)].offset);
    std::string text;
    ASSERT_EQ(RunMtools(dir, "mtype", {"-i", at, "::/DOS/COMMAND.COM"}, &text), 0);
    const Bytes expected = testimg::Filler(labels[i], 2, 2, 5000);
    EXPECT_EQ(text, std::string(expected.begin(), expected.end())) << labels[i];
  }
}

// fsck.fat finds nothing wrong with the builder's volumes.
TEST(FatTools, FsckAcceptsTheBuilder) {
  const std::string fsck = FindTool("fsck.fat");
  if (fsck.empty()) GTEST_SKIP() << "fsck.fat not installed";
  const testimg::FatFormat formats[] = {testimg::Fat2hd(), testimg::Fat2dd640(), testimg::Fat144(),
                                        testimg::FatPartition(5440, 1024, 1, 512)};
  for (const testimg::FatFormat& format : formats) {
    FatBuilder fat(format, "CHECKED");
    fat.AddFile(0, ShortName("README.TXT"), Text(3000, 'r'), u"Read me first.txt");
    const uint32_t folder = fat.AddFolder(0, ShortName("SUB"));
    fat.AddFile(folder, ShortName("FRAG.BIN"), Text(5000, 'f'), u"", 2);
    fat.AddFile(0, ShortName("EMPTY"), {});
    testimg::ScratchDir dir;
    ASSERT_TRUE(testimg::WriteFile(dir / "v.img", fat.Build()));
    const testimg::ProcessResult result = testimg::RunProcess(fsck, {"-n", "v.img"}, dir.path());
    EXPECT_EQ(result.status, 0) << format.totalSectors << "\n" << result.out << result.err;
  }
}

}  // namespace
