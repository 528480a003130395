// On-disk layout of a D88 image.
//
// The file has no header of its own: disks follow one another, each a
// DiskHeader and then its tracks.  All numbers are little-endian.
//
//   DiskHeader (688 bytes, at the start of every disk)
//   +0x00  16  name, ends at the first zero byte (0x10 holds a zero)
//   +0x11   9  reserved
//   +0x1A   1  write-protect flag (0x10 = protected)
//   +0x1B   1  media type (0x00 2D, 0x10 2DD, 0x20 2HD, 0x30 1D, 0x40 1DD)
//   +0x1C   4  disk size, header included: the next disk starts here + size
//   +0x20 164*4 track offsets from the start of this header; 0 = absent
//
//   SectorHeader (16 bytes, in front of every sector's data)
//   +0   1  C   cylinder of the sector's identity
//   +1   1  H   head
//   +2   1  R   sector number
//   +3   1  N   size code: nominal length 128 << N
//   +4   2  sectors in this track (every header repeats it)
//   +6   1  density flag
//   +7   1  deleted-data mark
//   +8   1  controller status
//   +9   5  reserved
//   +14  2  length of the data that follows this header
#ifndef D88_D88_FORMAT_H
#define D88_D88_FORMAT_H

#include <cstdint>

namespace d88 {

constexpr int kMaxDisks = 64;
constexpr int kTrackCount = 164;

constexpr int kDiskHeaderSize = 688;
constexpr int kDiskNameOffset = 0x00;
constexpr int kDiskNameLength = 16;
constexpr int kWriteProtectOffset = 0x1A;
constexpr int kMediaTypeOffset = 0x1B;
constexpr int kDiskSizeOffset = 0x1C;
constexpr int kTrackTableOffset = 0x20;
static_assert(kTrackTableOffset + kTrackCount * 4 == kDiskHeaderSize,
              "the track table ends the disk header");

constexpr int kSectorHeaderSize = 16;
constexpr int kSectorCOffset = 0;
constexpr int kSectorHOffset = 1;
constexpr int kSectorROffset = 2;
constexpr int kSectorNOffset = 3;
constexpr int kSectorCountOffset = 4;
constexpr int kDensityOffset = 6;
constexpr int kDeletedOffset = 7;
constexpr int kStatusOffset = 8;
constexpr int kDataLengthOffset = 14;

// The media byte.
constexpr uint8_t kMedia2D = 0x00;
constexpr uint8_t kMedia2DD = 0x10;
constexpr uint8_t kMedia2HD = 0x20;
constexpr uint8_t kMedia1D = 0x30;
constexpr uint8_t kMedia1DD = 0x40;
constexpr uint8_t kMedia2HD144 = 0x21;  // the 1.44 MB 2HD some emulators write
// The write-protect byte of a protected disk (0x00: writable).
constexpr uint8_t kWriteProtected = 0x10;

// A sector header's density byte (0x00: MFM), its deleted-data byte (0x00:
// a normal data mark) and its status, as a PC-98 DISK BIOS reports it.
constexpr uint8_t kDensityFm = 0x40;
constexpr uint8_t kDeletedData = 0x10;
constexpr uint8_t kStatusSound = 0x00;
constexpr uint8_t kStatusDeleted = 0x10;  // deleted data, read well
constexpr uint8_t kStatusIdCrc = 0xA0;    // CRC error in the ID field
constexpr uint8_t kStatusDataCrc = 0xB0;  // CRC error in the data field
constexpr uint8_t kStatusNoData = 0xF0;   // an ID with no data field after it

// Some writers keep a track table of only 160 entries, so their first track
// starts at 0x2A0, where entries 160 to 163 of a full table would be.
constexpr int kShortTrackCount = 160;
constexpr uint32_t kShortHeaderSize = kTrackTableOffset + 4 * kShortTrackCount;
static_assert(kShortHeaderSize == 0x2A0, "a 160-entry table ends at 0x2A0");

// Where a disk's first track starts, which tells a 160-entry table from a
// full one: the smallest entry among the first 160 that is not 0, or 0
// when none is.  `entry(t)` gives table entry t.
template <typename Entry>
uint32_t FirstTrackOffset(Entry entry) {
  uint32_t smallest = 0;
  for (int t = 0; t < kShortTrackCount; ++t) {
    const uint32_t offset = entry(t);
    if (offset != 0 && (smallest == 0 || offset < smallest)) smallest = offset;
  }
  return smallest;
}

// No disk position takes an offset with its top bit set: such an entry
// names no track.
constexpr uint32_t kLargestTrackOffset = 0x7FFFFFFF;

// Whether the three programs read a track whose table entry is `entry` on
// a disk whose size field is `diskSize`: an entry that is not 0, fits 31
// bits and is no greater than the size.  One equal to the size passes: its
// track starts where the next disk would, and the programs read it there
// (an image whose size field stops short of its last track relies on it).
// Every reader, d88info and d88conv take tracks by this one rule (IsTrack).
constexpr bool ProgramsReadTrack(uint32_t entry, uint32_t diskSize) {
  return entry != 0 && entry <= kLargestTrackOffset && entry <= diskSize;
}

// How many entries a disk's table holds: 160 when its first track starts
// at 0x2A0, right after a 160-entry table (the four "entries" after it are
// then that track's first sector header), else 164.  The programs take all
// 164 as entries, but none reads a track from 160 on (each catalogue is
// checked for that where it is defined), so those four cut nothing either
// way.  `entry(t)` gives table entry t.
template <typename Entry>
int TableEntries(Entry entry) {
  return FirstTrackOffset(entry) == kShortHeaderSize ? kShortTrackCount : kTrackCount;
}

// Whether entry `track` of a table of `entries` names a track of its disk:
// one the programs read.  d88info lists exactly these and d88conv writes
// exactly these, so a program cuts the same files from an image and from
// its conversion, damaged disks included.  An entry that points into the
// header passes: the programs read sectors from the header's bytes there,
// and the conversion keeps them.  One past the disk's size does not.
constexpr bool IsTrack(int track, int entries, uint32_t entry, uint32_t diskSize) {
  return track >= 0 && track < entries && ProgramsReadTrack(entry, diskSize);
}

// A 16-bit count can name at most this many headers, so no walk over a
// track needs to read more.
constexpr int kMaxHeadersPerTrack = 65535;

// The one place multi-byte fields are decoded and encoded, byte by byte,
// so the host's byte order never matters: D88 and most containers are
// little-endian, some flux dumps keep their samples big-endian.
constexpr uint32_t GetU16le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}
constexpr uint32_t GetU32le(const uint8_t* p) {
  return GetU16le(p) | GetU16le(p + 2) << 16;
}
inline void PutU16le(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}
inline void PutU32le(uint8_t* p, uint32_t value) {
  PutU16le(p, value & 0xFFFF);
  PutU16le(p + 2, value >> 16);
}
constexpr uint32_t GetU16be(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]);
}
inline void PutU16be(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value >> 8);
  p[1] = static_cast<uint8_t>(value);
}

// Whether a size or count from a file is a power of two (sector sizes,
// sectors per cluster): none of 0 or less is.
constexpr bool PowerOfTwo(int64_t value) { return value > 0 && (value & (value - 1)) == 0; }

// An ASCII letter folded to lower case, any other byte as it is: names and
// extensions are compared without case whatever code page they are in.
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The 688-byte header at the start of every disk.
struct DiskHeader {
  uint8_t bytes[kDiskHeaderSize];

  uint8_t MediaType() const { return bytes[kMediaTypeOffset]; }
  uint8_t WriteProtect() const { return bytes[kWriteProtectOffset]; }
  uint32_t DiskSize() const { return GetU32le(bytes + kDiskSizeOffset); }
  uint32_t TrackOffset(int track) const {
    return GetU32le(bytes + kTrackTableOffset + 4 * track);
  }
};

// The 16-byte header in front of every sector's data.
struct SectorHeader {
  uint8_t bytes[kSectorHeaderSize];

  int C() const { return bytes[kSectorCOffset]; }
  int H() const { return bytes[kSectorHOffset]; }
  int R() const { return bytes[kSectorROffset]; }
  int N() const { return bytes[kSectorNOffset]; }
  int SectorCount() const {
    return static_cast<int>(GetU16le(bytes + kSectorCountOffset));
  }
  int DataLength() const {
    return static_cast<int>(GetU16le(bytes + kDataLengthOffset));
  }
};

// The walk over the sector headers of the track at `position`, as every
// reader of the layout walks one, over any source of bytes: it ends at a
// header `readHeader(position, &header)` cannot give whole, at one stating
// 0 sectors (not visited: such a header is never a match and lists
// nothing), after the header whose position equals its own count, after
// kMaxHeadersPerTrack, or once `visit(header, dataPosition)` returns false.
// Returns where the bytes it looked at end (a header it could not read
// whole counted in full).
template <typename ReadHeader, typename Visit>
long long WalkTrack(long long position, ReadHeader readHeader, Visit visit) {
  for (int p = 1; p <= kMaxHeadersPerTrack; ++p) {
    SectorHeader header;
    if (!readHeader(position, &header)) return position + kSectorHeaderSize;
    position += kSectorHeaderSize;
    const int count = header.SectorCount();
    if (count == 0 || !visit(header, position)) return position;
    position += header.DataLength();
    if (p == count) break;
  }
  return position;
}

}  // namespace d88

#endif  // D88_D88_FORMAT_H
