// Hard-disk image headers and partition tables.
//
//   HDI (no magic; 32 bytes of fields, zeros up to the header size)
//   +0x00 4 reserved (0)   +0x08 4 header size   +0x0C 4 data size
//   +0x10 4 sector size    +0x14 4 sectors/track +0x18 4 heads  +0x1C 4 cylinders
//
//   NHD (512-byte header)
//   +0x000 15 "T98HDDIMAGE.R0" NUL   +0x110 4 header size  +0x114 4 cylinders
//   +0x118 2 heads  +0x11A 2 sectors/track  +0x11C 2 sector size
//
//   THD (256-byte header; 8 heads, 33 sectors of 256 bytes implied)
//   +0x00 2 cylinders
//
//   Virtual98 (220-byte header)
//   +0x00 7 "VHD1.00"  +0x8E 2 sector size  +0x90 1 sectors/track
//   +0x91 1 heads      +0x92 2 cylinders    +0x94 4 total sectors
//
//   PC-98 sector 0: "IPL1" (or "Linux 98", "GRUB/98 ") at +4, 55 AA at the
//   end of the physical sector.  The table is the next sector (on
//   256-byte disks possibly byte 512 instead), 32-byte entries:
//   +0x00 1 mid (bit 7 bootable)  +0x01 1 sid (bit 7 active)  +0x02 2 zero
//   +0x04 1 IPL sector  +0x05 1 IPL head  +0x06 2 IPL cylinder
//   +0x08 1 start sector (from 0)  +0x09 1 start head  +0x0A 2 start cylinder
//   +0x0C 1 end sector  +0x0D 1 end head  +0x0E 2 end cylinder (inclusive)
//   +0x10 16 name
//
//   IBM MBR: 55 AA at 0x1FE, four 16-byte entries at 0x1BE:
//   +0 boot flag  +4 type  +8 4 start sector  +12 4 sector count
#include "fs/hard_disk.h"

#include <cstring>

#include "d88/d88_format.h"

namespace fs {

namespace {

using d88::GetU16le;
using d88::GetU32le;

constexpr int kHdiReserved = 0x00;
constexpr int kHdiHeaderSize = 0x08;
constexpr int kHdiDataSize = 0x0C;
constexpr int kHdiSectorSize = 0x10;
constexpr int kHdiSectors = 0x14;
constexpr int kHdiHeads = 0x18;
constexpr int kHdiCylinders = 0x1C;

constexpr char kNhdMagic[] = "T98HDDIMAGE.R0";  // and its NUL
constexpr int kNhdHeaderSize = 0x110;
constexpr int kNhdCylinders = 0x114;
constexpr int kNhdHeads = 0x118;
constexpr int kNhdSectors = 0x11A;
constexpr int kNhdSectorSize = 0x11C;
constexpr int kNhdMinimumHeader = 0x200;

constexpr int kThdHeader = 256;
constexpr int kThdCylinders = 0x00;
constexpr int kThdHeads = 8;
constexpr int kThdSectors = 33;
constexpr int kThdSectorSize = 256;

constexpr char kVirtual98Magic[] = "VHD1.00";
constexpr int kVirtual98Header = 220;
constexpr int kVirtual98SectorSize = 0x8E;
constexpr int kVirtual98Sectors = 0x90;
constexpr int kVirtual98Heads = 0x91;
constexpr int kVirtual98Cylinders = 0x92;
constexpr int kVirtual98Total = 0x94;

constexpr uint32_t kLargestHeader = 1 << 20;

constexpr int kIplSignature = 4;
constexpr int kPc98EntrySize = 32;
constexpr int kPc98Mid = 0x00;
constexpr int kPc98Sid = 0x01;
constexpr int kPc98Padding = 0x02;
constexpr int kPc98IplSector = 0x04;
constexpr int kPc98IplHead = 0x05;
constexpr int kPc98StartSector = 0x08;
constexpr int kPc98StartHead = 0x09;
constexpr int kPc98StartCylinder = 0x0A;
constexpr int kPc98EndSector = 0x0C;
constexpr int kPc98EndHead = 0x0D;
constexpr int kPc98EndCylinder = 0x0E;
constexpr int kPc98Name = 0x10;
constexpr int kPc98NameLength = 16;
constexpr int kPc98MaxEntries = 16;

constexpr int kMbrSignature = 0x1FE;
constexpr int kMbrTable = 0x1BE;
constexpr int kMbrEntrySize = 16;
constexpr int kMbrEntries = 4;
constexpr int kMbrBootFlag = 0;
constexpr int kMbrType = 4;
constexpr int kMbrStart = 8;
constexpr int kMbrCount = 12;
constexpr int kMbrUnit = 512;

// A boot sector's BPB: bytes per sector and media byte, for guessing the
// geometry of a file without header.
constexpr int kBpbBytesPerSector = 0x0B;
constexpr int kBpbMedia = 0x15;
constexpr int kBpbHidden = 0x1C;

bool SectorSizeOk(uint32_t size) {
  return size == 256 || size == 512 || size == 1024 || size == 2048;
}

bool Read(ByteSource& source, uint64_t offset, uint8_t* to, size_t length) {
  return source.Read(offset, to, length) == length;
}

bool HasSignature(const uint8_t* at) { return at[0] == 0x55 && at[1] == 0xAA; }

void SetGeometry(HardDisk* d, uint32_t sectorSize, uint32_t cylinders, uint32_t heads,
                 uint32_t sectors) {
  d->sectorSize = static_cast<int>(sectorSize);
  d->cylinders = static_cast<int>(cylinders);
  d->heads = static_cast<int>(heads);
  d->sectorsPerTrack = static_cast<int>(sectors);
}

// The sectors the header promises, held against what the file holds.
void SetSectorCount(HardDisk* d, uint64_t promised, uint64_t fileSize) {
  const uint64_t held = (fileSize - d->dataOffset) / static_cast<uint64_t>(d->sectorSize);
  d->sectorCount = promised;
  if (held < promised) {
    d->problems.push_back("the image holds " + std::to_string(held) + " of the " +
                          std::to_string(promised) + " sectors its header gives");
    d->sectorCount = held;
  }
}

bool GeometryOk(uint32_t cylinders, uint32_t heads, uint32_t sectors) {
  return cylinders >= 1 && cylinders < 65536 && heads >= 1 && heads < 256 && sectors >= 1 &&
         sectors < 256;
}

bool ReadHeader(ByteSource& source, HardDisk* d) {
  const uint64_t size = source.Size();
  uint8_t h[kNhdMinimumHeader] = {};
  const size_t got = source.Read(0, h, sizeof h);
  if (got >= kNhdMinimumHeader && std::memcmp(h, kNhdMagic, sizeof kNhdMagic) == 0) {
    const uint32_t header = GetU32le(h + kNhdHeaderSize);
    const uint32_t cylinders = GetU32le(h + kNhdCylinders);
    const uint32_t heads = GetU16le(h + kNhdHeads);
    const uint32_t sectors = GetU16le(h + kNhdSectors);
    const uint32_t sectorSize = GetU16le(h + kNhdSectorSize);
    if (header < kNhdMinimumHeader || header > kLargestHeader || header > size ||
        !SectorSizeOk(sectorSize) || !GeometryOk(cylinders, heads, sectors)) {
      return false;
    }
    d->format = "NHD";
    d->dataOffset = header;
    SetGeometry(d, sectorSize, cylinders, heads, sectors);
    SetSectorCount(d, uint64_t{cylinders} * heads * sectors, size);
    return true;
  }
  if (got >= static_cast<size_t>(kVirtual98Header) &&
      std::memcmp(h, kVirtual98Magic, sizeof kVirtual98Magic - 1) == 0) {
    const uint32_t sectorSize = GetU16le(h + kVirtual98SectorSize);
    const uint32_t sectors = h[kVirtual98Sectors];
    const uint32_t heads = h[kVirtual98Heads];
    const uint32_t cylinders = GetU16le(h + kVirtual98Cylinders);
    const uint32_t total = GetU32le(h + kVirtual98Total);
    if (!SectorSizeOk(sectorSize) || !GeometryOk(cylinders, heads, sectors)) return false;
    d->format = "Virtual98";
    d->dataOffset = kVirtual98Header;
    SetGeometry(d, sectorSize, cylinders, heads, sectors);
    const uint64_t product = uint64_t{cylinders} * heads * sectors;
    if (total != product) {
      d->problems.push_back("the header's total of " + std::to_string(total) +
                            " sectors is not its geometry's " + std::to_string(product));
    }
    SetSectorCount(d, product, size);
    return true;
  }
  if (got >= 32) {
    const uint32_t header = GetU32le(h + kHdiHeaderSize);
    const uint32_t data = GetU32le(h + kHdiDataSize);
    const uint32_t sectorSize = GetU32le(h + kHdiSectorSize);
    const uint32_t sectors = GetU32le(h + kHdiSectors);
    const uint32_t heads = GetU32le(h + kHdiHeads);
    const uint32_t cylinders = GetU32le(h + kHdiCylinders);
    // No magic: the sizes must agree with each other and with the file.
    if (GetU32le(h + kHdiReserved) == 0 && header >= 32 && header <= kLargestHeader &&
        header % 256 == 0 && SectorSizeOk(sectorSize) && GeometryOk(cylinders, heads, sectors) &&
        uint64_t{data} == uint64_t{sectorSize} * sectors * heads * cylinders &&
        uint64_t{header} + data == size) {
      d->format = "HDI";
      d->dataOffset = header;
      SetGeometry(d, sectorSize, cylinders, heads, sectors);
      SetSectorCount(d, uint64_t{cylinders} * heads * sectors, size);
      return true;
    }
  }
  if (got >= 2 && size > kThdHeader) {
    const uint32_t cylinders = GetU16le(h + kThdCylinders);
    const uint64_t track = uint64_t{kThdHeads} * kThdSectors * kThdSectorSize;
    if (cylinders >= 1 && size == kThdHeader + cylinders * track) {
      d->format = "THD";
      d->dataOffset = kThdHeader;
      SetGeometry(d, kThdSectorSize, cylinders, kThdHeads, kThdSectors);
      SetSectorCount(d, uint64_t{cylinders} * kThdHeads * kThdSectors, size);
      return true;
    }
  }
  d->format = "plain";
  d->dataOffset = 0;
  return true;
}

// Whether a boot sector with a FAT BPB starts at `offset`; `hidden` gets
// its hidden-sector count.
bool BootSectorAt(ByteSource& source, uint64_t offset, uint32_t* hidden) {
  uint8_t b[0x20];
  if (!Read(source, offset, b, sizeof b)) return false;
  const uint32_t bps = GetU16le(b + kBpbBytesPerSector);
  *hidden = GetU32le(b + kBpbHidden);
  return bps >= 256 && bps <= 4096 && (bps & (bps - 1)) == 0 && b[kBpbMedia] >= 0xF0;
}

// The PC-98 table at byte `at` of the data, `entries` slots, for geometry
// heads/sectors of `sectorSize`; false unless every used slot validates
// and one at least is used.
bool ReadPc98Table(ByteSource& source, const HardDisk& d, uint64_t at, int entries,
                   std::vector<Partition>* partitions, std::vector<std::string>* problems) {
  partitions->clear();
  problems->clear();
  const uint64_t heads = static_cast<uint64_t>(d.heads);
  const uint64_t sectors = static_cast<uint64_t>(d.sectorsPerTrack);
  uint64_t ranges[kPc98MaxEntries][2];
  for (int i = 0; i < entries; ++i) {
    uint8_t e[kPc98EntrySize];
    if (!Read(source, d.dataOffset + at + static_cast<uint64_t>(i) * kPc98EntrySize, e, sizeof e)) {
      return false;
    }
    if (e[kPc98Mid] == 0 || e[kPc98Sid] == 0) continue;
    const uint64_t startCylinder = GetU16le(e + kPc98StartCylinder);
    const uint64_t endCylinder = GetU16le(e + kPc98EndCylinder);
    if (GetU16le(e + kPc98Padding) != 0 || e[kPc98IplSector] >= sectors ||
        e[kPc98StartSector] >= sectors || e[kPc98EndSector] >= sectors ||
        e[kPc98IplHead] >= heads || e[kPc98StartHead] >= heads || e[kPc98EndHead] >= heads ||
        startCylinder > endCylinder) {
      return false;
    }
    const uint64_t start =
        (startCylinder * heads + e[kPc98StartHead]) * sectors + e[kPc98StartSector];
    uint64_t end = (endCylinder + 1) * heads * sectors;
    if (start == 0 || start >= d.sectorCount) return false;
    Partition p;
    p.index = i;
    size_t nameLength = kPc98NameLength;
    while (nameLength > 0 &&
           (e[kPc98Name + nameLength - 1] == ' ' || e[kPc98Name + nameLength - 1] == 0)) {
      --nameLength;
    }
    p.name.assign(reinterpret_cast<const char*>(e + kPc98Name), nameLength);
    if (end > d.sectorCount) {
      problems->push_back("partition " + std::to_string(i) + " ends past the image's " +
                          std::to_string(d.sectorCount) + " sectors");
      end = d.sectorCount;
    }
    for (size_t k = 0; k < partitions->size(); ++k) {
      if (start < ranges[k][1] && ranges[k][0] < end) return false;
    }
    ranges[partitions->size()][0] = start;
    ranges[partitions->size()][1] = end;
    const uint64_t unit = static_cast<uint64_t>(d.sectorSize);
    p.offset = d.dataOffset + start * unit;
    p.size = (end - start) * unit;
    p.system = e[kPc98Sid];
    p.mid = e[kPc98Mid];
    p.active = (p.system & 0x80) != 0;
    partitions->push_back(p);
  }
  return !partitions->empty();
}

bool HasIpl(const uint8_t* sector0) {
  return std::memcmp(sector0 + kIplSignature, "IPL1", 4) == 0 ||
         std::memcmp(sector0 + kIplSignature, "Linux 98", 8) == 0 ||
         std::memcmp(sector0 + kIplSignature, "GRUB/98 ", 8) == 0;
}

// The PC-98 table under the geometry of `d`, at byte SS, or on
// 256-byte disks at byte 512 too.
bool FindPc98Table(ByteSource& source, HardDisk* d) {
  if (d->sectorCount < 2 || d->sectorSize == 0) return false;
  uint8_t sector0[kMbrUnit];
  if (!Read(source, d->dataOffset, sector0, sizeof sector0) || !HasIpl(sector0)) return false;
  const int ss = d->sectorSize;
  const bool signed0 = ss == 256 ? HasSignature(sector0 + 0xFE) || HasSignature(sector0 + 0x1FE)
                                 : ss >= 512 && HasSignature(sector0 + kMbrSignature);
  if (!signed0) return false;
  std::vector<Partition> partitions;
  std::vector<std::string> problems;
  const int slots = ss >= 512 ? kPc98MaxEntries : ss / kPc98EntrySize;
  if (ReadPc98Table(source, *d, static_cast<uint64_t>(ss), slots, &partitions, &problems) ||
      (ss == 256 && ReadPc98Table(source, *d, 512, kPc98MaxEntries, &partitions, &problems))) {
    d->table = "PC-98";
    d->partitions = partitions;
    d->problems.insert(d->problems.end(), problems.begin(), problems.end());
    return true;
  }
  return false;
}

// A file without header: the geometry whose table puts a boot sector at
// the most partition starts, ties to the one whose hidden counts agree.
bool FindPlainPc98(ByteSource& source, HardDisk* d) {
  struct Candidate {
    int sectorSize, heads, sectors;
  };
  static const Candidate kCandidates[] = {
      {512, 8, 17},   {512, 8, 25}, {512, 8, 32}, {512, 4, 32}, {512, 16, 63},
      {512, 16, 255}, {256, 4, 33}, {256, 6, 33}, {256, 8, 33}, {256, 8, 32},
  };
  int bestScore = 0;
  HardDisk best;
  for (const Candidate& c : kCandidates) {
    HardDisk trial = *d;
    trial.sectorSize = c.sectorSize;
    trial.heads = c.heads;
    trial.sectorsPerTrack = c.sectors;
    trial.sectorCount = source.Size() / static_cast<uint64_t>(c.sectorSize);
    trial.cylinders =
        static_cast<int>(trial.sectorCount / static_cast<uint64_t>(c.heads * c.sectors));
    if (!FindPc98Table(source, &trial)) continue;
    int score = 0;
    for (const Partition& p : trial.partitions) {
      uint32_t hidden = 0;
      if (!BootSectorAt(source, p.offset, &hidden)) continue;
      score += 2;
      if (hidden == p.offset / static_cast<uint64_t>(c.sectorSize)) ++score;
    }
    if (score > bestScore) {
      bestScore = score;
      best = trial;
    }
  }
  if (bestScore == 0) return false;
  *d = best;
  return true;
}

bool FindMbr(ByteSource& source, HardDisk* d) {
  uint8_t s[kMbrUnit];
  if (!Read(source, d->dataOffset, s, sizeof s) || !HasSignature(s + kMbrSignature)) {
    return false;
  }
  const uint64_t unit = d->sectorSize > 0 ? static_cast<uint64_t>(d->sectorSize) : kMbrUnit;
  const uint64_t total =
      d->sectorSize > 0 ? d->sectorCount : (source.Size() - d->dataOffset) / unit;
  std::vector<Partition> partitions;
  for (int i = 0; i < kMbrEntries; ++i) {
    const uint8_t* e = s + kMbrTable + i * kMbrEntrySize;
    if (e[kMbrBootFlag] != 0x00 && e[kMbrBootFlag] != 0x80) return false;
    if (e[kMbrType] == 0) continue;
    const uint64_t start = GetU32le(e + kMbrStart);
    const uint64_t count = GetU32le(e + kMbrCount);
    if (start == 0 || count == 0 || start + count > total) return false;
    for (const Partition& q : partitions) {
      const uint64_t qs = (q.offset - d->dataOffset) / unit;
      if (start < qs + q.size / unit && qs < start + count) return false;
    }
    Partition p;
    p.index = i;
    p.offset = d->dataOffset + start * unit;
    p.size = count * unit;
    p.system = e[kMbrType];
    p.mid = e[kMbrBootFlag];
    p.active = e[kMbrBootFlag] == 0x80;
    partitions.push_back(p);
  }
  if (partitions.empty()) return false;
  d->table = "MBR";
  if (d->sectorSize == 0) {
    d->sectorSize = kMbrUnit;
    d->sectorCount = total;
  }
  d->partitions = partitions;
  return true;
}

}  // namespace

bool ReadHardDisk(ByteSource& source, HardDisk* disk) {
  *disk = HardDisk();
  HardDisk d;
  if (!ReadHeader(source, &d)) return false;
  if (d.format == "plain") {
    if (!FindPlainPc98(source, &d) && !FindMbr(source, &d)) return false;
  } else if (!FindPc98Table(source, &d) && !FindMbr(source, &d)) {
    d.problems.push_back("no partition table validates");
  }
  *disk = d;
  return true;
}

}  // namespace fs
