// Builds file-system volumes for the tests, the fuzz seeds and checks
// against the FAT tools: FAT12/16 volumes written entry by entry (so any
// name bytes, chain or damage a test wants), N88-BASIC disks of each
// layout, and PC-98 hard-disk images with their headers and partition
// table.  Floppy volumes become D88 disks through the D88 builder.
#ifndef TESTS_SUPPORT_FS_BUILDER_H
#define TESTS_SUPPORT_FS_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "support/d88_builder.h"

namespace testimg {

// A FAT layout and, for floppies, the physical shape that carries it.
struct FatFormat {
  int sectorSize = 1024;
  int sectorsPerTrack = 8, heads = 2, cylinders = 77;
  uint8_t media = 0xFE;
  int sectorsPerCluster = 1;
  int reservedSectors = 1, fatCount = 2;
  int rootEntries = 192;
  uint32_t totalSectors = 1232;
  int sectorsPerFat = 2;
  uint32_t hiddenSectors = 0;
  uint8_t d88Media = 0x20;
};

FatFormat Fat2hd();     // 77 x 2 x 8 x 1024
FatFormat Fat2dd640();  // 80 x 2 x 8 x 512
FatFormat Fat2dd720();  // 80 x 2 x 9 x 512
FatFormat Fat2hc();     // 80 x 2 x 15 x 512
FatFormat Fat144();     // 80 x 2 x 18 x 512
// A hard-disk partition's volume of `totalSectors` logical sectors,
// sectors per FAT worked out; FAT16 when the clusters reach 4085.
FatFormat FatPartition(uint32_t totalSectors, int sectorSize, int sectorsPerCluster,
                       int rootEntries);

// 8 + 3 name bytes, space padded: "README.TXT" -> "README  TXT".  Bytes
// above 0x7F pass through.
std::string ShortName(const std::string& dotted);

class FatBuilder {
 public:
  explicit FatBuilder(const FatFormat& format, const std::string& label = "");

  // Writes a file into folder `folder` (0: the root; else the folder's
  // cluster), its clusters from the next free one, each `stride` apart
  // (2: fragmented, every other cluster left free).  Returns the first
  // cluster (0 for an empty file).
  uint32_t AddFile(uint32_t folder, const std::string& name11, const Bytes& data,
                   const std::u16string& longName = u"", int stride = 1);
  // A one-cluster folder with "." and ".."; returns its cluster.
  uint32_t AddFolder(uint32_t folder, const std::string& name11,
                     const std::u16string& longName = u"");
  // Appends a raw 32-byte entry to a folder.
  void AddEntry(uint32_t folder, const Bytes& entry);
  // The VFAT pieces of `longName` for the short name that follows them.
  void AddLongName(uint32_t folder, const std::string& name11, const std::u16string& longName);

  void SetFat(uint32_t cluster, uint16_t value);
  uint16_t Fat(uint32_t cluster) const { return fat[cluster]; }
  uint32_t ClusterCount() const { return clusterCount; }
  uint64_t ClusterOffset(uint32_t cluster) const;
  const FatFormat& Format() const { return format; }
  // Boot sector bytes 0x0B-0x3D zeroed, as on disks older than the BPB.
  void DropBpb() { dropBpb = true; }

  // The flat volume, both FAT copies written.
  Bytes Build() const;

 private:
  uint32_t Allocate(uint32_t count, int stride);
  uint64_t NextEntryOffset(uint32_t folder);

  FatFormat format;
  std::string label;
  Bytes bytes;
  std::vector<uint16_t> fat;
  uint32_t clusterCount;
  uint32_t nextFree = 2;
  uint64_t rootStart, dataStart;
  std::vector<int> used;  // entries used per folder: [0] root, [c] cluster c
  bool dropBpb = false;
};

// A directory entry: 11 name bytes, attributes, first cluster, size, with
// the builder's fixed time (2026-12-08 09:08:38).
Bytes DirEntry(const std::string& name11, uint8_t attributes, uint32_t cluster, uint32_t size);

// A flat floppy volume as a D88 disk of its shape.
Disk FloppyDisk(const Bytes& flat, int cylinders, int heads, int sectorsPerTrack, int sectorSize,
                uint8_t d88Media);
Disk FloppyDisk(const Bytes& flat, const FatFormat& format);

// N88-BASIC disks.
enum class N88Kind { k2D, k2DD, k2HD };

class N88Builder {
 public:
  explicit N88Builder(N88Kind kind);
  // Writes a file from the next free cluster on; the last cluster's code
  // counts the sectors used.  Returns its first cluster.
  int AddFile(const std::string& name6, const std::string& extension3, uint8_t attribute,
              const Bytes& data);
  void AddEntry(const std::string& name6, const std::string& extension3, uint8_t attribute,
                int cluster);
  void SetFat(int cluster, uint8_t value);  // in all three copies
  void SetFatCopy(int copy, int cluster, uint8_t value);
  int SectorsPerTrack() const;
  int ClusterSectors() const;
  // The D88 disk: 2HD with its FM track 0 side 0 of 26 x 128.
  Disk Build() const;
  // The volume's bytes, logical sector by logical sector, and where in
  // them the system track starts.
  const Bytes& Flat() const { return flat; }
  uint64_t SystemTrackOffset() const { return SystemSectorOffset(1); }

 private:
  uint64_t SystemSectorOffset(int r) const;

  N88Kind kind;
  int cylinders, spt, spc, clusters, systemCylinder, systemHead, directorySectors;
  Bytes flat;
  int nextFree = 2;
  int entries = 0;
};

// PC-98 hard disks.
struct HdGeometry {
  int sectorSize = 512, heads = 8, sectors = 17, cylinders = 0;
};
struct HdPartition {
  int startCylinder = 1, endCylinder = 1;
  uint8_t mid = 0xA0, sid = 0xA1;
  std::string name;  // up to 16 bytes, space padded
  Bytes volume;      // copied to the partition's start
};
// The disk without header: IPL with "IPL1" and 55 AA, the table in sector 1.
Bytes Pc98Disk(const HdGeometry& geometry, const std::vector<HdPartition>& partitions);
// The FAT volume of `totalSectors` 1024-byte sectors for a partition
// starting at cylinder `startCylinder`, with two files in it.
Bytes PartitionVolume(const HdGeometry& geometry, int startCylinder, int endCylinder,
                      const std::string& label, int sectorsPerCluster);
Bytes WithHdiHeader(const Bytes& disk, const HdGeometry& geometry);
Bytes WithNhdHeader(const Bytes& disk, const HdGeometry& geometry);
Bytes WithVirtual98Header(const Bytes& disk, const HdGeometry& geometry);
// THD: 256-byte header of the cylinder count (8 x 33 x 256 implied).
Bytes WithThdHeader(const Bytes& disk, const HdGeometry& geometry);
// A disk made on an IBM PC: an MBR with one FAT12 partition (type 0x01)
// holding `volume` from sector `start` of 512 bytes.
Bytes MbrDisk(const Bytes& volume, uint32_t start);
// The PC-98 disk of the tests: active FAT16 partition "MS-DOS 6.20" at
// cylinders 1-80, then sleeping FAT12 "DATA" at 81-100; 8 heads x 17 sectors x 512 bytes.
HdGeometry TwoPartitionGeometry();
Bytes TwoPartitionDisk();

}  // namespace testimg

#endif  // TESTS_SUPPORT_FS_BUILDER_H
