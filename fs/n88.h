// N88-BASIC disks (2D, 2DD and 2HD layouts): an 8-bit FAT of one byte a
// cluster, three copies on the system track, 16-byte directory entries.
// Recognised only when the system track's FAT copy is wholly made of
// valid codes and marks the system track's own clusters reserved.
#ifndef FS_N88_H
#define FS_N88_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fs/listing.h"
#include "fs/volume.h"

namespace fs {

struct N88Layout {
  const char* name;     // "2D", "2DD", "2HD"
  int sectorsPerTrack;  // 256-byte sectors
  int clusterSectors;
  int clusters;
  int systemCylinder, systemHead;
  int directorySectors;  // R 1..directorySectors; the ID sector follows,
                         // then the three FAT copies end the track
  int reservedCluster;   // the system track's first cluster, marked 0xFE
};

// Which N88 layout `volume` holds; false for none.
bool RecogniseN88(Volume& volume, const N88Layout** layout);

bool ListN88(Volume& volume, Listing* listing);

size_t ReadN88File(Volume& volume, const Listing& listing, const Entry& entry,
                   std::vector<uint8_t>* out, std::string* problem);

}  // namespace fs

#endif  // FS_N88_H
