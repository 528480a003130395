// Archives: every program reads an archive of images as the D88 of those
// images joined in the natural order of their names, shows member names as
// text, and warns of every member it cannot read, never passing an archive
// without images for a success.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "abcut/catalogue.h"
#include "oabcut/catalogue.h"
#include "support/archive_builder.h"
#include "support/container_builder.h"
#include "support/kind_disk.h"
#include "support/process.h"
#include "vorxcut/catalogue.h"

namespace {

using testimg::ArchiveEntry;
using testimg::ArchiveKind;
using testimg::Bytes;
using testimg::Disk;

// Runs `program` in a fresh folder holding `bytes` as `name`, given on the
// command line between `before` and `after`; the files left beside it are
// those it wrote.
testimg::RunOutcome RunIn(const std::string& program, const Bytes& bytes, const std::string& name,
                          std::vector<std::string> before = {},
                          const std::vector<std::string>& after = {}) {
  testimg::ScratchDir work;
  testimg::WriteFile(work / name, bytes);
  std::vector<std::string>& all = before;
  all.push_back(name);
  all.insert(all.end(), after.begin(), after.end());
  testimg::RunOutcome outcome;
  outcome.process = testimg::RunProcess(program, all, work.path());
  outcome.files = work.Files({name});
  return outcome;
}

void ExpectSameRun(const testimg::RunOutcome& got, const testimg::RunOutcome& want) {
  EXPECT_EQ(got.process.status, want.process.status);
  EXPECT_EQ(got.process.out, want.process.out);
  EXPECT_EQ(got.process.err, want.process.err);
  EXPECT_TRUE(got.files == want.files);
}

// Every kind of `catalogue` a disk of its own, named "Disk 5", "Disk 10",
// ... and stored last first, so that neither the archive's order nor the
// names' bytes give the natural one; the first disk as an NFD r1 image,
// and a text file in a folder beside them.  `disks` gets them in order.
std::vector<ArchiveEntry> Game(const cut::Catalogue& catalogue, std::vector<Disk>* disks) {
  std::vector<ArchiveEntry> entries = {{"game/", {}, true}, {"game/readme.txt", {'h', 'i'}}};
  for (int k = 0; k < catalogue.rules.count; ++k) {
    disks->push_back(testimg::KindDisk(catalogue, catalogue.rules.data[k]));
    const std::string name = "game/Disk " + std::to_string(5 * (k + 1));
    entries.insert(entries.begin() + 1, k == 0 ? ArchiveEntry{name + ".nfd", testimg::BuildNfdR1(disks->back())}
                                               : ArchiveEntry{name + ".d88", disks->back().Build()});
  }
  return entries;
}

// Whether the builder made the archive; only an LZH may be missing, where
// jlha cannot be run.  That fails the row, except on Windows, which cannot
// start jlha: without the host's archives there (D88CUT_LZH_DIR) the row is
// passed over with a note.
bool Built(const Bytes& archive) {
  if (!archive.empty()) return true;
#if defined(_WIN32)
  if (std::getenv(testimg::kLzhDirVariable) == nullptr) {
    std::printf("LZH row passed over: Windows cannot start jlha, and %s names no LZH made on Linux\n",
                testimg::kLzhDirVariable);
    return false;
  }
#endif
  ADD_FAILURE() << "no LZH made (is jlha installed? Debian: jlha-utils; on Windows, were the "
                << testimg::kLzhDirVariable << " archives made by the Linux run?)";
  return false;
}

Bytes Archive(ArchiveKind kind, const std::vector<ArchiveEntry>& entries) {
  return testimg::BuildArchive(kind, entries);
}

// d88info's listing without what only an archive shows: its line and the
// member of each disk.
std::string WithoutArchive(const std::string& listing) {
  const std::string rest = listing.substr(listing.find('\n') + 1);
  return std::regex_replace(rest, std::regex(", member \"[^\"]*\""), "");
}

TEST(ArchivesRun, EveryProgramReadsAnArchiveAsItsImagesJoined) {
  const struct {
    std::string path;
    const cut::Catalogue& catalogue;
  } programs[] = {{VORXCUT_PATH, vorxcut::kCatalogue}, {ABCUT_PATH, abcut::kCatalogue},
                  {OABCUT_PATH, oabcut::kCatalogue}};
  for (const auto& p : programs) {
    std::vector<Disk> disks;
    const std::vector<ArchiveEntry> game = Game(p.catalogue, &disks);
    const Bytes joined = testimg::BuildImage(disks);
    const struct {
      const char* what;
      std::string name;
      Bytes bytes;
    } archives[] = {
        {"zip", "game.zip", Archive(ArchiveKind::kZip, game)},
        {"7z", "game.7z", Archive(ArchiveKind::k7z, game)},
        {"tar.gz", "game.tgz", Archive(ArchiveKind::kTarGz, game)},
        {"lzh", "game.lzh", testimg::BuildLzh(game)},
        {"the joined image gzipped", "game.d88.gz", Archive(ArchiveKind::kGzip, {{"", joined}})},
    };
    const testimg::RunOutcome cut = RunIn(p.path, joined, "game.d88");
    const testimg::RunOutcome forced = RunIn(p.path, joined, "game.d88", {}, {"2"});
    const testimg::RunOutcome infoWant = RunIn(D88INFO_PATH, joined, "game.d88", {"--sectors"});
    for (const auto& a : archives) {
      SCOPED_TRACE(std::string(p.catalogue.program) + " on " + a.what);
      if (!Built(a.bytes)) continue;
      ExpectSameRun(RunIn(p.path, a.bytes, a.name), cut);
      ExpectSameRun(RunIn(p.path, a.bytes, a.name, {}, {"2"}), forced);
      const testimg::RunOutcome info = RunIn(D88INFO_PATH, a.bytes, a.name, {"--sectors"});
      EXPECT_EQ(info.process.status, 0);
      EXPECT_EQ(WithoutArchive(info.process.out), infoWant.process.out);
      const testimg::RunOutcome converted = RunIn(D88CONV_PATH, a.bytes, a.name, {"-o", "out.d88"});
      EXPECT_EQ(converted.process.status, 0);
      EXPECT_TRUE(converted.files.at("out.d88") == joined);
    }
  }
}

TEST(ArchivesRun, SplitWritesEachDiskOfAnArchive) {
  std::vector<Disk> disks;
  const Bytes zip = Archive(ArchiveKind::kZip, Game(abcut::kCatalogue, &disks));
  const testimg::RunOutcome split = RunIn(D88CONV_PATH, zip, "game.zip", {"--split"});
  EXPECT_EQ(split.process.status, 0);
  ASSERT_EQ(split.files.size(), disks.size());
  for (size_t i = 0; i < disks.size(); ++i) {
    EXPECT_TRUE(split.files.at("game_" + std::to_string(i) + ".d88") == disks[i].Build()) << i;
  }
}

// The zip as archivers on DOS and Windows write it: each central header
// says so (readers then take a backslash for a folder separator), and each
// '|' of a name is a backslash byte (which libarchive's writer on Windows
// would have turned into '/').
Bytes FromDos(Bytes zip) {
  const std::string text(zip.begin(), zip.end());
  auto mend = [&zip](size_t name, size_t lengthAt) {
    const size_t end = name + (zip[lengthAt] | zip[lengthAt + 1] << 8);
    std::replace(zip.begin() + static_cast<long>(name), zip.begin() + static_cast<long>(end), '|', '\\');
  };
  for (size_t at = text.find("PK\x03\x04"); at != std::string::npos; at = text.find("PK\x03\x04", at + 4)) {
    mend(at + 30, at + 26);
  }
  for (size_t at = text.find("PK\x01\x02"); at != std::string::npos; at = text.find("PK\x01\x02", at + 4)) {
    zip[at + 5] = 0;  // made on MS-DOS
    mend(at + 46, at + 28);
  }
  return zip;
}

TEST(ArchivesNames, MembersAreShownAsTextInTheNaturalOrder) {
  const Bytes d = testimg::KindDisk(abcut::kCatalogue, abcut::kCatalogue.rules.data[1]).Build();
  const std::string disk = "\x83\x66\x83\x42\x83\x58\x83\x4E";  // ディスク
  const ArchiveEntry folder = {"A/", {}, true};
  Disk blank = testimg::Formatted(testimg::k2hd8);
  blank.Data(0, 1).assign(1024, 0);
  const struct {
    const char* what;
    Bytes archive;
    std::string line;  // d88info's first line
  } cases[] = {
      {"CP932 names without the UTF-8 flag",
       Archive(ArchiveKind::kZip, {{disk + " 10.d88", d}, {disk + " 2.d88", d}}),
       "archive zip: \"ディスク 2.d88\" (D88, 1 disk), \"ディスク 10.d88\" (D88, 1 disk)"},
      {"CP932 names with a backslash byte, from Windows",
       FromDos(Archive(ArchiveKind::kZip, {{"\x83|\x83\x74\x83\x67.d88", d}})),  // ソフト
       "archive zip: \"ソフト.d88\" (D88, 1 disk)"},
      {"UTF-8 names flagged",
       testimg::BuildArchive(ArchiveKind::kZip, {{"ゲーム/曲.d88", d}}, {true, ""}),
       "archive zip: \"ゲーム/曲.d88\" (D88, 1 disk)"},
      {"UTF-8 names flagged, of Latin-1 letters alone (as macOS and Linux make them)",
       testimg::BuildArchive(ArchiveKind::kZip, {{"Disque d'été.d88", d}}, {true, ""}),
       "archive zip: \"Disque d'été.d88\" (D88, 1 disk)"},
      {"7z", Archive(ArchiveKind::k7z, {{"①.d88", d}}), "archive 7z: \"①.d88\" (D88, 1 disk)"},
      {"LZH from a Japanese system", testimg::BuildLzh({{"曲データ.d88", d}}),
       "archive lzh: \"曲データ.d88\" (D88, 1 disk)"},
      {"folders, case and numbers",
       Archive(ArchiveKind::kTar, {{"b/disk 1.d88", d}, folder, {"A/Disk 010.d88", d}, {"A/read me", {}},
                                   {"A/Disk 9.d88", d}}),
       "archive tar: \"A/Disk 9.d88\" (D88, 1 disk), \"A/Disk 010.d88\" (D88, 1 disk), \"A/read me\" "
       "(skipped: not a disk image), \"b/disk 1.d88\" (D88, 1 disk)"},
      {"a compressed dump whose first sector is blank (no empty tar)",
       Archive(ArchiveKind::kGzip, {{"", testimg::BuildRaw(blank, testimg::k2hd8)}}),
       "archive gzip: \"a.arc\" (raw, 1 disk)"},
      {"names that are no text",
       Archive(ArchiveKind::kTar, {{"a\x1B[2J\"\\.d88", d}, {"\xFF\x81.d88", d}}),
       "archive tar: \"a\\x1B[2J\\x22\\x5C.d88\" (D88, 1 disk), \"\\xFF\\x81.d88\" (D88, 1 disk)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!Built(c.archive)) continue;
    const testimg::RunOutcome run = RunIn(D88INFO_PATH, c.archive, "a.arc");
    EXPECT_EQ(run.process.status, 0);
    EXPECT_EQ(run.process.out.substr(0, run.process.out.find('\n')), c.line);
  }
}

TEST(ArchivesNames, TheDocumentNamesTheArchiveItsMembersAndEachDisksMember) {
  const Bytes d = testimg::KindDisk(abcut::kCatalogue, abcut::kCatalogue.rules.data[1]).Build();
  const Bytes zip = Archive(ArchiveKind::kZip, {{"x/2.d88", d}, {"x/1.txt", {'t'}}, {"x/10.d88", d}});
  const testimg::RunOutcome run = RunIn(D88INFO_PATH, zip, "a.zip", {"--json"});
  ASSERT_EQ(run.process.status, 0);
  const nlohmann::json doc = nlohmann::json::parse(run.process.out);
  EXPECT_EQ(doc["container"], nlohmann::json::parse(R"({"format": "zip", "geometry": null})"));
  EXPECT_EQ(doc["archive"], nlohmann::json::parse(R"({"format": "zip", "members": [
      {"name": "x/1.txt", "container": null, "disks": 0, "skipped": "not a disk image"},
      {"name": "x/2.d88", "container": "D88", "disks": 1, "skipped": null},
      {"name": "x/10.d88", "container": "D88", "disks": 1, "skipped": null}]})"));
  EXPECT_EQ(doc["disks"][0]["member"], "x/2.d88");
  EXPECT_EQ(doc["disks"][1]["member"], "x/10.d88");
  // An image outside an archive keeps its document as it was.
  EXPECT_EQ(RunIn(D88INFO_PATH, d, "a.d88", {"--json"}).process.out.find("member"), std::string::npos);
}

// The zip's first member labelled with another compression method.
Bytes WithMethod(Bytes zip, uint8_t method) {
  zip[8] = method;
  const std::string text(zip.begin(), zip.end());
  zip[text.find("PK\x01\x02") + 10] = method;
  return zip;
}

// The LZH's first member labelled -lhN-, its header's sum mended.
Bytes WithLzhMethod(Bytes lzh, char n) {
  if (lzh.size() < 22) return lzh;  // jlha could not be run
  lzh[5] = static_cast<uint8_t>(n);
  lzh[1] = 0;
  for (size_t i = 2; i < 2u + lzh[0]; ++i) lzh[1] = static_cast<uint8_t>(lzh[1] + lzh[i]);
  return lzh;
}

Bytes Flipped(Bytes bytes, size_t at) {
  bytes[at] ^= 0xFF;
  return bytes;
}

Bytes Cut(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

TEST(ArchivesRun, BadArchivesWarnAndNeverPassForASuccess) {
  const cut::DiskRule& rule = vorxcut::kCatalogue.rules.data[0];
  const Bytes disk = testimg::KindDisk(vorxcut::kCatalogue, rule).Build();
  const ArchiveEntry good = {"good.d88", disk};
  const ArchiveEntry other = {"other.d88", testimg::KindDisk(vorxcut::kCatalogue, vorxcut::kCatalogue.rules.data[2]).Build()};
  const Bytes stored = Archive(ArchiveKind::kZipStored, {other, good});
  std::vector<ArchiveEntry> many = {good};
  for (int i = 0; i < 20000; ++i) many.push_back({"f" + std::to_string(i), {}});
  // FDD stores a sector of one byte value as that byte: 50 KB members each
  // a 1.25 MB disk once converted.
  Disk blank = testimg::Formatted(testimg::k2hd8);
  for (auto& track : blank.tracks) {
    for (testimg::Sector& s : track.second) std::fill(s.data.begin(), s.data.end(), 0xE5);
  }
  std::vector<ArchiveEntry> inflating = {good};
  for (int i = 100; i < 210; ++i) inflating.push_back({"z" + std::to_string(i) + ".fdd", testimg::BuildFdd(blank)});
  const struct {
    const char* what;
    Bytes archive;
    std::vector<std::string> warnings;  // each line starts so, after "warning: a.arc"
    bool cuts;  // the good disk's files, else the open failure
  } cases[] = {
      {"encrypted", testimg::BuildArchive(ArchiveKind::kZip, {good}, {false, "secret"}),
       {":good.d88: skipped, encrypted", ": an archive with no disk image in it (1 member)"}, false},
      {"an unsupported method", WithMethod(stored, 9),
       {":other.d88: skipped, compression method not supported (Unsupported ZIP compression method (9: "},
       true},
      {"an LZH method not read", WithLzhMethod(testimg::BuildLzh({other, good}), '1'),
       {":other.d88: skipped, compression method not supported (Unsupported lzh compression method -lh1-)"},
       true},
      {"a member that fails its CRC", Flipped(stored, 30 + 9 + 1000),
       {":other.d88: skipped, damaged (ZIP bad CRC"}, true},
      {"cut short", Cut(Archive(ArchiveKind::kZipStored, {good, other}), 30 + 8 + disk.size() + 500),
       {":other.d88: skipped, damaged (Truncated ZIP file data"}, true},
      {"oversized", Archive(ArchiveKind::kZip, {{"big.d88", Bytes((16u << 20) + 1)}, good}),
       {":big.d88: skipped, larger than 16 MB"}, true},
      {"larger than any container, so streamed from the file",
       Archive(ArchiveKind::kTar, {{"pad.bin", Bytes(17u << 20)}, good}),
       {":pad.bin: skipped, larger than 16 MB"}, true},
      {"empty", Archive(ArchiveKind::kZip, {}), {": an archive with no disk image in it (0 members)"}, false},
      {"an archive in it", Archive(ArchiveKind::kZip, {{"in.zip", Archive(ArchiveKind::kZip, {good})}}),
       {":in.zip: skipped, an archive inside an archive is not opened",
        ": an archive with no disk image in it (1 member)"},
       false},
      {"a zip bomb", testimg::ZipOfZeros("bomb.d88", 4000000000u),
       {":bomb.d88: skipped, larger than 16 MB", ": an archive with no disk image in it (1 member)"}, false},
      {"a tar.gz bomb", testimg::TarGzOfZeros("bomb.d88", 1ull << 32, good),
       {":bomb.d88: skipped, larger than 16 MB",
        ": its members come to more than 128 MB; the rest are not read",
        ": an archive with no disk image in it (1 member)"},
       false},
      {"20,000 members", Archive(ArchiveKind::kZip, many),
       {": holds more than 4096 members; the rest are not looked at"}, true},
      {"members that convert to more than the archive's total", Archive(ArchiveKind::kZip, inflating),
       {": its disk images come to more than 128 MB; the rest are not read"}, true},
  };
  const testimg::RunOutcome cut = RunIn(VORXCUT_PATH, disk, "good.d88");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!Built(c.archive)) continue;
    const testimg::RunOutcome run = RunIn(VORXCUT_PATH, c.archive, "a.arc", {"--encoding=utf-8"});
    std::string err = run.process.err;
    for (const std::string& warning : c.warnings) {
      const std::string start = "warning: a.arc" + warning;
      EXPECT_EQ(err.substr(0, start.size()), start);
      err.erase(0, err.find('\n') + 1);
    }
    if (c.cuts) {
      EXPECT_EQ(run.process.status, 0);
      EXPECT_EQ(err, RunIn(VORXCUT_PATH, disk, "good.d88", {"--encoding=utf-8"}).process.err);
      EXPECT_EQ(run.process.out, cut.process.out);
      EXPECT_TRUE(run.files == cut.files);
    } else {
      EXPECT_EQ(run.process.status, 1);
      EXPECT_EQ(err, "ファイルをオープンできません.\n");
      EXPECT_TRUE(run.files.empty());
      EXPECT_EQ(RunIn(D88INFO_PATH, c.archive, "a.arc").process.status, 1);
      EXPECT_EQ(RunIn(D88CONV_PATH, c.archive, "a.arc").process.status, 1);
    }
  }
}

}  // namespace
