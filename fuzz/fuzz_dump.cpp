// Arbitrary bytes as a flux dump file of one layout (FUZZ_DUMP_KIND), read
// by that layout's own reader, decoded and written as D88.
#include <cstddef>
#include <cstdint>

#include "checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzcheck::Checks checks;  // the image and buffers every input reuses
  checks.ExerciseDump(containers::Kind::FUZZ_DUMP_KIND, data, size);
  return 0;
}
