// Read access to a D88 image: the directory of its disks, one selected
// disk, and its sectors found by their C/H/R/N identity.
//
// Nothing throws and nothing is printed: every outcome is a boolean or a
// byte count, and a count short of what was asked is the only sign that a
// sector was missing or a read fell short.  The class allocates nothing;
// buffers belong to the caller, and what it learns while reading lives in
// fixed arrays of its own (so an instance is some 150 KB: keep it static).
#ifndef D88_D88_IMAGE_H
#define D88_D88_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "d88/d88_format.h"

namespace d88 {

class D88Image {
 public:
  D88Image();
  ~D88Image();
  D88Image(const D88Image&) = delete;
  D88Image& operator=(const D88Image&) = delete;

  // Opens `path` and scans its disks; a null path closes the image.  When
  // the file cannot be opened or read the image is closed but keeps the
  // directory of the earlier image.
  bool Open(const char* path);
  // Reads the image from `size` bytes at `data`, which the caller keeps
  // unchanged until the next Open or OpenMemory; false (and nothing
  // changed) for a null `data`.
  bool OpenMemory(const uint8_t* data, size_t size);
  int DiskCount() const { return diskCount; }
  int CurrentDisk() const { return currentDisk; }
  bool SelectDisk(int index);
  // The sector numbers a track is taken to carry, used when a run of
  // sectors passes the end of a track.  Kept across Open and SelectDisk.
  void SetSectorRange(int first, int last);
  const char* DiskName() const { return diskName; }
  int MediaType() const { return mediaType; }

  // Where disk `index` of the directory starts in the file; -1 outside it.
  long long DiskPosition(int index) const;
  // The selected disk's size field and track table as stored (0 when no
  // disk is selected), and its write-protect byte.
  uint32_t DiskSize() const { return diskSize; }
  uint32_t TrackOffset(int track) const;
  // Whether the selected disk has track `track` (d88::IsTrack over its
  // table): the tracks to list, count or copy.
  bool HasTrack(int track) const;
  int WriteProtect() const { return writeProtect; }

  // Reads the data of the first sector of `track` whose identity is
  // c/h/r/n, at most maxLength bytes; returns the bytes delivered.
  int ReadSector(int track, int c, int h, int r, int n, uint8_t* buffer,
                 int maxLength);
  // Reads a run of consecutive sectors, stepping over the track's end to
  // the other head (and the next cylinder); returns the bytes read in
  // whole pieces.
  int ReadSectors(int track, int c, int h, int r, int n, uint8_t* buffer,
                  int length);
  // Lists C, H, R, N of the track's sectors in stored order, 4 bytes each;
  // returns the bytes written.
  int ListSectorIds(int track, uint8_t* out, int maxLength);
  // Lists the data-length fields of the track's sectors in the same order
  // and over the same walk as ListSectorIds; returns how many it wrote.
  int ListDataLengths(int track, int* out, int maxCount);
  // Lists the density, deleted-mark and status bytes of the track's sectors
  // in the same order and over the same walk, 3 bytes each; returns the
  // bytes written.
  int ListSectorFlags(int track, uint8_t* out, int maxLength);

 private:
  // What one walk over a track found for one C/H/N: where the data of the
  // first sector of each R starts, and its length.  A track is walked once
  // per selection and C/H/N however many sectors are read from it.
  struct TrackIndex {
    long long start;  // file position of the track's first header; -1 unused
    int c, h, n;
    long long dataPosition[256];  // -1: no such sector before the walk ends
    uint16_t dataLength[256];
  };
  // Enough for every track a disk's rules and cuts read.
  static constexpr int kIndexSlots = 32;
  static constexpr int kReadBufferSize = 65536;

  void ResetSelection();
  void Forget();
  void Close();
  bool IsOpen() const { return imageFile != nullptr || memory != nullptr; }
  // Reads the disk headers' chain into the directory; false when the first
  // header cannot be read for an error (not for a short file).
  bool ScanDisks();
  bool SeekTo(long long position);
  bool ReadExact(void* to, int length);
  // Exactly `length` bytes from `position`, from the file or the memory.
  bool ReadWhole(long long position, void* to, int length);
  bool TrackStart(int track, long long* start) const;
  int ReadAt(long long position, uint8_t* to, int length);
  template <typename Visit>
  void WalkTrack(long long position, Visit visit);
  const TrackIndex& IndexFor(long long start, int c, int h, int n);

  std::FILE* imageFile;
  // The image's bytes when it is read from memory (imageFile is then null).
  const uint8_t* memory;
  size_t memorySize;
  int currentDisk;
  int diskCount;
  int firstSector;
  int lastSector;
  int32_t diskOffsets[kMaxDisks];
  // Sizes and offsets are unsigned 32-bit fields; held unsigned so that
  // none of them turns negative.
  uint32_t diskSize;
  int32_t diskOffset;
  uint32_t trackOffsets[kTrackCount];
  int mediaType;
  int writeProtect;
  char diskName[kDiskNameLength + 1];

  // Learnt from the file since the last Open or SelectDisk.
  TrackIndex indexes[kIndexSlots];
  int nextIndex;
  uint8_t readBuffer[kReadBufferSize];
  long long bufferStart;
  int bufferFill;
};

}  // namespace d88

#endif  // D88_D88_IMAGE_H
