#include "d88/d88_image.h"

#include <climits>
#include <cstring>

namespace d88 {

namespace {

// A track offset with the top bit set cannot belong to any disk whose
// position fits 31 bits; such a track is taken as absent.
constexpr uint32_t kLargestTrackOffset = 0x7FFFFFFF;
constexpr long long kLargestScanPosition = INT32_MAX;

}  // namespace

D88Image::D88Image()
    : imageFile(nullptr),
      currentDisk(-1),
      diskCount(0),
      firstSector(1),
      lastSector(16),
      diskOffsets(),
      diskSize(0),
      diskOffset(0),
      trackOffsets(),
      mediaType(-1),
      writeProtect(0),
      diskName() {}

D88Image::~D88Image() {
  if (imageFile != nullptr) std::fclose(imageFile);
}

bool D88Image::Open(const char* path) {
  // A second Open must not leak the stream of the first.
  if (imageFile != nullptr) {
    std::fclose(imageFile);
    imageFile = nullptr;
  }
  if (path == nullptr) {
    diskCount = 0;
    currentDisk = -1;
    mediaType = -1;
    return true;
  }
  imageFile = std::fopen(path, "rb");
  if (imageFile == nullptr) return false;

  long long position = 0;
  diskCount = 0;
  while (diskCount < kMaxDisks) {
    diskOffsets[diskCount] = static_cast<int32_t>(position);
    DiskHeader header;
    if (!SeekTo(position) || !ReadExact(header.bytes, kDiskHeaderSize)) {
      // Something that cannot be read at all (a folder, say) is no image.
      if (diskCount == 0 && std::ferror(imageFile)) {
        std::fclose(imageFile);
        imageFile = nullptr;
        return false;
      }
      break;
    }
    ++diskCount;
    const uint32_t size = header.DiskSize();
    // A disk smaller than its own header would put the next header inside
    // it (or, at size 0, on itself): it is the last disk of the chain.
    if (size < static_cast<uint32_t>(kDiskHeaderSize)) break;
    position += size;
    if (position > kLargestScanPosition) break;
  }
  return true;
}

void D88Image::ResetSelection() {
  diskOffset = -1;
  currentDisk = -1;
  mediaType = -1;
  writeProtect = 0;
  diskSize = 0;
  diskName[0] = '\0';
}

bool D88Image::SelectDisk(int index) {
  if (imageFile == nullptr) return false;
  ResetSelection();
  if (index < 0 || index >= diskCount) return false;

  DiskHeader header;
  if (!SeekTo(diskOffsets[index]) ||
      !ReadExact(header.bytes, kDiskHeaderSize)) {
    return false;  // the file changed under us; stay unselected
  }
  diskOffset = diskOffsets[index];
  for (int t = 0; t < kTrackCount; ++t) trackOffsets[t] = header.TrackOffset(t);
  mediaType = header.MediaType();
  writeProtect = header.WriteProtect();
  diskSize = header.DiskSize();
  // The name ends at its first zero byte; the rest of the 16 is zeroed.
  std::memset(diskName, 0, kDiskNameLength);
  for (int i = 0; i < kDiskNameLength; ++i) {
    const uint8_t byte = header.bytes[kDiskNameOffset + i];
    if (byte == 0) break;
    diskName[i] = static_cast<char>(byte);
  }
  currentDisk = index;
  return true;
}

void D88Image::SetSectorRange(int first, int last) {
  firstSector = first;
  lastSector = last;
}

long long D88Image::DiskPosition(int index) const {
  if (index < 0 || index >= diskCount) return -1;
  return diskOffsets[index];
}

uint32_t D88Image::TrackOffset(int track) const {
  if (track < 0 || track >= kTrackCount || diskSize == 0) return 0;
  return trackOffsets[track];
}

// Seeks in steps that fit a long, which is 32 bits on some systems.
bool D88Image::SeekTo(long long position) {
  if (std::fseek(imageFile, 0, SEEK_SET) != 0) return false;
  while (position > 0) {
    const long step = position > LONG_MAX ? LONG_MAX : static_cast<long>(position);
    if (std::fseek(imageFile, step, SEEK_CUR) != 0) return false;
    position -= step;
  }
  return true;
}

bool D88Image::ReadExact(void* to, int length) {
  return std::fread(to, 1, static_cast<size_t>(length), imageFile) ==
         static_cast<size_t>(length);
}

// The guard every track walk passes first; on success the stream stands at
// the track's first sector header.
bool D88Image::StartTrack(int track) {
  if (imageFile == nullptr) return false;
  if (track < 0 || track >= kTrackCount) return false;
  const uint32_t offset = trackOffsets[track];
  if (offset == 0 || offset > kLargestTrackOffset) return false;
  if (offset > diskSize) return false;  // an offset equal to the size passes
  return SeekTo(static_cast<long long>(diskOffset) + offset);
}

int D88Image::ReadSector(int track, int c, int h, int r, int n,
                         uint8_t* buffer, int maxLength) {
  if (!StartTrack(track)) return 0;
  for (int position = 1; position <= kMaxHeadersPerTrack; ++position) {
    SectorHeader header;
    if (!ReadExact(header.bytes, kSectorHeaderSize)) return 0;
    const int count = header.SectorCount();
    if (count == 0) return 0;  // never a match, even with the right identity
    if (header.C() == c && header.H() == h && header.R() == r &&
        header.N() == n) {
      const int length =
          header.DataLength() < maxLength ? header.DataLength() : maxLength;
      if (length <= 0) return 0;
      // What the file really delivered: a sector cut by the end of the
      // file is a short sector.
      return static_cast<int>(
          std::fread(buffer, 1, static_cast<size_t>(length), imageFile));
    }
    if (std::fseek(imageFile, header.DataLength(), SEEK_CUR) != 0) return 0;
    if (position == count) return 0;
  }
  return 0;
}

int D88Image::ReadSectors(int track, int c, int h, int r, int n,
                          uint8_t* buffer, int length) {
  if (n < 0 || n > 255) return 0;  // no sector has such a size code
  // Data lengths are 16-bit, so any piece of 65,536 bytes or more comes up
  // short exactly as a larger one would.
  int piece = n >= 9 ? 65536 : 128 << n;
  int total = 0;
  while (total < length) {
    if (length - total < piece) piece = length - total;
    if (ReadSector(track, c, h, r, n, buffer + total, piece) < piece) {
      return total;
    }
    total += piece;
    if (r == lastSector) {
      ++track;
      if (h == 0) {
        h = 1;
      } else {
        h = 0;
        ++c;
      }
      r = firstSector;
    } else {
      ++r;
    }
  }
  return total;
}

int D88Image::ListSectorIds(int track, uint8_t* out, int maxLength) {
  if (!StartTrack(track)) return 0;
  int written = 0;
  for (int position = 1; position <= kMaxHeadersPerTrack; ++position) {
    if (written + 4 > maxLength) break;
    SectorHeader header;
    if (!ReadExact(header.bytes, kSectorHeaderSize)) break;
    const int count = header.SectorCount();
    if (count == 0) break;  // a track of no sectors lists none
    std::memcpy(out + written, header.bytes + kSectorCOffset, 4);
    written += 4;
    if (std::fseek(imageFile, header.DataLength(), SEEK_CUR) != 0) break;
    if (position == count) break;
  }
  return written;
}

int D88Image::ListDataLengths(int track, int* out, int maxCount) {
  if (!StartTrack(track)) return 0;
  int written = 0;
  for (int position = 1; position <= kMaxHeadersPerTrack; ++position) {
    if (written >= maxCount) break;
    SectorHeader header;
    if (!ReadExact(header.bytes, kSectorHeaderSize)) break;
    const int count = header.SectorCount();
    if (count == 0) break;
    out[written++] = header.DataLength();
    if (std::fseek(imageFile, header.DataLength(), SEEK_CUR) != 0) break;
    if (position == count) break;
  }
  return written;
}

}  // namespace d88
