#include "d88/d88_image.h"

#include <climits>
#include <cstring>

namespace d88 {

namespace {

constexpr long long kLargestScanPosition = INT32_MAX;

}  // namespace

D88Image::D88Image()
    : imageFile(nullptr),
      memory(nullptr),
      memorySize(0),
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
      diskName(),
      nextIndex(0),
      bufferStart(0),
      bufferFill(0) {
  Forget();
}

D88Image::~D88Image() { Close(); }

bool D88Image::Open(const char* path) {
  Forget();
  // A second Open must not leak the stream of the first.
  Close();
  if (path == nullptr) {
    diskCount = 0;
    currentDisk = -1;
    mediaType = -1;
    return true;
  }
  imageFile = std::fopen(path, "rb");
  if (imageFile == nullptr) return false;
  if (!ScanDisks()) {
    Close();
    return false;
  }
  return true;
}

bool D88Image::OpenMemory(const uint8_t* data, size_t size) {
  if (data == nullptr) return false;
  Forget();
  Close();
  memory = data;
  memorySize = size;
  ScanDisks();  // memory has no read errors; short bytes end the chain
  return true;
}

void D88Image::Close() {
  if (imageFile != nullptr) {
    std::fclose(imageFile);
    imageFile = nullptr;
  }
  memory = nullptr;
  memorySize = 0;
}

// The directory is replaced only once the scan has succeeded, so a file
// that cannot be read leaves the earlier one as it was.
bool D88Image::ScanDisks() {
  int32_t offsets[kMaxDisks] = {};
  int count = 0;
  long long position = 0;
  while (count < kMaxDisks) {
    offsets[count] = static_cast<int32_t>(position);
    DiskHeader header;
    if (!ReadWhole(position, header.bytes, kDiskHeaderSize)) {
      // Something that cannot be read at all (a folder, say) is no image.
      if (count == 0 && imageFile != nullptr && std::ferror(imageFile)) return false;
      break;
    }
    ++count;
    const uint32_t size = header.DiskSize();
    // A disk smaller than its own header would put the next header inside
    // it (or, at size 0, on itself): it is the last disk of the chain.
    if (size < static_cast<uint32_t>(kDiskHeaderSize)) break;
    position += size;
    if (position > kLargestScanPosition) break;
  }
  diskCount = count;
  std::memcpy(diskOffsets, offsets, sizeof offsets);
  return true;
}

void D88Image::ResetSelection() {
  Forget();
  diskOffset = -1;
  currentDisk = -1;
  mediaType = -1;
  writeProtect = 0;
  diskSize = 0;
  diskName[0] = '\0';
}

bool D88Image::SelectDisk(int index) {
  if (!IsOpen()) return false;
  ResetSelection();
  if (index < 0 || index >= diskCount) return false;

  DiskHeader header;
  if (!ReadWhole(diskOffsets[index], header.bytes, kDiskHeaderSize)) {
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

// A new selection reads the file afresh.
void D88Image::Forget() {
  for (TrackIndex& index : indexes) index.start = -1;
  nextIndex = 0;
  bufferFill = 0;
}

long long D88Image::DiskPosition(int index) const {
  if (index < 0 || index >= diskCount) return -1;
  return diskOffsets[index];
}

uint32_t D88Image::TrackOffset(int track) const {
  if (track < 0 || track >= kTrackCount || diskSize == 0) return 0;
  return trackOffsets[track];
}

bool D88Image::HasTrack(int track) const {
  const int entries = TableEntries([&](int t) { return TrackOffset(t); });
  return IsTrack(track, entries, TrackOffset(track), diskSize);
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

bool D88Image::ReadWhole(long long position, void* to, int length) {
  if (memory != nullptr) {
    if (position < 0 || length < 0 ||
        static_cast<unsigned long long>(position) > memorySize ||
        static_cast<size_t>(length) > memorySize - static_cast<size_t>(position)) {
      return false;
    }
    std::memcpy(to, memory + position, static_cast<size_t>(length));
    return true;
  }
  return SeekTo(position) && ReadExact(to, length);
}

// The guard every track walk passes first: where the track's first sector
// header stands in the file.
bool D88Image::TrackStart(int track, long long* start) const {
  if (!IsOpen()) return false;
  if (track < 0 || track >= kTrackCount) return false;
  const uint32_t offset = trackOffsets[track];
  if (!ProgramsReadTrack(offset, diskSize)) return false;
  *start = static_cast<long long>(diskOffset) + offset;
  return true;
}

// Copies up to `length` bytes from file position `position` on and returns
// how many the file held there.  Reads go through readBuffer, so a walk over
// a track's headers costs one read a buffer's worth, not one per header.
int D88Image::ReadAt(long long position, uint8_t* to, int length) {
  if (length <= 0) return 0;
  if (memory != nullptr) {
    // Bytes in memory need no buffer: copy what the image holds there.
    if (position < 0 || static_cast<unsigned long long>(position) >= memorySize) return 0;
    const size_t available = memorySize - static_cast<size_t>(position);
    const size_t delivered =
        available < static_cast<size_t>(length) ? available : static_cast<size_t>(length);
    std::memcpy(to, memory + position, delivered);
    return static_cast<int>(delivered);
  }
  const bool held =
      position >= bufferStart && position - bufferStart <= bufferFill - length;
  if (!held) {
    if (length > kReadBufferSize) {
      if (!SeekTo(position)) return 0;
      return static_cast<int>(
          std::fread(to, 1, static_cast<size_t>(length), imageFile));
    }
    bufferStart = position;
    bufferFill = 0;
    if (!SeekTo(position)) return 0;
    bufferFill = static_cast<int>(
        std::fread(readBuffer, 1, kReadBufferSize, imageFile));
  }
  const long long available = bufferStart + bufferFill - position;
  const int delivered = available < length ? static_cast<int>(available) : length;
  if (delivered <= 0) return 0;
  std::memcpy(to, readBuffer + (position - bufferStart),
              static_cast<size_t>(delivered));
  return delivered;
}

// Visits the headers of the track starting at `position` in stored order,
// with the file position of each one's data, until `visit` returns false:
// the layout's one walk over the file's bytes (d88::WalkTrack).
template <typename Visit>
void D88Image::WalkTrack(long long position, Visit visit) {
  d88::WalkTrack(
      position,
      [this](long long at, SectorHeader* header) {
        return ReadAt(at, header->bytes, kSectorHeaderSize) == kSectorHeaderSize;
      },
      visit);
}

// The index of the track at `start` for c/h/n, walking the track only when
// no slot holds it yet; slots are reused oldest first.
const D88Image::TrackIndex& D88Image::IndexFor(long long start, int c, int h,
                                               int n) {
  for (const TrackIndex& index : indexes) {
    if (index.start == start && index.c == c && index.h == h && index.n == n) {
      return index;
    }
  }
  TrackIndex& index = indexes[nextIndex];
  nextIndex = (nextIndex + 1) % kIndexSlots;
  index.start = start;
  index.c = c;
  index.h = h;
  index.n = n;
  for (long long& data : index.dataPosition) data = -1;
  WalkTrack(start, [&](const SectorHeader& header, long long data) {
    const int r = header.R();
    // The first sector of an identity wins; later ones are never reached.
    if (header.C() == c && header.H() == h && header.N() == n &&
        index.dataPosition[r] < 0) {
      index.dataPosition[r] = data;
      index.dataLength[r] = static_cast<uint16_t>(header.DataLength());
    }
    return true;
  });
  return index;
}

int D88Image::ReadSector(int track, int c, int h, int r, int n,
                         uint8_t* buffer, int maxLength) {
  long long start;
  if (!TrackStart(track, &start)) return 0;
  // Identity bytes run from 0 to 255; no other argument matches a sector.
  if (((c | h | r | n) & ~0xFF) != 0) return 0;
  const TrackIndex& index = IndexFor(start, c, h, n);
  const long long data = index.dataPosition[r];
  if (data < 0) return 0;
  const int length =
      index.dataLength[r] < maxLength ? index.dataLength[r] : maxLength;
  // What the file really delivered: a sector cut by the end of the file is
  // a short sector.
  return ReadAt(data, buffer, length);
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
  long long start;
  if (!TrackStart(track, &start) || maxLength < 4) return 0;
  int written = 0;
  WalkTrack(start, [&](const SectorHeader& header, long long) {
    std::memcpy(out + written, header.bytes + kSectorCOffset, 4);
    written += 4;
    return written + 4 <= maxLength;  // room for the next entry
  });
  return written;
}

int D88Image::ListDataLengths(int track, int* out, int maxCount) {
  long long start;
  if (!TrackStart(track, &start) || maxCount < 1) return 0;
  int written = 0;
  WalkTrack(start, [&](const SectorHeader& header, long long) {
    out[written++] = header.DataLength();
    return written < maxCount;
  });
  return written;
}

int D88Image::ListSectorFlags(int track, uint8_t* out, int maxLength) {
  long long start;
  if (!TrackStart(track, &start) || maxLength < 3) return 0;
  int written = 0;
  WalkTrack(start, [&](const SectorHeader& header, long long) {
    out[written++] = header.bytes[kDensityOffset];
    out[written++] = header.bytes[kDeletedOffset];
    out[written++] = header.bytes[kStatusOffset];
    return written + 3 <= maxLength;
  });
  return written;
}

}  // namespace d88
