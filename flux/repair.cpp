#include "flux/repair.h"

#include <algorithm>

#include "flux/crc.h"

namespace flux {

namespace {

void Flip(std::vector<uint8_t>& field, uint32_t bit) {
  field[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
}

bool Good(const std::vector<uint8_t>& field, uint16_t preset) {
  return Crc(preset, field.data(), field.size()) == 0;
}

}  // namespace

int RepairField(std::vector<uint8_t>& field, uint16_t preset, std::vector<DoubtfulBit> doubtful,
                bool tryAsIs) {
  int tries = 0;
  if (tryAsIs) {
    ++tries;
    if (Good(field, preset)) return 0;
  }
  if (doubtful.empty() || doubtful.size() > kMostDoubtfulBits) return -1;
  for (const DoubtfulBit& d : doubtful) {
    if (d.bit / 8 >= field.size()) return -1;
  }
  std::stable_sort(doubtful.begin(), doubtful.end(),
                   [](const DoubtfulBit& a, const DoubtfulBit& b) { return a.weight > b.weight; });
  for (size_t i = 0; i < doubtful.size() && tries < kMostCandidates; ++i, ++tries) {
    Flip(field, doubtful[i].bit);
    if (Good(field, preset)) return 1;
    Flip(field, doubtful[i].bit);
  }
  for (size_t i = 0; i < doubtful.size(); ++i) {
    for (size_t j = i + 1; j < doubtful.size() && tries < kMostCandidates; ++j, ++tries) {
      Flip(field, doubtful[i].bit), Flip(field, doubtful[j].bit);
      if (Good(field, preset)) return 2;
      Flip(field, doubtful[i].bit), Flip(field, doubtful[j].bit);
    }
  }
  return -1;
}

}  // namespace flux
