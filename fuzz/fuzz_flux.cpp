// Arbitrary bytes as one track's flux (see flux_bytes.h), decoded and
// assembled into a disk.
#include <cstddef>
#include <cstdint>

#include "checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzcheck::ExerciseFlux(data, size);
  return 0;
}
