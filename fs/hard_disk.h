// PC-98 hard-disk images: the container header (HDI, NHD, THD, Virtual98,
// or none), and the partition table inside (PC-98, else an IBM MBR), each
// partition as a byte range of the image to read as a volume.
#ifndef FS_HARD_DISK_H
#define FS_HARD_DISK_H

#include <cstdint>
#include <string>
#include <vector>

#include "fs/volume.h"

namespace fs {

struct Partition {
  int index = 0;        // slot in the table, from 0
  std::string name;     // PC-98: the 16 name bytes, trailing spaces/NULs removed; MBR: empty
  uint64_t offset = 0;  // bytes from the start of the image file, header included
  uint64_t size = 0;    // bytes
  uint8_t system = 0;   // PC-98 sid (bit 7: active); MBR type
  uint8_t mid = 0;      // PC-98 mid (bit 7: bootable); MBR boot flag
  bool active = false;  // PC-98: sid bit 7; MBR: boot flag 0x80
};

struct HardDisk {
  std::string format;  // "HDI", "NHD", "THD", "Virtual98", "plain"
  std::string table;   // "PC-98", "MBR", or empty when none validates
  int sectorSize = 0;
  uint64_t sectorCount = 0;  // whole sectors the image holds after its header
  uint64_t dataOffset = 0;   // the header's size
  int cylinders = 0, heads = 0, sectorsPerTrack = 0;  // 0 when unknown
  std::vector<Partition> partitions;
  std::vector<std::string> problems;
};

// Reads the image behind `source`; false when it is no hard-disk image
// this knows (a file without header counts only with a valid table).
bool ReadHardDisk(ByteSource& source, HardDisk* disk);

}  // namespace fs

#endif  // FS_HARD_DISK_H
