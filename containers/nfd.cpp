// T98-Next NFD, revisions 0 and 1: the sector records keep each sector's
// ID, FM/MFM, deleted mark and BIOS result, all of which the D88 disk keeps.
// Revision 1's retry copies and diagnostic-read data are stepped over: the
// first copy of each sector is the sector.
#include <cstring>
#include <string>

#include "containers/nfd_format.h"
#include "containers/readers.h"
#include "containers/sector_table.h"
#include "d88/d88_format.h"

namespace containers {

namespace {

using d88::GetU16le;
using d88::GetU32le;

static_assert(nfd::kMaxN <= kTableMaxN && nfd::kMaxBlockRecords <= kTableMaxSectors &&
                  nfd::kR0Slots <= kTableMaxSectors,
              "the shape tally counts every size and track length detection lets through");

int Revision(const uint8_t* file, size_t size) {
  if (size < static_cast<size_t>(nfd::kCommonHeaderSize)) return -1;
  if (std::memcmp(file, nfd::kMagicR0, nfd::kMagicLength) == 0) return 0;
  if (std::memcmp(file, nfd::kMagicR1, nfd::kMagicLength) == 0) return 1;
  return -1;
}

TableSector FromRecord(const uint8_t* rec) {
  TableSector s;
  s.record.c = rec[nfd::kRecordC];
  s.record.h = rec[nfd::kRecordH];
  s.record.r = rec[nfd::kRecordR];
  s.record.n = rec[nfd::kRecordN];
  s.record.density = rec[nfd::kRecordMfm] != 0 ? 0x00 : 0x40;
  s.record.deleted = rec[nfd::kRecordDeleted] != 0 ? 0x10 : 0x00;
  s.record.status = rec[nfd::kRecordStatus];
  return s;
}

std::string TrackProblem(int track, int absent, int count) {
  std::string line = "NFD track " + std::to_string(track) + " runs past the end of the file; ";
  if (absent == count) return line + "read as absent";
  return line + std::to_string(absent) + " of its " + std::to_string(count) +
         " sectors read as absent";
}

// The device type (the high nibble of the drive's address) as a D88 media
// byte; 0 and unknown types leave it to the disk's shape.
int MediaOfDevice(uint8_t device) {
  switch (device) {
    case 0x90:
    case 0x30:
    case 0xB0:
      return d88::kMedia2HD;  // 1.2 MB and 1.44 MB drives
    case 0x10:
    case 0x70:
    case 0xF0:
      return d88::kMedia2DD;
    case 0x50:
    case 0xD0:
      return d88::kMedia2D;
    default:
      return -1;
  }
}

// ---- Revision 0: a fixed table of 163 tracks x 26 slots.

const uint8_t* R0Record(const uint8_t* file, int track, int slot) {
  return file + nfd::kR0TableOffset + (track * nfd::kR0Slots + slot) * nfd::kRecordSize;
}

bool DetectR0(const uint8_t* file, size_t size) {
  if (size < static_cast<size_t>(nfd::kR0TableEnd)) return false;
  for (int t = 0; t < nfd::kR0Tracks; ++t) {
    for (int s = 0; s < nfd::kR0Slots; ++s) {
      const uint8_t* rec = R0Record(file, t, s);
      if (rec[nfd::kRecordC] != nfd::kEmptySlot && rec[nfd::kRecordN] > nfd::kMaxN) return false;
    }
  }
  return true;
}

// Where the data part starts: dwHeadSize where it can be (T98-Next writes
// 0x10A10, other writers 0x10A00), else the usual place.
uint64_t R0DataStart(const uint8_t* file, size_t size, ProblemLog* problems) {
  const uint32_t stated = GetU32le(file + nfd::kHeadSizeOffset);
  const uint32_t usual = nfd::kR0HeadSize;
  if (stated == usual) return usual;  // past the end only in a file cut short
  std::string problem;
  uint32_t start = stated;
  if (stated < static_cast<uint32_t>(nfd::kR0TableEnd) || stated > size) {
    problem = " is out of range; read from " + std::to_string(usual);
    start = usual;
  } else if (stated != static_cast<uint32_t>(nfd::kR0TableEnd)) {
    problem = " is unusual; read from there";
  }
  if (!problem.empty() && problems != nullptr) {
    problems->Add("NFD data start " + std::to_string(stated) + problem);
  }
  return start;
}

template <typename Visit>
void WalkR0(const uint8_t* file, size_t size, ProblemLog* problems, Visit visit) {
  uint64_t at = R0DataStart(file, size, problems);
  TableSector sectors[nfd::kR0Slots];
  for (int t = 0; t < nfd::kR0Tracks; ++t) {
    int count = 0, listed = 0;
    for (int s = 0; s < nfd::kR0Slots; ++s) {
      const uint8_t* rec = R0Record(file, t, s);
      if (rec[nfd::kRecordC] == nfd::kEmptySlot) continue;
      ++listed;
      const uint64_t length = 128u << rec[nfd::kRecordN];
      if (at + length <= size) {
        sectors[count] = FromRecord(rec);
        sectors[count].data = file + at;
        ++count;
      }
      at += length;
    }
    if (count < listed && problems != nullptr) {
      problems->Add(TrackProblem(t, listed - count, listed));
    }
    visit(t, sectors, count);
  }
}

int R0Device(const uint8_t* file) {
  for (int t = 0; t < nfd::kR0Tracks; ++t) {
    for (int s = 0; s < nfd::kR0Slots; ++s) {
      const uint8_t* rec = R0Record(file, t, s);
      if (rec[nfd::kRecordC] != nfd::kEmptySlot) return MediaOfDevice(rec[nfd::kR0RecordDevice]);
    }
  }
  return -1;
}

// ---- Revision 1: a block per track, anywhere in the header.

uint32_t R1Block(const uint8_t* file, int track) {
  return GetU32le(file + nfd::kR1TrackTableOffset + 4 * track);
}

bool DetectR1(const uint8_t* file, size_t size) {
  if (size < static_cast<size_t>(nfd::kR1TableEnd)) return false;
  const uint64_t headSize = GetU32le(file + nfd::kHeadSizeOffset);
  if (headSize < static_cast<uint64_t>(nfd::kR1TableEnd)) return false;
  for (int t = 0; t < nfd::kR1Tracks; ++t) {
    const uint64_t block = R1Block(file, t);
    if (block == 0) continue;
    if (block < static_cast<uint64_t>(nfd::kR1TableEnd) ||
        block + nfd::kBlockHeaderSize > headSize) {
      return false;
    }
    // A block the file cuts off is a damaged image, not a stranger's file.
    if (block + nfd::kBlockHeaderSize > size) continue;
    const uint32_t sectors = GetU16le(file + block + nfd::kBlockSectors);
    const uint32_t diags = GetU16le(file + block + nfd::kBlockDiags);
    if (sectors > nfd::kMaxBlockRecords || diags > nfd::kMaxBlockRecords) return false;
    const uint64_t end = block + nfd::kBlockHeaderSize + nfd::kRecordSize * (sectors + diags);
    if (end > headSize) return false;
    if (end > size) continue;
    for (uint32_t i = 0; i < sectors; ++i) {
      const uint8_t* rec = file + block + nfd::kBlockHeaderSize + nfd::kRecordSize * i;
      if (rec[nfd::kRecordN] > nfd::kMaxN) return false;
    }
  }
  return true;
}

template <typename Visit>
void WalkR1(const uint8_t* file, size_t size, ProblemLog* problems, Visit visit) {
  // 164 tracks x 255 records x 255 copies x 4 GB stays far below 2^64.
  uint64_t at = GetU32le(file + nfd::kHeadSizeOffset);
  TableSector sectors[nfd::kMaxBlockRecords];
  for (int t = 0; t < nfd::kR1Tracks; ++t) {
    const uint64_t block = R1Block(file, t);
    if (block == 0) continue;
    if (block + nfd::kBlockHeaderSize > size) {
      if (problems != nullptr) problems->Add(TrackProblem(t, 1, 1));
      continue;
    }
    const uint8_t* head = file + block;  // only once the block is known to lie in the file
    const uint32_t listed = GetU16le(head + nfd::kBlockSectors);
    const uint32_t diags = GetU16le(head + nfd::kBlockDiags);
    if (block + nfd::kBlockHeaderSize + nfd::kRecordSize * (listed + diags) > size) {
      // Only a file cut inside its header gets here, and then every data
      // byte lies past its end too.
      if (problems != nullptr) problems->Add(TrackProblem(t, 1, 1));
      continue;
    }
    const uint8_t* rec = head + nfd::kBlockHeaderSize;
    int count = 0;
    for (uint32_t i = 0; i < listed; ++i, rec += nfd::kRecordSize) {
      const uint64_t length = 128u << rec[nfd::kRecordN];
      if (at + length <= size) {
        sectors[count] = FromRecord(rec);
        sectors[count].data = file + at;
        ++count;
      }
      at += length * (1u + rec[nfd::kR1RecordRetries]);
    }
    for (uint32_t i = 0; i < diags; ++i, rec += nfd::kRecordSize) {
      at += static_cast<uint64_t>(GetU32le(rec + nfd::kDiagLength)) * (1u + rec[nfd::kDiagRetries]);
    }
    if (static_cast<uint32_t>(count) < listed && problems != nullptr) {
      problems->Add(TrackProblem(t, static_cast<int>(listed) - count, static_cast<int>(listed)));
    }
    visit(t, sectors, count);
  }
}

int R1Device(const uint8_t* file, size_t size) {
  for (int t = 0; t < nfd::kR1Tracks; ++t) {
    const uint64_t block = R1Block(file, t);
    if (block == 0 || block + nfd::kBlockHeaderSize + nfd::kRecordSize > size) continue;
    if (GetU16le(file + block + nfd::kBlockSectors) == 0) continue;
    return MediaOfDevice(file[block + nfd::kBlockHeaderSize + nfd::kR1RecordDevice]);
  }
  return -1;
}

template <typename Walk>
bool Convert(const uint8_t* file, D88Writer& out, Conversion* info, int device, Walk walk) {
  ProblemLog problems;
  ShapeTally tally;
  walk(&problems, [&](int t, const TableSector* s, int n) { tally.Track(t, s, n); });
  info->geometry = tally.Shape();
  info->warning = problems.Line();
  const uint8_t media = device >= 0 ? static_cast<uint8_t>(device) : tally.GuessMedia();
  const std::string name = NameFromComment(file + nfd::kCommentOffset, nfd::kCommentLength);
  if (!out.BeginDisk(media, name.c_str(), file[nfd::kProtectOffset] != 0 ? 0x10 : 0x00)) {
    return false;
  }
  bool written = true;
  walk(nullptr, [&](int t, const TableSector* s, int n) {
    if (written) written = WriteTableTrack(out, t, s, n);
  });
  return written && out.EndDisk();
}

}  // namespace

bool DetectNfd(const uint8_t* file, size_t size) {
  switch (Revision(file, size)) {
    case 0:
      return DetectR0(file, size);
    case 1:
      return DetectR1(file, size);
    default:
      return false;
  }
}

bool ConvertNfd(const uint8_t* file, size_t size, D88Writer& out, Conversion* info) {
  if (!DetectNfd(file, size)) return false;
  if (Revision(file, size) == 0) {
    info->kind = Kind::kNfdR0;
    return Convert(file, out, info, R0Device(file),
                   [&](ProblemLog* problems, auto visit) { WalkR0(file, size, problems, visit); });
  }
  info->kind = Kind::kNfdR1;
  return Convert(file, out, info, R1Device(file, size),
                 [&](ProblemLog* problems, auto visit) { WalkR1(file, size, problems, visit); });
}

}  // namespace containers
