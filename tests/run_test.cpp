// The shared run, in-process, with the tests' own catalogue: arguments,
// recognition order, forced disk numbers, cuts and their failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cut/run.h"
#include "support/d88_builder.h"
#include "support/in_process.h"
#include "support/process.h"
#include "support/test_catalogue.h"

namespace {

using testimg::Bytes;
using testimg::Disk;

using testimg::InProcessRun;

// Runs the frame on the disks' image inside a fresh folder, as the program
// would, with `folders` standing where output files would go.
InProcessRun RunFrame(const std::vector<Disk>& disks, const std::vector<std::string>& extra = {},
                      const std::vector<std::string>& folders = {}) {
  return testimg::RunFrameOn(testcat::kCatalogue, testimg::BuildImage(disks), extra, folders);
}

Disk Blank(const std::string& tag) {
  Disk d;
  d.tag = tag;
  d.Format(0, 11);
  return d;
}

Disk WithFirst(const std::string& tag) { return Blank(tag).Poke(0, 1, 0, "AAA"); }
Disk WithSecond(const std::string& tag) { return Blank(tag).Poke(0, 1, 10, "BB"); }
Disk WithThird(const std::string& tag) { return Blank(tag).Poke(0, 3, 254, std::string("\0Z", 2)); }

TEST(RunArguments, BadCommandLinesGiveTheUsageLine) {
  const std::string usage = "Usage: testcut [d88file] (DiskNo.)\n";
  const std::vector<std::string> cases[] = {
      {}, {"a.d88", "1", "extra"}, {"a.d88", "0"}, {"a.d88", "4"},
      {"a.d88", "x"}, {"a.d88", ""}, {"a.d88", "-1"}};
  for (const std::vector<std::string>& args : cases) {
    std::vector<std::string> argv = {"testcut"};
    argv.insert(argv.end(), args.begin(), args.end());
    const InProcessRun run = testimg::RunFrameArgs(testcat::kCatalogue, argv);
    EXPECT_EQ(run.status, 1) << args.size();
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, usage);
    EXPECT_TRUE(run.files.empty());
  }
}

TEST(RunArguments, AnImageThatCannotBeOpenedGivesTheOpenFailureLine) {
  const InProcessRun run =
      testimg::RunFrameArgs(testcat::kCatalogue, {"testcut", "/no/such/folder/image.d88"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  // "ファイルをオープンできません.\n"
  EXPECT_EQ(run.err,
            "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76"
            "\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n");
}

TEST(Recognition, RulesAreTriedInOrderAndOnlyTheFirstFires) {
  struct Case {
    const char* what;
    Disk disk;
    const char* message;
  } cases[] = {
      {"first", WithFirst("A"), "first\n"},
      {"second, from the first rule's probe", WithSecond("B"), "second\n"},
      {"third, zero byte in the signature", WithThird("C"), "third\n"},
      {"first wins over second", WithFirst("D").Poke(0, 1, 10, "BB"), "first\n"},
      {"blank", Blank("E"), ""},
      {"signature one byte off", Blank("F").Poke(0, 1, 1, "AAA"), ""},
  };
  for (const Case& c : cases) {
    testimg::ScratchDir dir;
    testimg::WriteFile(dir / "i.d88", c.disk.Build());
    d88::D88Image image;
    ASSERT_TRUE(image.Open((dir / "i.d88").c_str()));
    ASSERT_TRUE(image.SelectDisk(0));
    image.SetSectorRange(1, 26);
    uint8_t probe[cut::kProbeLength];
    const cut::DiskRule* rule = cut::Recognise(image, testcat::kCatalogue, 0, probe);
    EXPECT_STREQ(rule == nullptr ? "" : rule->message, c.message) << c.what;
  }
}

TEST(Recognition, MissingOrShortProbeBytesReadAsZerosNotAsEarlierBytes) {
  // Each first disk leaves its probe (or a cut) in the buffer; the second
  // disk lacks that probe or holds it short and must not be recognised.
  Disk shortThird = Blank("S");
  shortThird.Data(0, 3).resize(200);
  Disk withoutProbe = Blank("N").Remove(0, 1).Remove(0, 3);
  Disk zeroAtEnd = Blank("Z");
  zeroAtEnd.Data(0, 3).resize(255);
  zeroAtEnd.Data(0, 3)[254] = 0;
  struct Case {
    const char* what;
    std::vector<Disk> disks;
    std::string err;
  } cases[] = {
      {"probe sector missing", {WithFirst("A"), withoutProbe}, "first\n"},
      {"probe sector short", {WithThird("C"), shortThird}, "third\n"},
      {"probe sector one byte short", {WithThird("C"), zeroAtEnd}, "third\n"},
      {"second rule sees no bytes of the earlier disk", {WithSecond("B"), withoutProbe}, "second\n"},
  };
  for (const Case& c : cases) {
    const InProcessRun run = RunFrame(c.disks);
    EXPECT_EQ(run.status, 0) << c.what;
    EXPECT_EQ(run.err, c.err) << c.what;
  }
}

TEST(ForcedDiskNumber, FirstDiskTakesTheForcedKindAndTheRunEnds) {
  struct Case {
    const char* arg;
    std::string err;
    std::vector<std::string> files;
  } cases[] = {
      {"2", "second\n", {}},
      {"29", "second\n", {}},  // only the first character counts
      {"1", "first\n", {"ONE", "SKIPPED"}},
      {"3", "third\n", {"S00", "S01", "S02"}},
  };
  for (const Case& c : cases) {
    // The second disk would be recognised on its own; it is never reached.
    const InProcessRun run = RunFrame({Blank("A"), WithFirst("B")}, {c.arg});
    EXPECT_EQ(run.status, 0) << c.arg;
    EXPECT_EQ(run.err, c.err) << c.arg;
    std::vector<std::string> names;
    for (const auto& f : run.files) names.push_back(f.first);
    EXPECT_EQ(names, c.files) << c.arg;
  }
}

TEST(ForcedDiskNumber, AnImageWithoutDisksPrintsNothing) {
  const InProcessRun run = RunFrame({}, {"1"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_TRUE(run.files.empty());
}

TEST(Cuts, FilesHoldTheirSectorsAfterSkipAndSeriesCrossTracks) {
  const Disk disk = WithFirst("A");
  const InProcessRun run = RunFrame({disk, WithThird("C")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "first\nthird\n");
  EXPECT_EQ(run.out,
            "cutting ... ONE\ncutting ... SKIPPED\n"
            "cutting ... S00\ncutting ... S01\ncutting ... S02\n");
  const Disk third = WithThird("C");
  const Bytes skipped = disk.Run(2, 1, 400);
  const std::map<std::string, Bytes> expected = {
      {"ONE", disk.Run(2, 1, 512)},
      {"SKIPPED", Bytes(skipped.begin() + 100, skipped.end())},
      {"S00", third.Run(4, 1, 512)},
      {"S01", third.Run(4, 26, 768)},  // track 4 R26, then track 5 R1-2
      // Track 9 R26 goes on at track 10 R1; track 10 of this disk has 26
      // sectors, so the run is whole.
      {"S02", third.Run(9, 26, 512)},
  };
  EXPECT_EQ(run.files, expected);
}

TEST(Cuts, APartialRunIsZeroFilledAndReported) {
  // The first disk's cuts fill the buffer; the second disk's run breaks
  // off after one sector and must not show those bytes.
  Disk broken = WithThird("C");
  broken.RemoveTrack(10);
  broken.Remove(5, 2);
  const InProcessRun run = RunFrame({WithFirst("A"), broken});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "first\nthird\n"
            "short ... S01: 512 of 768 bytes found, the rest written as zeros\n"
            "short ... S02: 256 of 512 bytes found, the rest written as zeros\n");
  Bytes s01 = broken.Run(4, 26, 512);
  s01.resize(768, 0);
  Bytes s02 = broken.Run(9, 26, 256);
  s02.resize(512, 0);
  EXPECT_EQ(run.files.at("S01"), s01);
  EXPECT_EQ(run.files.at("S02"), s02);
}

TEST(Cuts, ACutWithoutItsFirstSectorWritesNothing) {
  const InProcessRun run = RunFrame({WithThird("C").Remove(4, 1)});
  EXPECT_EQ(run.out, "cutting ... S01\ncutting ... S02\n");
  EXPECT_EQ(run.err, "third\n");
  EXPECT_EQ(run.files.count("S00"), 0u);
}

TEST(Cuts, AFileThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
  const InProcessRun run = RunFrame({WithFirst("A"), WithThird("C")}, {}, {"ONE", "S01"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "cutting ... ONE\ncutting ... SKIPPED\n"
            "cutting ... S00\ncutting ... S01\ncutting ... S02\n");
  const std::string reason = std::error_code(EISDIR, std::generic_category()).message();
  EXPECT_EQ(run.err, "first\nfailed ... ONE: " + reason + "\nthird\nfailed ... S01: " + reason + "\n");
  std::vector<std::string> names;
  for (const auto& f : run.files) names.push_back(f.first);
  EXPECT_EQ(names, (std::vector<std::string>{"S00", "S02", "SKIPPED"}));
}

TEST(Cuts, ALaterDiskOfTheSameKindOverwritesItsFiles) {
  Disk second = WithFirst("B");
  const InProcessRun run = RunFrame({WithFirst("A"), Blank("X"), second});
  EXPECT_EQ(run.err, "first\nfirst\n");
  EXPECT_EQ(run.files.at("ONE"), second.Run(2, 1, 512));
}

// Two images held at once, cut in turn, give each what a run on it alone
// gives: nothing of one image's reading stays for the other.
TEST(Cuts, TwoImagesCutInTurnInOneProcessGiveWhatEachAloneGives) {
  const Bytes a = testimg::BuildImage({WithFirst("A"), WithSecond("A")});
  const Bytes b = testimg::BuildImage({WithSecond("B"), Blank("B"), WithFirst("B")});
  testimg::ScratchDir dir;
  testimg::WriteFile(dir / "a.d88", a);
  testimg::WriteFile(dir / "b.d88", b);
  const auto first = std::make_unique<d88::D88Image>();
  const auto second = std::make_unique<d88::D88Image>();
  ASSERT_TRUE(first->Open((dir / "a.d88").c_str()));
  ASSERT_TRUE(second->Open((dir / "b.d88").c_str()));
  std::FILE* sink = std::tmpfile();
  ASSERT_NE(sink, nullptr);
  const auto cutInto = [&](d88::D88Image& image, const std::string& folder) {
    cut::CutOutput output;
    output.program = "testcut";
    output.folder = folder.c_str();
    output.err = sink;
    cut::CutDisks(image, testcat::kCatalogue, 0, output);
    return testimg::FilesIn(folder);
  };
  const auto onA = cutInto(*first, dir / "a1");
  const auto onB = cutInto(*second, dir / "b");
  const auto onAAgain = cutInto(*first, dir / "a2");
  std::fclose(sink);
  const auto aloneA = testimg::RunFrameOn(testcat::kCatalogue, a).files;
  EXPECT_FALSE(aloneA.empty());
  EXPECT_TRUE(onA == aloneA);
  EXPECT_TRUE(onAAgain == aloneA);
  EXPECT_TRUE(onB == testimg::RunFrameOn(testcat::kCatalogue, b).files);
}

}  // namespace
