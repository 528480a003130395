// HFE v1 and v3: each head of each cylinder is one revolution of cells from
// the index, turned into intervals (cells from one transition to the
// next).  The encoding bytes (the disk's and track 0's alternate ones) are
// not needed: the decoder tells FM from MFM by the marks, and FM, stored at
// the MFM cell rate, is flux like any other.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "containers/flux_dump.h"
#include "containers/hfe_format.h"
#include "d88/d88_format.h"

namespace containers {

namespace {

using d88::GetU16le;

uint8_t Reversed(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// Where the transitions of a byte of cells lie, earliest first: a byte a
// lookup instead of a test a cell.
struct Transitions {
  uint8_t count = 0;
  uint8_t at[8] = {};
};
struct TransitionTable {
  Transitions of[256];
  constexpr TransitionTable() {
    for (int b = 0; b < 256; ++b) {
      for (int i = 0; i < 8; ++i) {
        if ((b >> i & 1) != 0) of[b].at[of[b].count++] = static_cast<uint8_t>(i);
      }
    }
  }
};
constexpr TransitionTable kTransitions;

// Builds one revolution's intervals from cells of `ticks` ticks each.
class CellSink {
 public:
  explicit CellSink(flux::TrackFlux* track) : track(track) {}
  // `count` cells in time order from bit 0 of `cells` on.
  void Add(uint8_t cells, int count, uint32_t ticks) {
    const Transitions& t = kTransitions.of[cells & ((1u << count) - 1)];
    int after = 0;  // cells of this byte already counted
    for (int k = 0; k < t.count; ++k) {
      elapsed += static_cast<uint64_t>(t.at[k] + 1 - after) * ticks;
      after = t.at[k] + 1;
      track->intervals.push_back(static_cast<uint32_t>(std::min<uint64_t>(elapsed, UINT32_MAX)));
      elapsed = 0;
    }
    elapsed += static_cast<uint64_t>(count - after) * ticks;
    total += static_cast<uint64_t>(count) * ticks;
  }
  uint64_t Total() const { return total; }

 private:
  flux::TrackFlux* track;
  uint64_t elapsed = 0;
  uint64_t total = 0;
};

// Version 3's stream: opcodes among the cells.  `cellTicks` comes in as
// the header's rate in 36 MHz ticks.
void AddV3(const std::vector<uint8_t>& bytes, uint32_t cellTicks, CellSink* sink,
           const std::string& place, ProblemLog* problems) {
  int skip = 0;  // cells of the next byte not stored
  for (size_t i = 0; i < bytes.size(); ++i) {
    const uint8_t op = Reversed(bytes[i]);
    if ((op & hfe::kOpcodeMask) != hfe::kOpcodeMask) {
      sink->Add(static_cast<uint8_t>(bytes[i] >> skip), 8 - skip, cellTicks);
      skip = 0;
      continue;
    }
    const bool operand = op == hfe::kSetRate || op == hfe::kSkipBits;
    if (operand && i + 1 >= bytes.size()) break;  // cut at the track's end: some writers do
    switch (op) {
      case hfe::kNop:
      case hfe::kSetIndex:
        break;
      case hfe::kSetRate: {
        const uint8_t ticks = Reversed(bytes[++i]);
        if (ticks == 0) {
          problems->Add(place + " sets a cell of no length; ignored");
        } else {
          cellTicks = ticks;
        }
        break;
      }
      case hfe::kSkipBits: {
        const uint8_t n = Reversed(bytes[++i]);
        if (n < 1 || n > 7) problems->Add(place + " skips " + std::to_string(n) + " cells of 8");
        skip = n & 7;
        break;
      }
      case hfe::kRandom:
        sink->Add(static_cast<uint8_t>(Reversed(hfe::kWeakCells) >> skip), 8 - skip, cellTicks);
        skip = 0;
        break;
      default:
        problems->Add(place + " holds an unknown opcode; skipped");
    }
  }
}

struct Span {
  uint64_t start, end;
  int cylinder;
};

}  // namespace

bool DetectHfe(const uint8_t* file, size_t size) {
  if (size < static_cast<size_t>(hfe::kBlockSize)) return false;
  if (std::memcmp(file, hfe::kMagicV3, hfe::kMagicLength) == 0) return true;
  return std::memcmp(file, hfe::kMagicV1, hfe::kMagicLength) == 0 &&
         file[hfe::kRevisionOffset] <= hfe::kMaxRevision;
}

namespace {

// Where every cylinder's blocks lie, from the track list at `list`: those
// pointing into the header or past the file are left out (and said), and
// so are those that share blocks with another, before any is read.
std::vector<Span> PlaceCylinders(const uint8_t* file, size_t size, uint64_t list, int cylinders,
                                 ProblemLog* problems) {
  int listed = cylinders;
  if (list + hfe::kTrackEntrySize * static_cast<uint64_t>(cylinders) > size) {
    listed = list >= size ? 0 : static_cast<int>((size - list) / hfe::kTrackEntrySize);
    problems->Add("HFE track list runs past the end of the file; " + std::to_string(listed) +
                  " of its " + std::to_string(cylinders) + " cylinders read");
  }
  std::vector<Span> spans;
  for (int c = 0; c < listed; ++c) {
    const uint8_t* entry = file + list + hfe::kTrackEntrySize * c;
    const uint64_t start =
        static_cast<uint64_t>(GetU16le(entry + hfe::kTrackBlockOffset)) * hfe::kBlockSize;
    const uint64_t length = GetU16le(entry + hfe::kTrackLengthOffset);
    if (length < 2) continue;
    const uint64_t end = start + (length + hfe::kBlockSize - 1) / hfe::kBlockSize * hfe::kBlockSize;
    const std::string place = "HFE cylinder " + std::to_string(c);
    if (start < hfe::kBlockSize || (start < list + 4u * listed && end > list)) {
      problems->Add(place + " points into the header; read as absent");
    } else if (end > size) {
      problems->Add(place + " runs past the end of the file; read as absent");
    } else {
      spans.push_back({start, end, c});
    }
  }
  const std::vector<bool> sharing = SharingBytes(spans);
  std::vector<Span> sound;
  for (size_t k = 0; k < spans.size(); ++k) {
    if (sharing[k]) {
      problems->Add("HFE cylinder " + std::to_string(spans[k].cylinder) +
                    " shares its blocks with another; read as absent");
    } else {
      sound.push_back(spans[k]);
    }
  }
  return sound;
}

// One head's bytes of a cylinder: bytes 0-255 (head 0) or 256-511 (head 1)
// of each of its blocks, `perHead` in all.
void HeadBytes(const uint8_t* file, const Span& s, uint64_t perHead, int head,
               std::vector<uint8_t>* bytes) {
  bytes->clear();
  for (uint64_t k = 0; k * hfe::kHeadBytes < perHead; ++k) {
    const uint64_t take = std::min<uint64_t>(hfe::kHeadBytes, perHead - k * hfe::kHeadBytes);
    const uint8_t* from = file + s.start + k * hfe::kBlockSize + head * hfe::kHeadBytes;
    bytes->insert(bytes->end(), from, from + take);
  }
}

}  // namespace

bool ReadHfe(const uint8_t* file, size_t size, const FluxVisitor& visit, ProblemLog* problems) {
  if (!DetectHfe(file, size)) return false;
  const bool v3 = std::memcmp(file, hfe::kMagicV3, hfe::kMagicLength) == 0;
  const int cylinders = file[hfe::kCylindersOffset];
  const int heads = file[hfe::kHeadsOffset];
  const uint32_t rate = GetU16le(file + hfe::kRateOffset);
  if (heads < 1 || heads > 2 || cylinders < 1 || rate == 0 || rate == hfe::kVariableRate) {
    problems->Add("HFE header gives " + std::to_string(cylinders) + " cylinders, " +
                  std::to_string(heads) + " heads and " + std::to_string(rate) +
                  " kbit/s; nothing read");
    return false;
  }
  const uint64_t list =
      static_cast<uint64_t>(GetU16le(file + hfe::kTrackListOffset)) * hfe::kBlockSize;
  const std::vector<Span> spans = PlaceCylinders(file, size, list, cylinders, problems);

  // v1 counts in cells; v3 in 36 MHz ticks, as its rate opcodes do.
  const double cellNs = 500000.0 / rate;
  const double tickNs = v3 ? 1e9 / hfe::kOpcodeClock : cellNs;
  const uint32_t headerCellTicks =
      v3 ? std::max<uint32_t>(1, static_cast<uint32_t>(cellNs / tickNs + 0.5)) : 1;
  flux::TrackFlux track;
  std::vector<uint8_t> bytes;
  for (const Span& s : spans) {
    const uint64_t perHead =
        GetU16le(file + list + hfe::kTrackEntrySize * s.cylinder + hfe::kTrackLengthOffset) / 2;
    for (int h = 0; h < heads; ++h) {
      HeadBytes(file, s, perHead, h, &bytes);
      BeginTrack(&track, s.cylinder, h, tickNs);
      CellSink sink(&track);
      if (v3) {
        AddV3(bytes, headerCellTicks, &sink,
              "HFE cylinder " + std::to_string(s.cylinder) + " head " + std::to_string(h),
              problems);
      } else {
        for (const uint8_t b : bytes) sink.Add(b, 8, 1);
      }
      if (track.intervals.empty()) continue;
      EndRevolution(&track, sink.Total());
      visit(track);
    }
  }
  return true;
}

}  // namespace containers
