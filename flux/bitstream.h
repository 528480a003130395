// The cells a track's flux decodes to: what the PLL stage hands on to the
// stages that find marks and read fields.
#ifndef FLUX_BITSTREAM_H
#define FLUX_BITSTREAM_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "flux/flux.h"

namespace flux {

// Where a sync pattern ends and an address mark may begin.
struct MarkAt {
  uint32_t cell = 0;  // the mark byte's first cell
  Encoding encoding = Encoding::kMfm;
};

// A transition the PLL placed with an error near half a cell: it may
// belong one cell later (error > 0) or earlier (error < 0).
struct Doubt {
  uint32_t cell = 0;  // the cell it was placed in
  float error = 0;    // the phase error it was found with, in cells
};

// Raw cells at the MFM rate of the track (FM cells come out doubled: a
// one as 1 0, a zero as 0 0), every revolution back to back.
struct Bitstream {
  // Cell i is bit 63 - i % 64 of words[i / 64]; a spare zero word at the
  // end lets any window be read with two loads.
  std::vector<uint64_t> words;
  uint32_t cells = 0;  // cells of the dump's revolutions
  // Past `cells`, up to `end`, the start of the track once more where the
  // PLL read on (ReadPastEnd), so that a field across the index of a single
  // revolution reads whole; marks there are not looked for.
  uint32_t end = 0;
  // Cell where revolution r starts; one more entry, `cells`, ends the last.
  std::vector<uint32_t> revolutionStarts;
  bool firstPartial = false;  // the first revolution does not start at the index
  int cellsPerRevolution = 0;
  std::vector<MarkAt> marks;  // candidates, in cell order
  std::vector<Doubt> doubts;  // in cell order

  bool Cell(uint32_t at) const { return words[at >> 6] >> (63 - (at & 63)) & 1; }

  // The 64 cells from `at` on, the first as the top bit; cells past the end
  // read as zeros.  `at` must be below `end`.
  uint64_t Window(uint32_t at) const {
    const uint32_t w = at >> 6, shift = at & 63;
    const uint64_t high = words[w] << shift;
    return shift == 0 ? high : high | words[w + 1] >> (64 - shift);
  }

  // The revolution holding cell `at` (below `cells`).
  int Revolution(uint32_t at) const {
    return static_cast<int>(
               std::upper_bound(revolutionStarts.begin(), revolutionStarts.end() - 1, at) -
               revolutionStarts.begin()) -
           1;
  }
  // Cells from the index to `at`, in whichever revolution it lies.  A
  // first revolution that starts elsewhere ends at the index: its cells are
  // counted back from there.
  int32_t Offset(uint32_t at) const {
    const int r = Revolution(at);
    const int64_t from = static_cast<int64_t>(at) - revolutionStarts[static_cast<size_t>(r)];
    if (r != 0 || !firstPartial || revolutionStarts.size() < 3 || cellsPerRevolution <= 0) {
      return static_cast<int32_t>(from);
    }
    const int64_t back = static_cast<int64_t>(revolutionStarts[1]) - at;
    const int64_t turn = cellsPerRevolution;
    return static_cast<int32_t>(((turn - back) % turn + turn) % turn);
  }
};

}  // namespace flux

#endif  // FLUX_BITSTREAM_H
