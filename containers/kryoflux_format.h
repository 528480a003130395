// On-disk layout of a KryoFlux stream file: one track of a dump, named
// <prefix><cylinder, 2 digits>.<head>.raw, a run of blocks told apart by
// their first byte.  Multi-byte numbers are little-endian except the
// 16-bit interval of a Flux3 block.
//
//   first byte   block    length     meaning
//   0x00-0x07    Flux2    2          interval (first byte << 8) + second byte
//   0x08         Nop1     1          nothing
//   0x09         Nop2     2          nothing
//   0x0A         Nop3     3          nothing
//   0x0B         Ovl16    1          adds 65,536 to the next interval
//   0x0C         Flux3    3          interval = next two bytes, big-endian
//   0x0D         OOB      4 + size   out-of-band block, below
//   0x0E-0xFF    Flux1    1          interval = the byte
//
//   OOB block: +0 0x0D, +1 type, +2 u16 payload size, +4 payload
//   type 1 StreamInfo (8): u32 stream position, u32 transfer time
//   type 2 Index      (12): u32 stream position, u32 sample counter,
//                           u32 index counter
//   type 3 StreamEnd  (8): u32 stream position, u32 result code
//   type 4 KFInfo     (n): "name=value, ..." text, NUL-terminated
//   type 0x0D EOF: its size field is no size; the stream ends here
//
// The stream position counts the bytes of every block that is not OOB.
// Intervals are in sample clock ticks (sck, 24.03 MHz unless KFInfo says
// "sck="); the index counter runs at ick (sck / 8 unless "ick=").
#ifndef CONTAINERS_KRYOFLUX_FORMAT_H
#define CONTAINERS_KRYOFLUX_FORMAT_H

#include <cstdint>

namespace containers {
namespace kryoflux {

constexpr uint8_t kFlux2Last = 0x07;
constexpr uint8_t kNop1 = 0x08;
constexpr uint8_t kNop2 = 0x09;
constexpr uint8_t kNop3 = 0x0A;
constexpr uint8_t kOvl16 = 0x0B;
constexpr uint8_t kFlux3 = 0x0C;
constexpr uint8_t kOob = 0x0D;
constexpr uint8_t kFlux1First = 0x0E;
constexpr uint32_t kOverflow = 65536;

constexpr int kOobHeaderSize = 4;
constexpr int kOobTypeOffset = 1;
constexpr int kOobSizeOffset = 2;

constexpr uint8_t kStreamInfo = 0x01;
constexpr uint8_t kIndex = 0x02;
constexpr uint8_t kStreamEnd = 0x03;
constexpr uint8_t kInfo = 0x04;
constexpr uint8_t kEof = 0x0D;

constexpr int kStreamInfoSize = 8;
constexpr int kIndexSize = 12;
constexpr int kStreamEndSize = 8;
constexpr int kPositionOffset = 0;       // in StreamInfo, Index, StreamEnd
constexpr int kSampleCounterOffset = 4;  // in Index
constexpr int kIndexCounterOffset = 8;   // in Index
constexpr int kResultOffset = 4;         // in StreamEnd

// The board's clocks: master 18.432 MHz x 73 / 14 / 2, samples at half of
// it, the index counter at an eighth of the samples.
constexpr double kMasterClock = 18432000.0 * 73 / 14 / 2;
constexpr double kSampleClock = kMasterClock / 2;
constexpr double kIndexClock = kSampleClock / 8;
// Clocks a KFInfo text may name and be believed.
constexpr double kLowestSampleClock = 4e6;
constexpr double kLowestIndexClock = 0.5e6;
constexpr double kHighestClock = 250e6;

// "track00.0.raw": two digits, a dot, the head, ".raw".
constexpr char kSuffix[] = ".raw";
constexpr int kSuffixLength = 4;
constexpr int kNameTailLength = 4 + kSuffixLength;  // "NN.S" + ".raw"

}  // namespace kryoflux
}  // namespace containers

#endif  // CONTAINERS_KRYOFLUX_FORMAT_H
