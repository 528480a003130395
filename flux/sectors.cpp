#include "flux/sectors.h"

#include <algorithm>
#include <cstring>


namespace flux {

namespace {

constexpr int32_t kSameSectorCells = 1000;

constexpr uint8_t kStatusSound = 0x00;
constexpr uint8_t kStatusDeleted = 0x10;
constexpr uint8_t kStatusIdCrc = 0xA0;
constexpr uint8_t kStatusDataCrc = 0xB0;
constexpr uint8_t kStatusNoData = 0xF0;

// The member that most others equal, the first of them on a tie.
template <typename Equal>
const Sighting* MostAgreed(const std::vector<const Sighting*>& members, Equal equal) {
  const Sighting* best = nullptr;
  size_t bestVotes = 0;
  for (const Sighting* a : members) {
    size_t votes = 0;
    for (const Sighting* b : members) votes += equal(*a, *b);
    if (votes > bestVotes) best = a, bestVotes = votes;
  }
  return best;
}

Sector MakeSector(std::vector<const Sighting*>& members, const std::vector<uint8_t>& pool) {
  std::stable_sort(members.begin(), members.end(),
                   [](const Sighting* a, const Sighting* b) { return a->revolution < b->revolution; });
  const Sighting* id = nullptr;
  const Sighting* data = nullptr;
  std::vector<const Sighting*> badCopies;
  Sector sector;
  for (const Sighting* s : members) {
    if (s->idGood && id == nullptr) id = s;
    if (s->dataGood && data == nullptr) data = s;
    if (s->hasData && !s->dataGood) badCopies.push_back(s);
    sector.seenIn |= RevolutionBit(s->revolution);
    if (!s->idGood || (s->hasData && !s->dataGood)) sector.badCopies |= RevolutionBit(s->revolution);
  }
  if (id == nullptr) {
    id = MostAgreed(members, [](const Sighting& a, const Sighting& b) { return std::memcmp(a.id, b.id, 4) == 0; });
  }
  if (data == nullptr && !badCopies.empty()) {
    data = MostAgreed(badCopies, [&pool](const Sighting& a, const Sighting& b) {
      return a.dataLength == b.dataLength &&
             std::equal(pool.begin() + a.dataAt, pool.begin() + a.dataAt + a.dataLength, pool.begin() + b.dataAt);
    });
  }
  sector.c = id->id[0], sector.h = id->id[1], sector.r = id->id[2], sector.n = id->id[3];
  sector.encoding = id->encoding;
  if (data != nullptr) {
    sector.data.assign(pool.begin() + data->dataAt, pool.begin() + data->dataAt + data->dataLength);
    sector.deleted = data->deleted;
  }
  sector.status = !id->idGood                   ? kStatusIdCrc
                  : data == nullptr             ? kStatusNoData
                  : !data->dataGood             ? kStatusDataCrc
                  : sector.deleted              ? kStatusDeleted
                                                : kStatusSound;
  return sector;
}

}  // namespace

uint32_t RevolutionBit(int revolution) { return revolution >= 0 && revolution < 32 ? uint32_t{1} << revolution : 0; }

std::vector<Sector> MergeSightings(const std::vector<Sighting>& sightings, const std::vector<uint8_t>& pool,
                                   int cellsPerRevolution) {
  std::vector<const Sighting*> sorted;
  sorted.reserve(sightings.size());
  for (const Sighting& s : sightings) sorted.push_back(&s);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Sighting* a, const Sighting* b) { return a->offset < b->offset; });
  std::vector<std::vector<const Sighting*>> clusters;
  for (const Sighting* s : sorted) {
    if (clusters.empty() || s->offset - clusters.back().front()->offset > kSameSectorCells) clusters.emplace_back();
    clusters.back().push_back(s);
  }
  // A sector at the index may be seen just after it in one revolution and
  // just before it in another.
  if (clusters.size() >= 2 &&
      clusters.front().front()->offset + cellsPerRevolution - clusters.back().front()->offset <= kSameSectorCells) {
    std::vector<const Sighting*>& first = clusters.front();
    std::vector<const Sighting*>& last = clusters.back();
    if (last.size() > first.size()) {
      last.insert(last.end(), first.begin(), first.end());
      clusters.erase(clusters.begin());
    } else {
      first.insert(first.end(), last.begin(), last.end());
      clusters.pop_back();
    }
  }
  std::vector<Sector> sectors;
  sectors.reserve(clusters.size());
  for (std::vector<const Sighting*>& members : clusters) sectors.push_back(MakeSector(members, pool));
  return sectors;
}

bool LosesSectors(const std::vector<Sector>& sectors, uint32_t wholeRevolutions) {
  for (const Sector& s : sectors) {
    if (s.status != kStatusSound && s.status != kStatusDeleted) return true;
    if ((s.seenIn & wholeRevolutions) != wholeRevolutions) return true;
  }
  return false;
}

}  // namespace flux
