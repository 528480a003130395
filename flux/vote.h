// Bad copies of one data field combined bit by bit, and where they differ.
//
// Copies of one sector from several revolutions (and PLL settings) that
// all failed their CRC mostly fail in different places: a bit most copies
// give is likelier right than any one copy's.  The bits the copies do not
// all give alike are the doubtful ones a repair may try.
#ifndef FLUX_VOTE_H
#define FLUX_VOTE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace flux {

// Bit i of a field is bit 7 - i % 8 of its byte i / 8.
struct DoubtfulBit {
  uint32_t bit = 0;
  uint32_t weight = 0;  // the more, the likelier wrong
};

// Sets `out` to the `length` bytes each of whose bits most `copies` give
// (a tie: the first copy's), and `doubtful` to the bits the copies do not
// all agree on, weighted by how many copies dissent.  Work is bounded by
// the copies' bytes.
void VoteCopies(const std::vector<const uint8_t*>& copies, size_t length,
                std::vector<uint8_t>& out, std::vector<DoubtfulBit>& doubtful);

}  // namespace flux

#endif  // FLUX_VOTE_H
