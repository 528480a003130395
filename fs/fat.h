// FAT12 and FAT16 volumes: recognised from a sane BPB, or on a floppy of
// a known shape without one from its FAT ID byte; listed with every chain
// bounded and checked.
#ifndef FS_FAT_H
#define FS_FAT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fs/listing.h"
#include "fs/volume.h"

namespace fs {

// The layout a BPB (or the standard one substituted for a missing BPB)
// gives, in bytes from the volume's start where it is a place.
struct FatParameters {
  uint32_t bytesPerSector = 0;
  uint32_t sectorsPerCluster = 0;
  uint32_t reservedSectors = 0;
  uint32_t fatCount = 0;
  uint32_t rootEntries = 0;
  uint32_t totalSectors = 0;
  uint32_t sectorsPerFat = 0;
  uint8_t media = 0;
  bool fromBpb = false;  // false: substituted by the FAT ID on a known floppy
  // Derived.
  uint64_t fatStart = 0;
  uint64_t rootStart = 0;
  uint64_t rootBytes = 0;
  uint64_t dataStart = 0;
  uint32_t clusterCount = 0;
  bool fat16 = false;
};

// Whether `volume` holds a FAT12/16 file system, and its layout.
bool RecogniseFat(Volume& volume, FatParameters* parameters);

// Lists a FAT volume; false when RecogniseFat is.
bool ListFat(Volume& volume, Listing* listing);

// The bytes of a file of a FAT listing (see fs::ReadFile).
size_t ReadFatFile(Volume& volume, const Listing& listing, const Entry& entry,
                   std::vector<uint8_t>* out, std::string* problem);

// The VFAT checksum of an 11-byte short name as stored.
uint8_t ShortNameChecksum(const uint8_t* name11);

}  // namespace fs

#endif  // FS_FAT_H
