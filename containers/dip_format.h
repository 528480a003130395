// On-disk layout of a DIP floppy image.
//
//   +0x000    8  signature 01 08 00 13 41 00 01 00
//   +0x008    8  zeros
//   +0x010  240  comment (text, often ending in CR LF, not terminated)
//   +0x100       the sectors of a 77x2x8x1024 disk in C/H/R order
//
// The only layout ever seen is the 1.25 MB 2HD one; there are no sector
// IDs, FM tracks or flags.
#ifndef CONTAINERS_DIP_FORMAT_H
#define CONTAINERS_DIP_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace containers {
namespace dip {

constexpr uint8_t kSignature[8] = {0x01, 0x08, 0x00, 0x13, 0x41, 0x00, 0x01, 0x00};
constexpr size_t kSignatureOffset = 0x000;
constexpr size_t kCommentOffset = 0x010;
constexpr size_t kCommentLength = 240;
constexpr size_t kDataOffset = 0x100;
static_assert(kCommentOffset + kCommentLength == kDataOffset, "the comment ends the header");

constexpr int kCylinders = 77;
constexpr int kHeads = 2;
constexpr int kSectors = 8;
constexpr int kSectorSize = 1024;
constexpr size_t kFileSize = kDataOffset + static_cast<size_t>(kCylinders) * kHeads * kSectors * kSectorSize;
static_assert(kFileSize == 1261824, "a DIP file is 1,261,824 bytes");

}  // namespace dip
}  // namespace containers

#endif  // CONTAINERS_DIP_FORMAT_H
