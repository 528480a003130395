#include "flux/sectors.h"

#include <algorithm>
#include <utility>

namespace flux {

namespace {

constexpr int32_t kSameSectorCells = 1000;

// The member whose key most members share, the earliest of them on a tie.
// By sorting keys, not comparing members pairwise: a hostile track may
// pile up many sightings in one place.
template <typename Key>
const Sighting* MostAgreed(const std::vector<const Sighting*>& members, Key key) {
  std::vector<std::pair<uint64_t, size_t>> keys;  // key, then place among the members
  keys.reserve(members.size());
  for (size_t i = 0; i < members.size(); ++i) keys.emplace_back(key(*members[i]), i);
  std::sort(keys.begin(), keys.end());
  size_t best = 0, bestVotes = 0;
  for (size_t i = 0; i < keys.size();) {
    size_t j = i;
    while (j < keys.size() && keys[j].first == keys[i].first) ++j;
    if (j - i > bestVotes || (j - i == bestVotes && keys[i].second < best))
      best = keys[i].second, bestVotes = j - i;
    i = j;
  }
  return members[best];
}

Sector MakeSector(std::vector<const Sighting*>& members, const std::vector<uint8_t>& pool) {
  std::stable_sort(members.begin(), members.end(), [](const Sighting* a, const Sighting* b) {
    return a->revolution < b->revolution;
  });
  const Sighting* id = nullptr;
  const Sighting* data = nullptr;
  std::vector<const Sighting*> badCopies;
  Sector sector;
  for (const Sighting* s : members) {
    if (s->idGood && id == nullptr) id = s;
    if (s->dataGood && data == nullptr) data = s;
    if (s->hasData && !s->dataGood) badCopies.push_back(s);
    sector.seenIn |= RevolutionBit(s->revolution);
    if (!s->idGood || (s->hasData && !s->dataGood))
      sector.badCopies |= RevolutionBit(s->revolution);
  }
  if (id == nullptr) {
    id = MostAgreed(members, [](const Sighting& s) {
      return uint64_t{s.id[0]} << 24 | s.id[1] << 16 | s.id[2] << 8 | s.id[3];
    });
  }
  if (data == nullptr && !badCopies.empty()) {
    // Copies told apart by length and a 64-bit FNV-1a hash of their bytes.
    data = MostAgreed(badCopies, [&pool](const Sighting& s) {
      uint64_t hash = 14695981039346656037u ^ s.dataLength;
      for (uint32_t i = 0; i < s.dataLength; ++i)
        hash = (hash ^ pool[s.dataAt + i]) * 1099511628211u;
      return hash;
    });
  }
  sector.c = id->id[0], sector.h = id->id[1], sector.r = id->id[2], sector.n = id->id[3];
  sector.encoding = id->encoding;
  if (data != nullptr) {
    sector.data.assign(pool.begin() + data->dataAt, pool.begin() + data->dataAt + data->dataLength);
    sector.deleted = data->deleted;
  }
  sector.status = !id->idGood       ? kStatusIdCrc
                  : data == nullptr ? kStatusNoData
                  : !data->dataGood ? kStatusDataCrc
                  : sector.deleted  ? kStatusDeleted
                                    : kStatusSound;
  return sector;
}

}  // namespace

uint32_t RevolutionBit(int revolution) {
  return revolution >= 0 && revolution < 32 ? uint32_t{1} << revolution : 0;
}

std::vector<Sector> MergeSightings(const std::vector<Sighting>& sightings,
                                   const std::vector<uint8_t>& pool, int cellsPerRevolution) {
  std::vector<const Sighting*> sorted;
  sorted.reserve(sightings.size());
  for (const Sighting& s : sightings) sorted.push_back(&s);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Sighting* a, const Sighting* b) { return a->offset < b->offset; });
  std::vector<std::vector<const Sighting*>> clusters;
  for (const Sighting* s : sorted) {
    if (clusters.empty() || s->offset - clusters.back().front()->offset > kSameSectorCells)
      clusters.emplace_back();
    clusters.back().push_back(s);
  }
  // A sector at the index may be seen just after it in one revolution and
  // just before it in another.
  if (clusters.size() >= 2 &&
      clusters.front().front()->offset + cellsPerRevolution - clusters.back().front()->offset <=
          kSameSectorCells) {
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
  for (std::vector<const Sighting*>& members : clusters)
    sectors.push_back(MakeSector(members, pool));
  return sectors;
}

bool LosesSectors(const std::vector<Sector>& sectors, uint32_t wholeRevolutions) {
  for (const Sector& s : sectors) {
    if (!s.Sound()) return true;
    if ((s.seenIn & wholeRevolutions) != wholeRevolutions) return true;
  }
  return false;
}

}  // namespace flux
