// Any bytes as a file-system volume on one of the floppy geometries, or as
// a hard-disk image whose partitions are then listed: every file of every
// listing read, and what came back held against what the listing said.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fs/hard_disk.h"
#include "fs/listing.h"
#include "fs/volume.h"
#include "fs_input.h"

namespace {

// The input as a floppy volume, zeros past its end.
class InputVolume : public fs::Volume {
 public:
  InputVolume(const uint8_t* data, size_t size, const fuzzfs::Shape& shape)
      : data(data), size(size), shape(shape) {
    geometry.cylinders = shape.cylinders;
    geometry.heads = shape.heads;
    geometry.sectorsPerTrack = shape.sectorsPerTrack;
    geometry.sectorSize = shape.sectorSize;
    geometry.firstTrackSectors = shape.firstTrackSectors;
    geometry.firstTrackSectorSize = shape.firstTrackSectorSize;
  }
  int SectorSize() const override { return shape.sectorSize; }
  uint64_t SectorCount() const override {
    return uint64_t(shape.cylinders) * uint64_t(shape.heads) * uint64_t(shape.sectorsPerTrack);
  }
  bool ReadSector(uint64_t index, uint8_t* buffer) override {
    if (index >= SectorCount()) return false;
    if (shape.firstTrackSectors != 0 && index < uint64_t(shape.sectorsPerTrack)) return false;
    const size_t length = static_cast<size_t>(shape.sectorSize);
    std::memset(buffer, 0, length);
    const uint64_t at = index * length;
    for (size_t i = 0; i < length; ++i) {
      const uint64_t v = at + i;
      if (v >= shape.inputAt && v - shape.inputAt < size) buffer[i] = data[v - shape.inputAt];
    }
    return true;
  }
  const fs::FloppyGeometry* Geometry() const override { return &geometry; }

 private:
  const uint8_t* data;
  size_t size;
  fuzzfs::Shape shape;
  fs::FloppyGeometry geometry;
};

void Check(bool holds) {
  if (!holds) std::abort();
}

// Each read is bounded by the volume, but cross-linked files may each
// read much of it: the whole of an input's reading is capped so that a
// volume of thousands of such files stays quick.
constexpr size_t kReadBudget = size_t{64} << 20;

void ListAndRead(fs::Volume& volume) {
  fs::Listing listing;
  if (!fs::ListVolume(volume, &listing)) {
    Check(listing.entries.empty() && listing.type.empty());
    return;
  }
  const uint64_t volumeBytes = volume.SectorCount() * uint64_t(volume.SectorSize());
  Check(listing.entries.size() <= volumeBytes / 16 + 1);
  std::vector<uint8_t> out;
  size_t budget = kReadBudget;
  for (const fs::Entry& entry : listing.entries) {
    Check(!entry.path.empty());
    // What a read can deliver at most: the entry's size, within the volume.
    const uint64_t cost = entry.size < volumeBytes ? entry.size : volumeBytes;
    if (cost > budget) continue;
    budget -= static_cast<size_t>(cost);
    std::string problem;
    const size_t got = fs::ReadFile(volume, listing, entry, &out, &problem);
    Check(got == out.size() && got <= entry.size);
    Check(entry.isDirectory || got == entry.size || !problem.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0] % fuzzfs::kModeCount;
  ++data, --size;
  if (mode == fuzzfs::kHardDisk) {
    fs::MemoryByteSource source(data, size);
    fs::HardDisk disk;
    if (!fs::ReadHardDisk(source, &disk)) return 0;
    Check(disk.dataOffset <= size);
    for (const fs::Partition& p : disk.partitions) {
      Check(p.offset <= size && p.size <= size - p.offset);
      fs::ByteRangeVolume volume(source, p.offset, p.size, disk.sectorSize);
      ListAndRead(volume);
    }
    return 0;
  }
  InputVolume volume(data, size, fuzzfs::kShapes[mode]);
  ListAndRead(volume);
  return 0;
}
