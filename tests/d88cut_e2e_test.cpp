// d88cut as a process on built images: every disk a program recognises in
// a folder of its own holding exactly what that program writes when run on
// an image of that disk alone, beside the image or under -o, the lines it
// prints, and images, disks and files it cannot read or write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "all_catalogues.h"
#include "support/archive_builder.h"
#include "support/container_builder.h"
#include "support/kind_disk.h"
#include "support/process.h"

#if defined(_WIN32)
#include <direct.h>
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using testimg::Bytes;
using testimg::Disk;

const std::string kD88cut = D88CUT_PATH;
const std::map<std::string, std::string> kProgramPaths = {
    {"vorxcut", VORXCUT_PATH}, {"abcut", ABCUT_PATH}, {"oabcut", OABCUT_PATH}};

// Every file under `dir` by its path from there ("a/b"), folders included
// as "a/" so that an empty one shows.
std::map<std::string, Bytes> Tree(const std::string& dir) {
  std::map<std::string, Bytes> tree;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(dir, error)) {
    const std::string name = fs::relative(entry.path(), dir).generic_string();
    if (entry.is_directory()) {
      tree[name + "/"] = {};
    } else {
      tree[name] = testimg::ReadFile(entry.path().string());
    }
  }
  return tree;
}

const cut::DiskRule& Rule(const cut::Catalogue& catalogue, int number) {
  for (const cut::DiskRule& rule : catalogue.rules) {
    if (rule.number == number) return rule;
  }
  return catalogue.rules.data[0];
}

// What a disk holds and which programs take it for which kind.
struct DiskSpec {
  Disk disk;
  std::vector<std::pair<std::string, int>> takers;  // program, kind number
};

// A disk of each kind the catalogue knows, in the order of their numbers.
std::vector<DiskSpec> Specs(const cut::Catalogue& catalogue) {
  std::vector<DiskSpec> specs;
  for (int number = 1; number <= catalogue.rules.count; ++number) {
    specs.push_back({testimg::KindDisk(catalogue, Rule(catalogue, number)),
                     {{catalogue.program, number}}});
  }
  return specs;
}

// One image of a run: its name (a folder for one ending in '/'), the disks
// it holds, and where d88cut is to put them ("" for an image it cannot
// read; "." for the -o folder itself).
struct ImageSpec {
  std::string name;
  std::vector<DiskSpec> disks;
  std::string folder;
  Bytes bytes;  // the file, when it is not the disks built as D88
  bool exists = true;
};

// Every folder `path` lies in, as "a/", "a/b/".
void AddParents(const std::string& path, std::map<std::string, Bytes>* tree) {
  for (size_t slash = path.find('/'); slash != std::string::npos && slash + 1 < path.size();
       slash = path.find('/', slash + 1)) {
    (*tree)[path.substr(0, slash + 1)] = {};
  }
}

// What d88cut should leave in `folder` for the disks of an image: each
// taker's folder with the files the taker writes for that disk alone.
void ExpectFolders(const ImageSpec& image, const std::string& folder,
                   std::map<std::string, Bytes>* tree) {
  for (size_t i = 0; i < image.disks.size(); ++i) {
    for (const auto& [program, number] : image.disks[i].takers) {
      char name[64];
      std::snprintf(name, sizeof name, "disk%02zu-%s-%d", i, program.c_str(), number);
      const std::string prefix = (folder.empty() ? "" : folder + "/") + name + "/";
      (*tree)[prefix] = {};
      const testimg::RunOutcome alone =
          testimg::RunOnImage(kProgramPaths.at(program), image.disks[i].disk.Build());
      EXPECT_EQ(alone.process.status, 0);
      for (const auto& [file, bytes] : alone.files) (*tree)[prefix + file] = bytes;
    }
  }
}

struct RunCase {
  const char* what;
  std::vector<ImageSpec> images;
  std::vector<std::string> options;  // before the images
  int status;
  std::string outputDir;  // the -o folder the images' folders go into, "" for beside them
  std::vector<std::string> errLines;  // the lines standard error starts with, in order
};

void Check(const RunCase& c) {
  SCOPED_TRACE(c.what);
  testimg::ScratchDir dir;
  std::map<std::string, Bytes> expected;
  std::vector<std::string> args = c.options;
  for (const ImageSpec& image : c.images) {
    AddParents(image.name, &expected);
    if (image.name.back() == '/') {
      fs::create_directories(dir / image.name);
      expected[image.name] = {};
      args.push_back(image.name.substr(0, image.name.size() - 1));
      continue;
    }
    args.push_back(image.name);
    if (!image.exists) continue;
    std::vector<Disk> disks;
    for (const DiskSpec& d : image.disks) disks.push_back(d.disk);
    const Bytes bytes = image.bytes.empty() ? testimg::BuildImage(disks) : image.bytes;
    fs::create_directories(fs::path(dir / image.name).parent_path());
    testimg::WriteFile(dir / image.name, bytes);
    expected[image.name] = bytes;
    const bool cut = std::any_of(image.disks.begin(), image.disks.end(),
                                 [](const DiskSpec& d) { return !d.takers.empty(); });
    if (!cut) continue;
    std::string folder = image.folder;
    if (!c.outputDir.empty()) folder = c.outputDir + (folder == "." ? "" : "/" + folder);
    AddParents(folder, &expected);
    expected[folder + "/"] = {};
    ExpectFolders(image, folder, &expected);
  }
  const testimg::ProcessResult run = testimg::RunProcess(kD88cut, args, dir.path());
  EXPECT_EQ(run.status, c.status) << run.err;
  size_t at = 0;
  for (const std::string& line : c.errLines) {
    EXPECT_EQ(run.err.compare(at, line.size(), line), 0) << run.err;
    at = run.err.find('\n', at);
    at = at == std::string::npos ? run.err.size() : at + 1;
  }
  EXPECT_EQ(at, run.err.size()) << run.err;
  const std::map<std::string, Bytes> tree = Tree(dir.path());
  for (const auto& [name, bytes] : expected) {
    const auto found = tree.find(name);
    EXPECT_TRUE(found != tree.end() && found->second == bytes) << "missing or different: " << name;
  }
  for (const auto& entry : tree) EXPECT_EQ(expected.count(entry.first), 1u) << "unexpected: " << entry.first;
}

// A disk vorxcut takes for its kind 5 and abcut for its Disk A: the two
// probes read different bytes of the same sector.
DiskSpec TwoTakers() {
  Disk disk = testimg::KindDisk(vorxcut::kCatalogue, Rule(vorxcut::kCatalogue, 5));
  const Disk diskA = testimg::KindDisk(abcut::kCatalogue, Rule(abcut::kCatalogue, 1));
  for (const auto& [track, sectors] : diskA.tracks) {
    if (disk.tracks.count(track) == 0) disk.tracks[track] = sectors;
  }
  disk.Poke(0, 1, 0, "\x33");
  return {disk, {{"vorxcut", 5}, {"abcut", 1}}};
}

TEST(D88cutE2E, EachRecognisedDiskGetsTheFilesOfItsProgramAlone) {
  const DiskSpec blank = {testimg::Formatted(testimg::k2hd26, "blank"), {}};
  // Two Disk A of one image, told apart by their filler, and a disk no
  // program knows between them.
  DiskSpec first = Specs(abcut::kCatalogue)[0];
  DiskSpec second = first;
  second.disk = testimg::KindDisk(abcut::kCatalogue, Rule(abcut::kCatalogue, 1), {"second", false});
  // Archives: the disks stored last first under names whose bytes sort
  // otherwise, an image beside an archive in an archive, a text alone.
  using testimg::ArchiveKind;
  const std::vector<DiskSpec> vorx = Specs(vorxcut::kCatalogue);
  const Bytes gameZip = testimg::BuildArchive(
      ArchiveKind::kZip, {{"Disk 10.d88", vorx[2].disk.Build()}, {"Disk 9.d88", vorx[1].disk.Build()},
                          {"Disk 1.d88", vorx[0].disk.Build()}, {"readme.txt", {'h', 'i'}}});
  const Bytes gzipped = testimg::BuildArchive(ArchiveKind::kGzip, {{"", first.disk.Build()}});
  const Bytes nested = testimg::BuildArchive(
      ArchiveKind::kZip, {{"a.d88", first.disk.Build()}, {"in.zip", gameZip}});
  const Bytes notes = testimg::BuildArchive(ArchiveKind::kZip, {{"readme.txt", {'h', 'i'}}});
  Disk nfd2hd = testimg::KindDisk(oabcut::kCatalogue, Rule(oabcut::kCatalogue, 2));
  nfd2hd.mediaType = 0x20;  // 26 sectors of 256 bytes a track: 2HD
  const RunCase cases[] = {
      {"every kind of every program, beside each image",
       {{"vorxcut.d88", Specs(vorxcut::kCatalogue), "vorxcut", {}},
        {"in/abcut.d88", Specs(abcut::kCatalogue), "in/abcut", {}},
        {"oabcut.d88", Specs(oabcut::kCatalogue), "oabcut", {}}},
       {}, 0, "", {}},
      {"two disks of one kind, a disk no program knows, one taken by two programs",
       {{"game.d88", {first, blank, second, TwoTakers()}, "game", {}}}, {}, 0, "", {}},
      {"an image of another container",
       {{"disk.nfd", {{nfd2hd, {{"oabcut", 2}}}}, "disk", testimg::BuildNfdR1(nfd2hd)}}, {}, 0,
       "", {}},
      {"one image with -o: the folder itself",
       {{"game.d88", Specs(abcut::kCatalogue), ".", {}}}, {"-o", "out/here"}, 0, "out/here", {}},
      {"several with -o, two of one name and one without an extension",
       {{"a/game.d88", Specs(abcut::kCatalogue), "game", {}},
        {"b/game.d88", {first}, "game-2", {}},
        {"b/GAME.nfd", {first}, "GAME-3", {}},
        {"plain", {first}, "plain_cut", {}}},
       {"--output-dir=out"}, 0, "out", {}},
      {"a zip of a game's disks, named after the archive, in the order of their names",
       {{"game.zip", {vorx[0], vorx[1], vorx[2]}, "game", gameZip}}, {}, 0, "", {}},
      {"a disk gzipped, named after the disk", {{"one.d88.gz", {first}, "one", gzipped}}, {}, 0, "",
       {}},
      {"an archive's warnings, and one with no image among readable ones",
       {{"nested.zip", {first}, "nested", nested}, {"none.zip", {}, "", notes},
        {"good.d88", {first}, "good", {}}},
       {}, 1, "",
       {"warning: nested.zip:in.zip: skipped, an archive inside an archive is not opened",
        "warning: none.zip: an archive with no disk image in it (1 member)",
        "d88cut: cannot read none.zip"}},
      {"unreadable images among readable ones",
       {{"empty.d88", {}, "", {}},
        {"good.d88", Specs(oabcut::kCatalogue), "good", {}},
        {"folder.d88/", {}, "", {}},
        {"missing.d88", {}, "", {}, false}},
       {}, 1, "",
       {"d88cut: cannot read empty.d88: it holds no disk", "d88cut: cannot read folder.d88",
        "d88cut: cannot read missing.d88"}},
  };
  for (const RunCase& c : cases) Check(c);
}

// A file where a disk's folder would go: that disk fails, the others are
// cut, and the run ends with status 1.
TEST(D88cutE2E, AFolderThatCannotBeMadeFailsThatDiskAlone) {
  testimg::ScratchDir dir;
  const std::vector<DiskSpec> specs = Specs(abcut::kCatalogue);
  testimg::WriteFile(dir / "game.d88", testimg::BuildImage({specs[0].disk, specs[1].disk}));
  fs::create_directories(dir / "game");
  testimg::WriteFile(dir / "game/disk00-abcut-1", Bytes{'x'});
  const testimg::ProcessResult run = testimg::RunProcess(kD88cut, {"game.d88"}, dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("d88cut: cannot make the output folder game/disk00-abcut-1: ", 0), 0u)
      << run.err;
  EXPECT_TRUE(fs::is_directory(dir / "game/disk01-abcut-2"));
  EXPECT_TRUE(testimg::ReadFile(dir / "game/disk00-abcut-1") == Bytes{'x'});
}

// The lines of a run: the image, one per disk (its program's recognition
// line as the program prints it into a file, or in UTF-8 when asked, the
// folder, the files), and the closing count.
TEST(D88cutE2E, PrintsALinePerDiskAndACount) {
  testimg::ScratchDir dir;
  const std::vector<DiskSpec> specs = Specs(abcut::kCatalogue);
  const DiskSpec blank = {testimg::Formatted(testimg::k2hd26, "blank"), {}};
  testimg::WriteFile(dir / "game.d88", testimg::BuildImage({specs[0].disk, blank.disk, specs[1].disk}));
  auto shiftJis = [](int number) {
    std::string message = Rule(abcut::kCatalogue, number).message;
    return message.substr(0, message.size() - 1);
  };
  const struct {
    const char* encoding;
    std::string diskA, diskB;
  } cases[] = {{"--encoding=sjis", shiftJis(1), shiftJis(2)},
               {"--encoding=utf-8", u8"Disk A を認識しました.", u8"Disk Bを認識しました."}};
  for (const auto& c : cases) {
    const testimg::ProcessResult run =
        testimg::RunProcess(kD88cut, {c.encoding, "game.d88", "none.d88"}, dir.path());
    EXPECT_EQ(run.out, "game.d88: 3 disks -> game\n"
                       "disk 0: " + c.diskA + " -> disk00-abcut-1 (23 files)\n"
                       "disk 1: recognised by no program\n"
                       "disk 2: " + c.diskB + " -> disk02-abcut-2 (0 files)\n"
                       "2 images, 3 disks: 2 folders, 23 files written; 1 image could not be read\n");
    EXPECT_EQ(run.status, 1);
  }
}

// Help and version are the console tests'.
TEST(D88cutE2E, UsageErrors) {
  const std::string usage = "Usage: d88cut [-o DIR] [--no-files] [--encoding=sjis|utf-8] IMAGE...\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{}, "no image given"},
      {{"-x", "a.d88"}, "unknown option '-x'"},
      {{"a.d88", "-o"}, "-o needs a folder"},
      {{"-o", "x", "--output-dir", "y", "a"}, "more than one output folder given"},
      {{"--encoding=latin1", "a"}, "--encoding takes sjis or utf-8"},
  };
  testimg::ScratchDir dir;
  for (const auto& c : cases) {
    const testimg::ProcessResult run = testimg::RunProcess(kD88cut, c.args, dir.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "d88cut: " + c.err + "\n" + usage);
  }
  EXPECT_TRUE(Tree(dir.path()).empty());
}

// As Explorer starts it for a drop: from another folder, on the image's
// full path (here with blanks in it); its input is no console, so it never
// waits.
TEST(D88cutE2E, AnImageByItsFullPathIsCutBesideItFromAnyFolder) {
  testimg::ScratchDir images;
  testimg::ScratchDir elsewhere;
  const std::string folder = images / "my images";
  fs::create_directories(folder);
  const std::vector<DiskSpec> specs = Specs(oabcut::kCatalogue);
  const std::string image = fs::absolute(fs::path(folder) / "my game.d88").string();
  std::vector<Disk> disks;
  for (const DiskSpec& d : specs) disks.push_back(d.disk);
  testimg::WriteFile(image, testimg::BuildImage(disks));
  const testimg::ProcessResult run = testimg::RunProcess(kD88cut, {image}, elsewhere.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.find("Press Enter"), std::string::npos);
  EXPECT_TRUE(Tree(elsewhere.path()).empty());
  std::map<std::string, Bytes> expected;
  ExpectFolders({"my game.d88", specs, "", {}}, "", &expected);
  EXPECT_TRUE(Tree((fs::path(folder) / "my game").string()) == expected);
}

#if defined(_WIN32)
// Names reach a Windows program in the ANSI code page.  In code page 932
// the second byte of a katakana such as "ソ" (83 5C) is the byte of a
// backslash: an image named so in a folder named so is cut beside itself,
// and no folder is made at that byte as if it were a separator.
TEST(D88cutE2E, ShiftJisNamesWithABackslashByteStayWhole) {
  if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
  const std::string so = "\x83\x5C";                  // ソ
  const std::string software = so + "\x83\x74\x83\x67";  // ソフト
  testimg::ScratchDir dir;
  const std::string folder = dir.path() + "\\" + software;
  ASSERT_EQ(_mkdir(folder.c_str()), 0);
  const std::vector<DiskSpec> specs = Specs(abcut::kCatalogue);
  ASSERT_TRUE(testimg::WriteFile(folder + "\\" + so + ".d88", testimg::BuildImage({specs[0].disk})));
  const testimg::ProcessResult run =
      testimg::RunProcess(kD88cut, {folder + "\\" + so + ".d88"}, dir.path());
  EXPECT_EQ(run.status, 0) << run.err;
  std::map<std::string, Bytes> expected;
  ExpectFolders({"", {specs[0]}, "", {}}, "", &expected);
  for (const auto& [name, bytes] : expected) {
    if (name.back() == '/') continue;
    EXPECT_TRUE(testimg::ReadFile(folder + "\\" + so + "\\" + name) == bytes) << name;
  }
  // The image and its folder, nothing else, in either folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(dir.path()) / L"\u30bd\u30d5\u30c8"),
                          fs::directory_iterator()),
            2);
}
#endif

}  // namespace
