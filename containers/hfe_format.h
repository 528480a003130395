// On-disk layout of an HFE bitstream dump, versions 1 ("HXCPICFE") and 3
// ("HXCHFEV3").  Everything lies in 512-byte blocks; numbers are
// little-endian.
//
//   Header (block 0; unused bytes 0xFF)
//   +0x00  8  "HXCPICFE" or "HXCHFEV3"
//   +0x08  1  format revision (0; 1 seen too)
//   +0x09  1  cylinders
//   +0x0A  1  heads (1 or 2)
//   +0x0B  1  track encoding (0 MFM, 2 FM, ...; informational)
//   +0x0C  2  data rate in kbit/s: cells run at twice this
//   +0x0E  2  rpm (informational, often 0)
//   +0x10  1  interface mode (informational)
//   +0x11  1  unused
//   +0x12  2  track list offset, in blocks
//   +0x14  1  write allowed
//   +0x15  1  single step: 0xFF single, 0x00 double (informational)
//   +0x16  1  track 0 head 0 alternate encoding: 0x00 = use +0x17
//   +0x17  1  track 0 head 0 encoding
//   +0x18  1  track 0 head 1 alternate encoding: 0x00 = use +0x19
//   +0x19  1  track 0 head 1 encoding
//
//   Track list: per cylinder u16 first block, u16 length in bytes of both
//   heads together.  Track data: in each block bytes 0-255 are head 0's,
//   256-511 head 1's.  Every byte holds 8 cells, the earliest in bit 0; a
//   1 is a flux transition.  FM is stored at the MFM cell rate, each FM
//   cell as two.
//
//   Version 3: a byte whose bit-reversed value is 0xF0-0xF4 is an opcode:
//   0xF0 nothing, 0xF1 the index, 0xF2 + 1 byte: cells of that many 36 MHz
//   ticks from here on, 0xF3 + 1 byte n (1-7): the next byte gives only its
//   last 8 - n cells, 0xF4: 8 weak (random) cells.  Operands are
//   bit-reversed too.
#ifndef CONTAINERS_HFE_FORMAT_H
#define CONTAINERS_HFE_FORMAT_H

#include <cstdint>

namespace containers {
namespace hfe {

constexpr int kBlockSize = 512;
constexpr int kHeadBytes = 256;  // of each block, per head
constexpr int kMagicLength = 8;
constexpr char kMagicV1[kMagicLength + 1] = "HXCPICFE";
constexpr char kMagicV3[kMagicLength + 1] = "HXCHFEV3";

constexpr int kRevisionOffset = 0x08;
constexpr int kCylindersOffset = 0x09;
constexpr int kHeadsOffset = 0x0A;
constexpr int kEncodingOffset = 0x0B;
constexpr int kRateOffset = 0x0C;
constexpr int kRpmOffset = 0x0E;
constexpr int kInterfaceOffset = 0x10;
constexpr int kTrackListOffset = 0x12;
constexpr int kWriteAllowedOffset = 0x14;
constexpr int kSingleStepOffset = 0x15;
constexpr int kTrack0Head0AltOffset = 0x16;
constexpr int kTrack0Head0EncodingOffset = 0x17;
constexpr int kTrack0Head1AltOffset = 0x18;
constexpr int kTrack0Head1EncodingOffset = 0x19;
constexpr int kHeaderEnd = 0x1A;

constexpr int kTrackEntrySize = 4;
constexpr int kTrackBlockOffset = 0;
constexpr int kTrackLengthOffset = 2;

constexpr uint8_t kMaxRevision = 1;
constexpr uint8_t kEncodingMfm = 0x00;
constexpr uint8_t kEncodingFm = 0x02;
constexpr uint8_t kAltEncodingUsed = 0x00;
constexpr uint8_t kUnused = 0xFF;
constexpr uint32_t kVariableRate = 0xFFFF;

// Version 3 opcodes, as read MSB first (the file stores them reversed).
constexpr uint8_t kOpcodeMask = 0xF0;
constexpr uint8_t kNop = 0xF0;
constexpr uint8_t kSetIndex = 0xF1;
constexpr uint8_t kSetRate = 0xF2;
constexpr uint8_t kSkipBits = 0xF3;
constexpr uint8_t kRandom = 0xF4;
constexpr double kOpcodeClock = 36e6;  // SETBITRATE counts its ticks
// Weak cells read as this pattern (transitions two cells apart), so a
// sector holding them keeps its bad CRC.
constexpr uint8_t kWeakCells = 0x54;

}  // namespace hfe
}  // namespace containers

#endif  // CONTAINERS_HFE_FORMAT_H
