#include "flux/vote.h"

namespace flux {

void VoteCopies(const std::vector<const uint8_t*>& copies, size_t length,
                std::vector<uint8_t>& out, std::vector<DoubtfulBit>& doubtful) {
  out.assign(length, 0);
  doubtful.clear();
  if (copies.empty()) return;
  const uint32_t count = static_cast<uint32_t>(copies.size());
  for (size_t i = 0; i < length; ++i) {
    const uint8_t first = copies[0][i];
    uint8_t differ = 0;
    for (const uint8_t* copy : copies) differ |= static_cast<uint8_t>(copy[i] ^ first);
    if (differ == 0) {  // the common case: every copy alike
      out[i] = first;
      continue;
    }
    uint8_t byte = first;
    for (int b = 7; b >= 0; --b) {
      if (!(differ >> b & 1)) continue;
      uint32_t ones = 0;
      for (const uint8_t* copy : copies) ones += copy[i] >> b & 1;
      const uint32_t zeros = count - ones;
      if (ones != zeros) byte = static_cast<uint8_t>((byte & ~(1u << b)) | (ones > zeros) << b);
      const uint32_t minority = ones < zeros ? ones : zeros;
      doubtful.push_back({static_cast<uint32_t>(i * 8 + static_cast<size_t>(7 - b)), minority});
    }
    out[i] = byte;
  }
}

}  // namespace flux
