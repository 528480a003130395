// The builders of the containers that store a uniform geometry without
// sector IDs: FDI, DIP, DCP/DCU and headerless dumps.
#include <cstdio>
#include <cstdlib>

#include "containers/fdi_format.h"
#include "d88/d88_format.h"
#include "support/container_builder.h"

namespace testimg {

namespace fdi = containers::fdi;

namespace {

constexpr uint8_t kUnformatted = 0xE5;

[[noreturn]] void Refuse(const char* what) {
  std::fprintf(stderr, "builder: %s\n", what);
  std::abort();
}

int SizeCode(int size) {
  for (int n = 0; n <= 7; ++n) {
    if (size == 128 << n) return n;
  }
  Refuse("no size code for that sector size");
}

// The data of the first sector numbered r on the track, cut or padded to
// `size`, or unformatted bytes.
Bytes SectorBytes(const Disk& disk, int track, int r, int size) {
  Bytes bytes(static_cast<size_t>(size), kUnformatted);
  const auto found = disk.tracks.find(track);
  if (found == disk.tracks.end()) return bytes;
  for (const Sector& s : found->second) {
    if (s.r != r) continue;
    for (size_t i = 0; i < bytes.size() && i < s.data.size(); ++i) bytes[i] = s.data[i];
    break;
  }
  return bytes;
}

bool HasTrack(const Disk& disk, int track) {
  const auto found = disk.tracks.find(track);
  return found != disk.tracks.end() && !found->second.empty();
}

// The sectors of the stored disk, in the order they are stored.
Bytes Sectors(const Disk& stored) {
  Bytes bytes;
  for (const auto& [t, sectors] : stored.tracks) {
    for (const Sector& s : sectors) bytes.insert(bytes.end(), s.data.begin(), s.data.end());
  }
  return bytes;
}

bool Same(const Layout& a, const Layout& b) {
  return a.cylinders == b.cylinders && a.heads == b.heads && a.sectors == b.sectors &&
         a.sectorSize == b.sectorSize && a.track0Fm == b.track0Fm;
}

// Visits every sector of `layout` in stored order with its place and ID
// (track 0 FM 26 x 128 where the layout says so).
template <typename Visit>
void ForEachSector(const Layout& layout, Visit visit) {
  for (int c = 0; c < layout.cylinders; ++c) {
    for (int h = 0; h < layout.heads; ++h) {
      const int t = c * 2 + h;
      const bool fm = t == 0 && layout.track0Fm;
      const int size = fm ? 128 : layout.sectorSize;
      for (int r = 1; r <= (fm ? 26 : layout.sectors); ++r) {
        Sector s;
        s.c = static_cast<uint8_t>(c);
        s.h = static_cast<uint8_t>(h);
        s.r = static_cast<uint8_t>(r);
        s.n = static_cast<uint8_t>(SizeCode(size));
        s.density = fm ? 0x40 : 0x00;
        visit(t, size, s);
      }
    }
  }
}

}  // namespace

Disk Stored(const Disk& disk, const Layout& layout, bool onlyTracksOf) {
  Disk stored;
  stored.name = "";
  stored.tag = disk.tag;
  stored.mediaType = layout.sectors * layout.sectorSize >= 5000 ? 0x20 : 0x10;
  ForEachSector(layout, [&](int t, int size, Sector& s) {
    if (onlyTracksOf && !HasTrack(disk, t)) return;
    s.data = SectorBytes(disk, t, s.r, size);
    stored.tracks[t].push_back(s);
  });
  return stored;
}

Disk Formatted(const Layout& layout, const std::string& tag) {
  Disk disk;
  disk.tag = tag;
  ForEachSector(layout, [&](int t, int size, Sector& s) {
    s.data = Filler(tag, t, s.r, size);
    disk.tracks[t].push_back(s);
  });
  return disk;
}

Bytes BuildFdi(const Disk& disk, const Layout& layout) {
  if (layout.track0Fm) Refuse("FDI has no FM track");
  const Bytes data = Sectors(Stored(disk, layout));
  Bytes image(fdi::kUsualHeaderSize, 0);
  const int trackBytes = layout.sectors * layout.sectorSize;
  const uint32_t type = layout.sectors == 18 && layout.sectorSize == 512 ? 0x30
                        : trackBytes >= 5000                            ? 0x90
                                                                        : 0x10;
  d88::PutU32le(image.data() + fdi::kTypeOffset, type);
  d88::PutU32le(image.data() + fdi::kHeaderSizeOffset, fdi::kUsualHeaderSize);
  d88::PutU32le(image.data() + fdi::kDataSizeOffset, static_cast<uint32_t>(data.size()));
  d88::PutU32le(image.data() + fdi::kSectorSizeOffset, static_cast<uint32_t>(layout.sectorSize));
  d88::PutU32le(image.data() + fdi::kSectorsOffset, static_cast<uint32_t>(layout.sectors));
  d88::PutU32le(image.data() + fdi::kSurfacesOffset, static_cast<uint32_t>(layout.heads));
  d88::PutU32le(image.data() + fdi::kCylindersOffset, static_cast<uint32_t>(layout.cylinders));
  return Concat(image, data);
}

Bytes BuildDip(const Disk& disk, const std::string& comment) {
  Bytes image = {0x01, 0x08, 0x00, 0x13, 0x41, 0x00, 0x01, 0x00};
  image.resize(256, 0);
  for (size_t i = 0; i < comment.size() && i < 240; ++i) image[16 + i] = static_cast<uint8_t>(comment[i]);
  return Concat(image, Sectors(Stored(disk, k2hd8)));
}

Bytes BuildDcp(const Disk& disk, const Layout& layout, bool allTracks) {
  struct Media {
    uint8_t type;
    Layout layout;
  };
  static const Media kMedia[] = {
      {0x01, {77, 2, 8, 1024, false}}, {0x02, {80, 2, 15, 512, false}},
      {0x03, {80, 2, 18, 512, false}}, {0x04, {80, 2, 8, 512, false}},
      {0x05, {80, 2, 9, 512, false}},  {0x08, {77, 2, 9, 1024, false}},
      {0x08, {80, 2, 9, 1024, false}}, {0x11, {77, 2, 26, 256, true}},
      {0x19, {80, 2, 16, 256, false}}, {0x21, {77, 2, 26, 256, false}},
      {0x21, {80, 2, 26, 256, false}},
  };
  const Media* media = nullptr;
  for (const Media& m : kMedia) {
    if (Same(m.layout, layout)) media = &m;
  }
  if (media == nullptr) Refuse("no DCP media has that layout");
  Bytes image(0xA2, 0);
  image[0] = media->type;
  for (int t = 0; t < layout.cylinders * layout.heads; ++t) {
    image[1 + t] = allTracks || HasTrack(disk, t) ? 1 : 0;
  }
  image[0xA1] = allTracks ? 1 : 0;
  return Concat(image, Sectors(Stored(disk, layout, !allTracks)));
}

Bytes BuildRaw(const Disk& disk, const Layout& layout) { return Sectors(Stored(disk, layout)); }

}  // namespace testimg
