#include "d88info/facts.h"

#include <algorithm>
#include <cstdio>

#include "cut/run.h"
#include "cut/shift_jis.h"
#include "d88/d88_format.h"

namespace d88info {

namespace {

// `format` takes the byte once, e.g. "media 0x%02X".
std::string Hex(const char* format, int byte) {
  char text[32];
  std::snprintf(text, sizeof text, format, static_cast<unsigned>(byte) & 0xFFu);
  return text;
}

}  // namespace

std::string MediaName(int media) {
  switch (media) {
    case d88::kMedia2D: return "2D";
    case d88::kMedia2DD: return "2DD";
    case d88::kMedia2HD: return "2HD";
    case d88::kMedia1D: return "1D";
    case d88::kMedia1DD: return "1DD";
    default: return Hex("media 0x%02X", media);
  }
}

std::string ProtectName(int flag) {
  if (flag == 0x00) return "writable";
  if (flag == d88::kWriteProtected) return "write-protected";
  return Hex("write-protect 0x%02X", flag);
}

std::string Escaped(const char* name) { return cut::EscapeText(name, false); }

std::vector<int> Tracks(const d88::D88Image& image) {
  std::vector<int> tracks;
  for (int t = 0; t < d88::kTrackCount; ++t) {
    if (image.HasTrack(t)) tracks.push_back(t);
  }
  return tracks;
}

std::vector<Taker> Takers(d88::D88Image& image, cut::Span<const cut::Catalogue*> catalogues) {
  std::vector<Taker> takers;
  uint8_t probe[cut::kProbeLength];
  for (const cut::Catalogue* catalogue : catalogues) {
    const cut::DiskRule* rule = cut::Recognise(image, *catalogue, 0, probe);
    if (rule != nullptr) takers.push_back({catalogue->program, rule->number, rule->label});
  }
  return takers;
}

TrackList ListTrack(d88::D88Image& image, int track, TrackBuffers& buffers) {
  TrackList list;
  list.count = CountSectors(image, track, buffers);
  // The three lists come from walks over the same bytes and agree; should
  // they not, only the sectors all three know are shown.
  list.count = std::min(list.count, image.ListDataLengths(track, buffers.lengths.data(), list.count));
  list.count =
      std::min(list.count, image.ListSectorFlags(track, buffers.flags.data(), 3 * list.count) / 3);
  list.ids = buffers.ids.data();
  list.lengths = buffers.lengths.data();
  list.flags = buffers.flags.data();
  return list;
}

int CountSectors(d88::D88Image& image, int track, TrackBuffers& buffers) {
  return image.ListSectorIds(track, buffers.ids.data(), static_cast<int>(buffers.ids.size())) / 4;
}

std::vector<int> MissingSectors(const TrackList& list) {
  bool present[kLastSector + 1] = {};
  for (int i = 0; i < list.count; ++i) {
    const int r = list.ids[4 * i + d88::kSectorROffset];
    if (r >= kFirstSector && r <= kLastSector) present[r] = true;
  }
  std::vector<int> missing;
  for (int r = kFirstSector; r <= kLastSector; ++r) {
    if (!present[r]) missing.push_back(r);
  }
  return missing;
}

std::string Ranges(const std::vector<int>& numbers) {
  std::string text;
  for (size_t i = 0; i < numbers.size(); ++i) {
    size_t last = i;
    while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1) ++last;
    if (!text.empty()) text += " ";
    text += std::to_string(numbers[i]);
    if (last != i) text += "-" + std::to_string(numbers[last]);
    i = last;
  }
  return text;
}

const containers::FluxTrackFacts* FluxTrack(const containers::FluxFacts& facts, int track) {
  for (const containers::FluxTrackFacts& t : facts.tracks) {
    if (t.track == track) return &t;
  }
  return nullptr;
}

std::string Obtained(const containers::FluxTrackFacts::BadCrc& sector) {
  const std::string from = " from " + std::to_string(sector.votedRevolutions) +
                           (sector.votedRevolutions == 1 ? " revolution" : " revolutions");
  switch (sector.origin) {
    case flux::DataOrigin::kGoodCopy: return "one good copy";
    case flux::DataOrigin::kVoted: return "voted" + from;
    case flux::DataOrigin::kRepaired:
      return "repaired" + from + ", " + std::to_string(sector.flippedBits) +
             (sector.flippedBits == 1 ? " bit" : " bits") + " flipped";
    case flux::DataOrigin::kNone:
    case flux::DataOrigin::kBadCopy: break;
  }
  return "";
}

const char* ObtainedKey(flux::DataOrigin origin) {
  switch (origin) {
    case flux::DataOrigin::kGoodCopy: return "goodCopy";
    case flux::DataOrigin::kVoted: return "voted";
    case flux::DataOrigin::kRepaired: return "repaired";
    case flux::DataOrigin::kNone: return "none";
    case flux::DataOrigin::kBadCopy: break;
  }
  return "badCopy";
}

std::vector<int> Revolutions(uint32_t bits) {
  std::vector<int> revolutions;
  for (int r = 0; r < 32; ++r) {
    if ((bits >> r & 1) != 0) revolutions.push_back(r + 1);
  }
  return revolutions;
}

}  // namespace d88info
