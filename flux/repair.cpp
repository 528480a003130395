#include "flux/repair.h"

#include <algorithm>

#include "flux/crc.h"

namespace flux {

namespace {

void Flip(std::vector<uint8_t>& field, const std::vector<uint32_t>& bits) {
  for (uint32_t bit : bits) field[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
}

}  // namespace

bool TryFlips(std::vector<uint8_t>& field, uint16_t preset, const std::vector<uint32_t>& flips,
              int& tries) {
  if (tries <= 0) return false;
  for (uint32_t bit : flips) {
    if (bit / 8 >= field.size()) return false;
  }
  --tries;
  Flip(field, flips);
  if (Crc(preset, field.data(), field.size()) == 0) return true;
  Flip(field, flips);
  return false;
}

int RepairField(std::vector<uint8_t>& field, uint16_t preset, std::vector<DoubtfulBit> doubtful,
                int& tries) {
  if (doubtful.empty() || doubtful.size() > kMostDoubtfulBits) return -1;
  std::stable_sort(doubtful.begin(), doubtful.end(),
                   [](const DoubtfulBit& a, const DoubtfulBit& b) { return a.weight > b.weight; });
  for (const DoubtfulBit& d : doubtful) {
    if (TryFlips(field, preset, {d.bit}, tries)) return 1;
  }
  for (size_t i = 0; i < doubtful.size(); ++i) {
    for (size_t j = i + 1; j < doubtful.size(); ++j) {
      if (TryFlips(field, preset, {doubtful[i].bit, doubtful[j].bit}, tries)) return 2;
    }
  }
  return -1;
}

int RepairMoved(std::vector<uint8_t>& field, uint16_t preset, const std::vector<DoubtfulBit>& moved,
                int& tries) {
  struct Candidate {
    uint32_t cost;
    std::vector<uint32_t> bits;
  };
  auto distance = [](const DoubtfulBit& d) { return d.weight < 500 ? 500 - d.weight : 0; };
  std::vector<Candidate> candidates;
  for (size_t i = 0; i < moved.size(); ++i) {
    candidates.push_back({distance(moved[i]), {moved[i].bit}});
    for (size_t j = i + 1; j < moved.size(); ++j)
      candidates.push_back({distance(moved[i]) + distance(moved[j]), {moved[i].bit, moved[j].bit}});
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.cost < b.cost; });
  for (const Candidate& c : candidates) {
    if (tries <= 0) break;
    if (TryFlips(field, preset, c.bits, tries)) return static_cast<int>(c.bits.size());
  }
  return -1;
}

}  // namespace flux
