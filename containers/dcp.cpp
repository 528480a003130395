#include <cstdio>
#include <cstring>

#include "containers/dcp_format.h"
#include "containers/headerless.h"
#include "containers/readers.h"

namespace containers {

namespace {

// How one DCP file is read.
struct Plan {
  const dcp::Media* media = nullptr;
  int cylinders = 0;
  bool track0Full = false;  // media 0x11 with track 0 stored as 26x256
  bool exact = false;       // the file ends where the last track does
};

bool Stored(const uint8_t* file, int track) {
  return file[dcp::kAllTracksOffset] == 1 || file[dcp::kMapOffset + track] == 1;
}

Geometry GeometryOf(const Plan& plan) {
  Geometry g;
  g.cylinders = plan.cylinders;
  g.heads = dcp::kHeads;
  g.sectors = plan.media->sectors;
  g.sectorSize = plan.media->sectorSize;
  g.track0Fm = plan.media->track0Fm && !plan.track0Full;
  return g;
}

// The file size the plan's stored tracks make, or 0 when the map names a
// track the geometry lacks.
size_t ExpectedSize(const uint8_t* file, const Plan& plan) {
  const int tracks = plan.cylinders * dcp::kHeads;
  if (file[dcp::kAllTracksOffset] == 0) {
    for (int t = tracks; t < dcp::kMapLength; ++t) {
      if (file[dcp::kMapOffset + t] != 0) return 0;
    }
  }
  const Geometry g = GeometryOf(plan);
  size_t total = dcp::kDataOffset;
  for (int t = 0; t < tracks; ++t) {
    if (Stored(file, t)) total += TrackBytes(g, t / 2, t % 2);
  }
  return total;
}

bool Choose(const uint8_t* file, size_t size, Plan* plan) {
  if (size < dcp::kDataOffset) return false;
  const dcp::Media* media = nullptr;
  for (const dcp::Media& m : dcp::kMedia) {
    if (m.type == file[dcp::kMediaOffset]) media = &m;
  }
  if (media == nullptr) return false;
  bool any = file[dcp::kAllTracksOffset] == 1;
  for (size_t i = dcp::kMapOffset; i <= dcp::kAllTracksOffset; ++i) {
    if (file[i] > 1) return false;
    any = any || file[i] == 1;
  }
  // A DCP storing no track at all holds nothing to tell it by.
  if (!any) return false;
  if (size >= dcp::kDimMarkOffset + dcp::kDimMarkLength &&
      std::memcmp(file + dcp::kDimMarkOffset, dcp::kDimMark, dcp::kDimMarkLength) == 0) {
    return false;
  }
  // The sizes every reading makes, the most usual first; the first exact
  // one wins.
  for (int cylinders : {media->cylinders, media->otherCylinders}) {
    if (cylinders == 0) continue;
    for (bool full : {false, true}) {
      if (full && !media->track0Fm) continue;
      Plan candidate{media, cylinders, full, true};
      if (ExpectedSize(file, candidate) == size) {
        *plan = candidate;
        return true;
      }
    }
  }
  // A sound header whose file is cut short or runs on: read what it holds,
  // when it stores any track at all.
  Plan usual{media, media->cylinders, false, false};
  if (size == dcp::kDataOffset || ExpectedSize(file, usual) == 0) return false;
  *plan = usual;
  return true;
}

}  // namespace

bool DetectDcp(const uint8_t* file, size_t size) {
  Plan plan;
  return Choose(file, size, &plan);
}

bool ConvertDcp(const uint8_t* file, size_t size, const std::string& extension, D88Writer& out,
                Conversion* info) {
  Plan plan;
  if (!Choose(file, size, &plan)) return false;
  const char* name = extension == ".dcu" ? "DCU" : "DCP";
  const Geometry geometry = GeometryOf(plan);
  if (info != nullptr) {
    info->kind = extension == ".dcu" ? Kind::kDcu : Kind::kDcp;
    info->geometry = geometry;
  }
  char text[200];
  const size_t expected = ExpectedSize(file, plan);
  if (plan.track0Full) {
    std::snprintf(text, sizeof text,
                  "%s media 0x11 with track 0 stored as 26 256-byte sectors; read as stored", name);
    Warn(info, text);
  } else if (size > expected) {
    std::snprintf(text, sizeof text, "%s image has %lu bytes after its last track; ignored", name,
                  static_cast<unsigned long>(size - expected));
    Warn(info, text);
  }
  out.BeginDisk(MediaFor(geometry));
  size_t offset = dcp::kDataOffset;
  int firstShort = -1;
  const int tracks = plan.cylinders * dcp::kHeads;
  for (int t = 0; t < tracks; ++t) {
    if (!Stored(file, t)) continue;  // unformatted: no sectors
    const size_t bytes = TrackBytes(geometry, t / 2, t % 2);
    if (firstShort < 0 && (offset > size || size - offset < bytes)) firstShort = t;
    offset = AddTrack(file, size, offset, t / 2, t % 2, geometry, out);
  }
  if (firstShort >= 0) {
    std::snprintf(text, sizeof text,
                  "%s image ends inside track %d; the sectors past the end are absent", name,
                  firstShort);
    Warn(info, text);
  }
  return out.EndDisk();
}

}  // namespace containers
