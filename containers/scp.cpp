// SCP: every revolution of every track is read by its own offset and
// length; the resolution byte sets the tick; the checksum, the disk type,
// the first/last track bytes and the footer are not read.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "containers/flux_dump.h"
#include "containers/scp_format.h"
#include "d88/d88_format.h"

namespace containers {

namespace {

using d88::GetU16be;
using d88::GetU32le;

// Where the samples of one revolution lie in the file.
struct Revolution {
  int entry;
  int index;  // within its track
  uint64_t start, end;
  uint32_t ticks;
  bool sound = true;
};

std::string Place(int entry) { return "SCP track " + std::to_string(entry); }

// The table ends where the first track header starts, or after 168
// entries, or at the end of the file.
int TableEntries(const uint8_t* file, size_t size) {
  uint64_t end = std::min<uint64_t>(scp::kTableOffset + 4 * scp::kMaxEntries, size);
  int entries = 0;
  while (scp::kTableOffset + 4u * (entries + 1) <= end) {
    const uint32_t offset = GetU32le(file + scp::kTableOffset + 4 * entries);
    ++entries;
    if (offset >= scp::kTableOffset + 4u * entries && offset < end) end = offset;
  }
  return entries;
}

uint32_t Entry(const uint8_t* file, int i) { return GetU32le(file + scp::kTableOffset + 4 * i); }

bool IsTrackHeader(const uint8_t* file, size_t size, uint64_t offset) {
  return offset + scp::kRevolutionTableOffset <= size &&
         std::memcmp(file + offset, scp::kTrackMagic, 3) == 0;
}

// Which cylinder and head table entry `i` holds.  A single-sided dump keeps
// its head's entries (every other one), or, as older writers did, one entry
// per cylinder; an entry of the other head's parity tells the older way.
struct Numbering {
  int head = -1;  // -1: both heads
  bool consecutive = false;
  void Place(int i, int* cylinder, int* h) const {
    *cylinder = consecutive ? i : i / 2;
    *h = consecutive ? head : i % 2;
  }
};

Numbering NumberingOf(const uint8_t* file, int entries, ProblemLog* problems) {
  Numbering n;
  const uint8_t heads = file[scp::kHeadsOffset];
  if (heads == 0) return n;
  if (heads > 2) {
    problems->Add("SCP heads byte " + std::to_string(heads) + " is unknown; read as both heads");
    return n;
  }
  n.head = heads - 1;
  for (int i = 0; i < entries; ++i) {
    if (Entry(file, i) != 0 && i % 2 != n.head) n.consecutive = true;
  }
  return n;
}

}  // namespace

bool DetectScp(const uint8_t* file, size_t size) {
  if (size < static_cast<size_t>(scp::kHeaderSize) ||
      std::memcmp(file, scp::kMagic, scp::kMagicLength) != 0) {
    return false;
  }
  // An entry points at a track header; or, in a file cut short, every
  // entry points past its end.
  const int entries = TableEntries(file, size);
  bool any = false, stray = false;
  for (int i = 0; i < entries; ++i) {
    const uint32_t offset = Entry(file, i);
    if (offset == 0) continue;
    if (IsTrackHeader(file, size, offset)) return true;
    any = true;
    if (offset < size) stray = true;
  }
  return any && !stray;
}

namespace {

// The revolutions the header says each track holds (at most the decoder's
// limit); 0 when the samples cannot be read at all.
int RevolutionsRecorded(const uint8_t* file, ProblemLog* problems) {
  int revolutions = file[scp::kRevolutionsOffset];
  if (revolutions == 0) {
    problems->Add("SCP header records no revolutions");
    return 0;
  }
  if (revolutions > flux::kMaxRevolutions) {
    problems->Add("SCP header records " + std::to_string(revolutions) + " revolutions; the first " +
                  std::to_string(flux::kMaxRevolutions) + " read");
    revolutions = flux::kMaxRevolutions;
  }
  const uint8_t sampleBits = file[scp::kSampleBitsOffset];
  if (sampleBits != 0 && sampleBits != 16) {
    problems->Add("SCP samples of " + std::to_string(sampleBits) + " bits cannot be read");
    return 0;
  }
  return revolutions;
}

// Where every revolution of every track lies, in table order: those that
// point outside the file, into a header or at no track header are left
// out (and said), and so are those that share samples with another.
std::vector<Revolution> PlaceRevolutions(const uint8_t* file, size_t size, int entries,
                                         int revolutions, ProblemLog* problems) {
  const uint64_t tableEnd = scp::kTableOffset + 4u * entries;
  const uint64_t headerSize =
      scp::kRevolutionTableOffset + static_cast<uint64_t>(scp::kRevolutionEntrySize) * revolutions;
  std::vector<Revolution> revs;
  for (int i = 0; i < entries; ++i) {
    const uint64_t offset = Entry(file, i);
    if (offset == 0) continue;
    if (offset < tableEnd) {
      problems->Add(Place(i) + " points into the track table; read as absent");
      continue;
    }
    if (offset + headerSize > size) {
      problems->Add(Place(i) + " lies past the end of the file; read as absent");
      continue;
    }
    if (!IsTrackHeader(file, size, offset)) {
      problems->Add(Place(i) + " does not point at a track header; read as absent");
      continue;
    }
    if (file[offset + scp::kTrackNumberOffset] != i) {
      problems->Add(Place(i) + " header names track " +
                    std::to_string(file[offset + scp::kTrackNumberOffset]) + "; read as track " +
                    std::to_string(i));
    }
    for (int r = 0; r < revolutions; ++r) {
      const uint8_t* entry =
          file + offset + scp::kRevolutionTableOffset + scp::kRevolutionEntrySize * r;
      const uint32_t ticks = GetU32le(entry + scp::kIndexTimeOffset);
      const uint64_t samples = GetU32le(entry + scp::kSampleCountOffset);
      const uint64_t data = GetU32le(entry + scp::kDataOffsetOffset);
      if (ticks == 0 || samples == 0) continue;  // left empty by some writers
      const std::string place = Place(i) + " revolution " + std::to_string(r + 1);
      if (data < headerSize) {
        problems->Add(place + " points into its header; not read");
      } else if (offset + data + 2 * samples > size) {
        problems->Add(place + " runs past the end of the file; not read");
      } else {
        revs.push_back({i, r, offset + data, offset + data + 2 * samples, ticks});
      }
    }
  }
  const std::vector<bool> sharing = SharingBytes(revs);
  for (size_t k = 0; k < revs.size(); ++k) {
    if (!sharing[k]) continue;
    revs[k].sound = false;
    problems->Add(Place(revs[k].entry) + " revolution " + std::to_string(revs[k].index + 1) +
                  " shares its samples with another; not read");
  }
  return revs;
}

// Appends one revolution's samples to `track` as intervals (a run of zero
// words and the sample after it one long interval) and ends the
// revolution there, timed by its index time where the samples agree.
void AddRevolution(const uint8_t* file, const Revolution& r, flux::TrackFlux* track,
                   ProblemLog* problems) {
  const size_t before = track->intervals.size();
  uint64_t pending = 0;
  uint64_t sum = 0;
  for (uint64_t at = r.start; at < r.end; at += 2) {
    const uint32_t sample = GetU16be(file + at);
    pending += sample == 0 ? scp::kOverflow : sample;
    if (sample == 0) continue;
    const uint32_t interval = static_cast<uint32_t>(std::min<uint64_t>(pending, UINT32_MAX));
    track->intervals.push_back(interval);
    sum += interval;
    pending = 0;
  }
  if (track->intervals.size() == before) return;  // no transition at all
  const uint64_t ticks = Believed(r.ticks, sum);
  if (ticks == 0) {
    problems->Add(Place(r.entry) + " revolution " + std::to_string(r.index + 1) +
                  " index time disagrees with its samples; timed by the samples");
  }
  EndRevolution(track, ticks);
}

}  // namespace

bool ReadScp(const uint8_t* file, size_t size, const FluxVisitor& visit, ProblemLog* problems) {
  if (!DetectScp(file, size)) return false;
  const int revolutions = RevolutionsRecorded(file, problems);
  if (revolutions == 0) return false;
  const int entries = TableEntries(file, size);
  const std::vector<Revolution> revs = PlaceRevolutions(file, size, entries, revolutions, problems);

  const Numbering numbering = NumberingOf(file, entries, problems);
  const double tickNs = scp::kBaseTickNs * (file[scp::kResolutionOffset] + 1);
  const bool indexCued = (file[scp::kFlagsOffset] & scp::kFlagIndex) != 0;
  flux::TrackFlux track;
  std::vector<const Revolution*> sound;
  for (size_t first = 0; first < revs.size();) {
    size_t last = first;
    sound.clear();
    for (; last < revs.size() && revs[last].entry == revs[first].entry; ++last) {
      if (revs[last].sound) sound.push_back(&revs[last]);
    }
    int cylinder, head;
    numbering.Place(revs[first].entry, &cylinder, &head);
    BeginTrack(&track, cylinder, head, tickNs);
    track.indexCued = indexCued;
    size_t samples = 0;
    for (const Revolution* r : sound) samples += static_cast<size_t>((r->end - r->start) / 2);
    track.intervals.reserve(samples);
    // A dump not cued to the index starts with the part of a revolution
    // before the first index pulse: dropped where whole ones follow.
    size_t k = 0;
    if (!indexCued && sound.size() > 1) {
      k = 1;
      track.indexCued = true;
    }
    for (; k < sound.size(); ++k) AddRevolution(file, *sound[k], &track, problems);
    if (!track.revolutionEnds.empty()) visit(track);
    first = last;
  }
  return true;
}

}  // namespace containers
