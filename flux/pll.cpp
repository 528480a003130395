#include "flux/pll.h"

#include <algorithm>
#include <cstdint>

#include "flux/marks.h"

namespace flux {

namespace {

constexpr float kClockRange = 0.10f;
// No revolution gives more cells than this share over its rate's, however
// its intervals and times disagree, so the cells are bounded by the track.
constexpr double kRevolutionSlack = 1.25;
// The start of a lone whole revolution read again past its end: room for a
// data field of 1024 bytes across the index.
constexpr int kWrapShare = 8;
// A run this long (no flux) is counted, not locked to.
constexpr float kLongRun = 1 << 20;
constexpr uint32_t kShortRun = 4;  // the longest run in MFM or FM
// Added to a float below 2^22 and taken away again, rounds it to the
// nearest whole number: two additions where a conversion to an integer
// and back would take four times as long.
constexpr float kRounder = 12582912.0f;  // 1.5 * 2^23
static_assert(kLongRun < (1 << 22), "runs round exactly");

// Cells the buffer takes, its spare word left for windows read at the end.
uint32_t Capacity(const Bitstream& bits) {
  const uint64_t cells = bits.words.size() < 2 ? 0 : (bits.words.size() - 1) * uint64_t{64};
  return static_cast<uint32_t>(std::min<uint64_t>(cells, UINT32_MAX));
}

// The loop works in its own clock's cells: each interval is multiplied by
// `stretch`, its estimate of nominal cells per clock cell, rather than the
// sum divided by the clock.  The stretch it applies is one interval old, so
// that only the phase runs from each interval to the next: the few
// additions and one multiplication on that path bound the loop's speed.
struct Loop {
  const PllSetting& setting;
  Bitstream& out;
  float stretch = 1.0f;
  float applied = 1.0f;  // the stretch the next interval is multiplied by
  float phase = 0.0f;    // the error carried into the next interval, in cells
  uint64_t recent = 0;   // the last 64 cells
  uint32_t at = 0;       // cells so far

  // Feeds intervals [begin, end) scaled by `perTick`, up to `limit` cells
  // (no further than the buffer holds, whatever the caller asks).
  void Run(const uint32_t* intervals, size_t begin, size_t end, float perTick, uint32_t limit) {
    // Below the largest count by a run of no flux, so `at + n` cannot wrap.
    limit = std::min({limit, Capacity(out), UINT32_MAX - static_cast<uint32_t>(kLongRun)});
    if (at >= limit) return;
    const float low = 1.0f / (1.0f + kClockRange), high = 1.0f / (1.0f - kClockRange);
    const float gain = setting.frequencyGain, keep = 1.0f - setting.phaseGain;
    uint64_t* words = out.words.data();
    // The state in locals for the loop: a store through `words` could
    // otherwise be any member, and each would go to memory every interval.
    float stretch = this->stretch, applied = this->applied, phase = this->phase;
    uint64_t recent = this->recent;
    uint32_t at = this->at;
    for (size_t i = begin; i < end; ++i) {
      const float q = phase + static_cast<float>(intervals[i]) * (perTick * applied);
      applied = stretch;
      float whole, error;
      if (q < kLongRun) {
        whole = (q + kRounder) - kRounder;
        error = q - whole;
      } else {
        whole = kLongRun;  // NaN too: a run of no flux
        error = 0;
      }
      // Under a cell once rounded (exactly half a cell rounds to even, to
      // none): a glitch, counted with the next interval.  A count of none
      // would set the cell before the last one again, or before the first.
      if (!(whole >= 1.0f)) {
        phase = q;
        continue;
      }
      // At most kLongRun: converted as a signed 32-bit number, one instruction.
      const uint32_t n = static_cast<uint32_t>(static_cast<int32_t>(whole));
      // The last cells with this interval's, kept once it fits: a short run
      // needs no test for a shift past the word.
      uint64_t shifted;
      if (n <= kShortRun) {
        stretch = stretch - error * gain;
        shifted = recent << n | 1;
      } else {
        stretch = stretch + (1.0f - stretch) * gain;
        shifted = n < 64 ? recent << n | 1 : 1;
      }
      stretch = std::min(std::max(stretch, low), high);
      phase = error * keep;
      if (at + n > limit) {
        at = limit;
        break;
      }
      at += n;
      const uint32_t one = at - 1;  // below `limit`, which the buffer holds
      words[one >> 6] |= uint64_t{1} << 63 >> (one & 63);
      if (error > kDoubtfulError || error < -kDoubtfulError) out.doubts.push_back({one, error});
      recent = shifted;
      // The low 32 cells first: one comparison each, where a pattern
      // longer than that takes a mask and two 64-bit constants.
      const uint32_t low = static_cast<uint32_t>(recent);
      if (low == static_cast<uint32_t>(kMfmSyncs) && (recent & kMfmSyncsMask) == kMfmSyncs) {
        out.marks.push_back({at, Encoding::kMfm});
      } else if (low == static_cast<uint32_t>(kFmPrefix) && (recent & kFmPrefixMask) == kFmPrefix) {
        out.marks.push_back({at - kFmPrefixCells, Encoding::kFm});
      }
    }
    this->stretch = stretch, this->applied = applied, this->phase = phase;
    this->recent = recent, this->at = at;
  }
};

}  // namespace

bool Wraps(const std::vector<Span>& revolutions, const Timing& timing) {
  size_t wholeCount = 0;
  for (size_t r = 0; r < revolutions.size(); ++r) wholeCount += timing.whole[r];
  return wholeCount == 1 && timing.whole[revolutions.size() - 1];
}

PllState RunPll(const TrackFlux& flux, const std::vector<Span>& revolutions,
                const Timing& timing, const PllSetting& setting, Bitstream& out) {
  const uint32_t turn = static_cast<uint32_t>(timing.rate->cellsPerRevolution);
  const uint32_t most = static_cast<uint32_t>(turn * kRevolutionSlack);
  const uint64_t bound = uint64_t{most} * revolutions.size();

  out.words.assign(static_cast<size_t>(bound / 64 + 2), 0);
  out.marks.clear();
  out.doubts.clear();
  out.revolutionStarts.clear();
  out.cellsPerRevolution = static_cast<int>(turn);
  out.firstPartial = !flux.indexCued;
  Loop loop{setting, out};
  for (size_t r = 0; r < revolutions.size(); ++r) {
    out.revolutionStarts.push_back(loop.at);
    loop.Run(flux.intervals.data(), revolutions[r].begin, revolutions[r].end,
             static_cast<float>(timing.cellsPerTick[r]), loop.at + most);
  }
  out.cells = out.end = loop.at;
  out.revolutionStarts.push_back(out.cells);
  return {loop.stretch, loop.applied, loop.phase, loop.recent};
}

void ReadPastEnd(const TrackFlux& flux, const std::vector<Span>& revolutions,
                 const Timing& timing, const PllSetting& setting, const PllState& state,
                 Bitstream& out) {
  if (!Wraps(revolutions, timing) || out.end != out.cells) return;
  const uint32_t turn = static_cast<uint32_t>(timing.rate->cellsPerRevolution);
  const uint32_t most = static_cast<uint32_t>(turn * kRevolutionSlack);
  const size_t last = revolutions.size() - 1;
  const uint32_t wrapCells = turn / kWrapShare;
  const uint64_t bound = uint64_t{most} * revolutions.size() + wrapCells;
  // The cells past `end` are still zeros: the buffer grows, nothing moves.
  out.words.resize(static_cast<size_t>(bound / 64 + 2), 0);
  Loop loop{setting, out, state.stretch, state.applied, state.phase, state.recent, out.end};
  // The time from the last transition to the index, where the revolution's
  // length was recorded (a revolution is scaled to exactly its cells).
  const int64_t rest = int64_t{out.revolutionStarts[last]} + turn - loop.at;
  if (rest > 0 && rest < 64) loop.phase += static_cast<float>(rest);
  loop.Run(flux.intervals.data(), revolutions[last].begin, revolutions[last].end,
           static_cast<float>(timing.cellsPerTick[last]), loop.at + wrapCells);
  out.end = loop.at;
}

}  // namespace flux
