// On-disk layout of an MFI flux dump.  All numbers are little-endian.
//
//   Header (32 bytes)
//   +0x00  16  "MAMEFLOPPYIMAGE\0", or "MESSFLOPPYIMAGE\0" (older cells)
//   +0x10   4  cylinders in the low 30 bits; the top 2 bits the step:
//              0 whole, 1 half, 2 quarter cylinders
//   +0x14   4  heads (1 or 2)
//   +0x18   4  form factor, +0x1C 4 variant (informational)
//   +0x20  16 each  track entries, cylinder by cylinder (every step), head
//              by head within: u32 file offset, u32 compressed size, u32
//              size after inflating (0: unformatted), u32 write splice
//
//   Track: a zlib stream inflating to 32-bit words, type in the top 4 bits
//   and a value in the low 28.  One track is one turn from the index,
//   200,000,000 units long whatever the speed.
//   MAMEFLOPPYIMAGE: the value is the distance from the previous word's
//   position; type 0 a flux transition there, 1-3 the start of an
//   unmagnetised or damaged zone and the end of one (no transitions).
//   MESSFLOPPYIMAGE: the value is a cell's length; types 0 and 1 are the
//   two magnetic orientations (a transition where they change), 2 and 3
//   neutral and damaged cells.
#ifndef CONTAINERS_MFI_FORMAT_H
#define CONTAINERS_MFI_FORMAT_H

#include <cstdint>

namespace containers {
namespace mfi {

constexpr int kMagicLength = 16;
constexpr char kMagicNew[kMagicLength] = {'M', 'A', 'M', 'E', 'F', 'L', 'O', 'P',
                                          'P', 'Y', 'I', 'M', 'A', 'G', 'E', '\0'};
constexpr char kMagicOld[kMagicLength] = {'M', 'E', 'S', 'S', 'F', 'L', 'O', 'P',
                                          'P', 'Y', 'I', 'M', 'A', 'G', 'E', '\0'};
constexpr int kCylindersOffset = 0x10;
constexpr int kHeadsOffset = 0x14;
constexpr int kFormFactorOffset = 0x18;
constexpr int kVariantOffset = 0x1C;
constexpr int kHeaderSize = 0x20;

constexpr int kEntrySize = 16;
constexpr int kEntryOffset = 0;
constexpr int kEntryCompressed = 4;
constexpr int kEntryInflated = 8;
constexpr int kEntrySplice = 12;

constexpr uint32_t kCylinderMask = 0x3FFFFFFF;
constexpr int kStepShift = 30;
constexpr uint32_t kMaxCylinders = 84;
constexpr uint32_t kMaxStep = 2;  // quarter cylinders
constexpr uint32_t kMaxHeads = 2;

constexpr int kTypeShift = 28;
constexpr uint32_t kValueMask = 0x0FFFFFFF;
constexpr uint32_t kFlux = 0;          // MAMEFLOPPYIMAGE
constexpr uint32_t kOrientationA = 0;  // MESSFLOPPYIMAGE
constexpr uint32_t kOrientationB = 1;

constexpr uint32_t kTurn = 200000000;  // units in one turn
// No track inflates to more: a quarter of a million transitions, more than
// a turn of an extra-density disk holds (some 200,000).
constexpr uint32_t kLargestTrack = 1u << 20;

}  // namespace mfi
}  // namespace containers

#endif  // CONTAINERS_MFI_FORMAT_H
