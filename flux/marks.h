// Address marks and how bytes stand in cells, in FM and MFM.
//
// MFM: a byte is 16 cells, clock then data for each bit from the top; a
// clock cell is 1 only between two zero data bits.  The three 0xA1 bytes
// in front of a mark lose one clock (0x44A9 becomes 0x4489), which no run
// of ordinary data can give.
// FM: a byte is 8 clock and 8 data cells interleaved, clock first; the
// clocks are all ones except in a mark (0xC7).  At the MFM rate every FM
// cell is two cells, so an FM byte is 32 of them and one PLL reads both.
#ifndef FLUX_MARKS_H
#define FLUX_MARKS_H

#include <array>
#include <cstdint>

#include "flux/bitstream.h"
#include "flux/flux.h"

namespace flux {

constexpr uint8_t kIdMark = 0xFE;
constexpr uint8_t kDataMark = 0xFB;
constexpr uint8_t kDataMarkAlt = 0xFA;
constexpr uint8_t kDeletedMark = 0xF8;
constexpr uint8_t kDeletedMarkAlt = 0xF9;
constexpr uint8_t kIndexMark = 0xFC;
constexpr uint8_t kFmMarkClock = 0xC7;
constexpr uint8_t kFmIndexClock = 0xD7;
constexpr uint8_t kSyncByte = 0x00;  // the run in front of every mark
constexpr uint8_t kMfmGapByte = 0x4E;
constexpr uint8_t kFmGapByte = 0xFF;

enum class MarkKind : uint8_t { kNone, kId, kData, kDeleted };

constexpr MarkKind KindOfMark(uint8_t mark) {
  return mark == kIdMark                                   ? MarkKind::kId
         : mark == kDataMark || mark == kDataMarkAlt       ? MarkKind::kData
         : mark == kDeletedMark || mark == kDeletedMarkAlt ? MarkKind::kDeleted
                                                           : MarkKind::kNone;
}

constexpr int CellsPerByte(Encoding encoding) { return encoding == Encoding::kFm ? 32 : 16; }

// The 16 cells of an MFM byte after a byte whose last data bit was
// `previousBit`.
constexpr uint16_t MfmCells(uint8_t byte, bool previousBit) {
  uint16_t cells = 0;
  bool previous = previousBit;
  for (int bit = 7; bit >= 0; --bit) {
    const bool data = byte >> bit & 1;
    const bool clock = !previous && !data;
    cells = static_cast<uint16_t>(cells << 2 | clock << 1 | data);
    previous = data;
  }
  return cells;
}
constexpr uint16_t kMfmSyncA1 = 0x4489;  // 0xA1 less the clock between bits 4 and 5
constexpr uint16_t kMfmSyncC2 = 0x5224;  // 0xC2 less the clock between bits 3 and 4
static_assert((MfmCells(0xA1, true) & ~0x0020) == kMfmSyncA1, "A1 sync");
static_assert((MfmCells(0xC2, true) & ~0x0080) == kMfmSyncC2, "C2 sync");
static_assert(MfmCells(kIdMark, true) == 0x5554 && MfmCells(kDataMark, true) == 0x5545 &&
                  MfmCells(kDeletedMark, true) == 0x554A,
              "MFM marks after a sync");
// Two syncs in a row, as the last 32 cells the PLL gave: a mark keeps
// three, and a transition moved in the first of them loses none.
constexpr uint64_t kMfmSyncs = uint64_t{kMfmSyncA1} << 16 | kMfmSyncA1;
constexpr uint64_t kMfmSyncsMask = (uint64_t{1} << 32) - 1;

// The 16 cells of an FM byte with its clock.
constexpr uint16_t FmCells(uint8_t byte, uint8_t clock) {
  uint16_t cells = 0;
  for (int bit = 7; bit >= 0; --bit) {
    cells = static_cast<uint16_t>(cells << 2 | (clock >> bit & 1) << 1 | (byte >> bit & 1));
  }
  return cells;
}
// FM cells at the MFM rate: each one followed by a zero.
constexpr uint32_t Doubled(uint16_t cells) {
  uint32_t doubled = 0;
  for (int bit = 15; bit >= 0; --bit)
    doubled = doubled << 2 | static_cast<uint32_t>(cells >> bit & 1) << 1;
  return doubled;
}
static_assert(Doubled(FmCells(kIdMark, kFmMarkClock)) == 0xAA222AA8 &&
                  Doubled(FmCells(kDataMark, kFmMarkClock)) == 0xAA2228AA &&
                  Doubled(FmCells(kDeletedMark, kFmMarkClock)) == 0xAA222888 &&
                  Doubled(FmCells(kIndexMark, kFmIndexClock)) == 0xAA2A2A88,
              "FM marks at the MFM rate");
// An FM sync byte and the first 21 cells of an ID or data mark (those all
// share; the 21st is a one, so the PLL sees the pattern end as it gives
// that one): the last 53 cells the PLL gave.
constexpr int kFmPrefixCells = 21;
constexpr uint64_t kFmSyncAndMark =
    uint64_t{Doubled(FmCells(kSyncByte, 0xFF))} << 32 | Doubled(FmCells(kIdMark, kFmMarkClock));
constexpr uint64_t kFmPrefix = kFmSyncAndMark >> (32 - kFmPrefixCells);
constexpr uint64_t kFmPrefixMask = (uint64_t{1} << (32 + kFmPrefixCells)) - 1;
static_assert((kFmPrefix & 1) == 1, "the prefix ends in a transition");
static_assert(((uint64_t{Doubled(FmCells(kSyncByte, 0xFF))} << 32 |
                Doubled(FmCells(kDeletedMarkAlt, kFmMarkClock))) >>
               (32 - kFmPrefixCells)) == kFmPrefix,
              "every FM ID and data mark shares the prefix");
// Both patterns take at least the last 32 cells, so those alone can rule
// a pattern out.
static_assert((kMfmSyncsMask & 0xFFFFFFFF) == 0xFFFFFFFF && (kFmPrefixMask & 0xFFFFFFFF) == 0xFFFFFFFF,
              "the patterns' masks cover their low 32 cells");

namespace detail {
// Cells 1, 3, 5, 7 (from the top) of eight: the data bits of MFM.
constexpr std::array<uint8_t, 256> MakeOddCells() {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[c] = static_cast<uint8_t>((c >> 3 & 8) | (c >> 2 & 4) | (c >> 1 & 2) | (c & 1));
  return t;
}
// Cells 2 and 6 (data) or 0 and 4 (clock) of eight: doubled FM.
constexpr std::array<uint8_t, 256> MakeFmCells(int first) {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[c] = static_cast<uint8_t>((c >> (7 - first) & 1) << 1 | (c >> (3 - first) & 1));
  return t;
}
inline constexpr std::array<uint8_t, 256> kOddCells = MakeOddCells();
inline constexpr std::array<uint8_t, 256> kFmData = MakeFmCells(2);
inline constexpr std::array<uint8_t, 256> kFmClock = MakeFmCells(0);
}  // namespace detail

// The data of the MFM byte whose 16 cells are the top of `cells`.
inline uint8_t MfmByte(uint64_t cells) {
  return static_cast<uint8_t>(detail::kOddCells[cells >> 56] << 4 |
                              detail::kOddCells[cells >> 48 & 0xFF]);
}
// The data and clock of the doubled FM byte whose 32 cells are the top of
// `cells`.
inline uint8_t FmByte(uint64_t cells) {
  uint8_t byte = 0;
  for (int shift = 56; shift >= 32; shift -= 8)
    byte = static_cast<uint8_t>(byte << 2 | detail::kFmData[cells >> shift & 0xFF]);
  return byte;
}
inline uint8_t FmClock(uint64_t cells) {
  uint8_t clock = 0;
  for (int shift = 56; shift >= 32; shift -= 8)
    clock = static_cast<uint8_t>(clock << 2 | detail::kFmClock[cells >> shift & 0xFF]);
  return clock;
}

}  // namespace flux

#endif  // FLUX_MARKS_H
