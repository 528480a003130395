// The programs at the command line: help and version, options before the
// image, the output folder, the Japanese messages on a terminal and in a
// pipe, and output files written whole or not at all.  The files a run
// should write are those of a plain run, which the other tests check.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "abcut/catalogue.h"
#include "cut/shift_jis.h"
#include "oabcut/catalogue.h"
#include "support/expected_run.h"
#include "support/kind_disk.h"
#include "support/test_catalogue.h"
#include "vorxcut/catalogue.h"

#if __has_include(<iconv.h>)
#include <iconv.h>
#endif

namespace fs = std::filesystem;
using testimg::Bytes;

namespace {

// testcut's first kind (ONE, SKIPPED) and third (S00 to S02, S01 768 bytes).
Bytes TwoKinds() {
  return testimg::BuildImage({testimg::KindDisk(testcat::kCatalogue, testcat::kRules[0]),
                              testimg::KindDisk(testcat::kCatalogue, testcat::kRules[2])});
}

// Every name in `dir`, folders and links too, so a temporary left shows.
std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

TEST(Console, EveryProgramHelpsAndTellsItsVersion) {
  const struct {
    const char* path;
    std::string name;
    const cut::Catalogue* catalogue;  // null for d88info, d88conv and d88cut
  } programs[] = {{VORXCUT_PATH, "vorxcut", &vorxcut::kCatalogue},
                  {ABCUT_PATH, "abcut", &abcut::kCatalogue},
                  {OABCUT_PATH, "oabcut", &oabcut::kCatalogue},
                  {D88INFO_PATH, "d88info", nullptr},
                  {D88CONV_PATH, "d88conv", nullptr},
                  {D88CUT_PATH, "d88cut", nullptr}};
  // Every container, dump and archive any program reads.
  const char* const formats[] = {"D88", "NFD", "FDD", "DIP", "FDI", "DCP", "SCP", "KryoFlux", "HFE",
                                 "MFI", "zip", "7z", "LZH", "RAR", "tar", "gzip", "bzip2", "xz"};
  testimg::ScratchDir dir;
  for (const auto& p : programs) {
    for (const char* option : {"--help", "-h"}) {
      SCOPED_TRACE(p.name + " " + option);
      const testimg::ProcessResult help = testimg::RunProcess(p.path, {option}, dir.path());
      EXPECT_EQ(help.status, 0);
      EXPECT_EQ(help.err, "");
      EXPECT_EQ(help.out.rfind("Usage: " + p.name + " [", 0), 0u) << help.out;
      for (const char* line : {"\n  -h, --help ", "\n  --version ", "\nExit status: 0 "}) {
        EXPECT_NE(help.out.find(line), std::string::npos) << line;
      }
      for (const char* format : formats) EXPECT_NE(help.out.find(format), std::string::npos) << format;
      // The sentence made from the reader tables is filled like the rest.
      for (size_t from = 0, end; (end = help.out.find('\n', from)) != std::string::npos; from = end + 1) {
        EXPECT_LE(end - from, 80u) << help.out.substr(from, end - from);
      }
      // Every kind by its DISK number, in the order of the numbers.
      size_t last = 0;
      for (int number = 1; p.catalogue != nullptr && number <= p.catalogue->rules.count; ++number) {
        for (const cut::DiskRule& rule : p.catalogue->rules) {
          if (rule.number != number) continue;
          const size_t at = help.out.find("\n  " + std::to_string(number) + "  " + rule.label + "\n");
          EXPECT_TRUE(at != std::string::npos && at > last) << rule.label;
          last = at;
        }
      }
    }
    const testimg::ProcessResult version = testimg::RunProcess(p.path, {"--version"}, dir.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, p.name + " " D88CUT_VERSION "\n");
    EXPECT_EQ(version.err, "");
    // After "--", "-h" is an image's name (none such here), never the help.
    const testimg::ProcessResult named = testimg::RunProcess(p.path, {"--", "-h"}, dir.path());
    EXPECT_EQ(named.status, 1) << p.name;
    EXPECT_EQ(named.out.find("Usage:"), std::string::npos) << p.name;
  }
  EXPECT_TRUE(Names(dir.path()).empty());
}

// testcut in a folder that holds its image as "--help", an empty folder
// "existing" and a file "blocker".
TEST(Console, OptionsComeBeforeTheImage) {
  const Bytes image = TwoKinds();
  const testimg::RunOutcome plain = testimg::RunOnImage(TESTCUT_PATH, image);
  ASSERT_EQ(plain.files.size(), 5u);
  const std::string usage = testimg::UsageError(TESTCUT_PATH).err;
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
    const char* filesIn;  // the folder that gets the files; null for none
  } cases[] = {
      {{"./--help"}, 0, "first\nthird\n", "."},
      {{"--", "--help"}, 0, "first\nthird\n", "."},
      {{"-o", "new/a/b", "./--help"}, 0, "first\nthird\n", "new/a/b"},
      {{"--output-dir", "existing", "./--help"}, 0, "first\nthird\n", "existing"},
      {{"--output-dir=existing/", "--encoding=utf-8", "./--help"}, 0, "first\nthird\n", "existing"},
      {{"-o", "blocker/sub", "./--help"}, 1,
       std::string("testcut: cannot make the output folder blocker/sub: ") + std::strerror(ENOTDIR) + "\n", nullptr},
      {{"-x", "./--help"}, 1, usage, nullptr},
      {{"-o", "./--help"}, 1, usage, nullptr},
      {{"--encoding=latin1", "./--help"}, 1, usage, nullptr},
      {{"./--help", "--help"}, 1, usage, nullptr},
  };
  for (const auto& c : cases) {
    std::string what;
    for (const std::string& a : c.args) what += a + " ";
    SCOPED_TRACE(what);
    testimg::ScratchDir work;
    ASSERT_TRUE(testimg::WriteFile(work / "--help", image));
    ASSERT_TRUE(testimg::WriteFile(work / "blocker", {}));
    fs::create_directory(work / "existing");
    const testimg::ProcessResult run = testimg::RunProcess(TESTCUT_PATH, c.args, work.path());
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.status == 0 ? plain.process.out : "");
    EXPECT_EQ(run.err, c.err);
    const std::string into = c.filesIn != nullptr ? c.filesIn : "";
    const std::map<std::string, Bytes> none;
    EXPECT_EQ(testimg::FilesIn(work.path(), {"--help", "blocker"}), into == "." ? plain.files : none);
    EXPECT_EQ(testimg::FilesIn(work / "existing"), into == "existing" ? plain.files : none);
    if (into.rfind("new", 0) == 0) {
      EXPECT_EQ(testimg::FilesIn(work / into), plain.files);
    }
  }
}

#if !defined(_WIN32)
// The open-failure line and a recognition line on a terminal (through
// script(1)) by locale, and in a pipe, with and without --encoding.
TEST(Console, JapaneseMessagesFollowTheTerminal) {
  const std::string cannotOpen = u8"ファイルをオープンできません.\n";
  const std::string cannotOpenSjis = testimg::FromHex(
      "83 74 83 40 83 43 83 8B 82 F0 83 49 81 5B 83 76 83 93 82 C5 82 AB 82 DC 82 B9 82 F1 2E 0A");
  const std::string diskA = u8"Disk A を認識しました.\n";
  testimg::ScratchDir input;
  const std::string image = input / "image.d88";
  ASSERT_TRUE(testimg::WriteFile(image, testimg::BuildImage({testimg::KindDisk(abcut::kCatalogue, abcut::kCatalogue.rules.data[0])})));
  const struct {
    const char* locale;  // null for a pipe
    std::string option;
    bool utf8;
  } cases[] = {{nullptr, "", false},  {nullptr, "--encoding=utf-8", true}, {"C.UTF-8", "", true},
               {"C", "", false},      {"C.UTF-8", "--encoding=sjis", false}};
  for (const auto& c : cases) {
    for (const std::string& name : {image, input / "missing.d88"}) {
      SCOPED_TRACE(std::string(c.locale != nullptr ? c.locale : "pipe") + " " + c.option + " " + name);
      testimg::ScratchDir work;
      std::vector<std::string> args = {name};
      if (!c.option.empty()) args.insert(args.begin(), c.option);
      testimg::ProcessResult run;
      if (c.locale == nullptr) {
        run = testimg::RunProcess(ABCUT_PATH, args, work.path());
      } else {
        std::string command = std::string("LC_ALL=") + c.locale + " " + ABCUT_PATH + " >/dev/null";
        for (const std::string& a : args) command += " '" + a + "'";
        run = testimg::RunProcess("script", {"-qec", command, "/dev/null"}, work.path());
        run.err.clear();  // the terminal's, CR LF line ends
        for (char ch : run.out) {
          if (ch != '\r') run.err += ch;
        }
      }
      if (name == image) {
        EXPECT_EQ(run.err, c.utf8 ? diskA : abcut::kCatalogue.rules.data[0].message);
      } else {
        EXPECT_EQ(run.err, c.utf8 ? cannotOpen : cannotOpenSjis);
      }
    }
  }
}

// A file that fails part of the way, or cannot be made at all, leaves no
// temporary behind, and an old file of its name stays as it was.  A size
// limit makes S01 fail part of the way, as a full disk would, root or not.
TEST(Console, FilesAreWrittenWholeOrNotAtAll) {
  testimg::ScratchDir input;
  const std::string image = input / "image.d88";
  ASSERT_TRUE(testimg::WriteFile(image, TwoKinds()));
  const testimg::RunOutcome plain = testimg::RunOnImage(TESTCUT_PATH, TwoKinds());
  const Bytes old = {'o', 'l', 'd'};
  const struct {
    const char* what;
    const char* name;  // of the file that fails
    int error;
  } cases[] = {{"folder", "S01", EISDIR}, {"/dev/full", "SKIPPED", ENOSPC}, {"size limit", "S01", EFBIG},
               {"read-only folder", nullptr, EACCES}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::ScratchDir work;
    std::map<std::string, Bytes> files = plain.files;
    std::string program = TESTCUT_PATH;
    std::vector<std::string> args = {image};
    std::string folder = work.path();
    if (c.error == EISDIR) fs::create_directory(work / c.name);
    if (c.error == ENOSPC) fs::create_symlink("/dev/full", work / c.name);
    if (c.name != nullptr) files.erase(c.name);
    if (c.error == EFBIG) {
      ASSERT_TRUE(testimg::WriteFile(work / c.name, old));
      files[c.name] = old;
      program = "sh";
      args = {"-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"", TESTCUT_PATH, image};
    }
    if (c.error == EACCES) {
      folder = work / "ro";
      fs::create_directory(folder);
      fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
      if (testimg::WriteFile(folder + "/probe", {})) {
        std::printf("a read-only folder takes files here (root): case skipped\n");
        continue;
      }
      args = {"-o", "ro", image};
      files.clear();
    }
    const testimg::ProcessResult run = testimg::RunProcess(program, args, work.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, plain.process.out);
    EXPECT_NE(run.err.find(std::string(c.name != nullptr ? c.name : "ONE") + ": " + std::strerror(c.error) + "\n"),
              std::string::npos) << run.err;
    std::set<std::string> names;
    for (const auto& f : files) names.insert(f.first);
    if (c.name != nullptr) names.insert(c.name);
    EXPECT_EQ(Names(folder), names);
    EXPECT_EQ(testimg::FilesIn(folder), files);
  }
}

// A file reached through a link is rewritten where the link points.
TEST(Console, LinksToFilesAreFollowed) {
  testimg::ScratchDir input;
  const testimg::RunOutcome plain = testimg::RunOnImage(TESTCUT_PATH, TwoKinds());
  testimg::ScratchDir work;
  ASSERT_TRUE(testimg::WriteFile(input / "image.d88", TwoKinds()));
  ASSERT_TRUE(testimg::WriteFile(input / "target", {'o', 'l', 'd'}));
  fs::create_symlink(input / "target", work / "S00");
  EXPECT_EQ(testimg::RunProcess(TESTCUT_PATH, {input / "image.d88"}, work.path()).status, 0);
  EXPECT_TRUE(fs::is_symlink(work / "S00"));
  EXPECT_EQ(testimg::ReadFile(input / "target"), plain.files.at("S00"));
}
#endif

#if __has_include(<iconv.h>)
std::string Cp932ToUtf8(std::string text) {
  static const iconv_t codec = iconv_open("UTF-8", "CP932");
  std::string out(4 * text.size(), '\0');
  char* in = &text[0];
  char* to = &out[0];
  size_t inLeft = text.size(), outLeft = out.size();
  const bool done = codec != reinterpret_cast<iconv_t>(-1) &&
                    iconv(codec, nullptr, nullptr, nullptr, nullptr) != static_cast<size_t>(-1) &&
                    iconv(codec, &in, &inLeft, &to, &outLeft) != static_cast<size_t>(-1);
  return done ? out.substr(0, out.size() - outLeft) : "(no CP932)";
}

// Every one- and two-byte code of the table, and every message whole, as
// a full CP932 codec reads them: the same characters, and none where it
// has none.
TEST(Console, ShiftJisTableAgreesWithCp932) {
  for (unsigned code = 0x01; code <= 0xFFFF; ++code) {
    if (code > 0xFF && (code & 0xFF) == 0) continue;
    const std::string sjis = code <= 0xFF ? std::string(1, static_cast<char>(code))
                                          : std::string{static_cast<char>(code >> 8),
                                                        static_cast<char>(code & 0xFF)};
    std::string ours;
    if (!cut::Cp932ToUtf8(sjis, &ours)) ours = "(no CP932)";
    ASSERT_EQ(ours, Cp932ToUtf8(sjis)) << std::hex << code;
  }
  for (const cut::Catalogue* catalogue : {&vorxcut::kCatalogue, &abcut::kCatalogue, &oabcut::kCatalogue}) {
    for (const cut::DiskRule& rule : catalogue->rules) {
      EXPECT_EQ(cut::ShiftJisToUtf8(rule.message), Cp932ToUtf8(rule.message)) << rule.label;
    }
  }
}
#endif

}  // namespace
