#include "fs/volume.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "d88/d88_format.h"
#include "d88/d88_image.h"

namespace fs {

namespace {

constexpr int kLargestSector = 65536;


// The size code of a sector size (128 << n), or -1.
int SizeCode(int size) {
  for (int n = 0; n <= 8; ++n) {
    if ((128 << n) == size) return n;
  }
  return -1;
}

// What one track's IDs show: how many sectors of the track's own C/H have
// the first sector's N and number 1..count without a gap; 0 if none.
struct TrackShape {
  int sectors = 0;
  int size = 0;
};

TrackShape ShapeOf(d88::D88Image& image, int track) {
  std::vector<uint8_t> ids(4 * size_t{d88::kMaxHeadersPerTrack});
  const int length = image.ListSectorIds(track, ids.data(), static_cast<int>(ids.size()));
  TrackShape shape;
  if (length < 4) return shape;
  const int c = track / 2, h = track % 2, n = ids[3];
  if (n > 8) return shape;
  bool seen[256] = {};
  for (int i = 0; i + 4 <= length; i += 4) {
    if (ids[i] == c && ids[i + 1] == h && ids[i + 3] == n) seen[ids[i + 2]] = true;
  }
  int count = 0;
  while (count < 255 && seen[count + 1]) ++count;
  shape.sectors = count;
  shape.size = count > 0 ? 128 << n : 0;
  return shape;
}

}  // namespace

size_t Volume::ReadSectors(uint64_t first, size_t count, uint8_t* buffer) {
  const size_t size = static_cast<size_t>(SectorSize());
  size_t done = 0;
  while (done < count && ReadSector(first + done, buffer + done * size)) ++done;
  return done;
}

bool ReadVolumeBytes(Volume& volume, uint64_t offset, uint8_t* to, size_t length) {
  const int size = volume.SectorSize();
  if (size <= 0 || size > kLargestSector) return false;
  const uint64_t unit = static_cast<uint64_t>(size);
  std::vector<uint8_t> sector;
  while (length > 0) {
    const uint64_t index = offset / unit;
    const size_t within = static_cast<size_t>(offset % unit);
    if (index >= volume.SectorCount()) return false;
    // Whole sectors go straight to the caller, as many as one read takes.
    if (within == 0 && length >= unit) {
      const uint64_t left = volume.SectorCount() - index;
      const size_t count = static_cast<size_t>(std::min<uint64_t>(length / unit, left));
      if (volume.ReadSectors(index, count, to) != count) return false;
      const size_t taken = count * static_cast<size_t>(size);
      to += taken;
      offset += taken;
      length -= taken;
      continue;
    }
    sector.resize(static_cast<size_t>(size));
    if (!volume.ReadSector(index, sector.data())) return false;
    size_t take = static_cast<size_t>(size) - within;
    if (take > length) take = length;
    std::memcpy(to, sector.data() + within, take);
    to += take;
    offset += take;
    length -= take;
  }
  return true;
}

bool DetectFloppyGeometry(d88::D88Image& image, FloppyGeometry* geometry) {
  FloppyGeometry g;
  TrackShape main = ShapeOf(image, 1);
  g.heads = 2;
  if (main.sectors == 0) {
    // Single-sided disks keep cylinder C at track C * 2 with head 0.
    main = ShapeOf(image, 2);
    g.heads = 1;
  }
  if (main.sectors == 0) return false;
  g.sectorsPerTrack = main.sectors;
  g.sectorSize = main.size;
  int last = 0;
  for (int t = 0; t < d88::kTrackCount; ++t) {
    if (image.TrackOffset(t) != 0) last = t;
  }
  g.cylinders = last / 2 + 1;
  const TrackShape first = ShapeOf(image, 0);
  // Only a track 0 of another sector size is set apart: one of the same
  // size with a sector more or less still holds the volume's sectors.
  if (first.sectors != 0 && first.size != main.size) {
    g.firstTrackSectors = first.sectors;
    g.firstTrackSectorSize = first.size;
  }
  *geometry = g;
  return true;
}

FloppyVolume::FloppyVolume(d88::D88Image& image, const FloppyGeometry& geometry)
    : image(image), geometry(geometry) {}

uint64_t FloppyVolume::SectorCount() const {
  if (geometry.cylinders <= 0 || geometry.heads <= 0 || geometry.sectorsPerTrack <= 0) return 0;
  return static_cast<uint64_t>(geometry.cylinders) * static_cast<uint64_t>(geometry.heads) *
         static_cast<uint64_t>(geometry.sectorsPerTrack);
}

bool FloppyVolume::ReadSector(uint64_t index, uint8_t* buffer) {
  const int n = SizeCode(geometry.sectorSize);
  if (n < 0 || index >= SectorCount() || geometry.heads > 2) return false;
  const uint64_t spt = static_cast<uint64_t>(geometry.sectorsPerTrack);
  const int c = static_cast<int>(index / (spt * static_cast<uint64_t>(geometry.heads)));
  const int h = static_cast<int>((index / spt) % static_cast<uint64_t>(geometry.heads));
  const int r = static_cast<int>(index % spt) + 1;
  const int track = c * 2 + h;
  // Track 0 side 0 of another shape holds no sector of the volume's size.
  if (track == 0 && geometry.firstTrackSectors != 0) return false;
  if (track >= d88::kTrackCount || c > 255) return false;
  return image.ReadSector(track, c, h, r, n, buffer, geometry.sectorSize) == geometry.sectorSize;
}

size_t MemoryByteSource::Read(uint64_t offset, uint8_t* to, size_t length) {
  if (data == nullptr || offset >= size) return 0;
  const size_t at = static_cast<size_t>(offset);
  if (length > size - at) length = size - at;
  std::memcpy(to, data + at, length);
  return length;
}

size_t FileByteSource::Read(uint64_t offset, uint8_t* to, size_t length) {
  if (file == nullptr || offset >= size) return 0;
  if (length > size - offset) length = static_cast<size_t>(size - offset);
  if (position < 0 || static_cast<uint64_t>(position) != offset) {
    position = -1;
    if (std::fseek(file, 0, SEEK_SET) != 0) return 0;
    uint64_t left = offset;
    while (left > 0) {
      const long step = left > static_cast<uint64_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(left);
      if (std::fseek(file, step, SEEK_CUR) != 0) return 0;
      left -= static_cast<uint64_t>(step);
    }
  }
  const size_t got = std::fread(to, 1, length, file);
  position = got == length ? static_cast<int64_t>(offset + got) : -1;
  return got;
}

ByteRangeVolume::ByteRangeVolume(ByteSource& source, uint64_t offset, uint64_t length,
                                 int sectorSize)
    : source(source), offset(offset), sectorSize(sectorSize), sectorCount(0) {
  const uint64_t size = source.Size();
  if (!d88::PowerOfTwo(sectorSize) || sectorSize < 128 || sectorSize > kLargestSector ||
      offset >= size) {
    return;
  }
  if (length > size - offset) length = size - offset;
  sectorCount = length / static_cast<uint64_t>(sectorSize);
}

size_t ByteRangeVolume::ReadSectors(uint64_t first, size_t count, uint8_t* buffer) {
  if (first >= sectorCount) return 0;
  if (count > sectorCount - first) count = static_cast<size_t>(sectorCount - first);
  const size_t size = static_cast<size_t>(sectorSize);
  return source.Read(offset + first * size, buffer, count * size) / size;
}

bool ByteRangeVolume::ReadSector(uint64_t index, uint8_t* buffer) {
  if (index >= sectorCount) return false;
  const size_t size = static_cast<size_t>(sectorSize);
  return source.Read(offset + index * size, buffer, size) == size;
}

}  // namespace fs
