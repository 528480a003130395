// What a program run on a built image should print, return and write,
// put together cut by cut from the sectors of the disks the image holds,
// and a comparison that names the first difference it finds.
#ifndef TESTS_SUPPORT_EXPECTED_RUN_H
#define TESTS_SUPPORT_EXPECTED_RUN_H

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/d88_builder.h"
#include "support/process.h"

namespace testimg {

struct ExpectedRun {
  int status = 0;
  std::string out;
  std::string err;
  std::map<std::string, Bytes> files;

  // A cut of `length` bytes from track/r of `disk` (256-byte sectors, run
  // on over sectors 1 to 26 of each track): nothing when its first sector
  // is missing; else the "cutting" line and the file, with the part not
  // found as zeros and a "short" line.  A later file of a name replaces an
  // earlier one, as on disk.
  ExpectedRun& Cut(const Disk& disk, const std::string& name, int track, int r, int length);
};

// The usage line a program prints when run as `program`, exit status 1.
ExpectedRun UsageError(const std::string& program);

// Bytes from hex pairs such as "44 69 0A".
std::string FromHex(const std::string& hex);

// "MUS%02d" and the like, applied to one number.
std::string Numbered(const char* format, int number);

// One run of a program: the disks of its image, the arguments after the
// image name and what it should leave.
struct RunCase {
  std::string what;
  std::vector<Disk> disks;
  std::vector<std::string> args;
  ExpectedRun expected;
};

// Runs `program` once per case and expects SameRun of each.
void CheckRuns(const std::string& program, const std::vector<RunCase>& cases);

// Whether the run printed, returned and left exactly what is expected.
::testing::AssertionResult SameRun(const RunOutcome& actual, const ExpectedRun& expected);

}  // namespace testimg

#endif  // TESTS_SUPPORT_EXPECTED_RUN_H
