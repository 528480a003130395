// A whole program run on arbitrary bytes as its image, in-process.  Built
// once per catalogue: FUZZ_CATALOGUE_HEADER names the header and
// FUZZ_CATALOGUE the catalogue constant.  Each run writes its files into a
// scratch folder of its own.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "checks.h"
#include "harness.h"
#include FUZZ_CATALOGUE_HEADER

namespace fs = std::filesystem;

namespace {

std::FILE* g_sink = nullptr;
fs::path g_home;
fs::path g_work;
std::vector<char*> g_argv;
std::string g_artifactFlag;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  g_home = fs::current_path();
  g_work = fuzzharness::Scratch() + "/work";
  g_sink = std::fopen("/dev/null", "w");
  if (g_sink == nullptr) g_sink = std::tmpfile();
  // A run works in the scratch folder, where a crash inside it would also
  // leave its input; unless told otherwise, keep crashing inputs here.
  g_argv.assign(*argv, *argv + *argc);
  bool prefixGiven = false;
  for (char* arg : g_argv) prefixGiven = prefixGiven || std::strncmp(arg, "-artifact_prefix=", 17) == 0;
  if (!prefixGiven) {
    g_artifactFlag = "-artifact_prefix=" + (g_home / "").string();
    g_argv.insert(g_argv.begin() + 1, g_artifactFlag.data());
  }
  g_argv.push_back(nullptr);
  *argc = static_cast<int>(g_argv.size()) - 1;
  *argv = g_argv.data();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzcheck::Checks checks;  // the image and buffers every input reuses
  const std::string path = fuzzharness::WriteInput(data, size);
  // The files of a run go to the scratch folder; corpus paths stay relative
  // to where the fuzzer was started.
  fs::current_path(g_work);
  checks.ExerciseRun(FUZZ_CATALOGUE, path, fuzzcheck::DiskArgument(data, size), g_sink);
  fs::current_path(g_home);
  return 0;
}
