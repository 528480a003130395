// Arbitrary bytes as a file every program opens: an archive of images is
// read into the joined image, which is checked and read every way the
// library allows.
#include <cstddef>
#include <cstdint>
#include <string>

#include "checks.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzcheck::Checks checks;  // the image and buffers every input reuses
  checks.ExerciseArchive(fuzzharness::WriteInput(data, size));
  return 0;
}
