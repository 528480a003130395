// On-disk layout of a DCP/DCU floppy image.
//
//   +0x00    1  media type (table below)
//   +0x01  160  track map, one byte per track index cylinder * 2 + head:
//               1 = the track is stored, 0 = it is not
//   +0xA1    1  1 = every track of the media is stored, whatever the map says
//   +0xA2       the stored tracks in ascending index order, no gaps; each
//               is sectors x size bytes in R order (media 0x11: track 0 is
//               26 FM sectors of 128 bytes)
//
// No sector IDs, no flags.  X68000 DIM images also start with a media byte
// and a track map but carry "DIFC HEADER  " at 0xAB; they are not DCP.
#ifndef CONTAINERS_DCP_FORMAT_H
#define CONTAINERS_DCP_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace containers {
namespace dcp {

constexpr size_t kMediaOffset = 0x00;
constexpr size_t kMapOffset = 0x01;
constexpr int kMapLength = 160;
constexpr size_t kAllTracksOffset = 0xA1;
constexpr size_t kDataOffset = 0xA2;
static_assert(kMapOffset + kMapLength == kAllTracksOffset, "the map ends at 0xA1");
static_assert(kAllTracksOffset + 1 == kDataOffset, "the tracks start at 0xA2");

constexpr size_t kDimMarkOffset = 0xAB;
constexpr char kDimMark[] = "DIFC HEADER  ";
constexpr size_t kDimMarkLength = sizeof kDimMark - 1;

struct Media {
  uint8_t type;
  int cylinders;       // as most readers take it
  int otherCylinders;  // as another reader takes it (0: none)
  int sectors;
  int sectorSize;
  bool track0Fm;
};

// Two heads on every media.
constexpr int kHeads = 2;
constexpr Media kMedia[] = {
    {0x01, 77, 0, 8, 1024, false},   // 2HD 1.25 MB
    {0x02, 80, 0, 15, 512, false},   // 2HC 1.21 MB
    {0x03, 80, 0, 18, 512, false},   // 2HQ 1.44 MB
    {0x04, 80, 0, 8, 512, false},    // 2DD 640 KB
    {0x05, 80, 0, 9, 512, false},    // 2DD 720 KB
    {0x08, 77, 80, 9, 1024, false},  // 2HD 9 sectors
    {0x11, 77, 0, 26, 256, true},    // N88-BASIC 2HD, FM track 0
    {0x19, 80, 0, 16, 256, false},   // N88-BASIC 2DD
    {0x21, 77, 80, 26, 256, false},  // 2HD 26 sectors
};

constexpr bool MapCovers() {
  for (const Media& m : kMedia) {
    if (m.cylinders * kHeads > kMapLength || m.otherCylinders * kHeads > kMapLength) return false;
  }
  return true;
}
static_assert(MapCovers(), "the map names every track of every media");

}  // namespace dcp
}  // namespace containers

#endif  // CONTAINERS_DCP_FORMAT_H
