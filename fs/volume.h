// The sectors a file system lives in: a volume reads its sector N (counted
// from 0) of one fixed size.  Two kinds: a selected disk of a D88 image,
// its sectors found by C/H/R/N from the disk's geometry, and a byte range
// of a hard-disk image read through a byte source, so that no image is
// ever held whole.
//
// Nothing throws: reads are booleans or byte counts.
#ifndef FS_VOLUME_H
#define FS_VOLUME_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace d88 {
class D88Image;
}

namespace fs {

// The shape of a floppy disk as its sector IDs show it.  Track 0 side 0
// may differ from the rest (the N88 2HD disk's FM track of 26 x 128):
// firstTrackSectors/firstTrackSectorSize then describe it, else they are 0.
struct FloppyGeometry {
  int cylinders = 0;
  int heads = 0;
  int sectorsPerTrack = 0;
  int sectorSize = 0;
  int firstTrackSectors = 0;
  int firstTrackSectorSize = 0;
};

class Volume {
 public:
  virtual ~Volume() = default;
  virtual int SectorSize() const = 0;
  virtual uint64_t SectorCount() const = 0;
  // Reads sector `index` whole into `buffer` (SectorSize() bytes); false
  // when it is missing, short or past the end.
  virtual bool ReadSector(uint64_t index, uint8_t* buffer) = 0;
  // Reads `count` sectors from `first` on into `buffer`, one after another;
  // returns how many were read whole before the first that was not.  A
  // volume over a byte range reads them in one piece.
  virtual size_t ReadSectors(uint64_t first, size_t count, uint8_t* buffer);
  // The floppy shape behind the sectors; null for a hard-disk range.
  virtual const FloppyGeometry* Geometry() const { return nullptr; }
};

// Reads `length` bytes from byte `offset` of the volume, through whole
// sectors; false unless all of them were read.
bool ReadVolumeBytes(Volume& volume, uint64_t offset, uint8_t* to, size_t length);

// The geometry of the selected disk of `image`, from the IDs on its tracks:
// sectors per track and size from track 1 (C0 H1), or track 2 on a
// single-sided disk; cylinders from the last track that has sectors.
// False when the disk has no regular track to learn from.
bool DetectFloppyGeometry(d88::D88Image& image, FloppyGeometry* geometry);

// Logical sector L of a floppy is C = L / (spt * heads), H = (L / spt) mod
// heads, R = L mod spt + 1, read from D88 track C * 2 + H.
class FloppyVolume : public Volume {
 public:
  // `image` keeps its selected disk while the volume is used.
  FloppyVolume(d88::D88Image& image, const FloppyGeometry& geometry);
  int SectorSize() const override { return geometry.sectorSize; }
  uint64_t SectorCount() const override;
  bool ReadSector(uint64_t index, uint8_t* buffer) override;
  const FloppyGeometry* Geometry() const override { return &geometry; }

 private:
  d88::D88Image& image;
  FloppyGeometry geometry;
};

// Bytes read at 64-bit offsets; Read returns the bytes delivered.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  virtual size_t Read(uint64_t offset, uint8_t* to, size_t length) = 0;
};

class MemoryByteSource : public ByteSource {
 public:
  MemoryByteSource(const uint8_t* data, size_t size) : data(data), size(size) {}
  uint64_t Size() const override { return size; }
  size_t Read(uint64_t offset, uint8_t* to, size_t length) override;

 private:
  const uint8_t* data;
  size_t size;
};

// Over a file the caller opened for reading and knows the size of; the
// file stays the caller's to close.  Offsets are reached in steps a
// `long` can hold, so a 32-bit `long` still reaches past 2 GB.
class FileByteSource : public ByteSource {
 public:
  FileByteSource(std::FILE* file, uint64_t size) : file(file), size(size) {}
  uint64_t Size() const override { return size; }
  size_t Read(uint64_t offset, uint8_t* to, size_t length) override;

 private:
  std::FILE* file;
  uint64_t size;
  // Where the file stands after the last read, so that reads one after
  // another need no seek (a seek drops what stdio has buffered); -1: unknown.
  int64_t position = -1;
};

// `length` bytes from `offset` of a source as sectors of `sectorSize`
// (a power of two, 128 to 65536); a partial last sector is not a sector.
// The range is clipped to the source.
class ByteRangeVolume : public Volume {
 public:
  ByteRangeVolume(ByteSource& source, uint64_t offset, uint64_t length, int sectorSize);
  int SectorSize() const override { return sectorSize; }
  uint64_t SectorCount() const override { return sectorCount; }
  bool ReadSector(uint64_t index, uint8_t* buffer) override;
  size_t ReadSectors(uint64_t first, size_t count, uint8_t* buffer) override;

 private:
  ByteSource& source;
  uint64_t offset;
  int sectorSize;
  uint64_t sectorCount;
};

}  // namespace fs

#endif  // FS_VOLUME_H
