// The cutting programs at the command line: help and version, options
// before the image, the output folder, the encoding of the Japanese
// messages on a terminal and in a pipe, and output files written whole or
// not at all.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "abcut/catalogue.h"
#include "cut/shift_jis.h"
#include "oabcut/catalogue.h"
#include "support/d88_builder.h"
#include "support/expected_run.h"
#include "support/kind_disk.h"
#include "support/process.h"
#include "support/terminal.h"
#include "vorxcut/catalogue.h"

#if __has_include(<iconv.h>)
#include <iconv.h>
#define HAVE_ICONV 1
#endif

namespace fs = std::filesystem;
using testimg::Bytes;
using testimg::Disk;

namespace {

// Disks of the tests' catalogue: the first kind (ONE, SKIPPED) and the
// third (S00 to S02).
Disk FirstKind() {
  Disk d;
  d.tag = "F";
  d.Format(0, 2);
  d.Poke(0, 1, 0, "AAA");
  return d;
}

Disk ThirdKind() {
  Disk d;
  d.tag = "T";
  d.Format(0, 10);
  d.Poke(0, 3, 254, std::string("\0Z", 2));
  return d;
}

std::map<std::string, Bytes> AllFiles() {
  const Disk first = FirstKind();
  const Disk third = ThirdKind();
  const Bytes skipped = first.Run(2, 1, 400);
  return {{"ONE", first.Run(2, 1, 512)},
          {"SKIPPED", Bytes(skipped.begin() + 100, skipped.end())},
          {"S00", third.Run(4, 1, 512)},
          {"S01", third.Run(4, 26, 768)},
          {"S02", third.Run(9, 26, 512)}};
}

const std::string kCutting =
    "cutting ... ONE\ncutting ... SKIPPED\ncutting ... S00\ncutting ... S01\ncutting ... S02\n";

// Every name in `dir`, folders and links too, so a temporary left behind shows.
std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

TEST(Console, EveryProgramHelpsAndTellsItsVersion) {
  const struct {
    const char* path;
    std::string name;
    const cut::Catalogue* catalogue;  // null for d88info
  } programs[] = {
      {VORXCUT_PATH, "vorxcut", &vorxcut::kCatalogue},
      {ABCUT_PATH, "abcut", &abcut::kCatalogue},
      {OABCUT_PATH, "oabcut", &oabcut::kCatalogue},
      {D88INFO_PATH, "d88info", nullptr},
  };
  testimg::ScratchDir dir;
  for (const auto& p : programs) {
    SCOPED_TRACE(p.name);
    for (const char* option : {"--help", "-h"}) {
      const testimg::ProcessResult help = testimg::RunProcess(p.path, {option}, dir.path());
      EXPECT_EQ(help.status, 0);
      EXPECT_EQ(help.err, "");
      EXPECT_EQ(help.out.rfind("Usage: " + p.name + " [", 0), 0u) << help.out;
      for (const char* line : {"\n  -h, --help ", "\n  --version ", "\nExit status: 0 "}) {
        EXPECT_NE(help.out.find(line), std::string::npos) << line;
      }
      if (p.catalogue == nullptr) continue;
      EXPECT_NE(help.out.find("\n  -o, --output-dir DIR "), std::string::npos);
      // Every kind by its DISK number, in the order of the numbers.
      size_t last = 0;
      for (int number = 1; number <= p.catalogue->rules.count; ++number) {
        for (const cut::DiskRule& rule : p.catalogue->rules) {
          if (rule.number != number) continue;
          const size_t at = help.out.find("\n  " + std::to_string(number) + "  " + rule.label + "\n");
          EXPECT_NE(at, std::string::npos) << rule.label;
          EXPECT_GT(at, last) << rule.label;
          last = at;
        }
      }
    }
    const testimg::ProcessResult version = testimg::RunProcess(p.path, {"--version"}, dir.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, p.name + " " D88CUT_VERSION "\n");
    EXPECT_EQ(version.err, "");
  }
  EXPECT_TRUE(Names(dir.path()).empty());
}

// testcut run in a folder that holds its image under the name "--help".
TEST(Console, OptionsComeBeforeTheImage) {
  const Bytes image = testimg::BuildImage({FirstKind(), ThirdKind()});
  const std::string usage = testimg::UsageError(TESTCUT_PATH).err;
  const std::string noFolder =
      std::string("testcut: cannot make the output folder blocker/sub: ") + std::strerror(ENOTDIR) + "\n";
  const struct {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string out, err;
    const char* filesIn;  // the folder that gets the files; null for none
    std::set<std::string> names;  // what the working folder holds after
  } cases[] = {
      {"a file named like an option", {"./--help"}, 0, kCutting, "first\nthird\n", "", {}},
      {"-- ends the options", {"--", "--help"}, 0, kCutting, "first\nthird\n", "", {}},
      {"-o, a new nested folder", {"-o", "new/a/b", "./--help"}, 0, kCutting, "first\nthird\n", "new/a/b", {"new"}},
      {"--output-dir, an existing folder", {"--output-dir", "existing", "./--help"}, 0, kCutting, "first\nthird\n", "existing", {"existing"}},
      {"--output-dir=, a trailing slash", {"--output-dir=existing/", "./--help", "1"}, 0, "cutting ... ONE\ncutting ... SKIPPED\n", "first\n", "existing", {"existing"}},
      {"-o, a file in the way", {"-o", "blocker/sub", "./--help"}, 1, "", noFolder, nullptr, {"blocker"}},
      {"an unknown option", {"-x", "./--help"}, 1, "", usage, nullptr, {}},
      {"-o without a folder", {"./--help", "-o"}, 1, "", usage, nullptr, {}},
      {"-o and no image", {"-o", "./--help"}, 1, "", usage, nullptr, {}},
      {"an unknown encoding", {"--encoding=latin1", "./--help"}, 1, "", usage, nullptr, {}},
      {"an option after the image", {"./--help", "--help"}, 1, "", usage, nullptr, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::ScratchDir work;
    ASSERT_TRUE(testimg::WriteFile(work / "--help", image));
    fs::create_directory(work / "existing");
    ASSERT_TRUE(testimg::WriteFile(work / "blocker", {}));
    const testimg::ProcessResult run = testimg::RunProcess(TESTCUT_PATH, c.args, work.path());
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);

    std::map<std::string, Bytes> files = AllFiles();
    if (c.args.back() == "1") files = {{"ONE", files["ONE"]}, {"SKIPPED", files["SKIPPED"]}};
    if (c.filesIn == nullptr) files.clear();
    const bool here = c.filesIn != nullptr && *c.filesIn == '\0';
    std::set<std::string> names = c.names;
    names.insert({"--help", "existing", "blocker"});
    if (here) {
      for (const auto& f : files) names.insert(f.first);
    }
    EXPECT_EQ(Names(work.path()), names);
    EXPECT_EQ(testimg::FilesIn(work.path(), {"--help", "blocker"}), here ? files : decltype(files)());
    if (c.filesIn != nullptr && !here) {
      EXPECT_EQ(testimg::FilesIn(work / c.filesIn), files);
    }
  }
}

#if !defined(_WIN32)
// The open-failure line and a recognition line on a terminal, by locale,
// and in a pipe, each with and without --encoding.
TEST(Console, JapaneseMessagesFollowTheTerminal) {
  const std::string cannotOpenSjis =
      testimg::FromHex("83 74 83 40 83 43 83 8B 82 F0 83 49 81 5B 83 76 83 93 82 C5 82 AB 82 DC 82 B9 82 F1 2E 0A");
  const std::string cannotOpenUtf8 = u8"ファイルをオープンできません.\n";
  const cut::DiskRule& diskA = abcut::kCatalogue.rules.data[0];
  const std::string diskAUtf8 = u8"Disk A を認識しました.\n";
  testimg::ScratchDir input;
  const std::string image = input / "image.d88";
  ASSERT_TRUE(testimg::WriteFile(image, testimg::BuildImage({testimg::KindDisk(abcut::kCatalogue, diskA)})));
  const std::string missing = input / "missing.d88";

  const struct {
    const char* locale;  // null for a pipe
    std::vector<std::string> options;
    bool utf8;
  } cases[] = {
      {nullptr, {}, false},
      {nullptr, {"--encoding=utf-8"}, true},
      {"C.UTF-8", {}, true},
      {"C", {}, false},
      {"C.UTF-8", {"--encoding=sjis"}, false},
      {"C", {"--encoding", "utf-8"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.locale != nullptr ? c.locale : "pipe") + " " +
                 (c.options.empty() ? "" : c.options.back()));
    for (const bool recognised : {false, true}) {
      testimg::ScratchDir work;
      std::vector<std::string> args = c.options;
      args.push_back(recognised ? image : missing);
      const testimg::ProcessResult run =
          c.locale == nullptr ? testimg::RunProcess(ABCUT_PATH, args, work.path())
                              : testimg::RunOnTerminal(ABCUT_PATH, args, work.path(), c.locale);
      EXPECT_EQ(run.status, recognised ? 0 : 1);
      if (recognised) {
        EXPECT_EQ(run.err, c.utf8 ? diskAUtf8 : std::string(diskA.message));
      } else {
        EXPECT_EQ(run.err, c.utf8 ? cannotOpenUtf8 : cannotOpenSjis);
      }
    }
  }
}

// A file that fails part of the way, or cannot be made at all, leaves no
// temporary behind, and an old file of its name stays as it was.
TEST(Console, FilesAreWrittenWholeOrNotAtAll) {
  testimg::ScratchDir input;
  const std::string image = input / "image.d88";
  ASSERT_TRUE(testimg::WriteFile(image, testimg::BuildImage({FirstKind(), ThirdKind()})));
  // Files may grow to 512 bytes: S01, of 768, fails part of the way.
  const std::vector<std::string> limited = {"-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"",
                                            TESTCUT_PATH, image};
  const Bytes old = {'o', 'l', 'd'};
  enum Blocker { kFolder, kDeviceFull, kOldFile, kReadOnlyFolder };
  const struct {
    const char* what;
    Blocker blocker;
    const char* name;  // of the file that fails
    int error;
    std::string err;
  } cases[] = {
      {"a folder in the way", kFolder, "S01", EISDIR, "first\nthird\nfailed ... S01: %s\n"},
      {"a full device", kDeviceFull, "SKIPPED", ENOSPC, "first\nfailed ... SKIPPED: %s\nthird\n"},
      {"a size limit, over an old file", kOldFile, "S01", EFBIG, "first\nthird\nfailed ... S01: %s\n"},
      {"a read-only folder", kReadOnlyFolder, nullptr, EACCES, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::ScratchDir work;
    std::map<std::string, Bytes> files = AllFiles();
    std::vector<std::string> args = {image};
    std::string program = TESTCUT_PATH;
    std::string folder = work.path();
    switch (c.blocker) {
      case kFolder:
        fs::create_directory(work / c.name);
        files.erase(c.name);
        break;
      case kDeviceFull:
        fs::create_symlink("/dev/full", work / c.name);
        files.erase(c.name);
        break;
      case kOldFile:
        ASSERT_TRUE(testimg::WriteFile(work / c.name, old));
        files[c.name] = old;
        program = "sh";
        args = limited;
        break;
      case kReadOnlyFolder:
        folder = work / "ro";
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        if (testimg::WriteFile(folder + "/probe", {})) {
          std::printf("a read-only folder takes files here (root): case skipped\n");
          continue;
        }
        args = {"-o", "ro", image};
        files.clear();
        break;
    }
    const testimg::ProcessResult run = testimg::RunProcess(program, args, work.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, kCutting);
    if (c.name != nullptr) {
      char err[256];
      std::snprintf(err, sizeof err, c.err.c_str(), std::strerror(c.error));
      EXPECT_EQ(run.err, err);
    }
    std::set<std::string> names;
    for (const auto& f : files) names.insert(f.first);
    if (c.name != nullptr) names.insert(c.name);
    EXPECT_EQ(Names(folder), names);
    EXPECT_EQ(testimg::FilesIn(folder), files);
  }
}

// A file of an earlier run is replaced, and one reached through a link is
// rewritten where the link points, the link kept.
TEST(Console, OldFilesAreReplacedAndLinksFollowed) {
  testimg::ScratchDir input;
  const std::string image = input / "image.d88";
  ASSERT_TRUE(testimg::WriteFile(image, testimg::BuildImage({FirstKind(), ThirdKind()})));
  testimg::ScratchDir work;
  ASSERT_TRUE(testimg::WriteFile(work / "ONE", {'o', 'l', 'd'}));
  ASSERT_TRUE(testimg::WriteFile(input / "target", {'o', 'l', 'd'}));
  fs::create_symlink(input / "target", work / "S00");
  const testimg::ProcessResult run = testimg::RunProcess(TESTCUT_PATH, {image}, work.path());
  EXPECT_EQ(run.status, 0);
  std::map<std::string, Bytes> files = AllFiles();
  EXPECT_EQ(testimg::FilesIn(work.path()), files);
  EXPECT_TRUE(fs::is_symlink(work / "S00"));
  EXPECT_EQ(testimg::ReadFile(input / "target"), files["S00"]);
}
#endif

#if defined(HAVE_ICONV)
std::string Cp932ToUtf8(const std::string& text) {
  iconv_t codec = iconv_open("UTF-8", "CP932");
  if (codec == reinterpret_cast<iconv_t>(-1)) return "(no CP932 codec)";
  std::string in = text;
  std::string out(4 * text.size() + 4, '\0');
  char* inp = &in[0];
  char* outp = &out[0];
  size_t inLeft = in.size(), outLeft = out.size();
  const bool done = iconv(codec, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1);
  iconv_close(codec);
  return done ? out.substr(0, out.size() - outLeft) : "(not CP932)";
}

// Every code of the table, and every message whole, as a full CP932 codec
// reads them.
TEST(Console, ShiftJisTableAgreesWithCp932) {
  for (const cut::ShiftJisRange& range : cut::kShiftJisRanges) {
    for (unsigned code = range.first; code <= range.last; ++code) {
      const std::string sjis = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
      EXPECT_EQ(cut::ShiftJisToUtf8(sjis.c_str()), Cp932ToUtf8(sjis)) << std::hex << code;
    }
  }
  for (const cut::Catalogue* catalogue : {&vorxcut::kCatalogue, &abcut::kCatalogue, &oabcut::kCatalogue}) {
    for (const cut::DiskRule& rule : catalogue->rules) {
      EXPECT_EQ(cut::ShiftJisToUtf8(rule.message), Cp932ToUtf8(rule.message)) << rule.label;
    }
  }
}
#endif

}  // namespace
