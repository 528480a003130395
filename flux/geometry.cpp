// The last stage: decoded tracks to the disk's geometry.
//
// A 40-cylinder disk read in an 80-cylinder drive without double stepping
// gives every track twice: the IDs of physical cylinder p say p / 2.  Such
// a dump is read once, each cylinder from whichever of its two reads holds
// more sound sectors.  Cylinders past the last formatted one are dropped.
// The media byte follows from the rate (500 kbit/s: 2HD) and, at 250
// kbit/s, the cylinders (up to 42: 2D, else 2DD).
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "flux/flux.h"

namespace flux {

namespace {

constexpr int kMost2DCylinders = 42;
// No dump layout numbers more (HFE's count is a byte); a track said to lie
// further out is the file's fault and is left out.
constexpr int kLastCylinder = 255;
constexpr int kHighDensityCells = 150000;  // 2HD 166,667; 2DD 100,000

int SoundCount(const Track& track) {
  return static_cast<int>(std::count_if(track.sectors.begin(), track.sectors.end(),
                                        [](const Sector& s) { return s.Sound(); }));
}

// The cylinder most of the track's sound IDs name; -1 for none.
int MostNamedCylinder(const Track& track) {
  int counts[256] = {};
  int best = -1;
  for (const Sector& s : track.sectors) {
    if (!s.Sound()) continue;
    if (++counts[s.c] > (best < 0 ? 0 : counts[best])) best = s.c;
  }
  return best;
}

}  // namespace

Disk AssembleDisk(std::vector<Track> tracks) {
  Disk disk;
  // By (physical cylinder, head); of two reads of one place, the sounder.
  std::map<std::pair<int, int>, Track> byPlace;
  for (Track& track : tracks) {
    if (track.cylinder < 0 || track.cylinder > kLastCylinder || track.head < 0 || track.head > 1)
      continue;
    const std::pair<int, int> place{track.cylinder, track.head};
    auto it = byPlace.find(place);
    if (it == byPlace.end()) {
      byPlace.emplace(place, std::move(track));
    } else if (SoundCount(track) > SoundCount(it->second)) {
      it->second = std::move(track);
    }
  }

  int same = 0, halved = 0;
  for (const auto& entry : byPlace) {
    const int cylinder = entry.first.first;
    const int named = MostNamedCylinder(entry.second);
    if (cylinder < 1 || named < 0) continue;
    same += named == cylinder;
    halved += named == cylinder / 2;
  }
  disk.doubleStepped = halved > same && halved >= 2;

  std::map<std::pair<int, int>, Track> logical;
  for (auto& entry : byPlace) {
    const int cylinder = disk.doubleStepped ? entry.first.first / 2 : entry.first.first;
    const std::pair<int, int> place{cylinder, entry.first.second};
    Track& track = entry.second;
    track.cylinder = cylinder;
    auto it = logical.find(place);
    // byPlace is in cylinder order, so of two equal reads the even one stays.
    if (it == logical.end()) {
      logical.emplace(place, std::move(track));
    } else if (SoundCount(track) > SoundCount(it->second)) {
      it->second = std::move(track);
    }
  }

  int last = -1, highDensity = 0, lowDensity = 0;
  bool secondSide = false;
  for (const auto& entry : logical) {
    const Track& track = entry.second;
    if (track.sectors.empty()) continue;
    last = std::max(last, entry.first.first);
    secondSide = secondSide || entry.first.second == 1;
    (track.cellsPerRevolution >= kHighDensityCells ? highDensity : lowDensity) += 1;
  }
  disk.cylinders = last + 1;
  disk.heads = last < 0 ? 0 : secondSide ? 2 : 1;
  disk.tracks.resize(static_cast<size_t>(disk.cylinders) * 2);
  for (size_t i = 0; i < disk.tracks.size(); ++i) {
    disk.tracks[i].cylinder = static_cast<int>(i / 2);
    disk.tracks[i].head = static_cast<int>(i % 2);
  }
  for (auto& entry : logical) {
    if (entry.first.first <= last)
      disk.tracks[static_cast<size_t>(entry.first.first * 2 + entry.first.second)] =
          std::move(entry.second);
  }
  disk.mediaType = highDensity >= lowDensity && highDensity > 0 ? kMedia2HD
                   : disk.cylinders <= kMost2DCylinders         ? kMedia2D
                                                                : kMedia2DD;
  return disk;
}

}  // namespace flux
