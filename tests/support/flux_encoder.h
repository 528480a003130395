// Writes a test-builder disk as the flux a drive would read from it, one
// flux::TrackFlux per physical track, so that every decoding case has a
// known answer.
//
// Each track is laid out with the standard gaps and marks: gap 4a, an index
// mark, then per sector sync, ID field, gap 2, sync, data field and gap 3
// (sized by N, narrowed where a track would not fit otherwise), and gap 4b
// to the end of the revolution.  A sector is FM where its density byte is
// 0x40 and MFM otherwise (so a track may be either, or both); its deleted
// byte gives a deleted-data mark; status 0xA0 writes its ID CRC wrong, 0xB0
// its data CRC, and 0xF0 leaves its data field out.  The data field holds
// the sector's data, however long.  Randomness (jitter, the place a dump
// starts, noise) is seeded, so a flux is the same on every run.
#ifndef TESTS_SUPPORT_FLUX_ENCODER_H
#define TESTS_SUPPORT_FLUX_ENCODER_H

#include <cstdint>
#include <vector>

#include "flux/flux.h"
#include "support/d88_builder.h"

namespace testimg {

// A stretch of one revolution that reads as noise.
struct FluxDamage {
  int track = -1;  // physical track as dumped (cylinder * 2 + head); -1: every track
  int revolution = 0;
  double from = 0.3;    // where it starts, as a share of the revolution
  double length = 0.2;  // its length, likewise
};

struct FluxOptions {
  // 0: 166,667 (2HD) for media byte 0x20 or a disk whose tracks need it,
  // else 100,000 (2DD, 2D).
  int cellsPerRevolution = 0;
  int rpm = 0;       // the disk's own speed; 0: 360 at 166,667 or 83,333 cells, else 300
  int driveRpm = 0;  // the drive's; 0: the disk's (300 for a 360-rpm disk: every interval 1.2x)
  double speedError = 0;  // the drive this much slow (0.02: intervals 2% long)
  double jitter = 0;      // each transition moved by up to this many cells either way
  // Each transition moved by a normal error whose standard deviation is
  // this share of the track's mean interval (0.05: 5%), as a worn disk and
  // a drive's read channel spread them; added to `jitter`.
  double gaussianJitter = 0;
  int revolutions = 3;
  std::vector<FluxDamage> damage;
  // False: the dump starts at a random place, so its first revolution is
  // partial, and ends at another after its last whole one.
  bool indexCued = true;
  // Every track turned so that its last sector's data field straddles the
  // index (read whole only across it).
  bool acrossIndex = false;
  // A 40-cylinder disk read in an 80-cylinder drive without double
  // stepping: each cylinder written twice, at physical 2c and 2c + 1.
  bool undoubled = false;
  bool singleSided = false;  // head 0 only
  // Physical cylinders written; those past the disk's are unformatted
  // (noise).  0: the disk's own.
  int cylinders = 0;
  double tickNs = 25;
  uint32_t seed = 1;
};

// The cells per revolution EncodeFlux writes `disk` at.
int FluxCellsPerRevolution(const Disk& disk, const FluxOptions& options = {});

// One revolution of a track's cells from the index (each 0 or 1), at the
// MFM rate (FM cells doubled).
std::vector<uint8_t> TrackCells(const std::vector<Sector>& sectors, int cellsPerRevolution,
                                bool acrossIndex = false);

// Revolutions of `cells` (empty: unformatted) as a drive would read them;
// `track` (cylinder * 2 + head as dumped) picks the damage that applies and
// seeds the randomness.
flux::TrackFlux CellsToFlux(const std::vector<uint8_t>& cells, int cellsPerRevolution,
                            const FluxOptions& options, int track);

std::vector<flux::TrackFlux> EncodeFlux(const Disk& disk, const FluxOptions& options = {});

// How many of `disk`'s sectors `decoded` gives back sound with their ID and
// data, and how many sectors it calls sound that the disk does not hold
// (found by C, H, R in the track; the disk's IDs must be unique per track).
struct Recovered {
  size_t right = 0, wrong = 0, total = 0;
};
Recovered CountRecovered(const Disk& disk, const flux::Disk& decoded);

}  // namespace testimg

#endif  // TESTS_SUPPORT_FLUX_ENCODER_H
