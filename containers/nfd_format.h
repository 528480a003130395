// On-disk layout of a T98-Next NFD image, revisions 0 and 1.
//
// Both revisions start with the same header; the data part starts at
// dwHeadSize and holds the sectors' data back to back, in the order the
// header lists them.  All numbers are little-endian.
//
//   Common header (0x120 bytes)
//   +0x000  16  "T98FDDIMAGE.R0" or ".R1", then two zero bytes
//   +0x010 256  comment, zero-terminated (Shift-JIS in practice)
//   +0x110   4  dwHeadSize: where the data part starts
//   +0x114   1  write-protect flag (non-zero = protected)
//   +0x115   1  heads
//   +0x116  10  reserved
//
//   r0: +0x120  163 x 26 sector records, row = track index (cylinder * 2 +
//       head), slot order = stored order; C = 0xFF marks an empty slot.
//       +0x10A00 16 reserved; the data part usually starts at 0x10A10.
//       Data: 128 << N bytes per used record, track 0 slot 0 first.
//
//   r1: +0x120  164 x 4  absolute offset of each track's block; 0 = absent
//       +0x3B0   4  reserved ("additional info"), then 12 reserved
//       Track block: wSector u16, wDiag u16, 12 reserved; then wSector
//       sector records, then wDiag diagnostic-read records.
//       Data, tracks in index order: per sector record 128 << N bytes and
//       byRetry more copies of them; then per diagnostic record
//       dwDataLen x (1 + byRetry) bytes.
//
//   Sector record (16 bytes)        Diagnostic-read record (16 bytes, r1)
//   +0 C  +1 H  +2 R  +3 N          +0 command  +1..4 C H R N
//   +4 1 = MFM, 0 = FM              +5 BIOS result  +6..8 ST0..ST2
//   +5 1 = deleted-data mark        +9 retry copies
//   +6 BIOS result code             +10 u32 bytes transferred
//   +7..9 ST0..ST2                  +14 device type
//   +10 r0: device type; r1: retry copies
//   +11 r1: device type
#ifndef CONTAINERS_NFD_FORMAT_H
#define CONTAINERS_NFD_FORMAT_H

#include <cstdint>

namespace containers {
namespace nfd {

constexpr int kMagicLength = 16;
constexpr char kMagicR0[kMagicLength + 1] = "T98FDDIMAGE.R0\0";
constexpr char kMagicR1[kMagicLength + 1] = "T98FDDIMAGE.R1\0";
constexpr int kCommentOffset = 0x010;
constexpr int kCommentLength = 256;
constexpr int kHeadSizeOffset = 0x110;
constexpr int kProtectOffset = 0x114;
constexpr int kHeadsOffset = 0x115;
constexpr int kCommonHeaderSize = 0x120;
static_assert(kCommentOffset + kCommentLength == kHeadSizeOffset,
              "the comment runs up to dwHeadSize");

constexpr int kRecordSize = 16;
constexpr int kRecordC = 0;
constexpr int kRecordH = 1;
constexpr int kRecordR = 2;
constexpr int kRecordN = 3;
constexpr int kRecordMfm = 4;
constexpr int kRecordDeleted = 5;
constexpr int kRecordStatus = 6;
constexpr int kR0RecordDevice = 10;
constexpr int kR1RecordRetries = 10;
constexpr int kR1RecordDevice = 11;
constexpr uint8_t kEmptySlot = 0xFF;  // in C
constexpr int kMaxN = 7;              // 16 KB, the largest size an FDC reads

constexpr int kR0TableOffset = kCommonHeaderSize;
constexpr int kR0Tracks = 163;
constexpr int kR0Slots = 26;
constexpr int kR0TableEnd = kR0TableOffset + kR0Tracks * kR0Slots * kRecordSize;
constexpr int kR0HeadSize = kR0TableEnd + 16;  // what T98-Next writes
static_assert(kR0TableEnd == 0x10A00 && kR0HeadSize == 0x10A10,
              "r0 table and usual data start");

constexpr int kR1TrackTableOffset = kCommonHeaderSize;
constexpr int kR1Tracks = 164;
constexpr int kR1TableEnd = kR1TrackTableOffset + kR1Tracks * 4;
constexpr int kR1FixedSize = kR1TableEnd + 16;  // where T98-Next puts blocks
static_assert(kR1TableEnd == 0x3B0 && kR1FixedSize == 0x3C0, "r1 fixed part");
constexpr int kBlockHeaderSize = 16;
constexpr int kBlockSectors = 0;
constexpr int kBlockDiags = 2;
// A track holds at most 255 numbered sectors (R is a byte); a larger count
// is not a track.
constexpr uint32_t kMaxBlockRecords = 255;

constexpr int kDiagRetries = 9;
constexpr int kDiagLength = 10;

}  // namespace nfd
}  // namespace containers

#endif  // CONTAINERS_NFD_FORMAT_H
