// One listing for every file system of the library: what is on a volume,
// found strictly from its content, and the bytes of each file.
//
// Names stay the raw bytes the disk holds (CP932 on FAT short names, the
// machine's 8-bit set on N88-BASIC); long names are UTF-16 code units.
// Turning them into host names is the caller's (fs/safe_name.h helps).
#ifndef FS_LISTING_H
#define FS_LISTING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fs/volume.h"

namespace fs {

struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool valid = false;  // false when the disk keeps none, or nonsense
};

struct NameComponent {
  std::string raw;          // short name as stored, "NAME.EXT" (0x05 read as 0xE5)
  std::u16string longName;  // a checksum-verified VFAT long name, else empty
  // FAT entry byte 0x0C as NT writes it: 0x08 base name shown in lower
  // case, 0x10 extension in lower case (ASCII letters only, trail bytes
  // untouched); 0 elsewhere.
  uint8_t caseFlags = 0;
};

struct Entry {
  std::vector<NameComponent> path;  // from the root; the last is the entry's own
  bool isDirectory = false;
  uint64_t size = 0;  // FAT: the size field; N88: what the FAT's chain covers
  DateTime modified;
  uint8_t attributes = 0;
  // N88-BASIC: attribute 0x20 (a protected save), 0x80 (tokenised BASIC),
  // 0x01 (machine code).  Always false on FAT.
  bool isProtected = false;
  bool isTokenised = false;
  bool isMachineCode = false;
  uint32_t firstCluster = 0;  // where ReadFile starts
};

enum class FsKind { kNone, kFat12, kFat16, kN88 };

// What ReadFile needs of the file system, learnt while listing.
struct Layout {
  FsKind kind = FsKind::kNone;
  uint64_t bytesPerSector = 0;  // FAT logical sector (BPB), N88 256
  uint64_t clusterBytes = 0;
  uint64_t dataStart = 0;     // byte offset of cluster 2 (FAT) or 0 (N88)
  uint32_t clusterCount = 0;  // FAT: data clusters (numbered 2..count+1)
  std::vector<uint16_t> fat;  // one entry per cluster number
};

struct Listing {
  std::string type;   // "FAT12", "FAT16", "N88-BASIC"
  std::string label;  // raw bytes, trailing spaces removed
  std::vector<Entry> entries;
  std::vector<std::string> problems;  // each names the file it concerns
  Layout layout;
};

// Recognises the file system on `volume` and lists it; false (and an empty
// listing) when there is none.  Problems do not make it false.
bool ListVolume(Volume& volume, Listing* listing);

// Reads the bytes of `entry` (of `listing`, from the same volume) into
// `out`; returns the bytes delivered.  When it stops short of the entry's
// size, `problem` (if not null) says why, naming the file.
size_t ReadFile(Volume& volume, const Listing& listing, const Entry& entry,
                std::vector<uint8_t>* out, std::string* problem);

// The path of an entry joined with '/', raw bytes: for problem texts.
std::string JoinedPath(const std::vector<NameComponent>& path);

}  // namespace fs

#endif  // FS_LISTING_H
