// The fourth stage: the sightings of every revolution (and every PLL
// setting tried) to the sectors of the track.
//
// Sightings within 1000 cells of each other from the index are one sector
// (duplicate IDs stand further apart); the sectors keep track order from
// the index.  A sector takes the first ID whose CRC is good and the first
// data whose CRC is good; where none is, the bad copy most revolutions
// agree on, with the status a PC-98 DISK BIOS gives it.
//
// With `rebuild`, a sector whose ID is sound but no data copy is gets its
// bad copies of N's length voted bit by bit (vote.h) and, where they are in
// doubt in a few bits only, repaired (repair.h); what agrees with its CRC
// is sound.  The decoder asks for it once, after its last PLL setting, so
// that no sector spends its repair tries twice, and only for a track that
// lost sectors.
#ifndef FLUX_SECTORS_H
#define FLUX_SECTORS_H

#include <cstdint>
#include <vector>

#include "flux/fields.h"
#include "flux/flux.h"

namespace flux {

// Bit r of a Sector's seenIn and badCopies.
uint32_t RevolutionBit(int revolution);

std::vector<Sector> MergeSightings(const std::vector<Sighting>& sightings,
                                   const std::vector<uint8_t>& pool, int cellsPerRevolution,
                                   bool rebuild = false);

// True when a decoding may have lost sectors: one has no sound copy, or
// one is missing from a revolution in `wholeRevolutions` (a bit each).
bool LosesSectors(const std::vector<Sector>& sectors, uint32_t wholeRevolutions);

}  // namespace flux

#endif  // FLUX_SECTORS_H
