// Writes one sample image per program into the folder it is given:
// <program>.d88, one disk of every kind the program knows, in the order of
// the disk numbers.  The contents are synthetic: the builder's filler,
// which names each sector's place, and the signature bytes taken from the
// catalogue.  Each disk is checked to be taken for its own kind.
//
// Beside them, abcut-1.nfd: abcut's Disk A alone, stored as a T98-Next NFD
// r1 image, for the demo to convert to D88 with d88conv and cut; and
// full-2hd.d88: one whole 2HD disk (154 tracks of 26 sectors) of the
// vorxcut kind that has the most files, as large as a real disk, with
// full-2hd.fdi, the same disk in an FDI file; vorxcut.zip, vorxcut's
// disks each a file of its own in a zip, stored last first; games.zip,
// the abcut and oabcut samples and a text under Shift-JIS names; and two
// dumps of original disks: vorxcut-1.scp, vorxcut's first disk as SCP flux
// read in a 300-rpm drive with jitter, and oabcut-1-kryoflux.zip, oabcut's
// first disk as a zipped KryoFlux set.  Then worn-2hd.scp, a cylinder of a
// worn 2HD disk as SCP flux, some of whose sectors come back only voted
// from the revolutions or repaired, and one not at all, for the map.  And
// two disks with file systems: msdos-2hd.d88, an MS-DOS 2HD disk with a
// folder, a long name and a Shift-JIS name; and hard-disk.hdi, a small HDI
// hard disk of two FAT partitions.  Last, damaged-sectors.d88: sectors
// read badly, for the map.
#include <cstdio>
#include <string>
#include <vector>

#include "all_catalogues.h"
#include "containers/container.h"
#include "cut/run.h"
#include "support/archive_builder.h"
#include "support/container_builder.h"
#include "support/d88_builder.h"
#include "support/flux_builder.h"
#include "support/flux_encoder.h"
#include "support/fs_builder.h"
#include "support/kind_disk.h"

namespace {

bool WriteSample(const cut::Catalogue& catalogue, const std::string& folder) {
  std::vector<testimg::Disk> disks;
  for (int number = 1; number <= catalogue.rules.count; ++number) {
    for (const cut::DiskRule& rule : catalogue.rules) {
      if (rule.number == number) disks.push_back(testimg::KindDisk(catalogue, rule));
    }
  }
  const std::string path = folder + "/" + catalogue.program + ".d88";
  if (!testimg::WriteFile(path, testimg::BuildImage(disks))) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return false;
  }
  d88::D88Image image;
  uint8_t probe[cut::kProbeLength];
  bool right = image.Open(path.c_str()) && image.DiskCount() == catalogue.rules.count;
  for (int i = 0; right && i < image.DiskCount(); ++i) {
    image.SelectDisk(i);
    const cut::DiskRule* rule = cut::Recognise(image, catalogue, 0, probe);
    right = rule != nullptr && rule->number == i + 1;
  }
  if (!right) {
    std::fprintf(stderr, "make_samples: %s does not hold one disk of each kind\n", path.c_str());
    return false;
  }
  std::printf("wrote %s: %d disks\n", path.c_str(), image.DiskCount());
  return true;
}

// The first kind of `catalogue` as an NFD r1 image, checked to open as one
// and to be taken for that kind.
bool WriteNfdSample(const cut::Catalogue& catalogue, const std::string& folder) {
  const cut::DiskRule& rule = catalogue.rules.data[0];
  const std::string path =
      folder + "/" + catalogue.program + "-" + std::to_string(rule.number) + ".nfd";
  testimg::Disk disk = testimg::KindDisk(catalogue, rule);
  disk.mediaType = 0x20;  // 26 sectors of 256 bytes a track: a 2HD disk
  if (!testimg::WriteFile(path, testimg::BuildNfdR1(disk))) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return false;
  }
  static d88::D88Image image;
  containers::ImageFile file;
  uint8_t probe[cut::kProbeLength];
  const bool right = file.Open(path.c_str(), image) &&
                     file.GetKind() == containers::Kind::kNfdR1 && image.SelectDisk(0) &&
                     cut::Recognise(image, catalogue, 0, probe) == &rule;
  image.Open(nullptr);
  if (!right) {
    std::fprintf(stderr, "make_samples: %s is not an NFD r1 image of %s's kind %d\n",
                 path.c_str(), catalogue.program, rule.number);
    return false;
  }
  std::printf("wrote %s: 1 disk (NFD r1)\n", path.c_str());
  return true;
}

// A 2HD disk holds 77 cylinders of two sides.
constexpr int kFull2hdTracks = 154;
constexpr uint8_t kMedia2hd = 0x20;

bool WriteFull2hd(const std::string& folder) {
  const cut::Catalogue& catalogue = vorxcut::kCatalogue;
  const cut::DiskRule* most = nullptr;
  int mostFiles = -1;
  for (const cut::DiskRule& rule : catalogue.rules) {
    int files = rule.cuts.count;
    for (const cut::SeriesEntry* e = rule.series.entries; e != nullptr && e->sector != 0; ++e) {
      ++files;
    }
    if (files > mostFiles) {
      most = &rule;
      mostFiles = files;
    }
  }
  testimg::Disk disk = testimg::KindDisk(catalogue, *most);
  disk.mediaType = kMedia2hd;
  for (int t = 0; t < kFull2hdTracks; ++t) {
    if (disk.tracks.count(t) == 0) disk.Format(t, t);
  }
  const std::string path = folder + "/full-2hd.d88";
  if (!testimg::WriteFile(path, testimg::BuildImage({disk}))) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("wrote %s: 1 full 2HD disk\n", path.c_str());
  const std::string fdi = folder + "/full-2hd.fdi";
  if (!testimg::WriteFile(fdi, testimg::BuildFdi(disk, testimg::k2hd26))) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", fdi.c_str());
    return false;
  }
  std::printf("wrote %s: the same disk as FDI\n", fdi.c_str());
  return true;
}

// The disks of vorxcut.d88 as a zip of "VORX/Disk 1.d88" and on, which
// reads as the same image: in natural order, whatever order they are stored.
bool WriteZipSample(const std::string& folder) {
  const cut::Catalogue& catalogue = vorxcut::kCatalogue;
  std::vector<testimg::ArchiveEntry> entries;
  for (int number = 1; number <= catalogue.rules.count; ++number) {
    for (const cut::DiskRule& rule : catalogue.rules) {
      if (rule.number != number) continue;
      entries.insert(entries.begin(), {"VORX/Disk " + std::to_string(number) + ".d88",
                                       testimg::KindDisk(catalogue, rule).Build()});
    }
  }
  const std::string path = folder + "/vorxcut.zip";
  if (!testimg::WriteFile(path, testimg::BuildArchive(testimg::ArchiveKind::kZip, entries))) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("wrote %s: %d disks, a file each\n", path.c_str(), catalogue.rules.count);
  return true;
}

// The abcut and oabcut samples and a text, in a folder, under Shift-JIS
// names without the UTF-8 flag, as a Japanese system writes a zip: an
// archive of two games' disks, whose members the page shows as text.
bool WriteGamesSample(const std::string& folder) {
  const std::string games = "\x83\x51\x81\x5B\x83\x80/";                  // ゲーム/
  const std::string readme = "\x82\xCD\x82\xB6\x82\xDF\x82\xC9.txt";  // はじめに.txt
  std::vector<testimg::ArchiveEntry> entries = {{games + readme, {'h', 'i', '\n'}}};
  for (const char* program : {"oabcut", "abcut"}) {
    const std::string sample = folder + "/" + program + ".d88";
    entries.push_back({games + program + ".d88", testimg::ReadFile(sample)});
  }
  const std::string path = folder + "/games.zip";
  if (!testimg::WriteFile(path, testimg::BuildArchive(testimg::ArchiveKind::kZip, entries))) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("wrote %s: the abcut and oabcut samples and a text\n", path.c_str());
  return true;
}

// The first disk of `catalogue` as a drive dumps it, written by `write`
// as `name`; checked to read back as that disk's kind.
template <typename Write>
bool WriteFluxSample(const cut::Catalogue& catalogue, const std::string& folder,
                     const std::string& name, const char* what, Write write) {
  const cut::DiskRule& rule = catalogue.rules.data[0];
  testimg::FluxOptions options;
  options.revolutions = 2;
  options.jitter = 0.05;
  options.driveRpm = 300;  // every interval of a 360-rpm disk 1.2 times long
  const std::string path = folder + "/" + name;
  if (!testimg::WriteFile(path, write(testimg::EncodeFlux(testimg::KindDisk(catalogue, rule),
                                                          options)))) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("wrote %s: %s's disk %d as %s\n", path.c_str(), catalogue.program, rule.number,
              what);
  return true;
}

bool WriteFluxSamples(const std::string& folder) {
  const bool scp = WriteFluxSample(vorxcut::kCatalogue, folder, "vorxcut-1.scp", "SCP flux",
                                   [](const testimg::FluxTracks& t) { return testimg::BuildScp(t); });
  const bool kryoflux = WriteFluxSample(
      oabcut::kCatalogue, folder, "oabcut-1-kryoflux.zip", "a zipped KryoFlux set",
      [](const testimg::FluxTracks& t) {
        std::vector<testimg::ArchiveEntry> entries;
        for (testimg::NamedBytes& file : testimg::BuildKryoFluxSet(t)) {
          entries.push_back({"oabcut/" + file.name, std::move(file.bytes)});
        }
        return testimg::BuildArchive(testimg::ArchiveKind::kZip, entries);
      });
  return scp && kryoflux;
}

// A worn 2HD disk dumped as a drive reads it: one cylinder of 26 sectors
// of 256 bytes a side, three revolutions, each transition moved by a
// normal error of 6.3% of the mean interval.  Some sectors come back only
// by a vote of the revolutions' copies or by a repair of one, and one not
// at all, for the map to show; few seeds give all three on two tracks, so
// the sample is checked to still do so.
bool WriteWornSample(const std::string& folder) {
  testimg::Disk disk;
  disk.mediaType = kMedia2hd;
  disk.Format(0, 1);
  testimg::FluxOptions options;
  options.revolutions = 3;
  options.driveRpm = 300;
  options.gaussianJitter = 0.063;
  options.seed = 35;
  const std::string path = folder + "/worn-2hd.scp";
  if (!testimg::WriteFile(path, testimg::BuildScp(testimg::EncodeFlux(disk, options)))) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return false;
  }
  static d88::D88Image image;
  containers::ImageFile file;
  int voted = 0, repaired = 0, bad = 0;
  const bool opened = file.Open(path.c_str(), image) && file.GetKind() == containers::Kind::kScp;
  for (const containers::FluxTrackFacts& track : file.GetFlux().tracks) {
    for (const containers::FluxTrackFacts::BadCrc& sector : track.badCrcs) {
      voted += sector.origin == flux::DataOrigin::kVoted;
      repaired += sector.origin == flux::DataOrigin::kRepaired;
      bad += sector.origin == flux::DataOrigin::kBadCopy;
    }
  }
  image.Open(nullptr);
  if (!opened || voted == 0 || repaired == 0 || bad == 0) {
    std::fprintf(stderr, "make_samples: %s does not decode to voted, repaired and bad sectors "
                 "(%d, %d, %d)\n", path.c_str(), voted, repaired, bad);
    return false;
  }
  std::printf("wrote %s: a worn 2HD disk as SCP flux, %d sectors voted, %d repaired, %d bad\n",
              path.c_str(), voted, repaired, bad);
  return true;
}

bool WriteBytes(const std::string& path, const testimg::Bytes& bytes, const char* what) {
  if (!testimg::WriteFile(path, bytes)) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("wrote %s: %s\n", path.c_str(), what);
  return true;
}

// A small 2D disk of four tracks with the damage a map must show: a data
// CRC error and an ID CRC error on track 1, a deleted-data sector and a
// missing sector 20 on track 2.
bool WriteDamagedSample(const std::string& folder) {
  testimg::Disk disk;
  disk.name = "DAMAGED";
  disk.Format(0, 3);
  std::vector<testimg::Sector>& one = disk.tracks[1];
  one[4].status = 0xB0;  // sector 5
  one[8].status = 0xA0;  // sector 9
  testimg::Sector& deleted = disk.tracks[2][2];  // sector 3
  deleted.deleted = 0x10;
  deleted.status = 0x10;
  disk.Remove(2, 20);
  return WriteBytes(folder + "/damaged-sectors.d88", testimg::BuildImage({disk}),
                    "a 2D disk with a data CRC error, an ID CRC error, a deleted and a missing sector");
}

// Files whose names and folders the page's tree and the written folders
// must keep: a folder two deep, a long name, a CP932 name, an empty file.
bool WriteMsDosSample(const std::string& folder) {
  const testimg::FatFormat format = testimg::Fat2hd();
  testimg::FatBuilder fat(format, "MUSIC");
  fat.AddFile(0, testimg::ShortName("README.TXT"), testimg::Filler("readme", 0, 1, 700));
  fat.AddFile(0, testimg::ShortName("READ-M~1.TXT"), testimg::Filler("long", 0, 2, 1500),
              u"Read me: first?.txt");  // written as "Read me_ first_.txt"
  const uint32_t songs = fat.AddFolder(0, testimg::ShortName("SONGS"));
  fat.AddFile(songs, testimg::ShortName("\x8A\x79\x95\x88.DAT"),  // 楽譜.DAT
              testimg::Filler("score", 1, 1, 3000));
  fat.AddFile(songs, testimg::ShortName("EMPTY.BIN"), {});
  const uint32_t old = fat.AddFolder(songs, testimg::ShortName("OLD"));
  fat.AddFile(old, testimg::ShortName("SONG1.MID"), testimg::Filler("song", 2, 1, 2100), u"", 2);
  return WriteBytes(folder + "/msdos-2hd.d88",
                    testimg::BuildImage({testimg::FloppyDisk(fat.Build(), format)}),
                    "an MS-DOS 2HD disk of 5 files in 2 folders");
}

// A hard disk of 11 cylinders (8 heads, 17 sectors of 512 bytes) with two
// FAT partitions, each of a README.TXT and DOS/COMMAND.COM.
bool WriteHardDiskSample(const std::string& folder) {
  testimg::HdGeometry geometry;
  geometry.cylinders = 11;
  testimg::HdPartition system;
  system.startCylinder = 1, system.endCylinder = 6;
  system.name = "MS-DOS 6.20";
  system.volume = testimg::PartitionVolume(geometry, 1, 6, "SYSTEM", 1);
  testimg::HdPartition data;
  data.startCylinder = 7, data.endCylinder = 10;
  data.name = "DATA";
  data.volume = testimg::PartitionVolume(geometry, 7, 10, "DATA", 1);
  return WriteBytes(folder + "/hard-disk.hdi",
                    testimg::WithHdiHeader(testimg::Pc98Disk(geometry, {system, data}), geometry),
                    "an HDI hard disk of two FAT partitions");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: make_samples FOLDER\n");
    return 2;
  }
  bool ok = true;
  for (const cut::Catalogue* catalogue : tools::kAllCatalogues) {
    ok = WriteSample(*catalogue, argv[1]) && ok;
  }
  ok = WriteNfdSample(abcut::kCatalogue, argv[1]) && ok;
  ok = WriteFull2hd(argv[1]) && ok;
  ok = WriteZipSample(argv[1]) && ok;
  ok = WriteGamesSample(argv[1]) && ok;  // after the samples it holds
  ok = WriteFluxSamples(argv[1]) && ok;
  ok = WriteWornSample(argv[1]) && ok;
  ok = WriteMsDosSample(argv[1]) && ok;
  ok = WriteHardDiskSample(argv[1]) && ok;
  ok = WriteDamagedSample(argv[1]) && ok;
  return ok ? 0 : 1;
}
