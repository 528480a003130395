#include "support/fs_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "d88/d88_format.h"

namespace testimg {

namespace {

constexpr uint16_t kFixedTime = 0x4913;  // 09:08:38
constexpr uint16_t kFixedDate = 0x5D88;  // 2026-12-08

[[noreturn]] void Refuse(const char* what) {
  std::fprintf(stderr, "fs builder: %s\n", what);
  std::abort();
}

int SizeCode(int size) {
  for (int n = 0; n <= 7; ++n) {
    if (size == 128 << n) return n;
  }
  Refuse("no size code for that sector size");
}

void Put(Bytes& bytes, size_t at, const std::string& text) {
  if (bytes.size() < at + text.size()) Refuse("write past the end");
  std::memcpy(bytes.data() + at, text.data(), text.size());
}

uint8_t Checksum(const std::string& name11) {
  uint8_t sum = 0;
  for (int i = 0; i < 11; ++i) {
    sum = static_cast<uint8_t>(((sum & 1) << 7 | sum >> 1) + static_cast<uint8_t>(name11[i]));
  }
  return sum;
}

FatFormat Floppy(int size, int spt, int cylinders, uint8_t media, int spc, int root, uint32_t total,
                 int spf, uint8_t d88Media) {
  FatFormat f;
  f.sectorSize = size, f.sectorsPerTrack = spt, f.cylinders = cylinders, f.media = media;
  f.sectorsPerCluster = spc, f.rootEntries = root, f.totalSectors = total;
  f.sectorsPerFat = spf, f.d88Media = d88Media;
  return f;
}

}  // namespace

FatFormat Fat2hd() { return Floppy(1024, 8, 77, 0xFE, 1, 192, 1232, 2, 0x20); }
FatFormat Fat2dd640() { return Floppy(512, 8, 80, 0xFB, 2, 112, 1280, 2, 0x10); }
FatFormat Fat2dd720() { return Floppy(512, 9, 80, 0xF9, 2, 112, 1440, 3, 0x10); }
FatFormat Fat2hc() { return Floppy(512, 15, 80, 0xF9, 1, 224, 2400, 7, 0x20); }
FatFormat Fat144() { return Floppy(512, 18, 80, 0xF0, 1, 224, 2880, 9, 0x21); }

FatFormat FatPartition(uint32_t totalSectors, int sectorSize, int sectorsPerCluster,
                       int rootEntries) {
  FatFormat f;
  f.sectorSize = sectorSize, f.media = 0xF8, f.sectorsPerCluster = sectorsPerCluster;
  f.rootEntries = rootEntries, f.totalSectors = totalSectors;
  const uint32_t rootSectors =
      static_cast<uint32_t>((rootEntries * 32 + sectorSize - 1) / sectorSize);
  for (int spf = 1;; ++spf) {
    const uint32_t meta = 1 + 2 * static_cast<uint32_t>(spf) + rootSectors;
    if (meta >= totalSectors) Refuse("volume too small");
    const uint32_t clusters = (totalSectors - meta) / static_cast<uint32_t>(sectorsPerCluster);
    const uint64_t bits = clusters >= 4085 ? 16 : 12;
    if (uint64_t(spf) * static_cast<uint64_t>(sectorSize) * 8 >= (clusters + 2) * bits) {
      f.sectorsPerFat = spf;
      return f;
    }
  }
}

std::string ShortName(const std::string& dotted) {
  std::string name(11, ' ');
  const size_t dot = dotted.find('.');
  const std::string base = dotted.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : dotted.substr(dot + 1);
  if (base.size() > 8 || ext.size() > 3) Refuse("not an 8.3 name");
  name.replace(0, base.size(), base);
  name.replace(8, ext.size(), ext);
  return name;
}

Bytes DirEntry(const std::string& name11, uint8_t attributes, uint32_t cluster, uint32_t size) {
  if (name11.size() != 11) Refuse("a short name is 11 bytes");
  Bytes e(32, 0);
  Put(e, 0, name11);
  e[0x0B] = attributes;
  d88::PutU16le(&e[0x16], kFixedTime);
  d88::PutU16le(&e[0x18], kFixedDate);
  d88::PutU16le(&e[0x1A], cluster);
  d88::PutU32le(&e[0x1C], size);
  return e;
}

FatBuilder::FatBuilder(const FatFormat& f, const std::string& label) : format(f), label(label) {
  const uint64_t bps = static_cast<uint64_t>(f.sectorSize);
  bytes.assign(f.totalSectors * bps, 0);
  const uint64_t rootSectors = (static_cast<uint64_t>(f.rootEntries) * 32 + bps - 1) / bps;
  rootStart = (static_cast<uint64_t>(f.reservedSectors) +
               static_cast<uint64_t>(f.fatCount) * static_cast<uint64_t>(f.sectorsPerFat)) *
              bps;
  dataStart = rootStart + rootSectors * bps;
  clusterCount = static_cast<uint32_t>((f.totalSectors - dataStart / bps) /
                                       static_cast<uint64_t>(f.sectorsPerCluster));
  fat.assign(clusterCount + 2, 0);
  const bool fat16 = clusterCount >= 4085;
  fat[0] = static_cast<uint16_t>((fat16 ? 0xFF00 : 0x0F00) | f.media);
  fat[1] = fat16 ? 0xFFFF : 0x0FFF;
  used.assign(clusterCount + 2, 0);
  if (!label.empty()) AddEntry(0, DirEntry(ShortName(label).substr(0, 11), 0x08, 0, 0));
}

uint64_t FatBuilder::ClusterOffset(uint32_t cluster) const {
  return dataStart + (uint64_t(cluster) - 2) * static_cast<uint64_t>(format.sectorsPerCluster) *
                         static_cast<uint64_t>(format.sectorSize);
}

uint64_t FatBuilder::NextEntryOffset(uint32_t folder) {
  const int index = used[folder]++;
  if (folder == 0) {
    if (index >= format.rootEntries) Refuse("root directory full");
    return rootStart + static_cast<uint64_t>(index) * 32;
  }
  if (index * 32 >= format.sectorsPerCluster * format.sectorSize) Refuse("folder full");
  return ClusterOffset(folder) + static_cast<uint64_t>(index) * 32;
}

void FatBuilder::AddEntry(uint32_t folder, const Bytes& entry) {
  const uint64_t at = NextEntryOffset(folder);
  std::memcpy(bytes.data() + at, entry.data(), 32);
}

uint32_t FatBuilder::Allocate(uint32_t count, int stride) {
  if (count == 0) return 0;
  const uint16_t end = clusterCount >= 4085 ? 0xFFFF : 0x0FFF;
  uint32_t first = nextFree, previous = 0;
  for (uint32_t k = 0; k < count; ++k) {
    const uint32_t c = nextFree;
    if (c > clusterCount + 1) Refuse("volume full");
    if (previous != 0) fat[previous] = static_cast<uint16_t>(c);
    fat[c] = end;
    previous = c;
    nextFree += static_cast<uint32_t>(stride);
  }
  nextFree = previous + 1;
  return first;
}

void FatBuilder::SetFat(uint32_t cluster, uint16_t value) { fat.at(cluster) = value; }

void FatBuilder::AddLongName(uint32_t folder, const std::string& name11,
                             const std::u16string& longName) {
  if (longName.empty()) return;
  const size_t pieces = (longName.size() + 12) / 13;
  for (size_t p = pieces; p >= 1; --p) {
    Bytes e(32, 0);
    e[0] = static_cast<uint8_t>(p | (p == pieces ? 0x40 : 0));
    e[0x0B] = 0x0F;
    e[0x0D] = Checksum(name11);
    static const int kChars[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (int i = 0; i < 13; ++i) {
      const size_t k = (p - 1) * 13 + static_cast<size_t>(i);
      const uint16_t ch = k < longName.size() ? longName[k] : k == longName.size() ? 0 : 0xFFFF;
      d88::PutU16le(&e[static_cast<size_t>(kChars[i])], ch);
    }
    AddEntry(folder, e);
  }
}

uint32_t FatBuilder::AddFile(uint32_t folder, const std::string& name11, const Bytes& data,
                             const std::u16string& longName, int stride) {
  const uint64_t clusterBytes =
      static_cast<uint64_t>(format.sectorsPerCluster) * static_cast<uint64_t>(format.sectorSize);
  const uint32_t count = static_cast<uint32_t>((data.size() + clusterBytes - 1) / clusterBytes);
  const uint32_t first = Allocate(count, stride);
  uint32_t c = first;
  for (uint64_t at = 0; at < data.size(); at += clusterBytes) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(clusterBytes, data.size() - at));
    std::memcpy(bytes.data() + ClusterOffset(c), data.data() + at, take);
    c = fat[c];
  }
  AddLongName(folder, name11, longName);
  AddEntry(folder, DirEntry(name11, 0x20, first, static_cast<uint32_t>(data.size())));
  return first;
}

uint32_t FatBuilder::AddFolder(uint32_t folder, const std::string& name11,
                               const std::u16string& longName) {
  const uint32_t c = Allocate(1, 1);
  AddLongName(folder, name11, longName);
  AddEntry(folder, DirEntry(name11, 0x10, c, 0));
  AddEntry(c, DirEntry(".          ", 0x10, c, 0));
  AddEntry(c, DirEntry("..         ", 0x10, folder, 0));
  return c;
}

Bytes FatBuilder::Build() const {
  Bytes out = bytes;
  const FatFormat& f = format;
  const uint8_t jump[3] = {0xEB, 0x3C, 0x90};
  std::memcpy(out.data(), jump, 3);
  Put(out, 3, "TESTFAT ");
  if (!dropBpb) {
    d88::PutU16le(&out[0x0B], static_cast<uint32_t>(f.sectorSize));
    out[0x0D] = static_cast<uint8_t>(f.sectorsPerCluster);
    d88::PutU16le(&out[0x0E], static_cast<uint32_t>(f.reservedSectors));
    out[0x10] = static_cast<uint8_t>(f.fatCount);
    d88::PutU16le(&out[0x11], static_cast<uint32_t>(f.rootEntries));
    if (f.totalSectors < 0x10000) {
      d88::PutU16le(&out[0x13], f.totalSectors);
    } else {
      d88::PutU32le(&out[0x20], f.totalSectors);
    }
    out[0x15] = f.media;
    d88::PutU16le(&out[0x16], static_cast<uint32_t>(f.sectorsPerFat));
    d88::PutU16le(&out[0x18], static_cast<uint32_t>(f.sectorsPerTrack));
    d88::PutU16le(&out[0x1A], static_cast<uint32_t>(f.heads));
    d88::PutU32le(&out[0x1C], f.hiddenSectors);
    out[0x26] = 0x29;
    d88::PutU32le(&out[0x27], 0x12345678);
    Put(out, 0x2B, label.empty() ? "NO NAME    " : ShortName(label));
    Put(out, 0x36, clusterCount >= 4085 ? "FAT16   " : "FAT12   ");
  }
  if (f.sectorSize >= 512) out[0x1FE] = 0x55, out[0x1FF] = 0xAA;
  const bool fat16 = clusterCount >= 4085;
  const uint64_t fatBytes =
      static_cast<uint64_t>(f.sectorsPerFat) * static_cast<uint64_t>(f.sectorSize);
  for (int copy = 0; copy < f.fatCount; ++copy) {
    uint8_t* table =
        out.data() +
        static_cast<uint64_t>(f.reservedSectors) * static_cast<uint64_t>(f.sectorSize) +
        static_cast<uint64_t>(copy) * fatBytes;
    for (uint32_t n = 0; n < fat.size(); ++n) {
      if (fat16) {
        d88::PutU16le(table + 2 * n, fat[n]);
      } else {
        uint8_t* at = table + n * 3 / 2;
        const uint32_t value = fat[n] & 0xFFF;
        const uint32_t word = d88::GetU16le(at);
        d88::PutU16le(at, (n & 1) != 0 ? (word & 0x000F) | value << 4 : (word & 0xF000) | value);
      }
    }
  }
  return out;
}

Disk FloppyDisk(const Bytes& flat, int cylinders, int heads, int spt, int sectorSize,
                uint8_t d88Media) {
  Disk disk;
  disk.name = "FS";
  disk.mediaType = d88Media;
  const int n = SizeCode(sectorSize);
  for (int c = 0; c < cylinders; ++c) {
    for (int h = 0; h < heads; ++h) {
      std::vector<Sector>& track = disk.tracks[c * 2 + h];
      for (int r = 1; r <= spt; ++r) {
        const size_t at =
            ((static_cast<size_t>(c) * static_cast<size_t>(heads) + static_cast<size_t>(h)) *
                 static_cast<size_t>(spt) +
             static_cast<size_t>(r - 1)) *
            static_cast<size_t>(sectorSize);
        Bytes data(static_cast<size_t>(sectorSize), 0xE5);
        if (at < flat.size()) {
          std::memcpy(data.data(), flat.data() + at, std::min(data.size(), flat.size() - at));
        }
        track.push_back(MakeSector(c, h, r, n, data));
      }
    }
  }
  return disk;
}

Disk FloppyDisk(const Bytes& flat, const FatFormat& f) {
  return FloppyDisk(flat, f.cylinders, f.heads, f.sectorsPerTrack, f.sectorSize, f.d88Media);
}

// N88-BASIC.

N88Builder::N88Builder(N88Kind k) : kind(k) {
  switch (k) {
    case N88Kind::k2D:
      cylinders = 40, spt = 16, spc = 8, clusters = 160, systemCylinder = 18, systemHead = 1;
      directorySectors = 12;
      break;
    case N88Kind::k2DD:
      cylinders = 80, spt = 16, spc = 16, clusters = 160, systemCylinder = 40, systemHead = 0;
      directorySectors = 12;
      break;
    case N88Kind::k2HD:
      cylinders = 77, spt = 26, spc = 26, clusters = 154, systemCylinder = 35, systemHead = 0;
      directorySectors = 22;
      break;
  }
  flat.assign(static_cast<size_t>(cylinders) * 2 * static_cast<size_t>(spt) * 256, 0);
  for (int r = 1; r <= directorySectors; ++r) {
    std::memset(flat.data() + SystemSectorOffset(r), 0xFF, 256);
  }
  for (int copy = 0; copy < 3; ++copy) {
    std::memset(flat.data() + SystemSectorOffset(spt - 2 + copy), 0xFF, 256);
  }
  const int systemFirst = (systemCylinder * 2 + systemHead) * spt / spc;
  for (int c = systemFirst; c < systemFirst + (spt + spc - 1) / spc; ++c) SetFat(c, 0xFE);
  if (kind == N88Kind::k2HD) SetFat(0, 0xFE), SetFat(1, 0xFE);
}

int N88Builder::SectorsPerTrack() const { return spt; }
int N88Builder::ClusterSectors() const { return spc; }

uint64_t N88Builder::SystemSectorOffset(int r) const {
  return ((static_cast<uint64_t>(systemCylinder) * 2 + static_cast<uint64_t>(systemHead)) *
              static_cast<uint64_t>(spt) +
          static_cast<uint64_t>(r - 1)) *
         256;
}

void N88Builder::SetFatCopy(int copy, int cluster, uint8_t value) {
  flat.at(SystemSectorOffset(spt - 2 + copy) + static_cast<uint64_t>(cluster)) = value;
}

void N88Builder::SetFat(int cluster, uint8_t value) {
  for (int copy = 0; copy < 3; ++copy) SetFatCopy(copy, cluster, value);
}

void N88Builder::AddEntry(const std::string& name6, const std::string& extension3,
                          uint8_t attribute, int cluster) {
  if (entries >= directorySectors * 16) Refuse("N88 directory full");
  const uint64_t at = SystemSectorOffset(1) + static_cast<uint64_t>(entries++) * 16;
  Bytes e(16, 0);
  std::string name = name6, ext = extension3;
  name.resize(6, ' ');
  ext.resize(3, ' ');
  std::memcpy(e.data(), name.data(), 6);
  std::memcpy(e.data() + 6, ext.data(), 3);
  e[9] = attribute;
  e[10] = static_cast<uint8_t>(cluster);
  std::memcpy(flat.data() + at, e.data(), 16);
}

int N88Builder::AddFile(const std::string& name6, const std::string& extension3, uint8_t attribute,
                        const Bytes& data) {
  const int sectors = data.empty() ? 1 : static_cast<int>((data.size() + 255) / 256);
  const int count = (sectors + spc - 1) / spc;
  const uint8_t* fat = flat.data() + SystemSectorOffset(spt - 2);
  std::vector<int> chain;
  for (int c = nextFree; c < clusters && static_cast<int>(chain.size()) < count; ++c) {
    if (fat[c] == 0xFF) chain.push_back(c);
  }
  if (static_cast<int>(chain.size()) < count) Refuse("N88 disk full");
  for (size_t k = 0; k < chain.size(); ++k) {
    const bool last = k + 1 == chain.size();
    SetFat(chain[k], last ? static_cast<uint8_t>(0xC0 + sectors - (count - 1) * spc)
                          : static_cast<uint8_t>(chain[k + 1]));
    const size_t from = k * static_cast<size_t>(spc) * 256;
    if (from < data.size()) {
      std::memcpy(flat.data() + static_cast<size_t>(chain[k]) * static_cast<size_t>(spc) * 256,
                  data.data() + from, std::min(data.size() - from, static_cast<size_t>(spc) * 256));
    }
  }
  nextFree = chain.back() + 1;
  AddEntry(name6, extension3, attribute, chain.front());
  return chain.front();
}

Disk N88Builder::Build() const {
  Disk disk = FloppyDisk(flat, cylinders, 2, spt, 256,
                         kind == N88Kind::k2D    ? 0x00
                         : kind == N88Kind::k2DD ? 0x10
                                                 : 0x20);
  if (kind == N88Kind::k2HD) {
    std::vector<Sector>& track0 = disk.tracks[0];
    track0.clear();
    for (int r = 1; r <= 26; ++r) {
      track0.push_back(MakeSector(0, 0, r, 0, Filler("N88", 0, r, 128), d88::kDensityFm));
    }
  }
  return disk;
}

// Hard disks.

Bytes Pc98Disk(const HdGeometry& g, const std::vector<HdPartition>& partitions) {
  const size_t ss = static_cast<size_t>(g.sectorSize);
  const size_t cylinderBytes = static_cast<size_t>(g.heads * g.sectors) * ss;
  Bytes disk(static_cast<size_t>(g.cylinders) * cylinderBytes, 0);
  disk[0] = 0xCB;
  Put(disk, 4, "IPL1");
  disk[ss - 2] = 0x55, disk[ss - 1] = 0xAA;
  for (size_t i = 0; i < partitions.size(); ++i) {
    const HdPartition& p = partitions[i];
    uint8_t* e = disk.data() + ss + i * 32;
    e[0] = p.mid, e[1] = p.sid;
    d88::PutU16le(e + 6, static_cast<uint32_t>(p.startCylinder));
    d88::PutU16le(e + 0x0A, static_cast<uint32_t>(p.startCylinder));
    d88::PutU16le(e + 0x0E, static_cast<uint32_t>(p.endCylinder));
    std::string name = p.name;
    name.resize(16, ' ');
    std::memcpy(e + 0x10, name.data(), 16);
    const size_t at = static_cast<size_t>(p.startCylinder) * cylinderBytes;
    if (at + p.volume.size() > disk.size()) Refuse("partition volume past the disk");
    std::memcpy(disk.data() + at, p.volume.data(), p.volume.size());
  }
  return disk;
}

Bytes PartitionVolume(const HdGeometry& g, int startCylinder, int endCylinder,
                      const std::string& label, int sectorsPerCluster) {
  const uint64_t physical = static_cast<uint64_t>(endCylinder - startCylinder + 1) *
                            static_cast<uint64_t>(g.heads * g.sectors);
  const uint64_t bytes = physical * static_cast<uint64_t>(g.sectorSize);
  FatFormat f = FatPartition(static_cast<uint32_t>(bytes / 1024), 1024, sectorsPerCluster, 512);
  f.hiddenSectors = static_cast<uint32_t>(startCylinder * g.heads * g.sectors);
  f.sectorsPerTrack = g.sectors, f.heads = g.heads;
  FatBuilder fat(f, label);
  fat.AddFile(0, ShortName("README.TXT"), Filler(label, 1, 1, 3000));
  const uint32_t folder = fat.AddFolder(0, ShortName("DOS"));
  fat.AddFile(folder, ShortName("COMMAND.COM"), Filler(label, 2, 2, 5000));
  return fat.Build();
}

Bytes WithHdiHeader(const Bytes& disk, const HdGeometry& g) {
  Bytes header(4096, 0);
  d88::PutU32le(&header[0x08], 4096);
  d88::PutU32le(&header[0x0C], static_cast<uint32_t>(disk.size()));
  d88::PutU32le(&header[0x10], static_cast<uint32_t>(g.sectorSize));
  d88::PutU32le(&header[0x14], static_cast<uint32_t>(g.sectors));
  d88::PutU32le(&header[0x18], static_cast<uint32_t>(g.heads));
  d88::PutU32le(&header[0x1C], static_cast<uint32_t>(g.cylinders));
  return Concat(header, disk);
}

Bytes WithNhdHeader(const Bytes& disk, const HdGeometry& g) {
  Bytes header(512, 0);
  Put(header, 0, std::string("T98HDDIMAGE.R0\0", 15));
  Put(header, 0x10, "test disk");
  d88::PutU32le(&header[0x110], 512);
  d88::PutU32le(&header[0x114], static_cast<uint32_t>(g.cylinders));
  d88::PutU16le(&header[0x118], static_cast<uint32_t>(g.heads));
  d88::PutU16le(&header[0x11A], static_cast<uint32_t>(g.sectors));
  d88::PutU16le(&header[0x11C], static_cast<uint32_t>(g.sectorSize));
  return Concat(header, disk);
}

Bytes WithVirtual98Header(const Bytes& disk, const HdGeometry& g) {
  Bytes header(220, 0);
  Put(header, 0, "VHD1.00");
  d88::PutU16le(&header[0x8C], static_cast<uint32_t>(disk.size() >> 20));
  d88::PutU16le(&header[0x8E], static_cast<uint32_t>(g.sectorSize));
  header[0x90] = static_cast<uint8_t>(g.sectors);
  header[0x91] = static_cast<uint8_t>(g.heads);
  d88::PutU16le(&header[0x92], static_cast<uint32_t>(g.cylinders));
  d88::PutU32le(&header[0x94], static_cast<uint32_t>(g.cylinders * g.heads * g.sectors));
  return Concat(header, disk);
}

Bytes WithThdHeader(const Bytes& disk, const HdGeometry& g) {
  Bytes header(256, 0);
  d88::PutU16le(&header[0], static_cast<uint32_t>(g.cylinders));
  return Concat(header, disk);
}

Bytes MbrDisk(const Bytes& volume, uint32_t start) {
  Bytes disk(size_t{start} * 512, 0);
  disk = Concat(disk, volume);
  disk.resize((disk.size() + 511) / 512 * 512, 0);
  uint8_t* e = disk.data() + 0x1BE;
  e[0] = 0x80;
  e[4] = 0x01;
  d88::PutU32le(e + 8, start);
  d88::PutU32le(e + 12, static_cast<uint32_t>((volume.size() + 511) / 512));
  disk[0x1FE] = 0x55, disk[0x1FF] = 0xAA;
  return disk;
}

HdGeometry TwoPartitionGeometry() {
  HdGeometry g;
  g.cylinders = 101;
  return g;
}

Bytes TwoPartitionDisk() {
  const HdGeometry g = TwoPartitionGeometry();
  HdPartition dos;
  dos.startCylinder = 1, dos.endCylinder = 80, dos.mid = 0xA0, dos.sid = 0xA1;
  dos.name = "MS-DOS 6.20";
  dos.volume = PartitionVolume(g, 1, 80, "SYSTEM", 1);
  HdPartition data;
  data.startCylinder = 81, data.endCylinder = 100, data.mid = 0x20,
  data.sid = 0x01;  // sleeping FAT12
  data.name = "DATA";
  data.volume = PartitionVolume(g, 81, 100, "DATA", 1);
  return Pc98Disk(g, {dos, data});
}

}  // namespace testimg
