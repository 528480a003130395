// What the readers of containers holding a table of sector IDs (NFD, FDD)
// share: each walks its table twice, once to learn the disk's shape (which
// picks the media byte the D88 header needs first) and once to write it.
#ifndef CONTAINERS_SECTOR_TABLE_H
#define CONTAINERS_SECTOR_TABLE_H

#include <cstdint>
#include <string>

#include "containers/container.h"
#include "containers/d88_writer.h"

namespace containers {

// One sector as a table records it: its ID and flags, and where its data
// lies in the file (or one byte that every byte of it has).
struct TableSector {
  SectorRecord record;
  const uint8_t* data = nullptr;  // null: every byte is `fill`
  uint8_t fill = 0;
};

// The readers store N up to 7 and at most 255 sectors a track (R is a byte).
constexpr int kTableMaxN = 7;
constexpr int kTableMaxSectors = 255;

// Writes one track; a track without sectors stays absent.
bool WriteTableTrack(D88Writer& out, int track, const TableSector* sectors, int count);

// The geometry the tracks show: the highest cylinder, both heads if any
// head-1 track exists, the sector count most tracks have and the size most
// sectors have, and whether track 0 is FM throughout.
class ShapeTally {
 public:
  void Track(int track, const TableSector* sectors, int count);
  Geometry Shape() const;
  // The media byte a disk of this shape had: 2HD when a track holds more
  // than a 2DD track can (some 6 KB), else 2DD.
  uint8_t GuessMedia() const;

 private:
  int highestTrack = -1;
  bool headOne = false;
  bool track0Fm = false;
  int tracksBySectors[kTableMaxSectors + 1] = {};
  int sectorsByN[kTableMaxN + 1] = {};
};

// Gathers what was wrong with an image into one line: the first problem,
// and how many more there were.
class ProblemLog {
 public:
  void Add(const std::string& what);
  std::string Line() const;

 private:
  std::string first;
  int more = 0;
};

// The D88 disk name for a container's comment: its first line, cut to the
// 16 bytes a D88 name holds without splitting a Shift-JIS character.
std::string NameFromComment(const uint8_t* comment, int length);

}  // namespace containers

#endif  // CONTAINERS_SECTOR_TABLE_H
