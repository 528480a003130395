// N88-BASIC reader.
//
//   System track (one side of one cylinder, T sectors of 256 bytes)
//   R 1..T-4  directory, 16 entries a sector
//   R T-3     ID sector (attribute flags, auto-start text: not read here)
//   R T-2..T  three copies of the FAT: byte i describes cluster i
//
//   FAT byte: 0x00..clusters-1 next cluster; 0xC0+k last cluster, k sectors
//   of it used (1..sectors a cluster); 0xFE reserved; 0xFF free.
//
//   Directory entry (16 bytes)
//   +0   6  name, space padded (0x00: deleted; 0xFF: unused, ends the list)
//   +6   3  extension, space padded
//   +9   1  attribute: 0x01 machine code, 0x10 write-protected,
//           0x20 protected save, 0x40 verify, 0x80 tokenised BASIC
//   +10  1  first cluster
//
// Cluster c starts at logical sector c * sectors-a-cluster: the layouts
// count sectors through both sides of a cylinder before the next.
#include "fs/n88.h"

#include <cstring>

namespace fs {

namespace {

constexpr int kSectorSize = 256;
constexpr int kFatCopies = 3;
constexpr int kEntrySize = 16;
constexpr int kEntryName = 0;
constexpr int kNameLength = 6;
constexpr int kEntryExtension = 6;
constexpr int kExtensionLength = 3;
constexpr int kEntryAttribute = 9;
constexpr int kEntryCluster = 10;

constexpr uint8_t kDeletedEntry = 0x00;
constexpr uint8_t kUnusedEntry = 0xFF;
constexpr uint8_t kLastCluster = 0xC0;
constexpr uint8_t kReserved = 0xFE;
constexpr uint8_t kFree = 0xFF;
constexpr uint8_t kAttrMachineCode = 0x01;
constexpr uint8_t kAttrProtected = 0x20;
constexpr uint8_t kAttrTokenised = 0x80;
constexpr uint8_t kAttrInvalid = 0x0C;

constexpr N88Layout kLayouts[] = {
    {"2D", 16, 8, 160, 18, 1, 12, 74},
    {"2DD", 16, 16, 160, 40, 0, 12, 80},
    {"2HD", 26, 26, 154, 35, 0, 22, 70},
};

uint64_t SystemSector(const N88Layout& l, int r) {
  return (uint64_t(l.systemCylinder) * 2 + uint64_t(l.systemHead)) * uint64_t(l.sectorsPerTrack) +
         uint64_t(r - 1);
}

int FatSector(const N88Layout& l, int copy) { return l.sectorsPerTrack - 2 + copy; }

bool ValidCode(const N88Layout& l, int cluster, uint8_t v) {
  if (v < l.clusters) return v != cluster;
  return (v >= kLastCluster && v <= kLastCluster + l.clusterSectors) || v == kReserved ||
         v == kFree;
}

bool ReadFatCopy(Volume& volume, const N88Layout& l, int copy, uint8_t* fat) {
  return volume.ReadSector(SystemSector(l, FatSector(l, copy)), fat);
}

bool Matches(Volume& volume, const N88Layout& l) {
  const FloppyGeometry* g = volume.Geometry();
  if (volume.SectorSize() != kSectorSize || g == nullptr || g->heads != 2 ||
      g->sectorsPerTrack != l.sectorsPerTrack || g->cylinders <= l.systemCylinder) {
    return false;
  }
  uint8_t fat[kSectorSize];
  if (!ReadFatCopy(volume, l, 0, fat)) return false;
  if (fat[l.reservedCluster] != kReserved) return false;
  for (int c = 0; c < l.clusters; ++c) {
    if (!ValidCode(l, c, fat[c])) return false;
  }
  uint8_t directory[kSectorSize];
  return volume.ReadSector(SystemSector(l, 1), directory);
}

std::string Trimmed(const uint8_t* bytes, size_t length) {
  while (length > 0 && bytes[length - 1] == ' ') --length;
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

// A chain walked with every link checked: the clusters, the sectors used
// in the last, and why it ended early (empty when at a last-cluster code).
struct Chain {
  std::vector<int> clusters;
  int lastSectors = 0;
  std::string problem;
};

Chain Walk(const std::vector<uint16_t>& fat, int clusters, int clusterSectors, int start,
           const std::string& name) {
  Chain chain;
  std::vector<bool> seen(static_cast<size_t>(clusters), false);
  if (start >= clusters) {
    chain.problem = name + ": first cluster " + std::to_string(start) + " is outside the disk's " +
                    std::to_string(clusters) + " clusters";
    return chain;
  }
  int cluster = start;
  for (;;) {
    if (seen[static_cast<size_t>(cluster)]) {
      chain.problem = name + ": cluster chain loops back to cluster " + std::to_string(cluster);
      return chain;
    }
    seen[static_cast<size_t>(cluster)] = true;
    const int next = fat[static_cast<size_t>(cluster)];
    if (next >= kLastCluster && next <= kLastCluster + clusterSectors) {
      chain.clusters.push_back(cluster);
      chain.lastSectors = next - kLastCluster;
      return chain;
    }
    if (next < clusters) {
      chain.clusters.push_back(cluster);
      cluster = next;
      continue;
    }
    if (next == kFree || next == kReserved) {
      chain.problem = name + ": cluster chain runs into a free or reserved cluster after cluster " +
                      std::to_string(cluster);
    } else if (next > kLastCluster) {
      chain.problem = name + ": last cluster " + std::to_string(cluster) + " claims " +
                      std::to_string(next - kLastCluster) + " sectors of " +
                      std::to_string(clusterSectors);
    } else {
      chain.problem = name + ": cluster chain leads to cluster " + std::to_string(next) +
                      ", outside the disk's " + std::to_string(clusters) + " clusters";
    }
    return chain;
  }
}

uint64_t ChainBytes(const Chain& chain, int clusterSectors) {
  if (chain.clusters.empty()) return 0;
  if (!chain.problem.empty()) {
    return uint64_t(chain.clusters.size()) * uint64_t(clusterSectors) * kSectorSize;
  }
  return (uint64_t(chain.clusters.size()) - 1) * uint64_t(clusterSectors) * kSectorSize +
         uint64_t(chain.lastSectors) * kSectorSize;
}

}  // namespace

bool RecogniseN88(Volume& volume, const N88Layout** layout) {
  for (const N88Layout& l : kLayouts) {
    if (Matches(volume, l)) {
      *layout = &l;
      return true;
    }
  }
  return false;
}

bool ListN88(Volume& volume, Listing* listing) {
  *listing = Listing();
  const N88Layout* found = nullptr;
  if (!RecogniseN88(volume, &found)) return false;
  const N88Layout& l = *found;
  uint8_t fat[kFatCopies][kSectorSize];
  ReadFatCopy(volume, l, 0, fat[0]);
  listing->type = "N88-BASIC";
  Layout& layout = listing->layout;
  layout.kind = FsKind::kN88;
  layout.bytesPerSector = kSectorSize;
  layout.clusterBytes = uint64_t(l.clusterSectors) * kSectorSize;
  layout.clusterCount = static_cast<uint32_t>(l.clusters);
  layout.fat.assign(fat[0], fat[0] + l.clusters);
  for (int copy = 1; copy < kFatCopies; ++copy) {
    if (!ReadFatCopy(volume, l, copy, fat[copy]) ||
        std::memcmp(fat[copy], fat[0], static_cast<size_t>(l.clusters)) != 0) {
      listing->problems.push_back("/: FAT copy " + std::to_string(copy + 1) +
                                  " differs from the first, which is read");
    }
  }
  std::vector<int> owner(static_cast<size_t>(l.clusters), -1);
  bool ended = false;
  for (int r = 1; r <= l.directorySectors && !ended; ++r) {
    uint8_t sector[kSectorSize];
    if (!volume.ReadSector(SystemSector(l, r), sector)) {
      listing->problems.push_back("/: directory sector " + std::to_string(r) + " cannot be read");
      break;
    }
    for (int at = 0; at + kEntrySize <= kSectorSize; at += kEntrySize) {
      const uint8_t* e = sector + at;
      if (e[kEntryName] == kUnusedEntry) {
        ended = true;
        break;
      }
      if (e[kEntryName] == kDeletedEntry) continue;
      std::string name = Trimmed(e + kEntryName, kNameLength);
      const std::string extension = Trimmed(e + kEntryExtension, kExtensionLength);
      if (!extension.empty()) name += "." + extension;
      Entry entry;
      entry.path.push_back({name, {}});
      entry.attributes = e[kEntryAttribute];
      entry.firstCluster = e[kEntryCluster];
      entry.isMachineCode = (entry.attributes & kAttrMachineCode) != 0;
      entry.isProtected = (entry.attributes & kAttrProtected) != 0;
      entry.isTokenised = (entry.attributes & kAttrTokenised) != 0;
      if ((entry.attributes & kAttrInvalid) != 0) {
        listing->problems.push_back(name + ": attribute bits 0x0C set, entry skipped");
        continue;
      }
      const Chain chain = Walk(layout.fat, l.clusters, l.clusterSectors,
                               static_cast<int>(entry.firstCluster), name);
      if (!chain.problem.empty()) listing->problems.push_back(chain.problem);
      const int index = static_cast<int>(listing->entries.size());
      for (int c : chain.clusters) {
        int& o = owner[static_cast<size_t>(c)];
        if (o < 0) {
          o = index;
        } else if (o != index) {
          listing->problems.push_back(name + ": cluster " + std::to_string(c) +
                                      " is also used by " +
                                      JoinedPath(listing->entries[static_cast<size_t>(o)].path));
          break;
        }
      }
      entry.size = ChainBytes(chain, l.clusterSectors);
      listing->entries.push_back(std::move(entry));
    }
  }
  return true;
}

size_t ReadN88File(Volume& volume, const Listing& listing, const Entry& entry,
                   std::vector<uint8_t>* out, std::string* problem) {
  out->clear();
  std::string why;
  const Layout& layout = listing.layout;
  const std::string name = JoinedPath(entry.path);
  const int clusters = static_cast<int>(layout.clusterCount);
  const int clusterSectors = static_cast<int>(layout.clusterBytes / kSectorSize);
  if (layout.fat.size() != size_t(clusters) || clusterSectors <= 0) {
    why = name + ": not an N88-BASIC listing";
  } else {
    const Chain chain =
        Walk(layout.fat, clusters, clusterSectors, static_cast<int>(entry.firstCluster), name);
    const uint64_t total = ChainBytes(chain, clusterSectors);
    uint8_t sector[kSectorSize];
    for (int c : chain.clusters) {
      for (int s = 0; s < clusterSectors && out->size() < total; ++s) {
        const uint64_t index = uint64_t(c) * uint64_t(clusterSectors) + uint64_t(s);
        if (!volume.ReadSector(index, sector)) {
          why = name + ": sector " + std::to_string(index) + " of cluster " + std::to_string(c) +
                " cannot be read";
          break;
        }
        out->insert(out->end(), sector, sector + kSectorSize);
      }
      if (!why.empty()) break;
    }
    if (why.empty() && !chain.problem.empty()) why = chain.problem;
    if (why.empty() && out->size() < entry.size) {
      why = name + ": the chain holds " + std::to_string(out->size()) + " of " +
            std::to_string(entry.size) + " bytes";
    }
  }
  if (problem != nullptr) *problem = why;
  return out->size();
}

}  // namespace fs
