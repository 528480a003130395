// FAT12/FAT16 reader.
//
//   Boot sector (logical sector 0)
//   +0x0B  2  bytes per sector       +0x13  2  total sectors (0: see +0x20)
//   +0x0D  1  sectors per cluster    +0x15  1  media byte (= first FAT byte)
//   +0x0E  2  reserved sectors       +0x16  2  sectors per FAT
//   +0x10  1  number of FATs         +0x20  4  total sectors, 32-bit
//   +0x11  2  root directory entries +0x26  1  0x29: serial, label, type follow
//                                    +0x2B 11  label
//
//   Directory entry (32 bytes)
//   +0x00  8  name, space padded (0x00 end, 0xE5 deleted, 0x05 = 0xE5)
//   +0x08  3  extension
//   +0x0B  1  attributes (0x08 label, 0x10 directory, 0x0F long-name piece)
//   +0x0C  1  case flags: 0x08 base name lower case, 0x10 extension
//   +0x16  2  modification time      +0x1A  2  first cluster
//   +0x18  2  modification date      +0x1C  4  size
//
//   Long-name piece (32 bytes, the last piece stored first)
//   +0x00  1  ordinal (bits 0-5), 0x40 on the last piece
//   +0x01 10  characters 1-5          +0x0D  1  checksum of the short name
//   +0x0E 12  characters 6-11         +0x1C  4  characters 12-13
#include "fs/fat.h"

#include <algorithm>
#include <cstring>

#include "d88/d88_format.h"

namespace fs {

namespace {

using d88::GetU16le;
using d88::GetU32le;
using d88::PowerOfTwo;

constexpr int kBpbBytesPerSector = 0x0B;
constexpr int kBpbSectorsPerCluster = 0x0D;
constexpr int kBpbReservedSectors = 0x0E;
constexpr int kBpbFatCount = 0x10;
constexpr int kBpbRootEntries = 0x11;
constexpr int kBpbTotalSectors16 = 0x13;
constexpr int kBpbMedia = 0x15;
constexpr int kBpbSectorsPerFat = 0x16;
constexpr int kBpbTotalSectors32 = 0x20;
constexpr int kBpbExtendedSignature = 0x26;
constexpr int kBpbLabel = 0x2B;
constexpr int kBootBytes = 0x40;
constexpr uint8_t kExtendedSignature = 0x29;

constexpr int kEntrySize = 32;
constexpr int kEntryName = 0x00;
constexpr int kEntryExtension = 0x08;
constexpr int kEntryAttributes = 0x0B;
constexpr int kEntryCaseFlags = 0x0C;
constexpr uint8_t kCaseFlagBits = 0x18;
constexpr int kEntryTime = 0x16;
constexpr int kEntryDate = 0x18;
constexpr int kEntryCluster = 0x1A;
constexpr int kEntrySizeField = 0x1C;
constexpr int kLfnOrdinal = 0x00;
constexpr int kLfnChecksum = 0x0D;
constexpr int kLfnChars[13] = {0x01, 0x03, 0x05, 0x07, 0x09, 0x0E, 0x10,
                               0x12, 0x14, 0x16, 0x18, 0x1C, 0x1E};

constexpr uint8_t kAttrLabel = 0x08;
constexpr uint8_t kAttrDirectory = 0x10;
constexpr uint8_t kAttrLongName = 0x0F;
constexpr uint8_t kEndOfDirectory = 0x00;
constexpr uint8_t kDeleted = 0xE5;
constexpr uint8_t kEscapedE5 = 0x05;

// fatgen103: fewer clusters than this is FAT12; FAT16 up to the second.
constexpr uint32_t kFat16Clusters = 4085;
constexpr uint32_t kFat32Clusters = 65525;
constexpr uint32_t kMaxDirectoryEntries = 65536;
constexpr int kMaxDepth = 32;

// FAT values, FAT12 ones widened to 16 bits.
constexpr uint16_t kFirstReserved = 0xFFF0;
constexpr uint16_t kBadCluster = 0xFFF7;
constexpr uint16_t kFirstEnd = 0xFFF8;

bool MediaByte(uint8_t media) { return media == 0xF0 || media >= 0xF8; }

// The standard floppy layouts, for disks whose boot sector has no BPB:
// taken when the sector IDs show the shape and the FAT ID matches.
struct StandardFloppy {
  int sectorSize, sectorsPerTrack, cylinders;
  uint8_t media;
  uint32_t sectorsPerCluster, rootEntries, totalSectors, sectorsPerFat;
};
constexpr StandardFloppy kStandardFloppies[] = {
    {1024, 8, 77, 0xFE, 1, 192, 1232, 2},  // 2HD 1232 KB
    {512, 15, 80, 0xF9, 1, 224, 2400, 7},  // 2HC 1.2 MB
    {512, 18, 80, 0xF0, 1, 224, 2880, 9},  // 1.44 MB
    {512, 9, 80, 0xF9, 2, 112, 1440, 3},   // 2DD 720 KB
    {512, 8, 80, 0xFB, 2, 112, 1280, 2},   // 2DD 640 KB
};

// Fills the derived fields; false when the layout cannot be a FAT12/16
// volume inside `volumeBytes`.
bool Derive(FatParameters* p, uint64_t volumeBytes) {
  if (!PowerOfTwo(p->bytesPerSector) || p->bytesPerSector < 128 || p->bytesPerSector > 4096) {
    return false;
  }
  if (!PowerOfTwo(p->sectorsPerCluster) || p->sectorsPerCluster > 128 ||
      p->sectorsPerCluster * p->bytesPerSector > 65536) {
    return false;
  }
  if (p->reservedSectors == 0 || p->fatCount == 0 || p->fatCount > 2 || p->rootEntries == 0 ||
      p->sectorsPerFat == 0 || p->totalSectors == 0 || !MediaByte(p->media)) {
    return false;
  }
  const uint64_t bps = p->bytesPerSector;
  const uint64_t rootSectors = (uint64_t{p->rootEntries} * kEntrySize + bps - 1) / bps;
  const uint64_t meta = p->reservedSectors + uint64_t{p->fatCount} * p->sectorsPerFat + rootSectors;
  if (meta >= p->totalSectors) return false;
  const uint64_t clusters = (p->totalSectors - meta) / p->sectorsPerCluster;
  if (clusters == 0 || clusters >= kFat32Clusters) return false;
  p->clusterCount = static_cast<uint32_t>(clusters);
  p->fat16 = clusters >= kFat16Clusters;
  // The FAT must have room for every cluster's entry.
  const uint64_t entryBits = p->fat16 ? 16 : 12;
  if (uint64_t{p->sectorsPerFat} * bps * 8 < (clusters + 2) * entryBits) return false;
  p->fatStart = uint64_t{p->reservedSectors} * bps;
  p->rootStart = p->fatStart + uint64_t{p->fatCount} * p->sectorsPerFat * bps;
  p->rootBytes = uint64_t{p->rootEntries} * kEntrySize;
  p->dataStart = meta * bps;
  // The FAT and the root directory at least must be on the volume.
  return p->rootStart + p->rootBytes <= volumeBytes;
}

uint64_t FatBytesNeeded(const FatParameters& p) {
  const uint64_t entries = uint64_t{p.clusterCount} + 2;
  return p.fat16 ? entries * 2 : (entries * 3 + 1) / 2;
}

bool ReadBpb(const uint8_t* boot, FatParameters* p) {
  p->bytesPerSector = GetU16le(boot + kBpbBytesPerSector);
  p->sectorsPerCluster = boot[kBpbSectorsPerCluster];
  p->reservedSectors = GetU16le(boot + kBpbReservedSectors);
  p->fatCount = boot[kBpbFatCount];
  p->rootEntries = GetU16le(boot + kBpbRootEntries);
  p->totalSectors = GetU16le(boot + kBpbTotalSectors16);
  if (p->totalSectors == 0) p->totalSectors = GetU32le(boot + kBpbTotalSectors32);
  p->media = boot[kBpbMedia];
  p->sectorsPerFat = GetU16le(boot + kBpbSectorsPerFat);
  p->fromBpb = true;
  return true;
}

// The first FAT bytes: the media byte, then entry 1's all-ones low byte.
bool FatStartsRight(Volume& volume, const FatParameters& p, bool strict) {
  uint8_t head[3];
  if (!ReadVolumeBytes(volume, p.fatStart, head, sizeof head)) return false;
  if (head[0] != p.media || head[1] != 0xFF) return false;
  return !strict || head[2] == 0xFF;
}

// Whether a 32-byte entry could be a directory entry (for the root of a
// disk without BPB: its first entry must look like one).
bool PlausibleEntry(const uint8_t* e) {
  const uint8_t first = e[kEntryName];
  if (first == kEndOfDirectory || first == kDeleted) return true;
  if ((e[kEntryAttributes] & 0xC0) != 0) return false;
  if (e[kEntryAttributes] == kAttrLongName) return true;
  for (int i = 0; i < 11; ++i) {
    if (e[i] < 0x20 && !(i == 0 && e[i] == kEscapedE5)) return false;
  }
  return true;
}

uint16_t FatEntry(const std::vector<uint8_t>& bytes, uint32_t n, bool fat16) {
  if (fat16) return static_cast<uint16_t>(GetU16le(&bytes[size_t{n} * 2]));
  const size_t at = size_t{n} * 3 / 2;
  const uint32_t word = GetU16le(&bytes[at]);
  uint16_t value = static_cast<uint16_t>((n & 1) != 0 ? word >> 4 : word & 0xFFF);
  if (value >= 0xFF0) value |= 0xF000;
  return value;
}

std::string Trimmed(const uint8_t* bytes, size_t length) {
  while (length > 0 && bytes[length - 1] == ' ') --length;
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

std::string ShortName(const uint8_t* e) {
  uint8_t base[8];
  std::memcpy(base, e + kEntryName, sizeof base);
  if (base[0] == kEscapedE5) base[0] = kDeleted;
  std::string name = Trimmed(base, sizeof base);
  const std::string extension = Trimmed(e + kEntryExtension, 3);
  if (!extension.empty()) name += "." + extension;
  return name;
}

DateTime DecodeDateTime(uint32_t date, uint32_t time) {
  DateTime t;
  t.year = 1980 + static_cast<int>(date >> 9);
  t.month = static_cast<int>(date >> 5 & 0x0F);
  t.day = static_cast<int>(date & 0x1F);
  t.hour = static_cast<int>(time >> 11);
  t.minute = static_cast<int>(time >> 5 & 0x3F);
  t.second = static_cast<int>(time & 0x1F) * 2;
  t.valid = date != 0 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.hour < 24 &&
            t.minute < 60 && t.second < 60;
  return t;
}

// Walks cluster chains with every step checked: each chain ends within the
// cluster count, and a cluster reached twice on one chain ends it.
class ChainWalker {
 public:
  ChainWalker(const std::vector<uint16_t>& fat, uint32_t clusterCount)
      : fat(fat), clusterCount(clusterCount), stamp(size_t{clusterCount} + 2, 0) {}

  bool InRange(uint32_t cluster) const { return cluster >= 2 && cluster <= clusterCount + 1; }

  // The clusters of the chain from `start`; `problem` says why it ended
  // other than at an end-of-chain mark (empty when it did).  `visit(c)`
  // sees each cluster before it is added, and ends the chain there by
  // returning false.
  template <typename Visit>
  std::vector<uint32_t> Walk(uint32_t start, const std::string& name, std::string* problem,
                             Visit visit) {
    std::vector<uint32_t> clusters;
    problem->clear();
    ++walk;
    if (!InRange(start)) {
      *problem = name + ": first cluster " + std::to_string(start) + " is outside the volume's " +
                 std::to_string(clusterCount) + " clusters";
      return clusters;
    }
    uint32_t cluster = start;
    for (;;) {
      if (stamp[cluster] == walk) {
        *problem = name + ": cluster chain loops back to cluster " + std::to_string(cluster);
        break;
      }
      stamp[cluster] = walk;
      if (!visit(cluster)) break;
      clusters.push_back(cluster);
      const uint16_t next = fat[cluster];
      if (next >= kFirstEnd) break;
      if (next == 0) {
        *problem = name + ": cluster chain runs into a free cluster after cluster " +
                   std::to_string(cluster);
        break;
      }
      if (next == kBadCluster || next >= kFirstReserved) {
        *problem = name + ": cluster chain runs into a bad or reserved mark after cluster " +
                   std::to_string(cluster);
        break;
      }
      if (!InRange(next)) {
        *problem = name + ": cluster chain leads to cluster " + std::to_string(next) +
                   ", outside the volume's " + std::to_string(clusterCount) + " clusters";
        break;
      }
      cluster = next;
    }
    return clusters;
  }

 private:
  const std::vector<uint16_t>& fat;
  uint32_t clusterCount;
  std::vector<uint32_t> stamp;
  uint32_t walk = 0;
};

// One long name being gathered from its pieces.
struct LongNameState {
  std::u16string chars;
  int expected = 0;  // the ordinal the next piece must carry; 0: none pending
  int count = 0;
  uint8_t checksum = 0;
  bool complete = false;

  void Reset() { expected = 0, count = 0, complete = false, chars.clear(); }

  void Piece(const uint8_t* e) {
    const int ordinal = e[kLfnOrdinal] & 0x3F;
    const bool last = (e[kLfnOrdinal] & 0x40) != 0;
    if (last) {
      Reset();
      if (ordinal < 1 || ordinal > 20) return;
      count = ordinal;
      chars.assign(static_cast<size_t>(count) * 13, u'\0');
      checksum = e[kLfnChecksum];
    } else if (expected == 0 || complete || ordinal != expected || e[kLfnChecksum] != checksum) {
      Reset();
      return;
    }
    for (int i = 0; i < 13; ++i) {
      chars[static_cast<size_t>(ordinal - 1) * 13 + static_cast<size_t>(i)] =
          static_cast<char16_t>(GetU16le(e + kLfnChars[i]));
    }
    expected = ordinal - 1;
    complete = expected == 0;
    if (complete) expected = -1;
  }

  // The name, when the pieces are whole and belong to `shortEntry`.
  std::u16string Take(const uint8_t* shortEntry) {
    std::u16string name;
    if (complete && count > 0 && checksum == ShortNameChecksum(shortEntry)) {
      const size_t end = chars.find(u'\0');
      name = chars.substr(0, end);
    }
    Reset();
    return name;
  }
};

struct PendingDirectory {
  std::vector<NameComponent> path;
  uint32_t firstCluster;  // 0: the root region
  int depth;
};

class FatLister {
 public:
  FatLister(Volume& volume, const FatParameters& p, Listing* listing)
      : volume(volume),
        p(p),
        listing(listing),
        walker(listing->layout.fat, p.clusterCount),
        owner(size_t{p.clusterCount} + 2, 0) {}

  void Run() {
    std::vector<PendingDirectory> pending;
    pending.push_back({{}, 0, 0});
    while (!pending.empty()) {
      PendingDirectory dir = std::move(pending.back());
      pending.pop_back();
      std::vector<uint8_t> bytes;
      ReadDirectory(dir, &bytes);
      Parse(dir, bytes, &pending);
    }
  }

 private:
  void Problem(const std::string& text) { listing->problems.push_back(text); }

  // Marks the clusters of a chain as `name`'s up to the first that is
  // another's, naming that cross-link (`crossed` says whether there was
  // one).  Stopping there walks every cluster once for the whole listing:
  // chains that all run into one long chain cost no more than it.
  std::vector<uint32_t> Claim(uint32_t start, const std::string& name, bool* crossed) {
    std::string problem;
    *crossed = false;
    owners.push_back(name);
    const uint32_t id = static_cast<uint32_t>(owners.size());
    std::vector<uint32_t> chain = walker.Walk(start, name, &problem, [&](uint32_t c) {
      if (owner[c] != 0) {
        *crossed = true;
        Problem(name + ": cluster " + std::to_string(c) + " is also used by " +
                owners[owner[c] - 1]);
        return false;
      }
      owner[c] = id;
      return true;
    });
    if (!problem.empty()) Problem(problem);
    return chain;
  }

  void ReadDirectory(const PendingDirectory& dir, std::vector<uint8_t>* bytes) {
    const std::string name = dir.path.empty() ? "/" : JoinedPath(dir.path);
    if (dir.firstCluster == 0) {
      // The root region, read a sector at a time so a short volume still
      // gives what it holds.
      const uint64_t step = p.bytesPerSector;
      for (uint64_t at = 0; at < p.rootBytes; at += step) {
        const size_t take = static_cast<size_t>(p.rootBytes - at < step ? p.rootBytes - at : step);
        const size_t old = bytes->size();
        bytes->resize(old + take);
        if (!ReadVolumeBytes(volume, p.rootStart + at, bytes->data() + old, take)) {
          bytes->resize(old);
          Problem(name + ": the root directory runs off the volume at byte " +
                  std::to_string(p.rootStart + at));
          return;
        }
      }
      return;
    }
    bool crossed = false;
    const std::vector<uint32_t> chain = Claim(dir.firstCluster, name, &crossed);
    const uint64_t clusterBytes = uint64_t{p.sectorsPerCluster} * p.bytesPerSector;
    for (uint32_t c : chain) {
      if (bytes->size() >= uint64_t{kMaxDirectoryEntries} * kEntrySize) {
        Problem(name + ": directory longer than " + std::to_string(kMaxDirectoryEntries) +
                " entries");
        return;
      }
      const size_t old = bytes->size();
      bytes->resize(old + static_cast<size_t>(clusterBytes));
      if (!ReadVolumeBytes(volume, p.dataStart + (uint64_t{c} - 2) * clusterBytes,
                           bytes->data() + old, static_cast<size_t>(clusterBytes))) {
        bytes->resize(old);
        Problem(name + ": directory cluster " + std::to_string(c) + " runs off the volume");
        return;
      }
    }
  }

  void Parse(const PendingDirectory& dir, const std::vector<uint8_t>& bytes,
             std::vector<PendingDirectory>* pending) {
    LongNameState longName;
    int oddAttributes = 0;
    for (size_t at = 0; at + kEntrySize <= bytes.size(); at += kEntrySize) {
      const uint8_t* e = &bytes[at];
      const uint8_t first = e[kEntryName];
      const uint8_t attributes = e[kEntryAttributes];
      if (first == kEndOfDirectory) break;
      if (first == kDeleted) {
        longName.Reset();
        continue;
      }
      if (attributes == kAttrLongName) {
        longName.Piece(e);
        continue;
      }
      if ((attributes & 0xC0) != 0) {
        ++oddAttributes;
        longName.Reset();
        continue;
      }
      if ((attributes & kAttrLabel) != 0) {
        if (dir.firstCluster == 0 && listing->label.empty() && (attributes & kAttrDirectory) == 0) {
          listing->label = Trimmed(e, 11);
        }
        longName.Reset();
        continue;
      }
      if (first == '.' && dir.firstCluster != 0 && (attributes & kAttrDirectory) != 0) {
        const std::string n = Trimmed(e, 11);
        if (n == "." || n == "..") {
          longName.Reset();
          continue;
        }
      }
      Entry entry;
      entry.path = dir.path;
      entry.path.push_back({ShortName(e), longName.Take(e),
                            static_cast<uint8_t>(e[kEntryCaseFlags] & kCaseFlagBits)});
      entry.attributes = attributes;
      entry.isDirectory = (attributes & kAttrDirectory) != 0;
      entry.modified = DecodeDateTime(GetU16le(e + kEntryDate), GetU16le(e + kEntryTime));
      entry.firstCluster = GetU16le(e + kEntryCluster);
      const std::string name = JoinedPath(entry.path);
      if (entry.isDirectory) {
        if (entry.firstCluster == 0) {
          Problem(name + ": directory without a first cluster");
        } else if (dir.depth + 1 >= kMaxDepth) {
          Problem(name + ": directories nested deeper than " + std::to_string(kMaxDepth));
        } else if (!walker.InRange(entry.firstCluster)) {
          Problem(name + ": first cluster " + std::to_string(entry.firstCluster) +
                  " is outside the volume's " + std::to_string(p.clusterCount) + " clusters");
        } else if (owner[entry.firstCluster] != 0) {
          Problem(name + ": directory starts at cluster " + std::to_string(entry.firstCluster) +
                  ", already used by " + owners[owner[entry.firstCluster] - 1]);
        } else {
          pending->push_back({entry.path, entry.firstCluster, dir.depth + 1});
        }
      } else {
        entry.size = GetU32le(e + kEntrySizeField);
        CheckFile(entry, name);
      }
      listing->entries.push_back(std::move(entry));
    }
    if (oddAttributes > 0) {
      Problem((dir.path.empty() ? std::string("/") : JoinedPath(dir.path)) + ": " +
              std::to_string(oddAttributes) + " entries with attribute bits 0xC0 skipped");
    }
  }

  void CheckFile(const Entry& entry, const std::string& name) {
    if (entry.firstCluster == 0) {
      if (entry.size != 0) {
        Problem(name + ": size " + std::to_string(entry.size) + " bytes but no first cluster");
      }
      return;
    }
    bool crossed = false;
    const std::vector<uint32_t> chain = Claim(entry.firstCluster, name, &crossed);
    const uint64_t clusterBytes = uint64_t{p.sectorsPerCluster} * p.bytesPerSector;
    const uint64_t needed = (entry.size + clusterBytes - 1) / clusterBytes;
    if (!chain.empty() && !crossed && needed != chain.size()) {
      Problem(name + ": size " + std::to_string(entry.size) + " bytes needs " +
              std::to_string(needed) + " clusters, the chain holds " +
              std::to_string(chain.size()));
    }
  }

  Volume& volume;
  const FatParameters& p;
  Listing* listing;
  ChainWalker walker;
  std::vector<uint32_t> owner;  // cluster -> index into owners + 1; 0 unclaimed
  std::vector<std::string> owners;
};

}  // namespace

uint8_t ShortNameChecksum(const uint8_t* name11) {
  uint8_t sum = 0;
  for (int i = 0; i < 11; ++i) {
    sum = static_cast<uint8_t>(((sum & 1) << 7 | sum >> 1) + name11[i]);
  }
  return sum;
}

bool RecogniseFat(Volume& volume, FatParameters* parameters) {
  const uint64_t volumeBytes = volume.SectorCount() * static_cast<uint64_t>(volume.SectorSize());
  uint8_t boot[kBootBytes];
  if (!ReadVolumeBytes(volume, 0, boot, sizeof boot)) return false;
  FatParameters p;
  ReadBpb(boot, &p);
  // A logical sector is whole physical sectors (1024 on 512 is usual on
  // hard disks; on a floppy they are equal).
  if (Derive(&p, volumeBytes) &&
      p.bytesPerSector % static_cast<uint32_t>(volume.SectorSize()) == 0 &&
      FatStartsRight(volume, p, false)) {
    *parameters = p;
    return true;
  }
  // No usable BPB: a standard floppy, known by its sector IDs and FAT ID.
  const FloppyGeometry* g = volume.Geometry();
  if (g == nullptr) return false;
  for (const StandardFloppy& f : kStandardFloppies) {
    if (g->sectorSize != f.sectorSize || g->sectorsPerTrack != f.sectorsPerTrack || g->heads != 2 ||
        g->cylinders < f.cylinders) {
      continue;
    }
    FatParameters s;
    s.bytesPerSector = static_cast<uint32_t>(f.sectorSize);
    s.sectorsPerCluster = f.sectorsPerCluster;
    s.reservedSectors = 1;
    s.fatCount = 2;
    s.rootEntries = f.rootEntries;
    s.totalSectors = f.totalSectors;
    s.sectorsPerFat = f.sectorsPerFat;
    s.media = f.media;
    s.fromBpb = false;
    uint8_t rootEntry[kEntrySize];
    if (Derive(&s, volumeBytes) && FatStartsRight(volume, s, true) &&
        ReadVolumeBytes(volume, s.rootStart, rootEntry, sizeof rootEntry) &&
        PlausibleEntry(rootEntry)) {
      *parameters = s;
      return true;
    }
  }
  return false;
}

bool ListFat(Volume& volume, Listing* listing) {
  *listing = Listing();
  FatParameters p;
  if (!RecogniseFat(volume, &p)) return false;
  std::vector<uint8_t> fatBytes(static_cast<size_t>(FatBytesNeeded(p)) + 1, 0);
  if (!ReadVolumeBytes(volume, p.fatStart, fatBytes.data(), fatBytes.size() - 1)) return false;
  Layout& layout = listing->layout;
  layout.kind = p.fat16 ? FsKind::kFat16 : FsKind::kFat12;
  layout.bytesPerSector = p.bytesPerSector;
  layout.clusterBytes = uint64_t{p.sectorsPerCluster} * p.bytesPerSector;
  layout.dataStart = p.dataStart;
  layout.clusterCount = p.clusterCount;
  layout.fat.resize(size_t{p.clusterCount} + 2);
  for (uint32_t n = 0; n < p.clusterCount + 2; ++n) layout.fat[n] = FatEntry(fatBytes, n, p.fat16);
  listing->type = p.fat16 ? "FAT16" : "FAT12";
  if (p.fatCount == 2) {
    std::vector<uint8_t> copy(fatBytes.size() - 1);
    const uint64_t fatBytesTotal = uint64_t{p.sectorsPerFat} * p.bytesPerSector;
    if (ReadVolumeBytes(volume, p.fatStart + fatBytesTotal, copy.data(), copy.size()) &&
        std::memcmp(copy.data(), fatBytes.data(), copy.size()) != 0) {
      listing->problems.push_back("/: the two FAT copies differ; the first is read");
    }
  }
  FatLister(volume, p, listing).Run();
  if (listing->label.empty() && p.fromBpb) {
    uint8_t boot[kBootBytes];
    if (ReadVolumeBytes(volume, 0, boot, sizeof boot) &&
        boot[kBpbExtendedSignature] == kExtendedSignature) {
      const std::string label = Trimmed(boot + kBpbLabel, 11);
      if (label != "NO NAME") listing->label = label;
    }
  }
  return true;
}

size_t ReadFatFile(Volume& volume, const Listing& listing, const Entry& entry,
                   std::vector<uint8_t>* out, std::string* problem) {
  out->clear();
  std::string why;
  const Layout& layout = listing.layout;
  const std::string name = JoinedPath(entry.path);
  if (entry.isDirectory || entry.size == 0) return 0;
  if (layout.clusterBytes == 0 || layout.fat.size() != size_t{layout.clusterCount} + 2) {
    why = name + ": not a FAT listing";
  } else if (entry.firstCluster == 0) {
    why = name + ": size " + std::to_string(entry.size) + " bytes but no first cluster";
  } else {
    ChainWalker walker(layout.fat, layout.clusterCount);
    std::string chainProblem;
    const std::vector<uint32_t> chain =
        walker.Walk(entry.firstCluster, name, &chainProblem, [](uint32_t) { return true; });
    // Room for what the chain can hold at once: the size field alone could
    // claim 4 GB.
    out->reserve(static_cast<size_t>(
        std::min<uint64_t>(entry.size, uint64_t{chain.size()} * layout.clusterBytes)));
    for (uint32_t c : chain) {
      if (out->size() >= entry.size) break;
      uint64_t take = entry.size - out->size();
      if (take > layout.clusterBytes) take = layout.clusterBytes;
      const size_t old = out->size();
      out->resize(old + static_cast<size_t>(take));
      if (!ReadVolumeBytes(volume, layout.dataStart + (uint64_t{c} - 2) * layout.clusterBytes,
                           out->data() + old, static_cast<size_t>(take))) {
        out->resize(old);
        why = name + ": cluster " + std::to_string(c) + " runs off the volume";
        break;
      }
    }
    if (why.empty() && out->size() < entry.size) {
      why = !chainProblem.empty()
                ? chainProblem
                : name + ": the cluster chain ends after " + std::to_string(out->size()) + " of " +
                      std::to_string(entry.size) + " bytes";
    }
  }
  if (problem != nullptr) *problem = why;
  return out->size();
}

}  // namespace fs
