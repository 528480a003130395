// Writes D88 disks into memory for the container readers: one disk at a
// time, its tracks in ascending order, each track's sectors in the order
// the container stores them.  The output never grows past the limit given
// at construction; a write that would pass it fails and the writer stays
// failed.
#ifndef CONTAINERS_D88_WRITER_H
#define CONTAINERS_D88_WRITER_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "d88/owned_bytes.h"

namespace containers {

// What a container records of one sector, beside its data.
struct SectorRecord {
  uint8_t c = 0, h = 0, r = 1, n = 1;
  uint8_t density = 0x00;  // 0x40: FM
  uint8_t deleted = 0x00;  // 0x10: deleted-data mark
  uint8_t status = 0x00;   // PC-98 DISK BIOS result code
};

class D88Writer {
 public:
  // Writes into `reuse` until it is full, so that a caller converting one
  // image after another keeps one buffer.
  explicit D88Writer(size_t limit, d88::OwnedBytes reuse = d88::OwnedBytes());

  // Starts a disk: the 164-entry track table, `mediaType`, the name (up to
  // 16 bytes) and the write-protect byte.
  // Makes room for `bytes` in one step where the caller can tell what it
  // will write, sparing the copies of growing; false changes nothing.
  bool Expect(size_t bytes);

  bool BeginDisk(uint8_t mediaType, const char* name = "", uint8_t writeProtect = 0);
  // Starts track index `track` (cylinder * 2 + head) holding `sectorCount`
  // sectors; tracks not begun are absent.
  bool BeginTrack(int track, int sectorCount);
  // One sector of the current track: its header, then `length` bytes.
  bool AddSector(const SectorRecord& record, const uint8_t* data, int length);
  // The same with every data byte `fill` (a sector stored as one byte).
  bool AddFilledSector(const SectorRecord& record, uint8_t fill, int length);
  // Writes the disk's size field.  A track given fewer sectors than begun
  // is stored with the count it got (none: absent), so a reader may drop
  // sectors it finds unsound after BeginTrack.
  bool EndDisk();

  bool Failed() const { return failed; }
  // The bytes written so far; the writer keeps ownership until Release.
  const uint8_t* Data() const { return out.bytes.get(); }
  size_t Size() const { return out.size; }
  d88::OwnedBytes Release();

 private:
  bool Fail();
  bool Reserve(size_t length, bool zeroed = true);
  void EndTrack();
  bool AddHeader(const SectorRecord& record, int length);

  d88::OwnedBytes out;
  size_t limit;
  size_t diskStart = 0;
  bool inDisk = false;
  // The track being written: its table entry, first header and counts.
  int track = -1;
  size_t trackStart = 0;
  int trackDeclared = 0;
  int trackAdded = 0;
  bool failed = false;
};

}  // namespace containers

#endif  // CONTAINERS_D88_WRITER_H
