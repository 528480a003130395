#include "containers/headerless.h"

#include <cstdio>

#include "d88/d88_format.h"

namespace containers {

namespace {

constexpr int kLargestSizeCode = 7;
// A track of at least this many bytes is high density.
constexpr size_t kHighDensityTrackBytes = 5000;

}  // namespace

int SizeCode(int sectorSize) {
  for (int n = 0; n <= kLargestSizeCode; ++n) {
    if (sectorSize == 128 << n) return n;
  }
  return -1;
}

uint8_t MediaFor(const Geometry& geometry) {
  return static_cast<size_t>(geometry.sectors) * static_cast<size_t>(geometry.sectorSize) >=
                 kHighDensityTrackBytes
             ? d88::kMedia2HD
             : d88::kMedia2DD;
}

size_t TrackBytes(const Geometry& geometry, int cylinder, int head) {
  if (cylinder == 0 && head == 0 && geometry.track0Fm) return static_cast<size_t>(kFmSectors) * kFmSectorSize;
  return static_cast<size_t>(geometry.sectors) * static_cast<size_t>(geometry.sectorSize);
}

void Warn(Conversion* info, const std::string& text) {
  if (info != nullptr && info->warning.empty()) info->warning = text;
}

size_t AddTrack(const uint8_t* file, size_t size, size_t offset, int cylinder, int head,
                const Geometry& geometry, D88Writer& out) {
  const bool fm = cylinder == 0 && head == 0 && geometry.track0Fm;
  const int sectors = fm ? kFmSectors : geometry.sectors;
  const int sectorSize = fm ? kFmSectorSize : geometry.sectorSize;
  const size_t ss = static_cast<size_t>(sectorSize);
  const size_t held = offset < size ? (size - offset) / ss : 0;
  const int whole = held < static_cast<size_t>(sectors) ? static_cast<int>(held) : sectors;
  out.BeginTrack(cylinder * 2 + head, whole);
  SectorRecord record;
  record.c = static_cast<uint8_t>(cylinder);
  record.h = static_cast<uint8_t>(head);
  record.n = static_cast<uint8_t>(SizeCode(sectorSize));
  record.density = fm ? d88::kDensityFm : 0x00;
  for (int r = 1; r <= whole; ++r) {
    record.r = static_cast<uint8_t>(r);
    out.AddSector(record, file + offset + (static_cast<size_t>(r) - 1) * ss, sectorSize);
  }
  return offset + static_cast<size_t>(sectors) * ss;
}

bool ConvertUniform(const uint8_t* file, size_t size, size_t base, const Geometry& geometry,
                    const char* what, D88Writer& out, Conversion* info) {
  if (info != nullptr) info->geometry = geometry;
  out.BeginDisk(MediaFor(geometry));
  size_t offset = base;
  const int tracks = geometry.cylinders * geometry.heads;
  int firstShort = -1;
  int dropped = 0;
  for (int c = 0; c < geometry.cylinders; ++c) {
    for (int h = 0; h < geometry.heads; ++h) {
      const size_t bytes = TrackBytes(geometry, c, h);
      if (firstShort < 0 && (offset > size || size - offset < bytes)) {
        firstShort = c * geometry.heads + h;
      }
      // A D88 disk has 164 tracks; those past it cannot be kept.
      if (c * 2 + h >= d88::kTrackCount) {
        ++dropped;
        offset += bytes;
        continue;
      }
      offset = AddTrack(file, size, offset, c, h, geometry, out);
    }
  }
  char text[160];
  if (firstShort >= 0) {
    std::snprintf(text, sizeof text,
                  "%s image ends inside track %d of its %d; the sectors past the end are absent",
                  what, firstShort, tracks);
    Warn(info, text);
  }
  if (dropped > 0) {
    std::snprintf(text, sizeof text, "%s image has %d tracks past the 164 a D88 disk holds; not read",
                  what, dropped);
    Warn(info, text);
  }
  return out.EndDisk();
}

std::string GeometryText(const Geometry& geometry) {
  char text[64];
  std::snprintf(text, sizeof text, "%dx%dx%d %d-byte", geometry.cylinders, geometry.heads,
                geometry.sectors, geometry.sectorSize);
  return text;
}

}  // namespace containers
