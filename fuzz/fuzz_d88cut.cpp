// Arbitrary bytes as an image given to d88cut with every catalogue of the
// build, in-process: each disk's folder holds what its program writes for
// that disk alone.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "checks.h"
#include "fuzz_catalogues.h"
#include "harness.h"

namespace {
std::FILE* g_sink = nullptr;
std::vector<const cut::Catalogue*> g_catalogues;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzcheck::Checks checks;  // the image and buffers every input reuses
  if (g_sink == nullptr) g_sink = std::fopen("/dev/null", "w");
  if (g_sink == nullptr) g_sink = std::tmpfile();
  if (g_catalogues.empty()) {
    for (const fuzzcat::NamedCatalogue& named : fuzzcat::kCatalogues) {
      g_catalogues.push_back(named.catalogue);
    }
  }
  cut::Span<const cut::Catalogue*> catalogues;
  catalogues.data = g_catalogues.data();
  catalogues.count = static_cast<int>(g_catalogues.size());
  const std::string path = fuzzharness::WriteInput(data, size);
  const std::string out = fuzzharness::Scratch() + "/work/out";
  const std::string scratch = fuzzharness::Scratch() + "/work/alone";
  std::filesystem::remove_all(out);
  std::filesystem::remove_all(scratch);
  std::filesystem::create_directories(out);
  std::filesystem::create_directories(scratch);
  checks.ExerciseCutAll(catalogues, path, out, scratch, g_sink);
  return 0;
}
