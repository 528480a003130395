// How the fs fuzz target reads its input, shared with the seed writer:
// the first byte picks a mode, the rest is a volume's bytes on that
// mode's geometry (zeros where the input ends), or a hard-disk image.
#ifndef FUZZ_FS_INPUT_H
#define FUZZ_FS_INPUT_H

#include <cstdint>

namespace fuzzfs {

enum Mode : uint8_t {
  kFat2hd,
  kFat2dd640,
  kFat2dd720,
  kFat2hc,
  kFat144,
  kN882d,
  kN882dd,
  kN882hd,
  kHardDisk,
  kModeCount
};

struct Shape {
  int cylinders, heads, sectorsPerTrack, sectorSize;
  int firstTrackSectors, firstTrackSectorSize;  // 0: track 0 like the rest
  // Where in the volume the input's bytes start: N88 inputs begin at the
  // system track, so that a short input reaches its directory and FAT.
  uint64_t inputAt;
};

constexpr Shape kShapes[kHardDisk] = {
    {77, 2, 8, 1024, 0, 0, 0},
    {80, 2, 8, 512, 0, 0, 0},
    {80, 2, 9, 512, 0, 0, 0},
    {80, 2, 15, 512, 0, 0, 0},
    {80, 2, 18, 512, 0, 0, 0},
    {40, 2, 16, 256, 0, 0, uint64_t{18 * 2 + 1} * 16 * 256},
    {80, 2, 16, 256, 0, 0, uint64_t{40 * 2} * 16 * 256},
    {77, 2, 26, 256, 26, 128, uint64_t{35 * 2} * 26 * 256},
};

}  // namespace fuzzfs

#endif  // FUZZ_FS_INPUT_H
