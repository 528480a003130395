// Arbitrary bytes as an image file of any container: detected, converted
// and read through the image every way the library allows.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "checks.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzcheck::Checks checks;  // the image and buffers every input reuses
  // The extension decides only between layouts of one size; the input's
  // size picks one, so a seed keeps its own from run to run.
  static const char* const kExtensions[] = {".d88", ".fdi", ".dcu", ".dip",
                                            ".fim", ".ddb", ".hdm", ".nfd"};
  const std::string path = fuzzharness::Scratch() + "/input" + kExtensions[size % 8];
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
  checks.ExerciseContainer(path);
  return 0;
}
