// The third stage: address marks to ID and data fields, each checked by
// its CRC, and each ID paired with the data field that follows it.
//
// A data field belongs to the ID before it when it is of the same encoding
// and its mark comes within 60 bytes of the ID's end; an FM data field only
// after an ID whose CRC is good (FM marks are easily imitated).  A data
// field is read to the length its N gives where the CRC agrees there (and
// its cells keep the encoding's clock, as for an ID); else
// to the first length where it does and gap bytes follow (a field shorter
// or longer than N says); else, as a bad copy, to N's length or the next
// mark of its encoding, whichever comes first.  Marks inside a sound data
// field are data, not marks.  An MFM mark one transition of which moved is
// no longer seen by the PLL: a sound ID with no data mark after it has its
// data read where one stands worn, and a data mark with no ID before it
// has its ID read where one stands worn and its CRC agrees.
#ifndef FLUX_FIELDS_H
#define FLUX_FIELDS_H

#include <cstdint>
#include <vector>

#include "flux/bitstream.h"
#include "flux/flux.h"
#include "flux/vote.h"

namespace flux {

// One ID as one revolution gave it, with the data field after it.
struct Sighting {
  int32_t offset = 0;  // cells from the index to its mark
  uint8_t revolution = 0;
  Encoding encoding = Encoding::kMfm;
  uint8_t id[4] = {};  // C H R N
  bool idGood = false;
  bool hasData = false;
  bool dataGood = false;
  bool deleted = false;
  uint32_t dataAt = 0, dataLength = 0;  // its data, in the pool
  uint8_t dataMark = 0;                 // the mark byte, which the CRC covers
  // A bad copy read to N's length keeps its stored CRC after its data in
  // the pool.  An MFM one notes where its transitions most likely moved
  // (bit i of the field: bit 7 - i % 8 of byte i / 8): beside each clock
  // that broke the encoding's rule, the doubtful transition the PLL placed
  // (pll.h) gives the data bit it moved (`located`); a break with none
  // beside it or more than kMostLocated make it `unexplained`; doubtful
  // transitions all over the field or more than kMostBreaks breaks make it
  // `noisy` too (a slip or noise: it is no copy of the field at all).  The
  // most doubtful of the other transitions are `loose`.
  bool crcKept = false;
  static constexpr int kMostLocated = 6;
  static constexpr int kMostLoose = 5;
  static constexpr uint32_t kMostBreaks = 2 * kMostLocated;
  uint32_t breaks = 0;  // clocks that broke the rule
  uint32_t doubts = 0;  // doubtful transitions in the field: how well the PLL fit
  bool unexplained = false;
  bool noisy = false;
  uint8_t locatedCount = 0, looseCount = 0;
  uint32_t located[kMostLocated] = {};
  DoubtfulBit loose[kMostLoose] = {};  // weight: the error in thousandths of a cell
};

// Appends the sightings of `bits` to `out` and their data to `pool`.
void ReadFields(const Bitstream& bits, std::vector<Sighting>& out, std::vector<uint8_t>& pool);

// True when the ends of `bits` may cut a sector off unseen, which cells read
// on past the end would give: a mark too near the end for an ID field after
// it, or an MFM data mark too near the start for the (worn) ID before it.
bool CutAtEnds(const Bitstream& bits);

}  // namespace flux

#endif  // FLUX_FIELDS_H
