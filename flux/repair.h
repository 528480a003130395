// A field no copy or vote gives whole, repaired where it is doubtful in a
// few bits only.
//
// The CRC is the only check, and each candidate tried is another chance
// for a wrong field to agree with it by chance (1 in 65,536).  A sector's
// rebuild, its vote included, gets kMostCandidates tries in all: 6 / 65,536
// = 9.2e-5, so fewer than 1 rebuilt sector in 10,000 can come out wrong.
// Candidates come only from a few doubtful bits (noise gives none).
#ifndef FLUX_REPAIR_H
#define FLUX_REPAIR_H

#include <cstdint>
#include <vector>

#include "flux/vote.h"

namespace flux {

constexpr int kMostCandidates = 6;      // 6 / 65536 = 9.2e-5 < 1e-4
constexpr size_t kMostDoubtfulBits = 4;

// `field` is a data field and its stored CRC, the CRC run from `preset`.
// Spends one of `tries` (none left: nothing is tried) on `field` with the
// bits `flips` flipped (bit i: bit 7 - i % 8 of byte i / 8; bits past the
// field are no candidate).  True when the CRC agrees (`field` then holds
// it); else `field` is as given.
bool TryFlips(std::vector<uint8_t>& field, uint16_t preset, const std::vector<uint32_t>& flips,
              int& tries);

// Tries each doubtful bit flipped (weightiest first), then pairs of them,
// while `tries` last; nothing where more than kMostDoubtfulBits are in
// doubt.  Returns the bits flipped, or -1 (`field` as given).
int RepairField(std::vector<uint8_t>& field, uint16_t preset, std::vector<DoubtfulBit> doubtful,
                int& tries);

// `moved` are transitions the PLL placed near a cell's edge, each as the
// data bit moving it back flips and its error in thousandths of a cell.
// Tries them one and two at a time, the likeliest first, while `tries`
// last: under normal jitter the odds that a transition belongs in the next
// cell fall with its distance from the edge between them (500 - error), and
// two moved at once as the sum of theirs.  Returns the bits flipped, or -1
// (`field` as given).
int RepairMoved(std::vector<uint8_t>& field, uint16_t preset, const std::vector<DoubtfulBit>& moved,
                int& tries);

}  // namespace flux

#endif  // FLUX_REPAIR_H
