// Flux dumps decoded to sectors.
//
// A dump file (its reader lives with the other containers) is turned into
// TrackFlux, one track at a time: the intervals between the magnetic
// transitions the drive saw, revolution after revolution, in the file's own
// clock ticks.  DecodeTrack turns that into the sectors the track holds;
// AssembleDisk finds the disk's geometry from every decoded track.  Nothing
// here knows a file layout, and nothing knows D88: the containers layer
// writes the result out.
#ifndef FLUX_FLUX_H
#define FLUX_FLUX_H

#include <cstdint>
#include <vector>

#include "d88/d88_format.h"

namespace flux {

// No dump is decoded past this many revolutions of one track.
constexpr int kMaxRevolutions = 32;

// One track of a dump, before any decoding.
struct TrackFlux {
  int cylinder = 0;   // the drive's cylinder, as the file numbers it
  int head = 0;
  double tickNs = 0;  // the length of one tick, in nanoseconds
  // The intervals of every revolution back to back, each in ticks.
  std::vector<uint32_t> intervals;
  // Revolution r holds intervals [r > 0 ? revolutionEnds[r - 1] : 0,
  // revolutionEnds[r]).
  std::vector<uint32_t> revolutionEnds;
  // How long revolution r lasted from index to index, in ticks, where the
  // file records it; 0 where it does not (its intervals' sum stands in).
  std::vector<uint64_t> revolutionTicks;
  // False when the first revolution does not start at an index pulse (it
  // is then a partial one).
  bool indexCued = true;
};

enum class Encoding : uint8_t { kNone, kFm, kMfm };

// A sector's status, as a PC-98 DISK BIOS reports it and D88 stores it.
using d88::kStatusDataCrc;
using d88::kStatusDeleted;
using d88::kStatusIdCrc;
using d88::kStatusNoData;
using d88::kStatusSound;

// How a sector's data was obtained.
enum class DataOrigin : uint8_t {
  kNone,      // no data field
  kGoodCopy,  // one copy whose CRC agreed, as read
  kVoted,     // bad copies combined bit by bit by majority; the CRC agrees
  kRepaired,  // the vote (or the one copy) with a few doubtful bits flipped; the CRC agrees
  kBadCopy,   // no copy sound: the bad copy most revolutions agree on
};

// One sector as the track gave it.
struct Sector {
  uint8_t c = 0, h = 0, r = 0, n = 0;  // the ID field as read
  Encoding encoding = Encoding::kMfm;
  bool deleted = false;  // a deleted-data mark
  // As a PC-98 DISK BIOS reports it (and D88 stores it): see kStatus...
  uint8_t status = 0x00;
  // The data field as the disk gives it (its length need not be 128 << N),
  // from a revolution where its CRC is good where there is one.
  std::vector<uint8_t> data;
  uint32_t seenIn = 0;     // bit r: revolution r carried this sector
  uint32_t badCopies = 0;  // bit r: revolution r's copy had a bad CRC
  DataOrigin origin = DataOrigin::kNone;
  // kVoted and kRepaired: how many bad copies were combined, and from which
  // revolutions (bit r: revolution r); kRepaired: how many bits flipped.
  uint8_t votedCopies = 0;
  uint32_t votedRevolutions = 0;
  uint8_t flippedBits = 0;

  bool Sound() const { return status == kStatusSound || status == kStatusDeleted; }
};

struct Track {
  int cylinder = 0;  // physical, as in the dump
  int head = 0;
  // In the order they stand on the track, from the index; duplicate IDs at
  // different places are distinct sectors.
  std::vector<Sector> sectors;
  Encoding encoding = Encoding::kNone;  // kNone: nothing found
  bool mixed = false;                   // FM and MFM sectors both
  int rateKbps = 0;                     // data rate at the disk's own speed
  int revolutions = 0;                  // revolutions decoded
  int attempts = 0;                     // decodings tried (PLL settings)
  // Raw cells (half data bits at the MFM rate) per revolution the track was
  // decoded at: 166,667 for 2HD, 100,000 for 2DD and 2D, 200,000 for 1.44 MB
  // and 83,333 for 250 kbit/s disks written at 360 rpm; 0 when no rate fit.
  int cellsPerRevolution = 0;
  int driveRpm = 0;  // the drive's speed as the index times show it; 0: none
};

// Decodes one track.  Work and memory are bounded by the flux given; a
// track with no marks decodes to no sectors.
Track DecodeTrack(const TrackFlux& flux);

// D88 media bytes.
using d88::kMedia2D;
using d88::kMedia2DD;
using d88::kMedia2HD;

// The disk the decoded tracks make, its geometry found, not assumed.
struct Disk {
  // Logical tracks, by D88 track index (cylinder * 2 + head): a dump made
  // without double stepping of a 40-cylinder disk is read once, and
  // cylinders past the last formatted one are dropped.
  std::vector<Track> tracks;
  int cylinders = 0;
  int heads = 0;
  bool doubleStepped = false;    // every track was found twice
  uint8_t mediaType = kMedia2D;  // kMedia2D, kMedia2DD or kMedia2HD
};

// `tracks` in any order, by physical cylinder and head; tracks of heads
// other than 0 and 1 or cylinders past 255 are left out.
Disk AssembleDisk(std::vector<Track> tracks);

}  // namespace flux

#endif  // FLUX_FLUX_H
