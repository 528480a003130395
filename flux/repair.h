// A field no copy or vote gives whole, repaired where it is doubtful in a
// few bits only.
//
// The CRC is the only check, and each candidate tried is another chance
// for a wrong field to agree with it by chance (1 in 65,536).  At most
// kMostCandidates are tried per field: 6 / 65,536 = 9.2e-5, so fewer than
// 1 repaired field in 10,000 can come out wrong; and none is tried where
// more than kMostDoubtfulBits bits are in doubt (noise, not a few cells).
#ifndef FLUX_REPAIR_H
#define FLUX_REPAIR_H

#include <cstdint>
#include <vector>

#include "flux/vote.h"

namespace flux {

constexpr int kMostCandidates = 6;      // 6 / 65536 < 1e-4
constexpr size_t kMostDoubtfulBits = 4;

// `field` is a data field and its stored CRC, the CRC run from `preset`.
// Tries it as it is, then with each doubtful bit flipped (weightiest
// first), then pairs of them, until the CRC agrees, kMostCandidates tries
// in all; `tryAsIs` false spends none on it as it is (already known bad).
// Returns the bits flipped (`field` then holds the repaired field), or -1
// (`field` as given).
int RepairField(std::vector<uint8_t>& field, uint16_t preset, std::vector<DoubtfulBit> doubtful,
                bool tryAsIs);

}  // namespace flux

#endif  // FLUX_REPAIR_H
