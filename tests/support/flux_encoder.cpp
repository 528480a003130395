#include "support/flux_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "d88/d88_format.h"
#include "flux/crc.h"
#include "flux/marks.h"

namespace testimg {

namespace {

using flux::Encoding;

constexpr int k2hdCells = 166667;
constexpr int k2ddCells = 100000;
constexpr double kNsPerMinute = 60e9;

// Gap lengths in bytes of the encoding.
struct Gaps {
  int gap4a, sync, gap1, gap2;
  int gap3[4];  // by N, the last for N 3 and above
};
constexpr Gaps kMfmGaps{80, 12, 50, 22, {32, 54, 84, 116}};
constexpr Gaps kFmGaps{40, 6, 26, 11, {27, 42, 58, 138}};
// Where a track would not fit, gap 3 is narrowed to each of these in turn.
constexpr int kNarrowerGap3[] = {40, 16, 8};

const Gaps& GapsOf(Encoding e) { return e == Encoding::kFm ? kFmGaps : kMfmGaps; }
Encoding EncodingOf(const Sector& s) {
  return s.density == d88::kDensityFm ? Encoding::kFm : Encoding::kMfm;
}

class CellWriter {
 public:
  explicit CellWriter(std::vector<uint8_t>& cells) : cells_(cells) {}

  void Byte(Encoding e, uint8_t byte, int count = 1) {
    for (int i = 0; i < count; ++i) {
      if (e == Encoding::kFm) {
        Put(flux::Doubled(flux::FmCells(byte, 0xFF)), 32);
      } else {
        Put(flux::MfmCells(byte, last_), 16);
      }
      last_ = byte & 1;
    }
  }
  void Bytes(Encoding e, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) Byte(e, bytes[i]);
  }
  void Gap(Encoding e, int count) {
    Byte(e, e == Encoding::kFm ? flux::kFmGapByte : flux::kMfmGapByte, count);
  }
  void Sync(Encoding e) { Byte(e, flux::kSyncByte, GapsOf(e).sync); }
  // Sync bytes, then the mark (three A1 syncs first in MFM; clock C7 in FM).
  void Mark(Encoding e, uint8_t mark) {
    Sync(e);
    if (e == Encoding::kFm) {
      Put(flux::Doubled(flux::FmCells(mark, flux::kFmMarkClock)), 32);
    } else {
      for (int i = 0; i < 3; ++i) Put(flux::kMfmSyncA1, 16);
      Put(flux::MfmCells(mark, true), 16);
    }
    last_ = mark & 1;
  }
  void IndexMark(Encoding e) {
    Sync(e);
    if (e == Encoding::kFm) {
      Put(flux::Doubled(flux::FmCells(flux::kIndexMark, flux::kFmIndexClock)), 32);
    } else {
      for (int i = 0; i < 3; ++i) Put(flux::kMfmSyncC2, 16);
      Put(flux::MfmCells(flux::kIndexMark, false), 16);
    }
    last_ = flux::kIndexMark & 1;
  }
  // A field after its mark: the bytes and their CRC, spoilt when `bad`.
  void Field(Encoding e, uint8_t mark, const uint8_t* bytes, size_t count, bool bad) {
    uint16_t crc = flux::CrcByte(e == Encoding::kFm ? flux::kCrcPreset : flux::kMfmCrcPreset, mark);
    crc = flux::Crc(crc, bytes, count);
    if (bad) crc ^= 0xFFFF;
    Bytes(e, bytes, count);
    const uint8_t stored[] = {static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)};
    Bytes(e, stored, 2);
  }
  size_t Size() const { return cells_.size(); }

 private:
  void Put(uint64_t cells, int count) {
    for (int bit = count - 1; bit >= 0; --bit)
      cells_.push_back(static_cast<uint8_t>(cells >> bit & 1));
  }

  std::vector<uint8_t>& cells_;
  bool last_ = false;
};

// Lays the track out with gap 3 at most `gap3Cap` bytes; false when it
// does not fit in `turn` cells.  `dataField` gets the cells of the last
// sector's data field.
bool LayOut(const std::vector<Sector>& sectors, size_t turn, int gap3Cap,
            std::vector<uint8_t>& cells, size_t dataField[2]) {
  cells.clear();
  CellWriter w(cells);
  const Encoding first = sectors.empty() ? Encoding::kMfm : EncodingOf(sectors.front());
  w.Gap(first, GapsOf(first).gap4a);
  w.IndexMark(first);
  w.Gap(first, GapsOf(first).gap1);
  dataField[0] = dataField[1] = 0;
  for (const Sector& s : sectors) {
    const Encoding e = EncodingOf(s);
    const Gaps& gaps = GapsOf(e);
    w.Mark(e, flux::kIdMark);
    const uint8_t id[] = {s.c, s.h, s.r, s.n};
    w.Field(e, flux::kIdMark, id, sizeof id, s.status == flux::kStatusIdCrc);
    w.Gap(e, gaps.gap2);
    if (s.status != flux::kStatusNoData) {
      dataField[0] = w.Size();
      const uint8_t mark = s.deleted != 0 ? flux::kDeletedMark : flux::kDataMark;
      w.Mark(e, mark);
      w.Field(e, mark, s.data.data(), s.data.size(), s.status == flux::kStatusDataCrc);
      dataField[1] = w.Size();
    }
    w.Gap(e, std::min(gaps.gap3[std::min<int>(s.n, 3)], gap3Cap));
    if (w.Size() > turn) return false;
  }
  const Encoding last = sectors.empty() ? first : EncodingOf(sectors.back());
  while (w.Size() < turn) w.Gap(last, 1);
  cells.resize(turn);
  return true;
}

// A uniform random number in [0, 1) from the generator, the same on every
// platform (the standard distributions are not).
double Uniform(std::mt19937& random) { return (random() >> 8) * (1.0 / (1 << 24)); }

// A standard normal number (Box-Muller), again the same everywhere.
double Normal(std::mt19937& random) {
  const double u = 1.0 - Uniform(random);  // (0, 1]: its logarithm is finite
  return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * Uniform(random));
}

}  // namespace

int FluxCellsPerRevolution(const Disk& disk, const FluxOptions& options) {
  if (options.cellsPerRevolution > 0) return options.cellsPerRevolution;
  if (disk.mediaType == flux::kMedia2HD) return k2hdCells;
  std::vector<uint8_t> cells;
  size_t field[2];
  for (const auto& track : disk.tracks) {
    if (!LayOut(track.second, k2ddCells, kNarrowerGap3[0], cells, field)) return k2hdCells;
  }
  return k2ddCells;
}

std::vector<uint8_t> TrackCells(const std::vector<Sector>& sectors, int cellsPerRevolution,
                                bool acrossIndex) {
  std::vector<uint8_t> cells;
  size_t field[2];
  const size_t turn = static_cast<size_t>(cellsPerRevolution);
  bool fits = LayOut(sectors, turn, 1 << 16, cells, field);
  for (int cap : kNarrowerGap3) fits = fits || LayOut(sectors, turn, cap, cells, field);
  if (!fits) {
    std::fprintf(stderr, "flux encoder: %zu sectors do not fit in %d cells\n", sectors.size(),
                 cellsPerRevolution);
    std::abort();
  }
  if (acrossIndex && field[1] > field[0]) {
    const size_t shift = turn - (field[0] + field[1]) / 2;
    std::rotate(cells.begin(), cells.begin() + static_cast<long>(turn - shift), cells.end());
  }
  return cells;
}

flux::TrackFlux CellsToFlux(const std::vector<uint8_t>& cells, int cellsPerRevolution,
                            const FluxOptions& options, int track) {
  const int64_t turn = cellsPerRevolution;
  const int rpm = options.rpm > 0 ? options.rpm : turn == k2hdCells || turn == 83333 ? 360 : 300;
  const int driveRpm = options.driveRpm > 0 ? options.driveRpm : rpm;
  // A revolution holds the same cells at any speed; the drive's sets how long it takes.
  const double cellNs =
      kNsPerMinute / driveRpm / static_cast<double>(turn) * (1 + options.speedError);
  std::mt19937 random(options.seed * 7919u + static_cast<uint32_t>(track));

  // The capture in cells from the first revolution's index: [begin, end).
  int64_t begin = 0, end = turn * options.revolutions;
  if (!options.indexCued) {
    begin = static_cast<int64_t>((0.1 + 0.8 * Uniform(random)) * static_cast<double>(turn));
    end = turn * (options.revolutions + 1) +
          static_cast<int64_t>((0.1 + 0.4 * Uniform(random)) * static_cast<double>(turn));
  }
  flux::TrackFlux flux;
  flux.tickNs = options.tickNs;
  flux.indexCued = options.indexCued;
  auto ticksAt = [&](double cell) {
    return static_cast<int64_t>(
        std::llround((cell - static_cast<double>(begin)) * cellNs / options.tickNs));
  };
  int64_t lastTicks = 0;
  // A cell's transition at its end: the loop counts it as the n-th cell.
  std::vector<int64_t> ones;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (cells[i] != 0) ones.push_back(static_cast<int64_t>(i));
  }
  // The track's mean interval, in cells, scales the normal jitter.
  const double sigma = options.gaussianJitter * (ones.empty() ? 3.0
                                                              : static_cast<double>(cells.size()) /
                                                                    static_cast<double>(ones.size()));
  auto transition = [&](int64_t cell) {
    double jitter = options.jitter * (2 * Uniform(random) - 1);
    if (sigma > 0) jitter += sigma * Normal(random);
    const int64_t ticks = std::max(lastTicks, ticksAt(static_cast<double>(cell) + 1 + jitter));
    flux.intervals.push_back(static_cast<uint32_t>(ticks - lastTicks));
    lastTicks = ticks;
  };
  // Noise: transitions 1 to 6 cells apart.
  auto gap = [&random] { return static_cast<int64_t>(random() % 6); };
  auto noise = [&](int64_t from, int64_t to) {
    for (int64_t cell = from + gap(); cell < to; cell += 1 + gap()) transition(cell);
  };
  for (int64_t base = begin / turn * turn; base < end; base += turn) {
    if (base > begin)
      flux.revolutionEnds.push_back(static_cast<uint32_t>(flux.intervals.size()));  // the index
    const int64_t from = std::max(begin, base) - base, to = std::min(end, base + turn) - base;
    if (cells.empty()) {
      noise(base + from, base + to);
      continue;
    }
    // The damaged stretches of this revolution, in order.
    std::vector<std::pair<int64_t, int64_t>> stretches;
    for (const FluxDamage& d : options.damage) {
      if ((d.track >= 0 && d.track != track) || d.revolution != base / turn) continue;
      stretches.emplace_back(static_cast<int64_t>(d.from * static_cast<double>(turn)),
                             static_cast<int64_t>((d.from + d.length) * static_cast<double>(turn)));
    }
    std::sort(stretches.begin(), stretches.end());
    auto one = std::lower_bound(ones.begin(), ones.end(), from);
    for (const auto& stretch : stretches) {
      const int64_t a = std::max(stretch.first, from), b = std::min(stretch.second, to);
      if (b <= a) continue;
      for (; one != ones.end() && *one < a; ++one) transition(base + *one);
      noise(base + a, base + b);
      one = std::lower_bound(ones.begin(), ones.end(), b);
    }
    for (; one != ones.end() && *one < to; ++one) transition(base + *one);
  }
  flux.revolutionEnds.push_back(static_cast<uint32_t>(flux.intervals.size()));
  // Index to index times for the whole revolutions only.
  int64_t start = begin;
  for (size_t r = 0; r < flux.revolutionEnds.size(); ++r) {
    const int64_t stop = std::min(end, (start / turn + 1) * turn);
    const bool whole = start % turn == 0 && stop - start == turn;
    flux.revolutionTicks.push_back(whole
                                       ? static_cast<uint64_t>(ticksAt(static_cast<double>(stop)) -
                                                               ticksAt(static_cast<double>(start)))
                                       : 0);
    start = stop;
  }
  return flux;
}

std::vector<flux::TrackFlux> EncodeFlux(const Disk& disk, const FluxOptions& options) {
  const int turn = FluxCellsPerRevolution(disk, options);
  const int diskCylinders = disk.tracks.empty() ? 0 : disk.tracks.rbegin()->first / 2 + 1;
  const int cylinders =
      std::max(options.undoubled ? 2 * diskCylinders : diskCylinders, options.cylinders);
  const int heads = options.singleSided ? 1 : 2;
  std::vector<flux::TrackFlux> tracks;
  for (int p = 0; p < cylinders; ++p) {
    for (int h = 0; h < heads; ++h) {
      const int cylinder = options.undoubled ? p / 2 : p;
      const int index = cylinder * 2 + h;
      const auto found = disk.tracks.find(index);
      std::vector<uint8_t> cells;
      if (found != disk.tracks.end() && cylinder < diskCylinders) {
        cells = TrackCells(found->second, turn, options.acrossIndex);
      }
      // Each read its own jitter: the two reads of an undoubled cylinder differ.
      tracks.push_back(CellsToFlux(cells, turn, options, p * 2 + h));
      tracks.back().cylinder = p;
      tracks.back().head = h;
    }
  }
  return tracks;
}

}  // namespace testimg

namespace testimg {

Recovered CountRecovered(const Disk& disk, const flux::Disk& decoded) {
  Recovered count;
  for (const auto& track : disk.tracks) {
    count.total += track.second.size();
    const size_t index = static_cast<size_t>(track.first);
    if (index >= decoded.tracks.size()) continue;
    std::vector<bool> found(track.second.size(), false);  // each counted right once
    for (const flux::Sector& got : decoded.tracks[index].sectors) {
      if (!got.Sound()) continue;
      const auto same = std::find_if(track.second.begin(), track.second.end(),
                                     [&got](const Sector& s) {
                                       return s.c == got.c && s.h == got.h && s.r == got.r;
                                     });
      const bool right = same != track.second.end() && same->n == got.n &&
                         same->data == got.data && (same->deleted != 0) == got.deleted;
      if (!right) {
        ++count.wrong;
      } else if (!found[static_cast<size_t>(same - track.second.begin())]) {
        found[static_cast<size_t>(same - track.second.begin())] = true;
        ++count.right;
      }
    }
  }
  return count;
}

}  // namespace testimg
