// Arbitrary bytes as an image given to d88conv, in-process: it refuses the
// image or writes a D88 that reads back as the image does.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "checks.h"
#include "harness.h"

namespace {
std::FILE* g_sink = nullptr;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzcheck::Checks checks;  // the image and buffers every input reuses
  if (g_sink == nullptr) g_sink = std::fopen("/dev/null", "w");
  if (g_sink == nullptr) g_sink = std::tmpfile();
  checks.ExerciseConversion(fuzzharness::WriteInput(data, size),
                                fuzzharness::Scratch() + "/work/out.d88", g_sink);
  return 0;
}
