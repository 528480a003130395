#include "flux/sectors.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "flux/crc.h"
#include "flux/marks.h"
#include "flux/repair.h"
#include "flux/vote.h"

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

constexpr int kLargestSizeCode = 8;  // as the fields stage reads them

// The bad copies of `id`'s data (of N's length and the ID's encoding, the
// best of each revolution) voted and, where in doubt in a few bits,
// repaired; false when nothing agrees with the CRC.  A noisy copy (a slip,
// or no field at all) neither votes nor is repaired.
bool Rebuild(const std::vector<const Sighting*>& badCopies, const Sighting& id,
             const std::vector<uint8_t>& pool, Sector& sector) {
  const uint32_t nominal = uint32_t{128} << std::min<int>(id.id[3], kLargestSizeCode);
  // Slips and noise are no copies: no try is spent on them.
  std::vector<const Sighting*> copies;
  for (const Sighting* s : badCopies) {
    // Under an ID whose CRC failed, N may be wrong: a copy read further
    // holds the field and its CRC all the same.
    const bool whole = s->crcKept ? s->dataLength == nominal
                                  : !s->idGood && s->dataLength >= nominal + 2;
    if (whole && !s->noisy && s->encoding == id.encoding) copies.push_back(s);
  }
  if (copies.empty()) return false;
  // A tie goes to the first copy: the one the PLL fit best (fewest
  // doubtful transitions), then whose clock broke least.
  std::stable_sort(copies.begin(), copies.end(), [](const Sighting* a, const Sighting* b) {
    return a->doubts != b->doubts ? a->doubts < b->doubts : a->breaks < b->breaks;
  });
  // The mark most copies give (it too may have moved, from FB to FA
  // say): copies of another kind of mark are not this field.
  const uint8_t mark = MostAgreed(copies, [](const Sighting& s) { return s.dataMark; })->dataMark;
  // One vote a revolution, its best read: the PLL settings read the same
  // flux, and their copies share its errors.
  std::vector<const Sighting*> voters;
  uint32_t revolutions = 0;
  for (const Sighting* s : copies) {
    if (KindOfMark(s->dataMark) != KindOfMark(mark) ||
        (revolutions & RevolutionBit(s->revolution)) != 0)
      continue;
    revolutions |= RevolutionBit(s->revolution);
    voters.push_back(s);
  }
  copies.swap(voters);
  const size_t length = nominal + 2;  // and the stored CRC
  // Each copy with the bits its broken clocks locate put back: a clock
  // breaks beside nearly every transition that moved, and the PLL's error
  // there says which way; only the CRC of what is finally tried counts.
  std::vector<std::vector<uint8_t>> corrected;
  std::vector<const uint8_t*> raw, bytes;
  for (const Sighting* s : copies) {
    raw.push_back(pool.data() + s->dataAt);
    corrected.emplace_back(raw.back(), raw.back() + length);
    for (int i = 0; i < s->locatedCount; ++i) {
      const uint32_t bit = s->located[i];
      if (bit / 8 < length) corrected.back()[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
    }
  }
  for (const std::vector<uint8_t>& c : corrected) bytes.push_back(c.data());
  std::vector<uint8_t> field;
  std::vector<DoubtfulBit> doubtful;
  VoteCopies(bytes, length, field, doubtful);
  // Where two copies disagree, the one whose transition there was doubtful
  // is the likelier wrong: a bit the vote took from such a copy first.
  for (DoubtfulBit& d : doubtful) {
    for (size_t c = 0; c < copies.size(); ++c) {
      const bool sided = ((bytes[c][d.bit / 8] ^ field[d.bit / 8]) >> (7 - d.bit % 8) & 1) == 0;
      for (int i = 0; sided && i < copies[c]->looseCount; ++i) {
        if (copies[c]->loose[i].bit == d.bit) d.weight += copies[c]->loose[i].weight;
      }
    }
  }
  const uint16_t preset =
      CrcByte(id.encoding == Encoding::kFm ? kCrcPreset : kMfmCrcPreset, mark);
  int tries = kMostCandidates;  // for the whole sector: see repair.h
  bool good = false;
  // The vote, unless it is one of the copies as read (known bad).
  bool asCopy = false;
  for (const uint8_t* b : raw) asCopy = asCopy || std::memcmp(b, field.data(), length) == 0;
  if (!asCopy) good = TryFlips(field, preset, {}, tries);
  // Where revolutions disagree in a few bits: those, one and two at a time.
  if (!good && (revolutions & (revolutions - 1)) != 0) {
    good = RepairField(field, preset, std::move(doubtful), tries) > 0;
  }
  // The cleanest copy whose every break is located (else the cleanest),
  // put back, then with its most doubtful other transitions moved besides.
  size_t best = 0;
  while (best + 1 < copies.size() && copies[best]->unexplained) ++best;
  const Sighting& cleanest = *copies[best];
  std::vector<uint8_t>& own = corrected[best];
  if (!good && cleanest.locatedCount > 0 && own != field && TryFlips(own, preset, {}, tries))
    field = own, good = true;
  if (!good && !cleanest.unexplained) {
    const std::vector<DoubtfulBit> loose(cleanest.loose, cleanest.loose + cleanest.looseCount);
    if (RepairMoved(own, preset, loose, tries) > 0) field = own, good = true;
  }
  if (!good) return false;
  // Bits flipped: where the result differs from what the copies as read
  // say by majority.
  std::vector<uint8_t> plain;
  VoteCopies(raw, length, plain, doubtful);
  int flipped = 0;
  for (size_t i = 0; i < length; ++i) {
    for (uint8_t x = static_cast<uint8_t>(plain[i] ^ field[i]); x != 0; x &= x - 1) ++flipped;
  }
  sector.data.assign(field.begin(), field.begin() + nominal);
  sector.deleted = KindOfMark(mark) == MarkKind::kDeleted;
  sector.origin = flipped == 0 ? DataOrigin::kVoted : DataOrigin::kRepaired;
  sector.votedCopies = static_cast<uint8_t>(std::min<size_t>(copies.size(), 255));
  for (const Sighting* s : copies) sector.votedRevolutions |= RevolutionBit(s->revolution);
  sector.flippedBits = static_cast<uint8_t>(std::min(flipped, 255));
  return true;
}

Sector MakeSector(std::vector<const Sighting*>& members, const std::vector<uint8_t>& pool,
                  bool rebuild) {
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
  sector.c = id->id[0], sector.h = id->id[1], sector.r = id->id[2], sector.n = id->id[3];
  sector.encoding = id->encoding;
  if (data == nullptr && rebuild && id->idGood && Rebuild(badCopies, *id, pool, sector)) {
    sector.status = sector.deleted ? kStatusDeleted : kStatusSound;
    return sector;
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
  if (data != nullptr) {
    sector.data.assign(pool.begin() + data->dataAt, pool.begin() + data->dataAt + data->dataLength);
    sector.deleted = data->deleted;
    sector.origin = data->dataGood ? DataOrigin::kGoodCopy : DataOrigin::kBadCopy;
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
                                   const std::vector<uint8_t>& pool, int cellsPerRevolution,
                                   bool rebuild) {
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
    sectors.push_back(MakeSector(members, pool, rebuild));
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
