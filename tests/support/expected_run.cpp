#include "support/expected_run.h"

#include <cstdio>
#include <cstdlib>

namespace testimg {

ExpectedRun& ExpectedRun::Cut(const Disk& disk, const std::string& name, int track, int r,
                              int length) {
  Bytes bytes = disk.Run(track, r, length);
  bytes.resize(bytes.size() / 256 * 256);  // a piece read in part counts as missing
  if (bytes.empty()) return *this;
  out += "cutting ... " + name + "\n";
  if (static_cast<int>(bytes.size()) < length) {
    err += "short ... " + name + ": " + std::to_string(bytes.size()) + " of " +
           std::to_string(length) + " bytes found, the rest written as zeros\n";
    bytes.resize(static_cast<size_t>(length), 0);
  }
  files[name] = bytes;
  return *this;
}

ExpectedRun UsageError(const std::string& program) {
  ExpectedRun e;
  e.status = 1;
  e.err = "Usage: " + program + " [d88file] (DiskNo.)\n";
  return e;
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 3) {
    bytes += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
  }
  return bytes;
}

std::string Numbered(const char* format, int number) {
  char name[32];
  std::snprintf(name, sizeof name, format, number);
  return name;
}

::testing::AssertionResult SameRun(const RunOutcome& actual, const ExpectedRun& expected) {
  const ProcessResult& p = actual.process;
  if (p.status != expected.status) {
    return ::testing::AssertionFailure() << "exit status " << p.status << ", expected " << expected.status;
  }
  if (p.out != expected.out) {
    return ::testing::AssertionFailure() << "stdout\n" << p.out << "expected\n" << expected.out;
  }
  if (p.err != expected.err) {
    return ::testing::AssertionFailure() << "stderr\n" << p.err << "expected\n" << expected.err;
  }
  for (const auto& [name, bytes] : actual.files) {
    const auto want = expected.files.find(name);
    if (want == expected.files.end()) return ::testing::AssertionFailure() << "unexpected file " << name;
    if (bytes.size() != want->second.size()) {
      return ::testing::AssertionFailure()
             << name << " holds " << bytes.size() << " bytes, expected " << want->second.size();
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] != want->second[i]) {
        return ::testing::AssertionFailure() << name << " differs first at byte " << i;
      }
    }
  }
  for (const auto& entry : expected.files) {
    if (actual.files.count(entry.first) == 0) {
      return ::testing::AssertionFailure() << "missing file " << entry.first;
    }
  }
  return ::testing::AssertionSuccess();
}

void CheckRuns(const std::string& program, const std::vector<RunCase>& cases) {
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(SameRun(RunOnImage(program, BuildImage(c.disks), c.args), c.expected));
  }
}

}  // namespace testimg
