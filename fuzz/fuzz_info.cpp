// d88info on arbitrary bytes as its image, in-process, over every catalogue
// of the build: the text listing and the JSON document of every sector.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "checks.h"
#include "fuzz_catalogues.h"
#include "harness.h"

namespace {

const cut::Catalogue* g_catalogues[sizeof fuzzcat::kCatalogues / sizeof fuzzcat::kCatalogues[0]];
std::FILE* g_sink = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (size_t i = 0; i < sizeof g_catalogues / sizeof g_catalogues[0]; ++i) {
    g_catalogues[i] = fuzzcat::kCatalogues[i].catalogue;
  }
  g_sink = std::fopen("/dev/null", "w");
  if (g_sink == nullptr) g_sink = std::tmpfile();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzcheck::Checks checks;  // the image and buffers every input reuses
  // Reading a document back costs several times writing it, so one input in
  // eight, chosen by size so that an input always takes the same way, is
  // read back; every input is listed both ways.
  const bool readBack = (static_cast<uint32_t>(size) * 0x9E3779B1u) >> 29 == 0;
  checks.ExerciseInfo(g_catalogues, fuzzharness::WriteInput(data, size), g_sink, readBack);
  return 0;
}
