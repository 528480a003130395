// Builds D88 images in memory for the tests, the fuzz seeds and the sample
// images: disks, tracks and sectors in any order, with any header bytes,
// and whole images of several disks, cut short where a test wants.
#ifndef TESTS_SUPPORT_D88_BUILDER_H
#define TESTS_SUPPORT_D88_BUILDER_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testimg {

using Bytes = std::vector<uint8_t>;

constexpr int kSectorsPerTrack = 26;

struct Sector {
  uint8_t c = 0, h = 0, r = 1, n = 1;
  Bytes data;
  int count = -1;   // the sectors-in-track field; -1 for the track's size
  int length = -1;  // the data-length field; -1 for data.size()
  uint8_t density = 0, deleted = 0, status = 0;
};

struct Disk {
  std::string name = "TEST";  // the 16 name bytes; longer names fill all 16
  uint8_t mediaType = 0x00;
  uint8_t writeProtect = 0x00;
  std::string tag = "D";      // names this disk in its filler bytes
  std::map<int, std::vector<Sector>> tracks;  // by track index, stored order
  std::map<int, uint32_t> trackOffsets;       // entries that override layout
  int64_t sizeField = -1;                     // overrides the disk size

  // Formats track indexes first..last as cylinder t/2, head t%2, sectors
  // 1..count of 256 bytes (N 1), each filled with Filler(tag, t, r).
  Disk& Format(int first, int last, int count = kSectorsPerTrack);
  // The data of the first sector numbered r on the track (it must exist).
  Bytes& Data(int track, int r);
  // Overwrites bytes of a sector's data from `offset` on.
  Disk& Poke(int track, int r, int offset, const std::string& bytes);
  // Puts `copies` copies of `sector` in front of the track's sectors.
  Disk& Prepend(int track, const Sector& sector, int copies);
  Disk& Remove(int track, int r);
  Disk& RemoveTrack(int track);

  Bytes Build() const;

  // The bytes of the sectors a run of `length` bytes from track/r covers,
  // sectors counted as track * 26 + r - 1; a missing sector ends it.
  Bytes Run(int track, int r, int length) const;
};

// A sector of that ID and data, FM where `density` is 0x40.
Sector MakeSector(int c, int h, int r, int n, Bytes data, uint8_t density = 0);

// 256 (or `length`) bytes that name a sector's place, e.g. "D T012 R03 ".
Bytes Filler(const std::string& tag, int track, int r, int length = 256);

Bytes BuildImage(const std::vector<Disk>& disks);

// One built disk as writers with a track table of only 160 entries store
// it: the table ends at 0x2A0, where the first track then starts, and the
// size and offsets shrink to match.
Bytes WithShortTrackTable(const Bytes& disk);

Bytes Concat(const Bytes& a, const Bytes& b);
bool WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path, bool* exists = nullptr);

}  // namespace testimg

#endif  // TESTS_SUPPORT_D88_BUILDER_H
