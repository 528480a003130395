// Output files that cannot be written: the testcut process reports each
// one, still makes the cuts after it, and ends with status 1.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "support/d88_builder.h"
#include "support/process.h"

namespace fs = std::filesystem;
using testimg::Bytes;
using testimg::Disk;

namespace {

// A disk of the first kind (ONE, SKIPPED) and one of the third (S00..S02).
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

std::map<std::string, Bytes> AllFiles(const Disk& first, const Disk& third) {
  const Bytes skipped = first.Run(2, 1, 400);
  return {{"ONE", first.Run(2, 1, 512)},
          {"SKIPPED", Bytes(skipped.begin() + 100, skipped.end())},
          {"S00", third.Run(4, 1, 512)},
          {"S01", third.Run(4, 26, 768)},
          {"S02", third.Run(9, 26, 512)}};
}

TEST(OutputFailure, AFileThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
  struct Case {
    const char* name;  // where the blocker stands
    bool deviceFull;   // a link to /dev/full, else a folder
    const char* messages;
  } cases[] = {
      {"ONE", false, "first\nfailed ... ONE: %s\nthird\n"},
      {"S01", false, "first\nthird\nfailed ... S01: %s\n"},
      {"SKIPPED", true, "first\nfailed ... SKIPPED: %s\nthird\n"},
      {"S02", true, "first\nthird\nfailed ... S02: %s\n"},
  };
  const Disk first = FirstKind();
  const Disk third = ThirdKind();
  testimg::ScratchDir input;
  const std::string image = input / "image.d88";
  ASSERT_TRUE(testimg::WriteFile(image, testimg::BuildImage({first, third})));

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testimg::ScratchDir work;
    if (c.deviceFull) {
      // Writes to it fail once the buffered bytes are flushed.
      if (!fs::exists("/dev/full")) {
        std::printf("no /dev/full here: case %s skipped\n", c.name);
        continue;
      }
      fs::create_symlink("/dev/full", work / c.name);
    } else {
      fs::create_directory(work / c.name);
    }
    const testimg::ProcessResult run = testimg::RunProcess(TESTCUT_PATH, {image}, work.path());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "cutting ... ONE\ncutting ... SKIPPED\n"
              "cutting ... S00\ncutting ... S01\ncutting ... S02\n");
    char messages[256];
    std::snprintf(messages, sizeof messages, c.messages, std::strerror(c.deviceFull ? ENOSPC : EISDIR));
    EXPECT_EQ(run.err, messages);
    std::map<std::string, Bytes> expected = AllFiles(first, third);
    expected.erase(c.name);
    EXPECT_EQ(work.Files(), expected);
  }
}

}  // namespace
