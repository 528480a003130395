#include "containers/d88_check.h"

#include "d88/d88_format.h"

namespace containers {

namespace {

using d88::kShortHeaderSize;

// No real track holds more sectors than a sector number can name, nor a
// sector longer than size code 7 gives.
constexpr uint32_t kMostSectors = 255;
constexpr uint32_t kLongestSector = 128u << 7;

bool KnownMedia(uint8_t media) {
  return media == d88::kMedia2D || media == d88::kMedia2DD || media == d88::kMedia2HD ||
         media == d88::kMedia1D || media == d88::kMedia1DD || media == d88::kMedia2HD144;
}

// The header size the table's first track proves: 0x2A0 or 0x2B0, or 0
// when no entry among the first 160 is set; anything else is no D88.
uint32_t HeaderSize(const uint8_t* disk, bool* sound) {
  const uint32_t smallest = d88::FirstTrackOffset(
      [&](int t) { return d88::GetU32le(disk + d88::kTrackTableOffset + 4 * t); });
  *sound = smallest == 0 || smallest == kShortHeaderSize ||
           smallest == static_cast<uint32_t>(d88::kDiskHeaderSize);
  return smallest;
}

// The sector headers of the track at `offset` and their data lie within
// `end` bytes of the disk.
bool SoundTrack(const uint8_t* disk, uint32_t offset, uint32_t end) {
  uint32_t at = offset;
  uint32_t count = 0;
  for (uint32_t p = 0; p == 0 || p < count; ++p) {
    if (end - at < static_cast<uint32_t>(d88::kSectorHeaderSize)) return false;
    const uint8_t* header = disk + at;
    const uint32_t thisCount = d88::GetU16le(header + d88::kSectorCountOffset);
    if (p == 0) count = thisCount;
    if (thisCount == 0 || thisCount > kMostSectors) return false;
    const uint32_t length = d88::GetU16le(header + d88::kDataLengthOffset);
    if (length > kLongestSector) return false;
    at += d88::kSectorHeaderSize;
    if (end - at < length) return false;
    at += length;
  }
  return true;
}

// The disk at `disk`, `size` bytes by its size field, is sound.
bool SoundDisk(const uint8_t* disk, uint32_t size) {
  if (!KnownMedia(disk[d88::kMediaTypeOffset])) return false;
  bool sound = false;
  const uint32_t first = HeaderSize(disk, &sound);
  if (!sound) return false;
  // An unformatted disk is its header alone; a formatted one holds its
  // whole table.
  const uint32_t headerSize = first != 0 ? first : size;
  if (headerSize > size) return false;
  if (first == 0 && size != kShortHeaderSize && size != static_cast<uint32_t>(d88::kDiskHeaderSize)) {
    return false;
  }
  const int entries = static_cast<int>((headerSize - d88::kTrackTableOffset) / 4);
  for (int t = 0; t < entries; ++t) {
    const uint32_t offset = d88::GetU32le(disk + d88::kTrackTableOffset + 4 * t);
    if (offset == 0) continue;
    if (!d88::ProgramsReadTrack(offset, size) || offset < headerSize) return false;
    // Unused entries may hold the disk size itself (a track the programs
    // look for after the disk, which a sound image does not use).
    if (offset < size && !SoundTrack(disk, offset, size)) return false;
  }
  return true;
}

}  // namespace

bool IsD88(const uint8_t* file, size_t size, int* disks) {
  size_t position = 0;
  for (int disk = 0; disk < d88::kMaxDisks; ++disk) {
    const size_t left = size - position;
    if (left < kShortHeaderSize) return false;
    const uint32_t diskSize = d88::GetU32le(file + position + d88::kDiskSizeOffset);
    if (diskSize < kShortHeaderSize || diskSize > left) return false;
    if (!SoundDisk(file + position, diskSize)) return false;
    position += diskSize;
    if (position == size) {
      if (disks != nullptr) *disks = disk + 1;
      return true;
    }
  }
  return false;
}

bool LooksLikeD88(const uint8_t* file, size_t size) {
  if (size < static_cast<size_t>(d88::kDiskHeaderSize)) return false;
  if (!KnownMedia(file[d88::kMediaTypeOffset])) return false;
  bool sound = false;
  const uint32_t first = HeaderSize(file, &sound);
  if (!sound || first == 0) return false;
  const uint32_t end = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
  // Only the first sector of the first track: the size field may be wrong,
  // so the track's own length is not known.
  if (end - first < static_cast<uint32_t>(d88::kSectorHeaderSize)) return false;
  const uint8_t* header = file + first;
  const uint32_t count = d88::GetU16le(header + d88::kSectorCountOffset);
  const uint32_t length = d88::GetU16le(header + d88::kDataLengthOffset);
  return count != 0 && count <= kMostSectors && length <= kLongestSector &&
         header[d88::kSectorNOffset] <= 7 &&
         end - first - d88::kSectorHeaderSize >= length;
}

}  // namespace containers
