// The stages in turn for one track: the rate, the PLL, the fields, the
// sectors; again with the next PLL setting while sectors are lost, every
// setting's sightings merged (a lone revolution read on past its end only
// where that may find more); then, if sectors are still lost, their bad
// copies voted and repaired.
#include <vector>

#include "flux/bitstream.h"
#include "flux/fields.h"
#include "flux/flux.h"
#include "flux/pll.h"
#include "flux/rate.h"
#include "flux/sectors.h"

namespace flux {

Track DecodeTrack(const TrackFlux& flux) {
  Track track;
  track.cylinder = flux.cylinder;
  track.head = flux.head;
  const std::vector<Span> revolutions = Revolutions(flux);
  for (const Span& span : revolutions) track.revolutions += span.end > span.begin;
  const Timing timing = MeasureTiming(flux, revolutions);
  if (timing.rate == nullptr) return track;
  track.cellsPerRevolution = timing.rate->cellsPerRevolution;
  track.driveRpm = timing.driveRpm;
  uint32_t whole = 0;
  for (size_t r = 0; r < revolutions.size(); ++r) {
    if (timing.whole[r]) whole |= RevolutionBit(static_cast<int>(r));
  }

  Bitstream bits;
  std::vector<Sighting> sightings;
  std::vector<uint8_t> pool;
  auto readSectors = [&] {
    ReadFields(bits, sightings, pool);
    track.sectors = MergeSightings(sightings, pool, timing.rate->cellsPerRevolution);
  };
  // A lone revolution is read on past its end only where the read without
  // loses sectors or may have cut one off at the index: that setting's
  // cells are read on and its fields again, in place of the read without
  // (its sightings would count twice), and every later setting reads on.
  bool wrap = false;
  for (const PllSetting& setting : kPllSettings) {
    const PllState state = RunPll(flux, revolutions, timing, setting, bits);
    if (wrap) ReadPastEnd(flux, revolutions, timing, setting, state, bits);
    readSectors();
    if (!wrap && Wraps(revolutions, timing) &&
        (LosesSectors(track.sectors, whole) || CutAtEnds(bits))) {
      wrap = true;
      ReadPastEnd(flux, revolutions, timing, setting, state, bits);
      sightings.clear();
      pool.clear();
      readSectors();
    }
    ++track.attempts;
    if (!LosesSectors(track.sectors, whole)) break;
  }
  // Every setting tried and still a sector short: vote and repair, once.
  if (LosesSectors(track.sectors, whole))
    track.sectors = MergeSightings(sightings, pool, timing.rate->cellsPerRevolution, true);

  size_t fm = 0;
  for (const Sector& s : track.sectors) fm += s.encoding == Encoding::kFm;
  const size_t mfm = track.sectors.size() - fm;
  track.encoding = track.sectors.empty() ? Encoding::kNone
                   : fm > mfm            ? Encoding::kFm
                                         : Encoding::kMfm;
  track.mixed = fm > 0 && mfm > 0;
  track.rateKbps = timing.rate->mfmKbps / (track.encoding == Encoding::kFm ? 2 : 1);
  return track;
}

}  // namespace flux
