// Replays every image and flux dump in tests/regression/ with the checks of
// the fuzz targets; a broken check aborts the test program.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "checks.h"
#include "fuzz_catalogues.h"
#include "support/process.h"

namespace fs = std::filesystem;

namespace {

// Flux dumps by their extension, each replayed through its reader's target.
const std::map<std::string, containers::Kind> kDumps = {{".scp", containers::Kind::kScp},
                                                        {".hfe", containers::Kind::kHfe},
                                                        {".mfi", containers::Kind::kMfi},
                                                        {".raw", containers::Kind::kKryoFlux}};

TEST(Regression, EveryImageFuzzingFoundPassesTheChecks) {
  std::FILE* sink = std::tmpfile();
  ASSERT_NE(sink, nullptr);
  fuzzcheck::Checks checks;
  std::vector<const cut::Catalogue*> all;
  for (const fuzzcat::NamedCatalogue& named : fuzzcat::kCatalogues) all.push_back(named.catalogue);
  cut::Span<const cut::Catalogue*> catalogues;
  catalogues.data = all.data();
  catalogues.count = static_cast<int>(all.size());
  const fs::path before = fs::current_path();
  int images = 0;
  for (const auto& entry : fs::directory_iterator(REGRESSION_DIR)) {
    if (entry.path().extension() == ".flux") {  // one track's flux, as fuzz_flux reads it
      ++images;
      SCOPED_TRACE(entry.path().string());
      const testimg::Bytes bytes = testimg::ReadFile(entry.path().string());
      fuzzcheck::ExerciseFlux(bytes.data(), bytes.size());
      continue;
    }
    const std::string extension = entry.path().extension().string();
    const auto dump = kDumps.find(extension);
    if (extension != ".d88" && dump == kDumps.end()) continue;
    ++images;
    const std::string path = fs::absolute(entry.path()).string();
    SCOPED_TRACE(path);
    if (dump != kDumps.end()) {  // a flux dump: its own reader, then as any file is opened
      const testimg::Bytes bytes = testimg::ReadFile(path);
      checks.ExerciseDump(dump->second, bytes.data(), bytes.size());
      checks.ExerciseContainer(path);
    }
    checks.ExerciseImage(path);
    checks.ExerciseArchive(path);
    checks.ExerciseInfo(catalogues, path, sink, true);
    const testimg::Bytes bytes = testimg::ReadFile(path);
    const std::string diskArgument = fuzzcheck::DiskArgument(bytes.data(), bytes.size());
    for (const fuzzcat::NamedCatalogue& named : fuzzcat::kCatalogues) {
      testimg::ScratchDir work;
      fs::current_path(work.path());
      checks.ExerciseRun(*named.catalogue, path, diskArgument, sink);
      checks.ExerciseRun(*named.catalogue, path, "", sink);
      fs::current_path(before);
    }
    testimg::ScratchDir out;
    testimg::ScratchDir scratch;
    checks.ExerciseCutAll(catalogues, path, out.path(), scratch.path(), sink);
    testimg::ScratchDir converted;
    checks.ExerciseConversion(path, converted / "out.d88", sink);
  }
  std::fclose(sink);
  if (images == 0) GTEST_SKIP() << "no regression images yet";
}

}  // namespace
