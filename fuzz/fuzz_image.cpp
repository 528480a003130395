// Arbitrary bytes as an image file, read every way the library allows.
#include <cstddef>
#include <cstdint>

#include "checks.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzcheck::ExerciseImage(fuzzharness::WriteInput(data, size));
  return 0;
}
