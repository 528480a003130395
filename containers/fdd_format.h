// On-disk layout of a Virtual98 FDD image ("VFD1.00").
//
// A fixed table of sector records, one row of 26 per track index (cylinder
// * 2 + head), each pointing at its data anywhere in the file; a sector
// whose bytes are all one value may be stored as that value alone.  All
// numbers are little-endian.
//
//   +0x0000     8  "VFD1.00" or "VFD1.01", zero-terminated
//   +0x0008   128  comment
//   +0x0088     2  write-protect flag (non-zero = protected)
//   +0x008A     2  special-read drive
//   +0x008C    80  reserved
//   +0x00DC  160 x 26 x 12  sector records; C = 0xFF marks an unused one
//   +0xC3DC    32  special-read record (not needed to read sectors)
//   +0xC3FC     -  sector data, reached only through the records
//
//   Sector record (12 bytes)
//   +0 C  +1 H  +2 R  +3 N (size 128 << N)
//   +4 fill byte: 0xFF = data stored; anything else = every byte of the
//      sector has this value
//   +5 deleted-data mark  +6 1 = MFM, 0 = FM  +7 2HD flag
//   +8 u32 file offset of the data; 0xFFFFFFFF (or 0) = not stored
#ifndef CONTAINERS_FDD_FORMAT_H
#define CONTAINERS_FDD_FORMAT_H

#include <cstdint>

namespace containers {
namespace fdd {

constexpr int kMagicLength = 8;
constexpr char kMagic100[kMagicLength + 1] = "VFD1.00";
constexpr char kMagic101[kMagicLength + 1] = "VFD1.01";
constexpr int kCommentOffset = 0x08;
constexpr int kCommentLength = 128;
constexpr int kProtectOffset = 0x88;
constexpr int kTableOffset = 0xDC;

constexpr int kTracks = 160;
constexpr int kSlots = 26;
constexpr int kRecordSize = 12;
constexpr int kTableEnd = kTableOffset + kTracks * kSlots * kRecordSize;
constexpr int kSpecialReadSize = 32;
constexpr int kDataStart = kTableEnd + kSpecialReadSize;
static_assert(kTableEnd == 0xC3DC && kDataStart == 0xC3FC, "FDD header layout");

constexpr int kRecordC = 0;
constexpr int kRecordH = 1;
constexpr int kRecordR = 2;
constexpr int kRecordN = 3;
constexpr int kRecordFill = 4;
constexpr int kRecordDeleted = 5;
constexpr int kRecordMfm = 6;
constexpr int kRecordHd = 7;
constexpr int kRecordData = 8;
static_assert(kRecordData + 4 == kRecordSize, "the data offset ends a record");

constexpr uint8_t kUnused = 0xFF;   // in C
constexpr uint8_t kStored = 0xFF;   // in the fill byte
constexpr uint32_t kNotStored = 0xFFFFFFFF;
constexpr int kMaxN = 7;

}  // namespace fdd
}  // namespace containers

#endif  // CONTAINERS_FDD_FORMAT_H
