// Flux dumps (SCP, KryoFlux stream, HFE, MFI): each reader turns its file
// into flux::TrackFlux, one track at a time and in file order, and nothing
// more; decoding is the flux library's, and the conversion here writes the
// disk it gives as D88.  Every reader reads only the bytes it is given,
// checks every size, count and offset against them before use, and puts
// what it found wrong into `problems` (the file's one warning line).
#ifndef CONTAINERS_FLUX_DUMP_H
#define CONTAINERS_FLUX_DUMP_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "containers/d88_writer.h"
#include "containers/readers.h"
#include "containers/sector_table.h"
#include "flux/flux.h"

namespace containers {

// Sees each track as it is read.  The flux is the reader's: it is reused
// for the next track once the call returns.
using FluxVisitor = std::function<void(const flux::TrackFlux&)>;

// Which of `ranges` (each with a `start` and an `end` offset in the file)
// share bytes with one that starts before them, or with them and comes
// first.  A reader refuses those: a sound file never shares, and no byte
// read twice keeps a reader's work linear in the file's size whatever its
// offsets say.
template <typename Range>
std::vector<bool> SharingBytes(const std::vector<Range>& ranges) {
  std::vector<size_t> byStart(ranges.size());
  for (size_t i = 0; i < byStart.size(); ++i) byStart[i] = i;
  std::stable_sort(byStart.begin(), byStart.end(),
                   [&](size_t a, size_t b) { return ranges[a].start < ranges[b].start; });
  std::vector<bool> sharing(ranges.size(), false);
  uint64_t covered = 0;
  for (const size_t i : byStart) {
    if (ranges[i].start < covered) {
      sharing[i] = true;
    } else {
      covered = ranges[i].end;
    }
  }
  return sharing;
}

// Empties `track` for the flux of another, cued to the index.
inline void BeginTrack(flux::TrackFlux* track, int cylinder, int head, double tickNs) {
  track->cylinder = cylinder;
  track->head = head;
  track->tickNs = tickNs;
  track->indexCued = true;
  track->intervals.clear();
  track->revolutionEnds.clear();
  track->revolutionTicks.clear();
}

// Ends a revolution after the intervals so far; `ticks` as recorded, or 0.
inline void EndRevolution(flux::TrackFlux* track, uint64_t ticks) {
  track->revolutionEnds.push_back(static_cast<uint32_t>(track->intervals.size()));
  track->revolutionTicks.push_back(ticks);
}

// A revolution's recorded length in ticks where it lies within a tenth of
// its intervals' sum, else 0 (the sum stands in): a length far from it is
// not believed.
inline uint64_t Believed(double recorded, uint64_t sum) {
  return recorded > sum * 0.9 && recorded < sum * 1.1 ? static_cast<uint64_t>(recorded + 0.5) : 0;
}

// No dump file is loaded past this size: a 3-revolution 2HD SCP is some
// 60-75 MB, and one of 5 revolutions and 84 cylinders twice that.
constexpr size_t kLargestFluxDump = 256u << 20;

// Whether the first bytes of a file (as many as it has, up to 16) are a
// flux dump's signature, before the file is loaded.
bool LooksLikeFluxDump(const uint8_t* first, size_t size);

// Each reader's Detect takes the whole file; its Read is false when the
// file holds nothing readable (its header unsound).
bool DetectScp(const uint8_t* file, size_t size);
bool ReadScp(const uint8_t* file, size_t size, const FluxVisitor& visit, ProblemLog* problems);

bool DetectHfe(const uint8_t* file, size_t size);
bool ReadHfe(const uint8_t* file, size_t size, const FluxVisitor& visit, ProblemLog* problems);

bool DetectMfi(const uint8_t* file, size_t size);
bool ReadMfi(const uint8_t* file, size_t size, const FluxVisitor& visit, ProblemLog* problems);

// A KryoFlux dump is a set of files, one a track, named
// <prefix><cylinder, two digits>.<head>.raw.  The name decides the track:
// false for a name not of that shape.
bool StreamFileTrack(const std::string& name, size_t* prefixLength, int* cylinder, int* head);
// A stream file by its content (its first block an out-of-band one) and
// either its name or the end-of-file block that ends it.
bool DetectKryoFlux(const uint8_t* file, size_t size, const std::string& name);
// One stream file as the track of `cylinder` and `head`; `name` names it in
// problems.
bool ReadKryoFluxStream(const uint8_t* file, size_t size, int cylinder, int head,
                        const std::string& name, flux::TrackFlux* track, ProblemLog* problems);

// Reads a dump's tracks into `visit`; false when the file holds nothing
// readable.
using FluxReader = std::function<bool(const FluxVisitor& visit, ProblemLog* problems)>;

// Decodes every track `read` gives as it comes (the flux goes once
// decoded), finds the disk's geometry and writes it as one D88 disk: each
// sector's ID as read, FM as density 0x40, a deleted mark as 0x10, the
// status as decoded and the data as the disk gives it.  Fills `info`, and
// `decoded` where given (the benchmark checks it).
bool WriteFluxDisk(Kind kind, const FluxReader& read, D88Writer& out, Conversion* info,
                   flux::Disk* decoded = nullptr);

// Converts a flux dump of `kind` (not KryoFlux) to one D88 disk.
bool ConvertFlux(Kind kind, const uint8_t* file, size_t size, D88Writer& out, Conversion* info);

// Converts the KryoFlux set that the stream file at `path` (its bytes
// given) belongs to: its siblings are read by name beside it, one at a
// time.
bool ConvertKryoFluxFile(const char* path, const uint8_t* file, size_t size, D88Writer& out,
                         Conversion* info);

// Converts a KryoFlux set held in memory (from an archive or a folder):
// every file whose name ends in NN.S.raw, folders in the names ignored.
bool ConvertKryoFluxSet(const StreamFile* files, size_t count, D88Writer& out, Conversion* info);

}  // namespace containers

#endif  // CONTAINERS_FLUX_DUMP_H
