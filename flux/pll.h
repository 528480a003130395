// The second stage: flux intervals to cells through a phase-locked loop,
// and where sync patterns end.
//
// Every revolution is scaled so that a cell is 1.0 (see rate.h); the loop
// counts whole cells in each interval against its clock, then moves the
// clock by a share of the error (only after short runs, where the count is
// sure; after long ones it drifts back to 1.0) and carries the rest of the
// error on as phase.  The clock stays within 10% of 1.0.
#ifndef FLUX_PLL_H
#define FLUX_PLL_H

#include <cstdint>
#include <vector>

#include "flux/bitstream.h"
#include "flux/flux.h"
#include "flux/rate.h"

namespace flux {

struct PllSetting {
  float frequencyGain;  // share of the phase error that moves the clock
  float phaseGain;      // share of the phase error taken out at once
};

// Tried in this order while a track still loses sectors.
constexpr PllSetting kPllSettings[] = {
    {0.05f, 0.60f},  // follows speed changes within a revolution closely
    {0.01f, 0.10f},  // steady: rides out noise and weak flux
    {0.002f, 0.10f},  // all but fixed: a worn disk's jitter moves no clock
    {0.10f, 0.80f},  // fastest: tracks written on a drive of another speed
    {0.0f, 0.01f},   // the revolution's own clock, its phase alone followed slowly
};

// A transition placed with an error of more than this many cells is a
// doubtful one (bitstream.h), where a repair may look.
constexpr float kDoubtfulError = 0.35f;

// True when the dump's one whole revolution ends it, so that its start can
// be read again past its end (a field across the index read whole).
bool Wraps(const std::vector<Span>& revolutions, const Timing& timing);

// Where the loop stopped, so that it can read on.
struct PllState {
  float stretch = 1.0f, applied = 1.0f, phase = 0.0f;
  uint64_t recent = 0;
};

// Fills `out` (its buffers reused) with the cells of every revolution.
PllState RunPll(const TrackFlux& flux, const std::vector<Span>& revolutions,
                const Timing& timing, const PllSetting& setting, Bitstream& out);

// Where Wraps, reads on from where RunPll left `out` (and `state`) into the
// start of the whole revolution again, past `cells` up to a new `end`.
void ReadPastEnd(const TrackFlux& flux, const std::vector<Span>& revolutions,
                 const Timing& timing, const PllSetting& setting, const PllState& state,
                 Bitstream& out);

}  // namespace flux

#endif  // FLUX_PLL_H
