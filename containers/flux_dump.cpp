// The flux dumps' way into D88: tracks decoded one at a time as the reader
// gives them, the disk assembled from the decoded tracks, and that disk
// written through the D88 writer with what d88info shows of it.
#include "containers/flux_dump.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "containers/headerless.h"
#include "containers/hfe_format.h"
#include "containers/mfi_format.h"
#include "containers/scp_format.h"
#include "d88/d88_format.h"

namespace containers {

namespace {

const char* EncodingName(const flux::Track& track) {
  if (track.mixed) return "FM+MFM";
  switch (track.encoding) {
    case flux::Encoding::kFm:
      return "FM";
    case flux::Encoding::kMfm:
      return "MFM";
    case flux::Encoding::kNone:
      break;
  }
  return "";
}

SectorRecord RecordOf(const flux::Sector& s) {
  SectorRecord record;
  record.c = s.c;
  record.h = s.h;
  record.r = s.r;
  record.n = s.n;
  record.density = s.encoding == flux::Encoding::kFm ? d88::kDensityFm : 0x00;
  record.deleted = s.deleted ? d88::kDeletedData : 0x00;
  record.status = s.status;
  return record;
}

FluxTrackFacts FactsOf(int index, const flux::Track& track) {
  FluxTrackFacts facts;
  facts.track = index;
  facts.encoding = EncodingName(track);
  facts.rateKbps = track.rateKbps;
  facts.revolutions = track.revolutions;
  for (const flux::Sector& s : track.sectors) {
    if (s.badCopies == 0) continue;
    int voted = 0;
    for (uint32_t bits = s.votedRevolutions; bits != 0; bits &= bits - 1) ++voted;
    facts.badCrcs.push_back(
        {s.c, s.h, s.r, s.n, s.status, s.badCopies, s.origin, voted, s.flippedBits});
  }
  return facts;
}

// A D88 sector holds at most this much data (its length field is 16 bits).
constexpr size_t kLongestData = 0xFFFF;

}  // namespace

bool LooksLikeFluxDump(const uint8_t* first, size_t size) {
  const auto starts = [&](const char* magic, size_t length) {
    return size >= length && std::memcmp(first, magic, length) == 0;
  };
  return starts(scp::kMagic, scp::kMagicLength) || starts(hfe::kMagicV1, hfe::kMagicLength) ||
         starts(hfe::kMagicV3, hfe::kMagicLength) || starts(mfi::kMagicNew, mfi::kMagicLength) ||
         starts(mfi::kMagicOld, mfi::kMagicLength);
}

bool WriteFluxDisk(Kind kind, const FluxReader& read, D88Writer& out, Conversion* info,
                   flux::Disk* decoded) {
  info->kind = kind;
  info->flux = FluxFacts();
  ProblemLog problems;
  std::vector<flux::Track> tracks;
  size_t revolutions = 0;
  const bool readable = read(
      [&](const flux::TrackFlux& track) {
        revolutions = std::max(revolutions, track.revolutionEnds.size());
        tracks.push_back(flux::DecodeTrack(track));
      },
      &problems);
  if (!readable) {
    info->warning = problems.Line();
    return false;
  }
  flux::Disk assembled = flux::AssembleDisk(std::move(tracks));
  const flux::Disk& disk = assembled;
  info->flux.revolutions = static_cast<int>(revolutions);
  info->flux.cylinders = disk.cylinders;
  info->flux.heads = disk.heads;
  info->flux.doubleStepped = disk.doubleStepped;

  ShapeTally tally;
  std::vector<TableSector> shape;
  if (!out.BeginDisk(disk.mediaType)) return false;
  const size_t count = std::min<size_t>(disk.tracks.size(), d88::kTrackCount);
  for (size_t t = 0; t < count; ++t) {
    const flux::Track& track = disk.tracks[t];
    if (track.sectors.empty()) continue;
    const int index = static_cast<int>(t);
    if (!out.BeginTrack(index, static_cast<int>(track.sectors.size()))) return false;
    shape.clear();
    for (const flux::Sector& s : track.sectors) {
      TableSector sector;
      sector.record = RecordOf(s);
      shape.push_back(sector);
      const size_t length = std::min(s.data.size(), kLongestData);
      if (!out.AddSector(sector.record, s.data.data(), static_cast<int>(length))) return false;
    }
    tally.Track(index, shape.data(), static_cast<int>(shape.size()));
    info->flux.tracks.push_back(FactsOf(index, track));
  }
  if (info->flux.tracks.empty())
    problems.Add(std::string(KindName(kind)) + " dump holds no sector that decodes");
  info->geometry = tally.Shape();
  info->warning = problems.Line();
  if (decoded != nullptr) *decoded = std::move(assembled);
  return out.EndDisk();
}

bool ConvertFlux(Kind kind, const uint8_t* file, size_t size, D88Writer& out, Conversion* info) {
  using Read = bool (*)(const uint8_t*, size_t, const FluxVisitor&, ProblemLog*);
  Read reader = nullptr;
  switch (kind) {
    case Kind::kScp:
      reader = ReadScp;
      break;
    case Kind::kHfe:
      reader = ReadHfe;
      break;
    case Kind::kMfi:
      reader = ReadMfi;
      break;
    default:
      return false;
  }
  return WriteFluxDisk(
      kind,
      [&](const FluxVisitor& visit, ProblemLog* problems) {
        return reader(file, size, visit, problems);
      },
      out, info);
}

}  // namespace containers
