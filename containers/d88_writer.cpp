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

D88Writer::D88Writer(size_t limit, d88::OwnedBytes reuse)
    : out(std::move(reuse)), limit(limit < kLargestLimit ? limit : kLargestLimit) {
  out.size = 0;
}

bool D88Writer::Fail() {
  failed = true;
  return false;
}

bool D88Writer::Expect(size_t bytes) {
  if (failed || bytes <= out.capacity) return false;
  return out.Grow(bytes < limit ? bytes : limit, limit, kFirstCapacity);
}

bool D88Writer::Reserve(size_t length, bool zeroed) {
  if (failed) return false;
  // The buffer grows by doubling up to the limit, so a small or refused
  // container costs little and a full disk a handful of copies.
  if (length > limit - out.size || !out.Grow(out.size + length, limit, kFirstCapacity)) return Fail();
  if (zeroed) std::memset(out.bytes.get() + out.size, 0, length);
  out.size += length;
  return true;
}

bool D88Writer::BeginDisk(uint8_t mediaType, const char* name, uint8_t writeProtect) {
  if (failed || inDisk) return Fail();
  diskStart = out.size;
  if (!Reserve(d88::kDiskHeaderSize)) return false;
  uint8_t* header = out.bytes.get() + diskStart;
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
  uint8_t* table = out.bytes.get() + diskStart + d88::kTrackTableOffset;
  if (trackAdded == 0) {
    d88::PutU32le(table + 4 * track, 0);
    out.size = trackStart;  // nothing was written after it
  } else if (trackAdded != trackDeclared) {
    size_t at = trackStart;
    for (int i = 0; i < trackAdded; ++i) {
      d88::PutU16le(out.bytes.get() + at + d88::kSectorCountOffset, static_cast<uint32_t>(trackAdded));
      at += d88::kSectorHeaderSize +
            d88::GetU16le(out.bytes.get() + at + d88::kDataLengthOffset);
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
  uint8_t* table = out.bytes.get() + diskStart + d88::kTrackTableOffset;
  // Tracks come in ascending order, each once: the table is written once.
  if (d88::GetU32le(table + 4 * index) != 0) return Fail();
  track = index;
  trackStart = out.size;
  trackDeclared = sectorCount;
  trackAdded = 0;
  d88::PutU32le(table + 4 * index, static_cast<uint32_t>(out.size - diskStart));
  return true;
}

bool D88Writer::AddHeader(const SectorRecord& record, int length) {
  if (failed || track < 0 || trackAdded >= trackDeclared) return Fail();
  if (length < 0 || length > 0xFFFF) return Fail();
  const size_t at = out.size;
  // The data is the caller's to fill: only the header is cleared.
  if (!Reserve(d88::kSectorHeaderSize + static_cast<size_t>(length), false)) return false;
  uint8_t* header = out.bytes.get() + at;
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
  if (length > 0) std::memcpy(out.bytes.get() + out.size - length, data, static_cast<size_t>(length));
  return true;
}

bool D88Writer::AddFilledSector(const SectorRecord& record, uint8_t fill, int length) {
  if (!AddHeader(record, length)) return false;
  if (length > 0) std::memset(out.bytes.get() + out.size - length, fill, static_cast<size_t>(length));
  return true;
}

bool D88Writer::EndDisk() {
  if (failed || !inDisk) return Fail();
  EndTrack();
  d88::PutU32le(out.bytes.get() + diskStart + d88::kDiskSizeOffset,
                static_cast<uint32_t>(out.size - diskStart));
  inDisk = false;
  return true;
}

d88::OwnedBytes D88Writer::Release() {
  d88::OwnedBytes released = std::move(out);
  out = d88::OwnedBytes();
  return released;
}

}  // namespace containers
