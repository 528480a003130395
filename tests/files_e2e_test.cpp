// The files of a disk's file system through the programs as processes:
// d88info's listing and JSON of floppies in several containers and of
// hard-disk images, d88cut writing them byte for byte with their folders
// and times, damaged and hostile file systems, and the programs that take
// no hard disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/archive_builder.h"
#include "support/container_builder.h"
#include "support/flux_builder.h"
#include "support/flux_encoder.h"
#include "support/fs_builder.h"
#include "support/process.h"

namespace {

namespace stdfs = std::filesystem;
using testimg::Bytes;
using Json = nlohmann::ordered_json;

const std::string kInfo = D88INFO_PATH;
const std::string kCut = D88CUT_PATH;
const std::string kConv = D88CONV_PATH;
const std::string kAbcut = ABCUT_PATH;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Filler(size_t length, int seed) {
  Bytes bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + seed * 31 + i / 251);
  return bytes;
}

// Every file and folder under `dir` ("a/" for a folder), with its bytes.
std::map<std::string, Bytes> Tree(const std::string& dir) {
  std::map<std::string, Bytes> tree;
  std::error_code error;
  for (const auto& entry : stdfs::recursive_directory_iterator(dir, error)) {
    const std::string name = stdfs::relative(entry.path(), dir).generic_u8string();
    if (entry.is_directory()) {
      tree[name + "/"] = {};
    } else {
      // By the path itself: a Japanese name has no narrow form on Windows.
      std::ifstream in(entry.path(), std::ios::binary);
      tree[name] = Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  return tree;
}

// A 2HD MS-DOS disk (77 x 2 x 8 x 1024) of the names people meet: a
// Shift-JIS name, one whose first byte is E5 (stored as 05), a long name, a
// file in a folder whose clusters are not in a row, an empty file.
struct MsDosDisk {
  Bytes volume;
  std::map<std::string, Bytes> files;  // as d88cut writes them
  std::string listing;                 // d88info --files, after the disk line
};

MsDosDisk BuildMsDosDisk() {
  MsDosDisk d;
  testimg::FatBuilder fat(testimg::Fat2hd(), "GAMEDISK");
  const Bytes readme = Text("hello\r\n");
  const Bytes opening = Filler(5000, 1);
  const Bytes title = Filler(3000, 2);
  const Bytes kanji = Filler(100, 3);
  fat.AddFile(0, testimg::ShortName("README.TXT"), readme);
  const uint32_t music = fat.AddFolder(0, testimg::ShortName("MUSIC"));
  fat.AddFile(music, testimg::ShortName("OPENING.M"), opening, u"", 2);
  // "タイトル.M"
  fat.AddFile(music, "\x83\x5E\x83\x43\x83\x67\x83\x8B" "M  ", title);
  // "蕭.DAT": E5 4A, its first byte kept as 05
  fat.AddFile(0, "\x05\x4A      DAT", kanji);
  fat.AddFile(0, testimg::ShortName("EMPTY.DAT"), {});
  fat.AddFile(0, testimg::ShortName("SONGOF~1.TXT"), readme, u"Song of the \u6D77.txt");
  d.volume = fat.Build();
  d.files = {{"README.TXT", readme},
             {"MUSIC/", {}},
             {"MUSIC/OPENING.M", opening},
             {"MUSIC/\u30BF\u30A4\u30C8\u30EB.M", title},
             {"\u856D.DAT", kanji},
             {"EMPTY.DAT", {}},
             {"Song of the \u6D77.txt", readme}};
  d.listing =
      "  files: FAT12 \"GAMEDISK\", 1 folder, 6 files, 8,114 bytes\n"
      "disk 0: README.TXT 7 2026-12-08 09:08\n"
      "disk 0: \u856D.DAT 100 2026-12-08 09:08\n"
      "disk 0: EMPTY.DAT 0 2026-12-08 09:08\n"
      "disk 0: Song of the \u6D77.txt 7 2026-12-08 09:08\n"
      "disk 0: MUSIC/OPENING.M 5000 2026-12-08 09:08\n"
      "disk 0: MUSIC/\u30BF\u30A4\u30C8\u30EB.M 3000 2026-12-08 09:08\n";
  return d;
}

TEST(Files, AnMsDosDiskInAnyContainerListsAndCutsItsFiles) {
  const MsDosDisk msdos = BuildMsDosDisk();
  const testimg::Disk disk = testimg::FloppyDisk(msdos.volume, testimg::Fat2hd());
  const struct {
    const char* name;
    Bytes bytes;
    const char* firstLine;  // what d88info says of the container
  } cases[] = {
      {"game.d88", disk.Build(), ""},
      {"game.hdm", testimg::BuildRaw(disk, testimg::k2hd8), "container raw, 77x2x8, 1024-byte sectors\n"},
      {"game.fdi", testimg::BuildFdi(disk, testimg::k2hd8), "container FDI, 77x2x8, 1024-byte sectors\n"},
      {"game.zip", testimg::BuildArchive(testimg::ArchiveKind::kZip, {{"game.d88", disk.Build()}}),
       "archive zip: \"game.d88\" (D88, 1 disk)\n"},
      {"game.mfi", testimg::BuildMfi(testimg::EncodeFlux(disk)), "container MFI, 1 revolution"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testimg::ScratchDir dir;
    ASSERT_TRUE(testimg::WriteFile(dir / c.name, c.bytes));
    const testimg::ProcessResult info = testimg::RunProcess(kInfo, {"--files", c.name}, dir.path());
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.err, "");
    ASSERT_EQ(info.out.rfind(c.firstLine, 0), 0u) << info.out;
    ASSERT_GE(info.out.size(), msdos.listing.size());
    EXPECT_EQ(info.out.substr(info.out.size() - msdos.listing.size()), msdos.listing) << info.out;

    const Json doc = Json::parse(testimg::RunProcess(kInfo, {"--json", c.name}, dir.path()).out);
    const Json& system = doc["disks"][0]["filesystem"];
    EXPECT_EQ(system["type"], "FAT12");
    EXPECT_EQ(system["label"], "GAMEDISK");
    EXPECT_EQ(system["files"].size(), 6u);
    EXPECT_EQ(system["files"][4], (Json{{"path", "MUSIC/OPENING.M"}, {"size", 5000},
                                        {"modified", "2026-12-08T09:08:38"}, {"attributes", 0x20}}));

    const testimg::ProcessResult cut = testimg::RunProcess(kCut, {c.name}, dir.path());
    EXPECT_EQ(cut.status, 0) << cut.err;
    EXPECT_NE(cut.out.find("disk 0: FAT12 \"GAMEDISK\", 1 folder, 6 files, 8,114 bytes -> "
                           "disk00-files (6 files)\n"),
              std::string::npos)
        << cut.out;
    EXPECT_TRUE(Tree(dir / "game/disk00-files") == msdos.files);
    const auto time = stdfs::last_write_time(stdfs::u8path(dir / "game/disk00-files/MUSIC/OPENING.M"));
    const auto readme = stdfs::last_write_time(stdfs::u8path(dir / "game/disk00-files/README.TXT"));
    EXPECT_EQ(time, readme);  // both the builder's time, not the run's
    EXPECT_LT(time, stdfs::last_write_time(stdfs::u8path(dir / c.name)));
  }
}

// An N88-BASIC 2HD disk (its track 0 FM): each file as long as its last
// cluster's count says, written as stored, what it is said in --files.
TEST(Files, AnN88BasicDiskListsAndCutsItsFiles) {
  testimg::N88Builder n88(testimg::N88Kind::k2HD);
  const Bytes program = Filler(3 * 256 + 10, 6);  // four sectors are stored
  const Bytes secret = Filler(256, 7);
  n88.AddFile("PROG", "", 0x80, program);
  n88.AddFile("SECRET", "BAS", 0xA0, secret);
  testimg::ScratchDir dir;
  ASSERT_TRUE(testimg::WriteFile(dir / "basic.d88", n88.Build().Build()));
  const testimg::ProcessResult info = testimg::RunProcess(kInfo, {"--files", "basic.d88"}, dir.path());
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("  files: N88-BASIC, 0 folders, 2 files, 1,280 bytes\n"
                          "disk 0: PROG 1024 - (tokenised BASIC)\n"
                          "disk 0: SECRET.BAS 256 - (tokenised BASIC, protected: written as stored)\n"),
            std::string::npos)
      << info.out;
  const testimg::ProcessResult cut = testimg::RunProcess(kCut, {"basic.d88"}, dir.path());
  EXPECT_EQ(cut.status, 0) << cut.err;
  const auto tree = Tree(dir / "basic/disk00-files");
  ASSERT_EQ(tree.size(), 2u);
  EXPECT_TRUE(Bytes(tree.at("PROG").begin(), tree.at("PROG").begin() + 778) == program);
  EXPECT_EQ(tree.at("PROG").size(), 1024u);
  EXPECT_TRUE(tree.at("SECRET.BAS") == secret);
}

TEST(Files, HardDiskImagesGiveTheirPartitionsFiles) {
  const Bytes plain = testimg::TwoPartitionDisk();
  const testimg::HdGeometry g = testimg::TwoPartitionGeometry();
  const struct {
    const char* name;
    Bytes bytes;
    const char* format;
    uint64_t header;
    const char* firstPartition;
  } cases[] = {
      {"hd.hdi", testimg::WithHdiHeader(plain, g), "HDI", 4096,
       "partition 0: name \"MS-DOS 6.20\", offset 73,728, 5,570,560 bytes\n"},
      {"hd.nhd", testimg::WithNhdHeader(plain, g), "NHD", 512,
       "partition 0: name \"MS-DOS 6.20\", offset 70,144, 5,570,560 bytes\n"},
      {"hd.img", plain, "plain", 0,
       "partition 0: name \"MS-DOS 6.20\", offset 69,632, 5,570,560 bytes\n"},
  };
  const uint64_t cylinder = 8 * 17 * 512;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testimg::ScratchDir dir;
    ASSERT_TRUE(testimg::WriteFile(dir / c.name, c.bytes));
    const testimg::ProcessResult info = testimg::RunProcess(kInfo, {c.name}, dir.path());
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.err, "");
    const std::string lines = info.out;
    EXPECT_EQ(lines.rfind(std::string("hard disk ") + c.format + ", 512-byte sectors, 7 MB\n", 0), 0u)
        << lines;
    EXPECT_NE(lines.find(std::string(c.firstPartition) +
                         "  files: FAT16 \"SYSTEM\", 1 folder, 2 files, 8,000 bytes\n"
                         "partition 1: name \"DATA\""),
              std::string::npos)
        << lines;

    const Json doc = Json::parse(testimg::RunProcess(kInfo, {"--json", c.name}, dir.path()).out);
    EXPECT_EQ(doc["disks"], Json::array());
    EXPECT_EQ(doc["hardDisk"]["format"], c.format);
    EXPECT_EQ(doc["hardDisk"]["partitions"].size(), 2u);
    EXPECT_EQ(doc["hardDisk"]["partitions"][0]["offset"], c.header + cylinder);

    const testimg::ProcessResult cut = testimg::RunProcess(kCut, {c.name}, dir.path());
    EXPECT_EQ(cut.status, 0) << cut.err;
    EXPECT_EQ(Tree(dir / "hd/part0-files").size(), 3u);  // DOS/, DOS/COMMAND.COM, README.TXT
    EXPECT_EQ(Tree(dir / "hd/part1-files").size(), 3u);

    // What holds partitions is no floppy image: said in one line, status 1.
    const testimg::ProcessResult abcut = testimg::RunProcess(kAbcut, {c.name}, dir.path());
    EXPECT_EQ(abcut.status, 1);
    EXPECT_EQ(abcut.out, "");
    EXPECT_EQ(abcut.err, std::string("abcut: ") + c.name + " is a hard-disk image (" + c.format +
                             "): it holds partitions, not floppy disks; d88info and d88cut read "
                             "their files\n");
    const testimg::ProcessResult conv = testimg::RunProcess(kConv, {c.name}, dir.path());
    EXPECT_EQ(conv.status, 1);
    EXPECT_EQ(conv.err, std::string("d88conv: cannot convert ") + c.name + ": a hard-disk image (" +
                            c.format + ") holds partitions, not floppy disks\n");
    EXPECT_FALSE(stdfs::exists(dir / "hd.d88"));
  }
}

// Names no system takes and chains that break: what is sound is written,
// under names every system takes, nothing outside the disk's folder, one
// warning a problem, and status 1.
TEST(Files, DamagedAndHostileFileSystemsGiveWhatIsSound) {
  testimg::FatBuilder fat(testimg::Fat2hd());
  const Bytes sound = Filler(1500, 4);
  fat.AddFile(0, testimg::ShortName("SOUND.DAT"), sound);
  const uint32_t looped = fat.AddFile(0, testimg::ShortName("LOOP.DAT"), Filler(3072, 5));
  fat.SetFat(looped + 1, static_cast<uint16_t>(looped));  // its second cluster back to its first
  fat.AddFile(0, testimg::ShortName("CON.TXT"), sound);
  fat.AddFile(0, "A:B     TXT", sound);
  fat.AddFile(0, "DOTS    TXT", sound, u"..");
  fat.AddFile(0, "SLASH   TXT", sound, u"../x\\y.txt");
  fat.AddFile(0, testimg::ShortName("AUX"), sound, u"readme.txt");
  fat.AddFile(0, testimg::ShortName("README.TXT"), sound);
  testimg::ScratchDir dir;
  ASSERT_TRUE(testimg::WriteFile(
      dir / "bad.d88", testimg::FloppyDisk(fat.Build(), testimg::Fat2hd()).Build()));
  const testimg::ProcessResult cut = testimg::RunProcess(kCut, {"bad.d88"}, dir.path());
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.err.find("warning: bad.d88: disk 0: LOOP.DAT: cluster chain loops back to cluster "),
            std::string::npos)
      << cut.err;
  EXPECT_EQ(cut.err.find("loops back"), cut.err.rfind("loops back")) << "said once";
  EXPECT_NE(cut.err.find("warning: bad.d88: disk 0: ..: the name cannot be a file's name here; not "
                         "written\n"),
            std::string::npos)
      << cut.err;
  const auto tree = Tree(dir / "bad/disk00-files");
  EXPECT_TRUE(tree.at("SOUND.DAT") == sound);
  EXPECT_TRUE(tree.at("CON_.TXT") == sound);
  EXPECT_TRUE(tree.at("A_B.TXT") == sound);
  EXPECT_TRUE(tree.at("readme.txt") == sound);
  EXPECT_TRUE(tree.at("README (2).TXT") == sound);
  EXPECT_TRUE(tree.at(".._x_y.txt") == sound);
  EXPECT_EQ(tree.at("LOOP.DAT").size() % 1024, 0u);
  EXPECT_EQ(tree.size(), 7u);
  // Only the image and its folder stand in the scratch folder.
  EXPECT_EQ(Tree(dir.path()).size(), 1 + 1 + 1 + tree.size());

  // Entries that share one chain claim the volume once each: no more than
  // the volume holds is written.
  testimg::FatBuilder shared(testimg::Fat2hd());
  const Bytes big = Filler(1200000, 8);
  const uint32_t first = shared.AddFile(0, testimg::ShortName("BIG.DAT"), big);
  for (const char* twin : {"TWIN1   DAT", "TWIN2   DAT"}) {
    shared.AddEntry(0, testimg::DirEntry(twin, 0x20, first, static_cast<uint32_t>(big.size())));
  }
  testimg::ScratchDir twins;
  ASSERT_TRUE(testimg::WriteFile(
      twins / "twins.d88", testimg::FloppyDisk(shared.Build(), testimg::Fat2hd()).Build()));
  const testimg::ProcessResult once = testimg::RunProcess(kCut, {"twins.d88"}, twins.path());
  EXPECT_EQ(once.status, 1);
  EXPECT_NE(once.err.find("TWIN1.DAT: the files come to more than the volume holds; it and the "
                          "rest are not written\n"),
            std::string::npos)
      << once.err;
  const auto written = Tree(twins / "twins/disk00-files");
  ASSERT_EQ(written.size(), 1u);
  EXPECT_TRUE(written.at("BIG.DAT") == big);

  // --no-files writes none and says what was left.
  testimg::ScratchDir again;
  ASSERT_TRUE(testimg::WriteFile(
      again / "bad.d88", testimg::FloppyDisk(fat.Build(), testimg::Fat2hd()).Build()));
  const testimg::ProcessResult none = testimg::RunProcess(kCut, {"--no-files", "bad.d88"}, again.path());
  EXPECT_EQ(none.status, 0);
  EXPECT_NE(none.out.find("(not written: --no-files)"), std::string::npos) << none.out;
  EXPECT_FALSE(stdfs::exists(again / "bad/disk00-files"));
}

}  // namespace
