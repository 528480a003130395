// MFI: each whole-cylinder track is one turn of angular positions, inflated
// with zlib and turned into intervals.  Half and quarter cylinders are not
// read (no PC-98 drive steps there).  The file keeps no speed: a turn is
// taken as 200 ms, one unit a nanosecond; the decoder times cells by the
// turn, so the choice does not matter to it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// libdeflate: a whole-buffer inflater, kept up and packaged widely, that
// reads a dump's tracks in less than half zlib's time (and a tenth of all
// of reading one); cmake/archive_deps.cmake: Debian libdeflate-dev
// natively, built from Debian's source package for the cross builds.
#include <libdeflate.h>

#include "containers/flux_dump.h"
#include "containers/mfi_format.h"
#include "d88/d88_format.h"

namespace containers {

namespace {

using d88::GetU32le;

constexpr double kUnitNs = 200e6 / mfi::kTurn;  // at 300 rpm

struct Entry {
  int index;
  int cylinder, head;
  uint64_t start, end;
  uint32_t inflated;
};

std::string Place(const Entry& e) {
  return "MFI cylinder " + std::to_string(e.cylinder) + " head " + std::to_string(e.head);
}

// A track's zlib stream: its 2-byte header checked, then the deflate data
// inflated raw.  The stream's Adler-32 of the inflated words is not
// computed: it cost a tenth of reading a whole dump, and what the words
// hold is checked where it matters, by each sector's CRC.
constexpr size_t kZlibHeader = 2;
constexpr unsigned kDeflated = 8;  // the compression method, in the low 4 bits

struct FreeInflater {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
using Inflater = std::unique_ptr<libdeflate_decompressor, FreeInflater>;

// True when `to` is filled exactly by the stream (no more, no less).
bool Inflate(libdeflate_decompressor* inflater, const uint8_t* from, size_t size,
             std::vector<uint8_t>* to) {
  if (size < kZlibHeader) return false;
  const unsigned method = from[0], flags = from[1];
  const bool sound = (method & 0x0F) == kDeflated && (method >> 4) <= 7 &&
                     (method << 8 | flags) % 31 == 0 && (flags & 0x20) == 0;  // no dictionary
  if (!sound) return false;
  // With no length asked back, a stream that gives fewer bytes fails too.
  return libdeflate_deflate_decompress(inflater, from + kZlibHeader, size - kZlibHeader,
                                       to->data(), to->size(), nullptr) == LIBDEFLATE_SUCCESS;
}

// The words of a current file: positions as distances, type 0 a transition.
// `intervals` is written over from its start and cut to what was found.
void AddPositions(const std::vector<uint8_t>& words, std::vector<uint32_t>* intervals,
                  const std::string& place, ProblemLog* problems) {
  // Room for a transition a word, written through a pointer: a push per
  // transition cost as much as the reading.
  const size_t count = words.size() / 4;
  intervals->resize(count);
  uint32_t* const first = intervals->data();
  // A track of transitions alone, within the turn, has its values for
  // intervals: one loop the compiler vectorises, the types and the turn
  // checked after it.  Other tracks are read again a word at a time.
  static_assert(mfi::kFlux == 0, "a track of transitions has no type bits set");
  uint32_t types = 0;
  uint64_t position = 0;
  for (size_t k = 0; k < count; ++k) {
    const uint32_t word = GetU32le(words.data() + 4 * k);
    types |= word;
    first[k] = word & mfi::kValueMask;
    position += word & mfi::kValueMask;
  }
  if (types >> mfi::kTypeShift == mfi::kFlux && position < mfi::kTurn) return;

  uint32_t* out = first;
  uint64_t last = 0;
  position = 0;
  for (size_t k = 0; k < count; ++k) {
    const uint32_t word = GetU32le(words.data() + 4 * k);
    position += word & mfi::kValueMask;
    if (position >= mfi::kTurn) {
      problems->Add(place + " runs past one turn; read up to it");
      break;
    }
    if (word >> mfi::kTypeShift == mfi::kFlux) {
      *out++ = static_cast<uint32_t>(position - last);
      last = position;
    }
  }
  intervals->resize(static_cast<size_t>(out - first));
}

// The cells of an older file: a transition where the orientation changes.
void AddCells(const std::vector<uint8_t>& words, flux::TrackFlux* track, const std::string& place,
              ProblemLog* problems) {
  uint64_t position = 0, last = 0;
  int orientation = -1;
  for (size_t i = 0; i + 4 <= words.size(); i += 4) {
    const uint32_t word = GetU32le(words.data() + i);
    const uint32_t type = word >> mfi::kTypeShift;
    if (type == mfi::kOrientationA || type == mfi::kOrientationB) {
      if (orientation >= 0 && static_cast<uint32_t>(orientation) != type) {
        track->intervals.push_back(static_cast<uint32_t>(position - last));
        last = position;
      }
      orientation = static_cast<int>(type);
    }
    position += word & mfi::kValueMask;
    if (position > mfi::kTurn) {
      problems->Add(place + " runs past one turn; read up to it");
      return;
    }
  }
  if (position != mfi::kTurn) problems->Add(place + " cells do not make one turn");
}

}  // namespace

bool DetectMfi(const uint8_t* file, size_t size) {
  if (size < static_cast<size_t>(mfi::kHeaderSize)) return false;
  if (std::memcmp(file, mfi::kMagicNew, mfi::kMagicLength) != 0 &&
      std::memcmp(file, mfi::kMagicOld, mfi::kMagicLength) != 0) {
    return false;
  }
  const uint32_t cylinders = GetU32le(file + mfi::kCylindersOffset);
  return (cylinders & mfi::kCylinderMask) <= mfi::kMaxCylinders &&
         cylinders >> mfi::kStepShift <= mfi::kMaxStep &&
         GetU32le(file + mfi::kHeadsOffset) <= mfi::kMaxHeads;
}

bool ReadMfi(const uint8_t* file, size_t size, const FluxVisitor& visit, ProblemLog* problems) {
  if (!DetectMfi(file, size)) return false;
  const bool current = std::memcmp(file, mfi::kMagicNew, mfi::kMagicLength) == 0;
  const uint32_t field = GetU32le(file + mfi::kCylindersOffset);
  const int cylinders = static_cast<int>(field & mfi::kCylinderMask);
  const int step = static_cast<int>(field >> mfi::kStepShift);
  const int heads = static_cast<int>(GetU32le(file + mfi::kHeadsOffset));
  const int count = (cylinders << step) * heads;
  int listed = count;
  if (mfi::kHeaderSize + static_cast<uint64_t>(mfi::kEntrySize) * count > size) {
    listed = static_cast<int>((size - mfi::kHeaderSize) / mfi::kEntrySize);
    problems->Add("MFI track table runs past the end of the file; " + std::to_string(listed) +
                  " of its " + std::to_string(count) + " tracks read");
  }
  const uint64_t tableEnd = mfi::kHeaderSize + static_cast<uint64_t>(mfi::kEntrySize) * listed;
  std::vector<Entry> entries;
  for (int i = 0; i < listed; ++i) {
    const int position = i / heads;
    if (position % (1 << step) != 0) continue;  // a half or quarter cylinder
    const uint8_t* e = file + mfi::kHeaderSize + mfi::kEntrySize * i;
    const uint64_t start = GetU32le(e + mfi::kEntryOffset);
    const uint64_t end = start + GetU32le(e + mfi::kEntryCompressed);
    const uint32_t inflated = GetU32le(e + mfi::kEntryInflated);
    const Entry entry{i, position >> step, i % heads, start, end, inflated};
    if (inflated == 0) continue;  // unformatted
    if (inflated % 4 != 0 || inflated > mfi::kLargestTrack) {
      problems->Add(Place(entry) + " inflates to " + std::to_string(inflated) +
                    " bytes, not a track's words; read as absent");
    } else if (start < tableEnd) {
      problems->Add(Place(entry) + " points into the header; read as absent");
    } else if (end > size) {
      problems->Add(Place(entry) + " runs past the end of the file; read as absent");
    } else {
      entries.push_back(entry);
    }
  }
  const std::vector<bool> sharing = SharingBytes(entries);
  for (size_t k = 0; k < entries.size(); ++k) {
    if (sharing[k])
      problems->Add(Place(entries[k]) + " shares its bytes with another track; read as absent");
  }

  const Inflater inflater(libdeflate_alloc_decompressor());
  if (!inflater) return false;  // out of memory
  flux::TrackFlux track;
  // The last track's intervals, written over: a vector grown from empty is
  // zero-filled first, which cost a quarter as much as reading the words.
  std::vector<uint32_t> spare;
  std::vector<uint8_t> words;
  for (size_t k = 0; k < entries.size(); ++k) {
    const Entry& e = entries[k];
    if (sharing[k]) continue;
    words.resize(e.inflated);
    if (!Inflate(inflater.get(), file + e.start, static_cast<size_t>(e.end - e.start), &words)) {
      problems->Add(Place(e) + " does not inflate to its size; read as absent");
      continue;
    }
    spare.swap(track.intervals);
    BeginTrack(&track, e.cylinder, e.head, kUnitNs);
    if (current) {
      AddPositions(words, &spare, Place(e), problems);
      track.intervals.swap(spare);
    } else {
      AddCells(words, &track, Place(e), problems);
    }
    if (track.intervals.empty()) continue;
    EndRevolution(&track, mfi::kTurn);
    visit(track);
  }
  return true;
}

}  // namespace containers
