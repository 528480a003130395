// Virtual98 FDD: the sector records keep each sector's ID, FM/MFM and
// deleted mark, and point at its data or give the one byte it is filled
// with.  The format keeps no read result, so a D88 sector from it has the
// status of a clean read (0x10 when deleted).
#include <cstring>
#include <string>

#include "containers/fdd_format.h"
#include "containers/readers.h"
#include "containers/sector_table.h"
#include "d88/d88_format.h"

namespace containers {

namespace {

using d88::GetU16le;
using d88::GetU32le;

static_assert(fdd::kMaxN <= kTableMaxN && fdd::kSlots <= kTableMaxSectors,
              "the shape tally counts every size and track length detection lets through");

const uint8_t* Record(const uint8_t* file, int track, int slot) {
  return file + fdd::kTableOffset + (track * fdd::kSlots + slot) * fdd::kRecordSize;
}

// C = 0xFF marks an unused record; some writers leave unused records all
// zero instead, which as a sector would be R 0 with no data, never stored.
bool Unused(const uint8_t* rec) {
  if (rec[fdd::kRecordC] == fdd::kUnused) return true;
  for (int i = 0; i < fdd::kRecordSize; ++i) {
    if (rec[i] != 0) return false;
  }
  return true;
}

std::string SectorPlace(int track, const uint8_t* rec) {
  return "FDD track " + std::to_string(track) + " sector " + std::to_string(rec[fdd::kRecordR]);
}

// The records are taken by their slot: the row is the physical track,
// whatever the IDs say.
template <typename Visit>
void Walk(const uint8_t* file, size_t size, ProblemLog* problems, Visit visit) {
  TableSector sectors[fdd::kSlots];
  for (int t = 0; t < fdd::kTracks; ++t) {
    int count = 0, listed = 0, pastEnd = 0;
    for (int s = 0; s < fdd::kSlots; ++s) {
      const uint8_t* rec = Record(file, t, s);
      if (Unused(rec)) continue;
      ++listed;
      TableSector& sector = sectors[count];
      sector = TableSector();
      sector.record.c = rec[fdd::kRecordC];
      sector.record.h = rec[fdd::kRecordH];
      sector.record.r = rec[fdd::kRecordR];
      sector.record.n = rec[fdd::kRecordN];
      sector.record.density = rec[fdd::kRecordMfm] != 0 ? 0x00 : d88::kDensityFm;
      sector.record.deleted = rec[fdd::kRecordDeleted] != 0 ? d88::kDeletedData : 0x00;
      sector.record.status = sector.record.deleted;
      const uint64_t offset = GetU32le(rec + fdd::kRecordData);
      const uint64_t length = 128u << rec[fdd::kRecordN];
      // Some writers leave 0 rather than 0xFFFFFFFF for "not stored".
      if (offset == fdd::kNotStored || offset == 0) {
        sector.fill = rec[fdd::kRecordFill];
      } else if (offset < static_cast<uint64_t>(fdd::kDataStart)) {
        if (problems != nullptr) {
          problems->Add(SectorPlace(t, rec) + " points into the header; read as absent");
        }
        continue;
      } else if (offset + length > size) {
        ++pastEnd;
        continue;
      } else {
        if (rec[fdd::kRecordFill] != fdd::kStored && problems != nullptr) {
          problems->Add(SectorPlace(t, rec) +
                        " has both a fill byte and stored data; read the data");
        }
        sector.data = file + offset;
      }
      ++count;
    }
    if (pastEnd > 0 && problems != nullptr) {
      std::string line = "FDD track " + std::to_string(t) + " runs past the end of the file; ";
      problems->Add(pastEnd == listed ? line + "read as absent"
                                      : line + std::to_string(pastEnd) + " of its " +
                                            std::to_string(listed) + " sectors read as absent");
    }
    visit(t, sectors, count);
  }
}

// The 2HD flag of the first record: 2HD or 2DD (the format tells no 2D).
uint8_t Media(const uint8_t* file) {
  for (int t = 0; t < fdd::kTracks; ++t) {
    for (int s = 0; s < fdd::kSlots; ++s) {
      const uint8_t* rec = Record(file, t, s);
      if (!Unused(rec)) return rec[fdd::kRecordHd] != 0 ? d88::kMedia2HD : d88::kMedia2DD;
    }
  }
  return d88::kMedia2DD;
}

}  // namespace

bool DetectFdd(const uint8_t* file, size_t size) {
  if (size < static_cast<size_t>(fdd::kDataStart)) return false;
  if (std::memcmp(file, fdd::kMagic100, fdd::kMagicLength) != 0 &&
      std::memcmp(file, fdd::kMagic101, fdd::kMagicLength) != 0) {
    return false;
  }
  for (int t = 0; t < fdd::kTracks; ++t) {
    for (int s = 0; s < fdd::kSlots; ++s) {
      const uint8_t* rec = Record(file, t, s);
      if (!Unused(rec) && rec[fdd::kRecordN] > fdd::kMaxN) return false;
    }
  }
  return true;
}

bool ConvertFdd(const uint8_t* file, size_t size, D88Writer& out, Conversion* info) {
  if (!DetectFdd(file, size)) return false;
  info->kind = Kind::kFdd;
  ProblemLog problems;
  ShapeTally tally;
  Walk(file, size, &problems, [&](int t, const TableSector* s, int n) { tally.Track(t, s, n); });
  info->geometry = tally.Shape();
  info->warning = problems.Line();
  const std::string name = NameFromComment(file + fdd::kCommentOffset, fdd::kCommentLength);
  const bool protect = GetU16le(file + fdd::kProtectOffset) != 0;
  if (!out.BeginDisk(Media(file), name.c_str(), protect ? d88::kWriteProtected : 0x00)) return false;
  bool written = true;
  Walk(file, size, nullptr, [&](int t, const TableSector* s, int n) {
    if (written) written = WriteTableTrack(out, t, s, n);
  });
  return written && out.EndDisk();
}

}  // namespace containers
