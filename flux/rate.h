// The first stage: how fast a track's cells come.
//
// A disk holds the same number of cells per revolution whatever drive
// reads it (a 2HD disk written at 360 rpm and read at 300 rpm gives every
// interval 1.2 times as long, and a revolution 1.2 times as long), so each
// revolution is scaled to the cells per revolution of its rate; which rate
// is the one at which the intervals fall on 2, 3 and 4 cells (FM at the MFM
// rate: 2 and 4).  A dump with no whole revolution is measured against the
// cell lengths the rates give at 300 and 360 rpm instead.
#ifndef FLUX_RATE_H
#define FLUX_RATE_H

#include <cstddef>
#include <vector>

#include "flux/flux.h"

namespace flux {

struct Rate {
  int cellsPerRevolution;
  int rpm;      // the speed disks of this rate are written at
  int mfmKbps;  // their MFM data rate (FM: half)
};

// Best first where two give the same cell length.
constexpr Rate kRates[] = {
    {166667, 360, 500},  // 2HD
    {100000, 300, 250},  // 2DD, 2D
    {200000, 300, 500},  // 1.44 MB, 2HS
    {83333, 360, 250},   // 250 kbit/s written at 360 rpm
};

// Revolution r of a dump: its intervals [begin, end).  Ends past the
// intervals or before the previous end are clamped, and no more than
// kMaxRevolutions are read.
struct Span {
  size_t begin, end;
};
std::vector<Span> Revolutions(const TrackFlux& flux);

struct Timing {
  const Rate* rate = nullptr;        // null: no rate fits the intervals
  std::vector<double> cellsPerTick;  // per revolution
  std::vector<bool> whole;           // per revolution: index to index, scaled by its own length
  int driveRpm = 0;                  // 0: unknown
};

Timing MeasureTiming(const TrackFlux& flux, const std::vector<Span>& revolutions);

}  // namespace flux

#endif  // FLUX_RATE_H
