// A whole program run on arbitrary bytes as its image, in-process.  Built
// once per catalogue: FUZZ_CATALOGUE_HEADER names the header and
// FUZZ_CATALOGUE the catalogue constant.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "checks.h"
#include "harness.h"
#include FUZZ_CATALOGUE_HEADER

namespace {
std::FILE* g_sink = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Every run writes its files into the same scratch folder.
  if (chdir((fuzzharness::Scratch() + "/work").c_str()) != 0) {
    std::perror("chdir");
    std::abort();
  }
  g_sink = std::fopen("/dev/null", "w");
  if (g_sink == nullptr) g_sink = std::tmpfile();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzharness::WriteInput(data, size);
  fuzzcheck::ExerciseRun(FUZZ_CATALOGUE, path, fuzzcheck::DiskArgument(data, size), g_sink);
  return 0;
}
