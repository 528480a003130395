// What d88info finds out about the selected disk of an image: shared by the
// text listing and the JSON document, so that both show the same things.
#ifndef D88INFO_FACTS_H
#define D88INFO_FACTS_H

#include <cstdint>
#include <string>
#include <vector>

#include "containers/container.h"
#include "cut/catalogue.h"
#include "d88/d88_image.h"

namespace d88info {

using cut::kFirstSector;
using cut::kLastSector;

// "2D" .. "1DD", else "media 0xNN".
std::string MediaName(int media);
// "writable", "write-protected", else "write-protect 0xNN".
std::string ProtectName(int flag);
// The name as stored, kept plain ASCII and unambiguous inside quotes:
// control bytes, bytes from 0x7F up, '"' and '\' as \xNN.
std::string Escaped(const char* name);

// The track indexes of the selected disk that hold a track (its HasTrack),
// in order.
std::vector<int> Tracks(const d88::D88Image& image);

// One program that takes the selected disk, and for which kind.
struct Taker {
  const char* program;
  int number;
  const char* kind;
};
// Every program that would take the selected disk, in catalogue order.
std::vector<Taker> Takers(d88::D88Image& image, cut::Span<const cut::Catalogue*> catalogues);

// What a track's listings are read into: a track can list 65,535 headers,
// more than a stack should hold, so a run holds one of these on the heap
// and every listing reuses it.
struct TrackBuffers {
  std::vector<uint8_t> ids = std::vector<uint8_t>(d88::kMaxHeadersPerTrack * 4);
  std::vector<int> lengths = std::vector<int>(d88::kMaxHeadersPerTrack);
  std::vector<uint8_t> flags = std::vector<uint8_t>(d88::kMaxHeadersPerTrack * 3);
};

// One track's sectors in stored order, over one walk each.  The pointers
// lead into `buffers`, valid until its next listing.
struct TrackList {
  int count = 0;
  const uint8_t* ids = nullptr;    // C, H, R, N: 4 bytes a sector
  const int* lengths = nullptr;    // the data-length fields
  const uint8_t* flags = nullptr;  // density, deleted, status: 3 bytes a sector
};
TrackList ListTrack(d88::D88Image& image, int track, TrackBuffers& buffers);
// How many sectors the track lists, without the lengths and flags.
int CountSectors(d88::D88Image& image, int track, TrackBuffers& buffers);
// Which of sectors kFirstSector..kLastSector no sector of the list carries.
std::vector<int> MissingSectors(const TrackList& list);

// "0 3-5": numbers in ascending order, runs of them as ranges.
std::string Ranges(const std::vector<int>& numbers);

// What decoding found on track `track` of a flux dump, or null.
const containers::FluxTrackFacts* FluxTrack(const containers::FluxFacts& facts, int track);
// The revolutions (from 1) whose bits are set.
// How a sector that had a bad copy was obtained: "one good copy", "voted
// from 3 revolutions", "repaired from 3 revolutions, 2 bits flipped", or
// "" where no copy, vote or repair was sound.
std::string Obtained(const containers::FluxTrackFacts::BadCrc& sector);
// The same as a word for the JSON: "goodCopy", "voted", "repaired" or
// "badCopy".
const char* ObtainedKey(flux::DataOrigin origin);

std::vector<int> Revolutions(uint32_t bits);

}  // namespace d88info

#endif  // D88INFO_FACTS_H
