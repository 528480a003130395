#include "containers/sector_table.h"

#include "d88/d88_format.h"

namespace containers {

bool WriteTableTrack(D88Writer& out, int track, const TableSector* sectors, int count) {
  if (count == 0) return true;
  if (!out.BeginTrack(track, count)) return false;
  for (int i = 0; i < count; ++i) {
    const TableSector& s = sectors[i];
    const int length = 128 << s.record.n;
    if (!(s.data != nullptr ? out.AddSector(s.record, s.data, length)
                            : out.AddFilledSector(s.record, s.fill, length))) {
      return false;
    }
  }
  return true;
}

void ShapeTally::Track(int track, const TableSector* sectors, int count) {
  if (count == 0) return;
  if (track > highestTrack) highestTrack = track;
  if (track % 2 == 1) headOne = true;
  // Counts and sizes past the tables' (a decoded flux track may have any)
  // are never the commonest.
  if (count <= kTableMaxSectors) ++tracksBySectors[count];
  bool allFm = true;
  for (int i = 0; i < count; ++i) {
    if (sectors[i].record.n <= kTableMaxN) ++sectorsByN[sectors[i].record.n];
    if (sectors[i].record.density != 0x40) allFm = false;
  }
  if (track == 0) track0Fm = allFm;
}

namespace {

// The index holding the largest count; the higher index on a tie.
template <int Size>
int Commonest(const int (&counts)[Size]) {
  int best = 0;
  for (int i = 1; i < Size; ++i) {
    if (counts[i] >= counts[best]) best = i;
  }
  return best;
}

}  // namespace

Geometry ShapeTally::Shape() const {
  Geometry g;
  if (highestTrack < 0) return g;
  g.cylinders = highestTrack / 2 + 1;
  g.heads = headOne ? 2 : 1;
  g.sectors = Commonest(tracksBySectors);
  g.sectorSize = 128 << Commonest(sectorsByN);
  g.track0Fm = track0Fm;
  return g;
}

uint8_t ShapeTally::GuessMedia() const {
  const Geometry g = Shape();
  // 2DD tracks hold 8 x 512 or 16 x 256 bytes; 2HD ones 26 x 256 and more.
  // A 2D track holds what a 2DD one does, and the cylinders seen tell
  // nothing on a disk with tracks left out: 2DD, the PC-98's own.
  return g.sectors * g.sectorSize > 6000 ? 0x20 : 0x10;
}

void ProblemLog::Add(const std::string& what) {
  if (first.empty()) {
    first = what;
  } else {
    ++more;
  }
}

std::string ProblemLog::Line() const {
  if (more == 0) return first;
  return first + " (and " + std::to_string(more) +
         (more == 1 ? " more problem)" : " more problems)");
}

std::string NameFromComment(const uint8_t* comment, int length) {
  std::string name;
  for (int i = 0; i < length;) {
    const uint8_t b = comment[i];
    if (b < 0x20 || b == 0x7F) break;  // the end of the first line
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    const int width = lead ? 2 : 1;
    if (i + width > length || name.size() + width > static_cast<size_t>(d88::kDiskNameLength)) {
      break;
    }
    if (lead && comment[i + 1] < 0x40) break;  // not a character's second byte
    name.append(reinterpret_cast<const char*>(comment + i), static_cast<size_t>(width));
    i += width;
  }
  return name;
}

}  // namespace containers
