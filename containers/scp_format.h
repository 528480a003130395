// On-disk layout of an SCP flux dump.  All numbers are little-endian except
// the flux samples, which are big-endian.
//
//   File header (16 bytes)
//   +0x00   3  "SCP"
//   +0x03   1  version of the writing software
//   +0x04   1  disk type (no PC-98 value exists; not used)
//   +0x05   1  revolutions recorded per track
//   +0x06   1  first track, +0x07 last track (informational only)
//   +0x08   1  flags: bit 0 set = every track starts at an index pulse
//   +0x09   1  bits per sample: 0 (or 16) = 16-bit samples
//   +0x0A   1  heads: 0 both, 1 head 0 only, 2 head 1 only
//   +0x0B   1  resolution: one tick is 25 ns x (value + 1)
//   +0x0C   4  checksum of every byte from 0x10 on (never trusted)
//   +0x10 4*N  track table: file offsets of the track headers, 0 = absent;
//              up to 168 entries, ending where the first track header starts
//
//   Track header, at each table offset
//   +0   3  "TRK"
//   +3   1  track number (the table index)
//   +4 12*R per revolution: index-to-index time in ticks, samples stored,
//           offset of the samples from the start of this header
//
//   Samples: 16-bit big-endian intervals in ticks; 0 adds 65,536 ticks to
//   the next sample.
//
// Entry i is cylinder i / 2, head i % 2; single-sided dumps use the entries
// of their head, or (older writers) consecutive entries, one per cylinder.
// Optional footer (flag bit 5) and timestamp after the data are not read.
#ifndef CONTAINERS_SCP_FORMAT_H
#define CONTAINERS_SCP_FORMAT_H

#include <cstdint>

namespace containers {
namespace scp {

constexpr char kMagic[] = "SCP";
constexpr int kMagicLength = 3;
constexpr int kRevolutionsOffset = 0x05;
constexpr int kFlagsOffset = 0x08;
constexpr int kSampleBitsOffset = 0x09;
constexpr int kHeadsOffset = 0x0A;
constexpr int kResolutionOffset = 0x0B;
constexpr int kChecksumOffset = 0x0C;
constexpr int kTableOffset = 0x10;
constexpr int kMaxEntries = 168;
constexpr int kHeaderSize = kTableOffset;
static_assert(kChecksumOffset + 4 == kTableOffset, "the checksum ends the file header");

constexpr uint8_t kFlagIndex = 0x01;
constexpr uint8_t kFlagFooter = 0x20;

constexpr char kTrackMagic[] = "TRK";
constexpr int kTrackNumberOffset = 3;
constexpr int kRevolutionTableOffset = 4;
constexpr int kRevolutionEntrySize = 12;
constexpr int kIndexTimeOffset = 0;
constexpr int kSampleCountOffset = 4;
constexpr int kDataOffsetOffset = 8;
static_assert(kDataOffsetOffset + 4 == kRevolutionEntrySize, "the data offset ends an entry");

constexpr double kBaseTickNs = 25.0;
constexpr uint32_t kOverflow = 65536;  // what a zero sample adds

}  // namespace scp
}  // namespace containers

#endif  // CONTAINERS_SCP_FORMAT_H
