// A program built from the frame, run as a process: its streams, exit
// status and files, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/d88_builder.h"
#include "support/process.h"

namespace {

using testimg::Bytes;
using testimg::Disk;

TEST(TestcutProcess, CutsEveryRecognisedDiskInImageOrder) {
  Disk first;
  first.tag = "A";
  first.Format(0, 11).Poke(0, 1, 0, "AAA");
  Disk unknown;
  unknown.tag = "U";
  unknown.Format(0, 11);
  Disk third;
  third.tag = "C";
  third.Format(0, 11).Poke(0, 3, 254, std::string("\0Z", 2));

  const testimg::RunOutcome run =
      testimg::RunOnImage(TESTCUT_PATH, testimg::BuildImage({first, unknown, third}));
  EXPECT_EQ(run.process.status, 0);
  EXPECT_EQ(run.process.err, "first\nthird\n");
  EXPECT_EQ(run.process.out,
            "cutting ... ONE\ncutting ... SKIPPED\n"
            "cutting ... S00\ncutting ... S01\ncutting ... S02\n");
  Bytes skipped = first.Run(2, 1, 400);
  skipped.erase(skipped.begin(), skipped.begin() + 100);
  const std::map<std::string, Bytes> expected = {
      {"ONE", first.Run(2, 1, 512)}, {"SKIPPED", skipped},
      {"S00", third.Run(4, 1, 512)}, {"S01", third.Run(4, 26, 768)},
      {"S02", third.Run(9, 26, 512)},
  };
  EXPECT_EQ(run.files, expected);
}

TEST(TestcutProcess, ExitStatusAndStreamsForEachWayARunEnds) {
  const std::string usage = std::string("Usage: ") + TESTCUT_PATH + " [d88file] (DiskNo.)\n";
  struct Case {
    const char* what;
    std::vector<std::string> args;  // after the image name
    int status;
    std::string err;
  } cases[] = {
      {"no disk number, nothing recognised", {}, 0, ""},
      {"forced kind on a blank disk", {"2"}, 0, "second\n"},
      {"disk number out of range", {"9"}, 1, usage},
      {"too many arguments", {"1", "2"}, 1, usage},
  };
  Disk blank;
  blank.Format(0, 1);
  for (const Case& c : cases) {
    const testimg::RunOutcome run = testimg::RunOnImage(TESTCUT_PATH, blank.Build(), c.args);
    EXPECT_EQ(run.process.status, c.status) << c.what;
    EXPECT_EQ(run.process.err, c.err) << c.what;
    EXPECT_EQ(run.process.out, "") << c.what;
    EXPECT_TRUE(run.files.empty()) << c.what;
  }
}

}  // namespace
