#include "flux/rate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace flux {

namespace {

constexpr size_t kSample = 4096;  // intervals the rates are scored on
// A revolution this close to the typical one is whole; others (the last
// one cut short, a file cut inside one) take the typical scale.
constexpr double kWholeTolerance = 0.10;
constexpr double kNsPerMinute = 60e9;
constexpr int kDriveRpms[] = {360, 300};

// A later rate must fit this share of the sample better to be taken: two
// that give the same cell length (2HD at 360 rpm, 1.44 MB at 300) score
// alike, and the first is the likelier.
constexpr size_t kBetterShare = 64;

// How many sampled intervals fall within 0.3 cells of 2, 3 or 4 cells.
// The windows are apart, so the nearest of the three counts decides,
// without rounding the interval to a count first (a call or a long
// sequence, where this is a few branch-free instructions).  Counted in a
// double, exact this far, so that the loop is vectorised.
size_t Score(const std::vector<double>& sample, double cellTicks) {
  double score = 0;
  const double perTick = 1 / cellTicks;
  for (double x : sample) {
    const double q = x * perTick;
    const double two = std::fabs(q - 2), three = std::fabs(q - 3), four = std::fabs(q - 4);
    const double nearest = std::min(std::min(two, three), four);
    score += nearest < 0.3 ? 1.0 : 0.0;
  }
  return static_cast<size_t>(score);
}

}  // namespace

std::vector<Span> Revolutions(const TrackFlux& flux) {
  std::vector<Span> spans;
  size_t begin = 0;
  for (uint32_t end : flux.revolutionEnds) {
    if (spans.size() == static_cast<size_t>(kMaxRevolutions)) break;
    const size_t clamped = std::min<size_t>(std::max<size_t>(end, begin), flux.intervals.size());
    spans.push_back({begin, clamped});
    begin = clamped;
  }
  return spans;
}

Timing MeasureTiming(const TrackFlux& flux, const std::vector<Span>& revolutions) {
  Timing timing;
  const size_t count = revolutions.size();
  timing.cellsPerTick.assign(count, 0);
  timing.whole.assign(count, false);
  std::vector<uint64_t> ticks(count,
                              0);    // per revolution: its recorded length, else its intervals'
  std::vector<uint64_t> candidates;  // lengths of revolutions that run index to index
  size_t total = 0;
  for (size_t r = 0; r < count; ++r) {
    uint64_t sum = 0;  // a local, so the loop is vectorised
    for (size_t i = revolutions[r].begin; i < revolutions[r].end; ++i) sum += flux.intervals[i];
    ticks[r] = sum;
    total += revolutions[r].end - revolutions[r].begin;
    // A recorded length the intervals fall well short of: the file lost some.
    const uint64_t recorded = r < flux.revolutionTicks.size() ? flux.revolutionTicks[r] : 0;
    const bool complete =
        recorded == 0 || std::fabs(static_cast<double>(ticks[r]) - static_cast<double>(recorded)) <=
                             kWholeTolerance * static_cast<double>(recorded);
    if (complete && recorded > 0)
      ticks[r] = recorded;  // counts the time after the last transition too
    if ((r > 0 || flux.indexCued) && ticks[r] > 0 && complete) candidates.push_back(ticks[r]);
  }
  if (total == 0) return timing;
  // As doubles: each is scored against every rate.
  std::vector<double> sample;
  const size_t stride = std::max<size_t>(1, total / kSample);
  sample.reserve(total / stride + count);
  for (const Span& span : revolutions) {
    for (size_t i = span.begin; i < span.end; i += stride) sample.push_back(flux.intervals[i]);
  }
  const bool nsKnown = flux.tickNs > 0 && flux.tickNs < 1e6;  // false for NaN too

  size_t best = 0;
  double cellTicks = 0;
  if (!candidates.empty()) {
    // The upper median: a trailing part-revolution falls below it, and one
    // index pulse missed (a revolution twice as long) among three above it.
    std::nth_element(candidates.begin(), candidates.begin() + candidates.size() / 2,
                     candidates.end());
    const double typical = static_cast<double>(candidates[candidates.size() / 2]);
    for (const Rate& rate : kRates) {
      const size_t score = Score(sample, typical / rate.cellsPerRevolution);
      if (timing.rate == nullptr || score > best + sample.size() / kBetterShare)
        best = score, timing.rate = &rate;
    }
    cellTicks = typical / timing.rate->cellsPerRevolution;
    for (size_t r = 0; r < count; ++r) {
      const double length = static_cast<double>(ticks[r]);
      timing.whole[r] =
          (r > 0 || flux.indexCued) && std::fabs(length - typical) <= kWholeTolerance * typical;
      timing.cellsPerTick[r] =
          timing.whole[r] ? timing.rate->cellsPerRevolution / length : 1 / cellTicks;
    }
    const double rpm = nsKnown ? kNsPerMinute / (typical * flux.tickNs) : 0;
    if (rpm >= 1 && rpm < 100000) timing.driveRpm = static_cast<int>(std::lround(rpm));
  } else {
    if (!nsKnown) return timing;
    for (const Rate& rate : kRates) {
      for (int rpm : kDriveRpms) {
        const double ticksPerCell = kNsPerMinute / rpm / rate.cellsPerRevolution / flux.tickNs;
        const size_t score = Score(sample, ticksPerCell);
        if (timing.rate == nullptr || score > best + sample.size() / kBetterShare) {
          best = score, timing.rate = &rate, timing.driveRpm = rpm, cellTicks = ticksPerCell;
        }
      }
    }
    timing.cellsPerTick.assign(count, 1 / cellTicks);
  }
  // Noise, not a formatted track: too few intervals fit any rate.
  if (best * 4 < sample.size()) timing.rate = nullptr;
  return timing;
}

}  // namespace flux
