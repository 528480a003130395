// Writes one sample image per program into the folder it is given:
// <program>.d88, one disk of every kind the program knows, in the order of
// the disk numbers.  The contents are synthetic: the builder's filler,
// which names each sector's place, and the signature bytes taken from the
// catalogue.  Each disk is checked to be taken for its own kind.
//
// Beside them, abcut-1.nfd: abcut's Disk A alone, stored as a T98-Next NFD
// r1 image, for the demo to convert to D88 with d88conv and cut.
#include <cstdio>
#include <string>
#include <vector>

#include "abcut/catalogue.h"
#include "containers/container.h"
#include "cut/run.h"
#include "oabcut/catalogue.h"
#include "support/container_builder.h"
#include "support/d88_builder.h"
#include "support/kind_disk.h"
#include "vorxcut/catalogue.h"

namespace {

const cut::Catalogue* const kCatalogues[] = {&vorxcut::kCatalogue, &abcut::kCatalogue,
                                             &oabcut::kCatalogue};

bool WriteSample(const cut::Catalogue& catalogue, const std::string& folder) {
  std::vector<testimg::Disk> disks;
  for (int number = 1; number <= catalogue.rules.count; ++number) {
    for (const cut::DiskRule& rule : catalogue.rules) {
      if (rule.number == number) disks.push_back(testimg::KindDisk(catalogue, rule));
    }
  }
  const std::string path = folder + "/" + catalogue.program + ".d88";
  if (!testimg::WriteFile(path, testimg::BuildImage(disks))) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return false;
  }
  d88::D88Image image;
  uint8_t probe[cut::kProbeLength];
  bool right = image.Open(path.c_str()) && image.DiskCount() == catalogue.rules.count;
  for (int i = 0; right && i < image.DiskCount(); ++i) {
    image.SelectDisk(i);
    const cut::DiskRule* rule = cut::Recognise(image, catalogue, 0, probe);
    right = rule != nullptr && rule->number == i + 1;
  }
  if (!right) {
    std::fprintf(stderr, "make_samples: %s does not hold one disk of each kind\n", path.c_str());
    return false;
  }
  std::printf("wrote %s: %d disks\n", path.c_str(), image.DiskCount());
  return true;
}

// The first kind of `catalogue` as an NFD r1 image, checked to open as one
// and to be taken for that kind.
bool WriteNfdSample(const cut::Catalogue& catalogue, const std::string& folder) {
  const cut::DiskRule& rule = catalogue.rules.data[0];
  const std::string path =
      folder + "/" + catalogue.program + "-" + std::to_string(rule.number) + ".nfd";
  testimg::Disk disk = testimg::KindDisk(catalogue, rule);
  disk.mediaType = 0x20;  // 26 sectors of 256 bytes a track: a 2HD disk
  if (!testimg::WriteFile(path, testimg::BuildNfdR1(disk))) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return false;
  }
  static d88::D88Image image;
  containers::ImageFile file;
  uint8_t probe[cut::kProbeLength];
  const bool right = file.Open(path.c_str(), image) &&
                     file.GetKind() == containers::Kind::kNfdR1 && image.SelectDisk(0) &&
                     cut::Recognise(image, catalogue, 0, probe) == &rule;
  image.Open(nullptr);
  if (!right) {
    std::fprintf(stderr, "make_samples: %s is not an NFD r1 image of %s's kind %d\n",
                 path.c_str(), catalogue.program, rule.number);
    return false;
  }
  std::printf("wrote %s: 1 disk (NFD r1)\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: make_samples FOLDER\n");
    return 2;
  }
  bool ok = true;
  for (const cut::Catalogue* catalogue : kCatalogues) ok = WriteSample(*catalogue, argv[1]) && ok;
  ok = WriteNfdSample(abcut::kCatalogue, argv[1]) && ok;
  return ok ? 0 : 1;
}
