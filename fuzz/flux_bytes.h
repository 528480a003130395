// How the flux fuzz target reads arbitrary bytes as one track's flux, and
// how its seeds are written from the encoder's.
//
//   byte 0  flags: bit 0 the flux starts at the index; bits 1-2 the tick
//           (25, 41.6, 27.8 or 12.5 ns); bit 3 each revolution's length
//           recorded as its intervals' sum; bit 4 every revolution's
//           length recorded as the 32-bit number that follows
//   then    0x00 ends a revolution (an index pulse), 0x01 and 0x02 are
//           followed by a 16- or 32-bit interval, any other byte is an
//           interval itself; the input's end ends the last revolution
// Numbers are little-endian.
#ifndef FUZZ_FLUX_BYTES_H
#define FUZZ_FLUX_BYTES_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "d88/d88_format.h"
#include "flux/flux.h"

namespace fuzzflux {

constexpr uint8_t kIndexCued = 0x01;
constexpr int kTickShift = 1;
constexpr double kTicksNs[] = {25.0, 1e9 / 24027428.57, 1000.0 / 36, 12.5};
constexpr uint8_t kSumsRecorded = 0x08;
constexpr uint8_t kLengthGiven = 0x10;
constexpr uint8_t kIndex = 0x00, kInterval16 = 0x01, kInterval32 = 0x02;

inline flux::TrackFlux FluxFromBytes(const uint8_t* data, size_t size) {
  flux::TrackFlux track;
  if (size == 0) return track;
  const uint8_t flags = data[0];
  track.indexCued = (flags & kIndexCued) != 0;
  track.tickNs = kTicksNs[flags >> kTickShift & 3];
  size_t at = 1;
  uint64_t given = 0;
  if ((flags & kLengthGiven) != 0 && size >= at + 4) given = d88::GetU32le(data + at), at += 4;
  uint64_t sum = 0;
  auto endRevolution = [&] {
    track.revolutionEnds.push_back(static_cast<uint32_t>(track.intervals.size()));
    track.revolutionTicks.push_back((flags & kLengthGiven) != 0    ? given
                                    : (flags & kSumsRecorded) != 0 ? sum
                                                                   : 0);
    sum = 0;
  };
  while (at < size) {
    const uint8_t b = data[at++];
    uint32_t interval = b;
    if (b == kIndex) {
      endRevolution();
      continue;
    } else if (b == kInterval16) {
      if (size - at < 2) break;
      interval = d88::GetU16le(data + at), at += 2;
    } else if (b == kInterval32) {
      if (size - at < 4) break;
      interval = d88::GetU32le(data + at), at += 4;
    }
    track.intervals.push_back(interval);
    sum += interval;
  }
  endRevolution();
  return track;
}

// `tick` picks kTicksNs; the flux's own tick is not kept.
inline std::vector<uint8_t> BytesFromFlux(const flux::TrackFlux& track, int tick,
                                          bool sumsRecorded) {
  std::vector<uint8_t> bytes{static_cast<uint8_t>((track.indexCued ? kIndexCued : 0) |
                                                  tick << kTickShift |
                                                  (sumsRecorded ? kSumsRecorded : 0))};
  size_t i = 0;
  for (size_t r = 0; r < track.revolutionEnds.size(); ++r) {
    if (r > 0) bytes.push_back(kIndex);
    for (; i < track.revolutionEnds[r] && i < track.intervals.size(); ++i) {
      const uint32_t v = track.intervals[i];
      if (v > kInterval32 && v <= 0xFF) {
        bytes.push_back(static_cast<uint8_t>(v));
      } else if (v <= 0xFFFF) {
        bytes.insert(bytes.end(), {kInterval16, 0, 0});
        d88::PutU16le(&bytes[bytes.size() - 2], v);
      } else {
        bytes.insert(bytes.end(), {kInterval32, 0, 0, 0, 0});
        d88::PutU32le(&bytes[bytes.size() - 4], v);
      }
    }
  }
  return bytes;
}

}  // namespace fuzzflux

#endif  // FUZZ_FLUX_BYTES_H
