#include "containers/d88_writer.h"

#include <cstring>
#include <new>
#include <utility>

#include "d88/d88_format.h"

namespace containers {

namespace {

// A D88 size or offset field is 32 bits; no disk the readers write comes
// near it, but the limit keeps it so whatever the caller asks.
constexpr size_t kLargestLimit = 0x7FFFFFFF;
// Room for a 2D disk's headers and a few tracks before the first growth.
constexpr size_t kFirstCapacity = 64 * 1024;

}  // namespace

D88Writer::D88Writer(size_t limit) : limit(limit < kLargestLimit ? limit : kLargestLimit) {}

D88Writer::D88Writer(size_t limit, std::unique_ptr<uint8_t[]> reuse, size_t capacity)
    : D88Writer(limit) {
  if (reuse) {
    bytes = std::move(reuse);
    this->capacity = capacity;
  }
}

bool D88Writer::Fail() {
  failed = true;
  return false;
}

// The buffer grows by doubling up to the limit, so a small or refused
// container costs little and a full disk a handful of copies.
bool D88Writer::Grow(size_t needed) {
  size_t next = capacity > 0 ? capacity : kFirstCapacity;
  while (next < needed) next = next > limit / 2 ? limit : next * 2;
  if (next > limit) next = limit;
  std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[next]);
  if (!grown) return false;
  if (size > 0) std::memcpy(grown.get(), bytes.get(), size);
  bytes = std::move(grown);
  capacity = next;
  return true;
}

bool D88Writer::Expect(size_t bytes) {
  if (failed || bytes <= capacity) return false;
  return Grow(bytes < limit ? bytes : limit);
}

bool D88Writer::Reserve(size_t length, bool zeroed) {
  if (failed) return false;
  if (length > limit - size) return Fail();
  if (size + length > capacity && !Grow(size + length)) return Fail();
  if (zeroed) std::memset(bytes.get() + size, 0, length);
  size += length;
  return true;
}

bool D88Writer::BeginDisk(uint8_t mediaType, const char* name, uint8_t writeProtect) {
  if (failed || inDisk) return Fail();
  diskStart = size;
  if (!Reserve(d88::kDiskHeaderSize)) return false;
  uint8_t* header = bytes.get() + diskStart;
  for (int i = 0; name != nullptr && i < d88::kDiskNameLength && name[i] != '\0'; ++i) {
    header[d88::kDiskNameOffset + i] = static_cast<uint8_t>(name[i]);
  }
  header[d88::kWriteProtectOffset] = writeProtect;
  header[d88::kMediaTypeOffset] = mediaType;
  inDisk = true;
  track = -1;
  return true;
}

// Closes the current track: a track that got fewer sectors than begun has
// its count fields set to what it got, or its table entry cleared.
void D88Writer::EndTrack() {
  if (track < 0) return;
  uint8_t* table = bytes.get() + diskStart + d88::kTrackTableOffset;
  if (trackAdded == 0) {
    d88::PutU32le(table + 4 * track, 0);
    size = trackStart;  // nothing was written after it
  } else if (trackAdded != trackDeclared) {
    size_t at = trackStart;
    for (int i = 0; i < trackAdded; ++i) {
      d88::PutU16le(bytes.get() + at + d88::kSectorCountOffset, static_cast<uint32_t>(trackAdded));
      at += d88::kSectorHeaderSize +
            d88::GetU16le(bytes.get() + at + d88::kDataLengthOffset);
    }
  }
  track = -1;
}

bool D88Writer::BeginTrack(int index, int sectorCount) {
  if (failed || !inDisk) return Fail();
  EndTrack();
  if (index < 0 || index >= d88::kTrackCount || sectorCount > d88::kMaxHeadersPerTrack) {
    return Fail();
  }
  if (sectorCount < 1) return true;  // absent
  uint8_t* table = bytes.get() + diskStart + d88::kTrackTableOffset;
  // Tracks come in ascending order, each once: the table is written once.
  if (d88::GetU32le(table + 4 * index) != 0) return Fail();
  track = index;
  trackStart = size;
  trackDeclared = sectorCount;
  trackAdded = 0;
  d88::PutU32le(table + 4 * index, static_cast<uint32_t>(size - diskStart));
  return true;
}

bool D88Writer::AddHeader(const SectorRecord& record, int length) {
  if (failed || track < 0 || trackAdded >= trackDeclared) return Fail();
  if (length < 0 || length > 0xFFFF) return Fail();
  const size_t at = size;
  // The data is the caller's to fill: only the header is cleared.
  if (!Reserve(d88::kSectorHeaderSize + static_cast<size_t>(length), false)) return false;
  uint8_t* header = bytes.get() + at;
  std::memset(header, 0, d88::kSectorHeaderSize);
  header[d88::kSectorCOffset] = record.c;
  header[d88::kSectorHOffset] = record.h;
  header[d88::kSectorROffset] = record.r;
  header[d88::kSectorNOffset] = record.n;
  d88::PutU16le(header + d88::kSectorCountOffset, static_cast<uint32_t>(trackDeclared));
  header[d88::kDensityOffset] = record.density;
  header[d88::kDeletedOffset] = record.deleted;
  header[d88::kStatusOffset] = record.status;
  d88::PutU16le(header + d88::kDataLengthOffset, static_cast<uint32_t>(length));
  ++trackAdded;
  return true;
}

bool D88Writer::AddSector(const SectorRecord& record, const uint8_t* data, int length) {
  if (data == nullptr && length > 0) return Fail();
  if (!AddHeader(record, length)) return false;
  if (length > 0) std::memcpy(bytes.get() + size - length, data, static_cast<size_t>(length));
  return true;
}

bool D88Writer::AddFilledSector(const SectorRecord& record, uint8_t fill, int length) {
  if (!AddHeader(record, length)) return false;
  if (length > 0) std::memset(bytes.get() + size - length, fill, static_cast<size_t>(length));
  return true;
}

bool D88Writer::EndDisk() {
  if (failed || !inDisk) return Fail();
  EndTrack();
  d88::PutU32le(bytes.get() + diskStart + d88::kDiskSizeOffset,
                static_cast<uint32_t>(size - diskStart));
  inDisk = false;
  return true;
}

std::unique_ptr<uint8_t[]> D88Writer::Release(size_t* released, size_t* releasedCapacity) {
  if (released != nullptr) *released = size;
  if (releasedCapacity != nullptr) *releasedCapacity = capacity;
  size = 0;
  capacity = 0;
  return std::move(bytes);
}

}  // namespace containers
