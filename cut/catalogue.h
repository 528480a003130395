// The records a program's catalogue is written in: constant tables of
// recognition rules, single cuts and numbered series, which the frame in
// run.h walks.  A catalogue is data; nothing in it is code.
#ifndef CUT_CATALOGUE_H
#define CUT_CATALOGUE_H

#include <cstddef>
#include <cstdint>

namespace cut {

// Every probe and every cut reads into this one buffer; it holds the
// largest request of any catalogue (a 37-sector run).
constexpr int kSectorBufferSize = 9472;

// The sectors are numbered 1 to 26 on every track the programs read.
constexpr int kFirstSector = 1;
constexpr int kLastSector = 26;

// Probes read one 256-byte sector of head 0 with size code 1.
constexpr int kProbeHead = 0;
constexpr int kProbeSizeCode = 1;
constexpr int kProbeLength = 256;

// A constant view of a constant array, so a table row can name another
// table without spelling out its length.
template <typename T>
struct Span {
  const T* data = nullptr;
  int count = 0;
  constexpr Span() = default;
  template <std::size_t N>
  constexpr Span(const T (&array)[N]) : data(array), count(static_cast<int>(N)) {}
  constexpr const T* begin() const { return data; }
  constexpr const T* end() const { return data + count; }
};

// A byte string that may hold zero bytes; built from a string literal, whose
// terminating zero takes no part.
struct Bytes {
  const char* data = nullptr;
  int length = 0;
  constexpr Bytes() = default;
  template <std::size_t N>
  constexpr Bytes(const char (&literal)[N])
      : data(literal), length(static_cast<int>(N) - 1) {}
};

// The sector a rule reads before its test: track index, cylinder, sector.
struct Probe {
  int track;
  int c;
  int r;
};

// Rules that test what an earlier rule's probe read carry this.
constexpr Probe kNoProbe = {-1, 0, 0};

struct Signature {
  int offset;  // into the probe bytes
  Bytes bytes;
};

// One CutFile call with all its arguments.
struct CutSpec {
  const char* name;
  int track, c, h, r, n, skip, length;
};

// One row of a numbered cut list; a row whose sector is 0 ends the list.
struct SeriesEntry {
  int32_t track;
  int32_t sector;
  int32_t length;
};

struct Series {
  const char* format = nullptr;  // printf-style, given the row index
  const SeriesEntry* entries = nullptr;
};

struct DiskRule {
  int number;  // the disk number that forces this rule
  Probe probe;
  Signature signature;
  const char* message;  // printed as it stands, to standard error
  const char* label;    // a short ASCII name of the disk kind
  Span<CutSpec> cuts;   // made first, in order
  Series series;        // then this, if it has a format
};

struct Catalogue {
  const char* program;
  Span<DiskRule> rules;  // in the order they are tried
};

// Whether every cut and series row of `catalogue` fits the sector buffer
// and every signature lies within the probe bytes; meant for static_assert.
constexpr bool FitsBuffer(const Catalogue& catalogue) {
  for (const DiskRule& rule : catalogue.rules) {
    const Signature& s = rule.signature;
    if (s.offset < 0 || s.bytes.length <= 0 ||
        s.offset + s.bytes.length > kProbeLength) {
      return false;
    }
    for (const CutSpec& cut : rule.cuts) {
      if (cut.skip < 0 || cut.length < 0 ||
          cut.skip + cut.length > kSectorBufferSize) {
        return false;
      }
    }
    if (rule.series.entries != nullptr) {
      for (const SeriesEntry* e = rule.series.entries; e->sector != 0; ++e) {
        if (e->length < 0 || e->length > kSectorBufferSize) return false;
      }
    }
  }
  return true;
}

// The last track index a read of `length` bytes of sectors of size code
// `n` from track/r reaches, stepping over track ends as ReadSectors does.
constexpr int LastTrackRead(int track, int r, int n, int length) {
  const int sectorLength = 128 << n;
  const int sectors = length > 0 ? (length + sectorLength - 1) / sectorLength : 1;
  const int perTrack = kLastSector - kFirstSector + 1;
  return track + (r - kFirstSector + sectors - 1) / perTrack;
}

// Whether every probe, cut and series row of `catalogue` reads only tracks
// below `limit`; meant for static_assert.  The tracks of a disk from 160 on
// are a matter of how its table is read (d88::TableEntries): no catalogue
// may depend on them.
constexpr bool ReadsTracksBelow(const Catalogue& catalogue, int limit) {
  for (const DiskRule& rule : catalogue.rules) {
    if (rule.probe.track >= limit) return false;
    for (const CutSpec& cut : rule.cuts) {
      if (cut.n < 0 || cut.n > 3 || LastTrackRead(cut.track, cut.r, cut.n, cut.skip + cut.length) >= limit) {
        return false;
      }
    }
    if (rule.series.entries != nullptr) {
      for (const SeriesEntry* e = rule.series.entries; e->sector != 0; ++e) {
        if (LastTrackRead(e->track, e->sector, kProbeSizeCode, e->length) >= limit) return false;
      }
    }
  }
  return true;
}

}  // namespace cut

#endif  // CUT_CATALOGUE_H
