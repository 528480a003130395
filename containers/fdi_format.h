// On-disk layout of an Anex86 FDI floppy image.
//
// A header of `headersize` bytes (4096 in every file seen; only its first
// 32 are fields, the rest zeros), then the sectors of a uniform geometry
// in C/H/R order with no gaps.  No sector IDs, no FM, no flags.  All
// numbers are little-endian 32-bit.
//
//   +0x00  4  zero
//   +0x04  4  device type (0x90 2HD, 0x30 1.44 MB, 0x10/0x70 2DD, 0x50 2D;
//             the 0x80 bit may be set on the last three)
//   +0x08  4  header size: where the sectors start
//   +0x0C  4  data size: sector size x sectors x surfaces x cylinders
//   +0x10  4  sector size in bytes
//   +0x14  4  sectors per track
//   +0x18  4  surfaces (heads)
//   +0x1C  4  cylinders
//
// Anex86 hard-disk images (HDI) share this header with 4 or 8 heads and
// hundreds of cylinders; the ranges below keep them out.
#ifndef CONTAINERS_FDI_FORMAT_H
#define CONTAINERS_FDI_FORMAT_H

#include <cstddef>

namespace containers {
namespace fdi {

constexpr size_t kZeroOffset = 0x00;
constexpr size_t kTypeOffset = 0x04;
constexpr size_t kHeaderSizeOffset = 0x08;
constexpr size_t kDataSizeOffset = 0x0C;
constexpr size_t kSectorSizeOffset = 0x10;
constexpr size_t kSectorsOffset = 0x14;
constexpr size_t kSurfacesOffset = 0x18;
constexpr size_t kCylindersOffset = 0x1C;
constexpr size_t kFieldsSize = 0x20;
static_assert(kCylindersOffset + 4 == kFieldsSize, "the fields end at 0x20");

constexpr size_t kUsualHeaderSize = 4096;

// Floppy ranges: a track of up to 64 sectors of 128..1024 bytes, one or two
// heads, at most 90 cylinders.
constexpr unsigned kMostSectors = 64;
constexpr unsigned kMostSurfaces = 2;
constexpr unsigned kMostCylinders = 90;
constexpr unsigned kLargestSectorSize = 1024;

}  // namespace fdi
}  // namespace containers

#endif  // CONTAINERS_FDI_FORMAT_H
