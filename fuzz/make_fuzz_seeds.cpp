// Writes the seed corpus of the fuzz targets, built with the test image
// builder: for every catalogue a disk of each kind (testimg::KindDisk: its
// probe sectors carrying the kind's signature, its cut runs present), each
// kind forced on a blank disk, several kinds in one image, a zip of them,
// and images cut short; for the image target all of these and a few
// damaged layouts besides; for the archive target the small images in
// every archive format; for each flux dump reader's target its dumps.
//
//   make_fuzz_seeds OUTDIR   ->  OUTDIR/image/, OUTDIR/<catalogue>/, OUTDIR/archive/,
//                                OUTDIR/{scp,hfe,mfi,kryoflux}/, OUTDIR/fs/
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "d88/d88_format.h"
#include "fuzz_catalogues.h"
#include "support/archive_builder.h"
#include "support/container_builder.h"
#include "support/d88_builder.h"
#include "support/flux_builder.h"
#include "support/flux_encoder.h"
#include "support/fs_builder.h"
#include "fs_input.h"
#include "flux_bytes.h"
#include "support/kind_disk.h"

namespace fs = std::filesystem;
using testimg::Bytes;
using testimg::Disk;

namespace {

void Write(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  if (!testimg::WriteFile((dir / name).string(), bytes)) {
    std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", (dir / name).string().c_str());
    std::exit(1);
  }
}

Bytes Truncated(Bytes bytes, size_t size) {
  if (bytes.size() > size) bytes.resize(size);
  return bytes;
}

void WriteCatalogueSeeds(const fuzzcat::NamedCatalogue& named, const fs::path& out) {
  const cut::Catalogue& catalogue = *named.catalogue;
  const fs::path dir = out / named.name;
  testimg::KindDiskOptions small;  // seeds small enough to mutate quickly
  small.onlyTracksRead = true;
  std::vector<Disk> kinds;
  for (int k = 0; k < catalogue.rules.count; ++k) {
    kinds.push_back(testimg::KindDisk(catalogue, catalogue.rules.data[k], small));
    const Bytes image = kinds.back().Build();
    const std::string number = std::to_string(catalogue.rules.data[k].number);
    Write(dir, "kind" + number + ".d88", image);

    // The disk number travels in the reserved byte 0x19 of the first header.
    Disk blank;
    blank.Format(0, 1);
    Bytes forced = blank.Build();
    forced[0x19] = static_cast<uint8_t>('0' + catalogue.rules.data[k].number);
    Write(dir, "forced" + number + ".d88", forced);
  }
  // The first and last kinds and a blank disk in one image, and in a zip.
  Disk blank;
  blank.Format(0, 0);
  Write(dir, "multi.d88", testimg::BuildImage({kinds.front(), blank, kinds.back()}));
  Write(dir, "multi.zip", testimg::BuildArchive(testimg::ArchiveKind::kZip,
                                                {{"Disk 2.d88", blank.Build()},
                                                 {"Disk 10.d88", kinds.back().Build()},
                                                 {"Disk 1.d88", kinds.front().Build()}}));
  // Cut inside the first sector header, and halfway through the disk.
  const Bytes first = kinds.front().Build();
  Write(dir, "cut-header.d88", Truncated(first, d88::kDiskHeaderSize + 8));
  Write(dir, "cut-half.d88", Truncated(first, first.size() / 2));

  for (const auto& entry : fs::directory_iterator(dir)) {
    fs::create_directories(out / "image");
    fs::copy_file(entry.path(), out / "image" / (std::string(named.name) + "-" + entry.path().filename().string()),
                  fs::copy_options::overwrite_existing);
  }
}

void WriteImageSeeds(const fs::path& out) {
  const fs::path dir = out / "image";
  Write(dir, "empty.d88", Bytes());
  Write(dir, "short-header.d88", Bytes(d88::kDiskHeaderSize - 1, 0));

  Disk plain;
  plain.Format(0, 3);
  // Sectors out of order, a duplicate identity, odd lengths and counts.
  plain.tracks[2][0].length = 128;
  plain.tracks[2][1].count = 0;
  plain.tracks[3].push_back(plain.tracks[3][0]);
  std::swap(plain.tracks[3][0], plain.tracks[3][5]);
  plain.tracks[3][7].n = 2;
  Write(dir, "damaged.d88", plain.Build());

  Disk tiny;
  tiny.Format(0, 0, 2);
  tiny.sizeField = 0;
  Write(dir, "size-zero.d88", testimg::BuildImage({tiny, tiny}));
  Disk wild;
  wild.Format(0, 1, 4);
  wild.trackOffsets = {{0, 1}, {1, 0x20}, {2, 0x80000000u}, {3, 0xFFFFFFFFu}};
  wild.sizeField = 0x7FFFFFFF;
  Write(dir, "wild-offsets.d88", wild.Build());
}

// Flux dumps in the shapes the tools that write them give: short tracks
// (the fewest cells a decoded rate has: 250 kbit/s at 360 rpm), FM beside
// MFM, a deleted mark and a bad CRC.  SCP cued to the index and not, at
// both resolutions, one side alone and with the extension footer; HFE v1
// and v3 with every opcode; MFI of both versions; KryoFlux streams with
// every out-of-band block.  Each also cut short.  Named by the reader
// that takes them: OUTDIR/<reader>/.
struct DumpSeed {
  const char* reader;
  std::string name;
  Bytes bytes;
};

std::vector<DumpSeed> FluxDumpSeeds() {
  Disk disk;
  disk.Format(0, 1, 4);
  for (testimg::Sector& s : disk.tracks[0]) s.density = 0x40;
  disk.tracks[0][1].deleted = disk.tracks[0][1].status = 0x10;
  disk.tracks[1][2].status = 0xB0;
  testimg::FluxOptions options;
  options.cellsPerRevolution = 83333;
  options.revolutions = 1;
  options.jitter = 0.1;
  const testimg::FluxTracks two = testimg::EncodeFlux(disk, options);
  const testimg::FluxTracks one(two.begin(), two.begin() + 1);
  options.revolutions = 2;  // behind the partial one the writer puts first
  const testimg::FluxTracks uncued = testimg::EncodeFlux(disk, options);
  options.driveRpm = 300;  // a 360-rpm disk read in a 300-rpm drive
  const testimg::FluxTracks slow = testimg::EncodeFlux(disk, options);
  const testimg::FluxTracks slowOne(slow.begin() + 1, slow.end());

  testimg::ScpOptions footer;
  footer.footer = true;
  testimg::ScpOptions coarse;  // 50 ns ticks
  coarse.resolution = 1;
  testimg::ScpOptions oneSide;  // head 1 alone, an entry per cylinder
  oneSide.heads = 2;
  oneSide.consecutive = true;
  testimg::ScpOptions notCued;
  notCued.indexCued = false;
  testimg::HfeOptions v3;
  v3.version = 3;
  v3.rateKbps = 250;
  testimg::HfeOptions v3All = v3;
  v3All.everyOpcode = true;
  testimg::HfeOptions v1Fm;
  v1Fm.rateKbps = 250;
  v1Fm.track0Fm = true;
  testimg::HfeOptions v1Slow;  // brought to 300 rpm, at the rate that holds its cells
  v1Slow.rpm = 300;

  std::vector<DumpSeed> seeds = {
      {"scp", "flux.scp", testimg::BuildScp(one)},
      {"scp", "flux-uncued.scp", testimg::BuildScp({uncued[1]}, notCued)},
      {"scp", "flux-footer.scp", testimg::BuildScp(slowOne, footer)},
      {"scp", "flux-50ns.scp", testimg::BuildScp(one, coarse)},
      {"scp", "flux-one-side.scp", testimg::BuildScp({uncued[1]}, oneSide)},
      {"hfe", "flux.hfe", testimg::BuildHfe(two, v1Fm)},
      {"hfe", "flux-300rpm.hfe", testimg::BuildHfe(one, v1Slow)},
      {"hfe", "flux-v3.hfe", testimg::BuildHfe(two, v3)},
      {"hfe", "flux-v3-opcodes.hfe", testimg::BuildHfe(two, v3All)},
      {"mfi", "flux.mfi", testimg::BuildMfi(two)},
      {"mfi", "flux-old.mfi", testimg::BuildMfi(one, true)},
      {"kryoflux", "flux00.0.raw", testimg::BuildKryoFluxStream(one[0])},
      {"kryoflux", "flux01.1.raw", testimg::BuildKryoFluxStream(uncued[1], true)},
  };
  const size_t whole = seeds.size();
  for (size_t i = 0; i < whole; ++i) {
    seeds.push_back({seeds[i].reader, "cut-" + seeds[i].name,
                     Truncated(seeds[i].bytes, seeds[i].bytes.size() * 2 / 3)});
  }
  return seeds;
}

void WriteFluxDumpSeeds(const fs::path& out) {
  for (const DumpSeed& seed : FluxDumpSeeds()) {
    Write(out / seed.reader, seed.name, seed.bytes);
    Write(out / "container", seed.name, seed.bytes);  // found by its signature there
  }
}

// Every container holding small disks (a few tracks, so mutations stay
// quick), one whole-size layout only size tells apart (each megabyte input
// costs the fuzzer as much as a dozen small ones), and damaged ones.
void WriteContainerSeeds(const fs::path& out) {
  const fs::path dir = out / "container";
  const testimg::Layout twoCylinders{2, 2, 26, 256, false};
  Disk small = testimg::Formatted(twoCylinders, "S");
  small.Remove(1, 5);
  Disk fm = testimg::Formatted(testimg::k2hd26Fm, "F");
  for (int t = 3; t < 154; ++t) fm.RemoveTrack(t);
  Write(dir, "small.fdi", testimg::BuildFdi(small, twoCylinders));
  Write(dir, "sparse-fm.dcp", testimg::BuildDcp(fm, testimg::k2hd26Fm, false));
  Write(dir, "sparse.dcu", testimg::BuildDcp(small, testimg::k2hd26, false));
  Write(dir, "cut.dip", Truncated(testimg::BuildDip(testimg::Formatted(testimg::k2hd8)), 20000));
  Write(dir, "small.nfd", testimg::BuildNfdR1(fm));
  Write(dir, "small-r0.nfd", testimg::BuildNfdR0(small));
  Write(dir, "small.fdd", testimg::BuildFdd(fm));
  Write(dir, "whole.hdb", testimg::BuildRaw(fm, testimg::k2hd26Fm));
  Write(dir, "plain.d88", small.Build());
}

// Small images in every archive format read, with names in CP932 and in
// UTF-8, folders, a text member and one stored uncompressed.
void WriteArchiveSeeds(const fs::path& out) {
  using testimg::ArchiveKind;
  const fs::path dir = out / "archive";
  Disk small;
  small.Format(0, 1, 4);
  const testimg::Layout twoCylinders{2, 2, 26, 256, false};
  const std::vector<testimg::ArchiveEntry> entries = {
      {"g/", {}, true},
      {"g/\x83\x66\x83\x42\x83\x58\x83\x4E 10.d88", small.Build()},  // ディスク 10.d88
      {"g/Disk 2.fdi", testimg::BuildFdi(testimg::Formatted(twoCylinders, "S"), twoCylinders)},
      {"g/read me.txt", {'h', 'i'}}};
  const struct {
    const char* name;
    ArchiveKind kind;
  } kinds[] = {{"small.zip", ArchiveKind::kZip}, {"stored.zip", ArchiveKind::kZipStored},
               {"small.tar", ArchiveKind::kTar}, {"small.tar.gz", ArchiveKind::kTarGz},
               {"small.d88.gz", ArchiveKind::kGzip}, {"small.d88.bz2", ArchiveKind::kBzip2},
               {"small.d88.xz", ArchiveKind::kXz}};
  for (const auto& k : kinds) {
    Write(dir, k.name, testimg::BuildArchive(k.kind, k.kind >= ArchiveKind::kGzip
                                                         ? std::vector<testimg::ArchiveEntry>{entries[1]}
                                                         : entries));
  }
  // 7z and LZH store names as UTF-8 and CP932 text from UTF-8 names.
  std::vector<testimg::ArchiveEntry> utf8 = entries;
  utf8[1].name = "g/ディスク 10.d88";
  Write(dir, "small.7z", testimg::BuildArchive(ArchiveKind::k7z, utf8));
  const Bytes lzh = testimg::BuildLzh(utf8);
  if (!lzh.empty()) Write(dir, "small.lzh", lzh);

  // Every whole dump in each archive a dump travels in.  A KryoFlux set's
  // stream files are named NN.S.raw inside it.
  for (const DumpSeed& seed : FluxDumpSeeds()) {
    if (seed.name.compare(0, 4, "cut-") == 0) continue;
    const std::vector<testimg::ArchiveEntry> dump = {{"d/" + seed.name, seed.bytes}};
    const std::string stem = std::string(seed.reader) + "-" + seed.name;
    Write(dir, stem + ".zip", testimg::BuildArchive(ArchiveKind::kZip, dump));
    Write(dir, stem + ".7z", testimg::BuildArchive(ArchiveKind::k7z, dump));
    Write(dir, stem + ".gz", testimg::BuildArchive(ArchiveKind::kGzip, dump));
    const Bytes packed = testimg::BuildLzh(dump);
    if (!packed.empty()) Write(dir, stem + ".lzh", packed);
  }
}

// d88conv's: every image and container seed, and D88 disks it writes
// afresh (a 160-entry table, a size field beyond the file, a file cut
// inside a sector).
void WriteConversionSeeds(const fs::path& out) {
  const fs::path dir = out / "d88conv";
  fs::create_directories(dir);
  for (const char* from : {"image", "container"}) {
    for (const auto& entry : fs::directory_iterator(out / from)) {
      // The whole-disk dumps only size tells apart are fuzz_container's:
      // here they would make every input a megabyte long.
      if (entry.file_size() > (256u << 10)) continue;
      fs::copy_file(entry.path(), dir / (std::string(from) + "-" + entry.path().filename().string()),
                    fs::copy_options::overwrite_existing);
    }
  }
  Disk plain;
  plain.Format(0, 3);
  plain.tracks[1].push_back(plain.tracks[1][0]);  // a duplicate identity
  plain.tracks[1].back().data = testimg::Filler("dup", 1, 1);
  Write(dir, "short-table.d88", testimg::WithShortTrackTable(plain.Build()));
  Disk beyond = plain;
  beyond.sizeField = static_cast<int64_t>(plain.Build().size()) + 1000;
  Write(dir, "size-beyond.d88", testimg::BuildImage({plain, beyond}));
  Write(dir, "cut-sector.d88", Truncated(plain.Build(), plain.Build().size() - 100));
}

// The flux target's: tracks the encoder writes, most of them cut to the
// first few sectors of a revolution (a partial revolution, measured by the
// cell lengths the rates give), so that an input decodes in well under a
// millisecond; one whole revolution of a 2D track, and two of a track at
// the rate with the fewest cells, its last sector across the index.
void WriteFluxSeeds(const fs::path& out) {
  const fs::path dir = out / "flux";
  auto sector = [](int r, int n, uint8_t density) {
    testimg::Sector s;
    s.r = static_cast<uint8_t>(r), s.n = static_cast<uint8_t>(n), s.density = density;
    s.data = testimg::Filler("FLUX", 0, r, 128 << n);
    return s;
  };
  auto cut = [](flux::TrackFlux track, size_t intervals) {
    track.intervals.resize(std::min(intervals, track.intervals.size()));
    track.revolutionEnds = {static_cast<uint32_t>(track.intervals.size())};
    track.revolutionTicks = {0};
    track.indexCued = false;
    return track;
  };
  testimg::FluxOptions jitter;
  jitter.jitter = 0.1;
  jitter.revolutions = 1;
  std::vector<testimg::Sector> mfm, fm, odd;
  for (int r = 1; r <= 4; ++r) mfm.push_back(sector(r, 1, 0x00)), fm.push_back(sector(r, 0, 0x40));
  odd = {sector(1, 1, 0x00), sector(2, 2, 0x40), sector(3, 1, 0x00), sector(4, 3, 0x00)};
  odd[0].status = 0xB0, odd[1].deleted = odd[1].status = 0x10, odd[2].status = 0xA0;
  odd[3].data.resize(300);  // shorter than its N says
  const int hd = 166667;
  const auto partial = [&](const std::vector<testimg::Sector>& sectors) {
    return cut(testimg::CellsToFlux(testimg::TrackCells(sectors, hd), hd, jitter, 0), 6000);
  };
  Write(dir, "mfm.flux", fuzzflux::BytesFromFlux(partial(mfm), 0, false));
  Write(dir, "fm.flux", fuzzflux::BytesFromFlux(partial(fm), 0, false));
  Write(dir, "odd.flux", fuzzflux::BytesFromFlux(partial(odd), 0, false));
  testimg::FluxOptions drive300 = jitter;
  drive300.driveRpm = 300;
  Write(dir, "mfm-300rpm.flux",
        fuzzflux::BytesFromFlux(cut(testimg::CellsToFlux(testimg::TrackCells(mfm, hd), hd, drive300, 0), 6000), 0, false));
  Disk twoD;
  twoD.mediaType = 0x00;
  twoD.Format(0, 0, 16);
  testimg::FluxOptions kryoflux = jitter;  // the tick of a KryoFlux stream
  kryoflux.tickNs = fuzzflux::kTicksNs[1];
  Write(dir, "2d-whole.flux", fuzzflux::BytesFromFlux(testimg::EncodeFlux(twoD, kryoflux).front(), 1, true));
  // Two revolutions at the rate with the fewest cells (250 kbit/s at 360 rpm).
  testimg::FluxOptions twice;
  twice.revolutions = 2;
  const int fewest = 83333;
  Write(dir, "two-turns.flux",
        fuzzflux::BytesFromFlux(testimg::CellsToFlux(testimg::TrackCells(odd, fewest, true), fewest, twice, 0), 0, true));
}

}  // namespace

// The fs target's seeds: its mode byte, then a FAT volume of each floppy
// shape up to a little past its first files, each N88 layout from its
// system track on, and small hard-disk images in each header.
void WriteFsSeeds(const fs::path& out) {
  const fs::path dir = out / "fs";
  auto withMode = [](uint8_t mode, const Bytes& bytes, size_t from, size_t length) {
    // Sized once and copied into: GCC 12 takes an insert after the mode
    // byte for a write past a one-byte buffer.
    const size_t end = std::min(bytes.size(), from + length);
    Bytes seed(1 + end - std::min(from, end));
    seed[0] = mode;
    std::copy(bytes.begin() + static_cast<long>(std::min(from, end)),
              bytes.begin() + static_cast<long>(end), seed.begin() + 1);
    return seed;
  };
  const std::pair<uint8_t, testimg::FatFormat> fats[] = {
      {fuzzfs::kFat2hd, testimg::Fat2hd()},       {fuzzfs::kFat2dd640, testimg::Fat2dd640()},
      {fuzzfs::kFat2dd720, testimg::Fat2dd720()}, {fuzzfs::kFat2hc, testimg::Fat2hc()},
      {fuzzfs::kFat144, testimg::Fat144()}};
  for (const auto& [mode, format] : fats) {
    testimg::FatBuilder fat(format, "SEED");
    fat.AddFile(0, testimg::ShortName("README.TXT"), testimg::Filler("F", 0, 1, 700),
                u"Read me.txt");
    const uint32_t folder = fat.AddFolder(0, testimg::ShortName("SUB"));
    // "ソ.BIN" (so): a trail byte 0x5C in a short name.
    fat.AddFile(folder, testimg::ShortName("\x83\x5C.BIN"), testimg::Filler("F", 0, 2, 1500),
                u"", 2);
    fat.AddFile(0, testimg::ShortName("EMPTY"), {});
    const Bytes volume = fat.Build();
    const size_t length = static_cast<size_t>(fat.ClusterOffset(2)) + 6 * 1024;
    Write(dir, "fat" + std::to_string(mode) + ".bin", withMode(mode, volume, 0, length));
  }
  const std::pair<uint8_t, testimg::N88Kind> n88s[] = {{fuzzfs::kN882d, testimg::N88Kind::k2D},
                                                       {fuzzfs::kN882dd, testimg::N88Kind::k2DD},
                                                       {fuzzfs::kN882hd, testimg::N88Kind::k2HD}};
  for (const auto& [mode, kind] : n88s) {
    testimg::N88Builder n88(kind);
    n88.AddFile("PROG", "", 0x80, testimg::Filler("N", 0, 1, 600));
    n88.AddFile("DATA", "DAT", 0x00, testimg::Filler("N", 0, 2, 300));
    const Bytes& flat = n88.Flat();
    const size_t from = static_cast<size_t>(n88.SystemTrackOffset());
    Write(dir, "n88-" + std::to_string(mode) + ".bin", withMode(mode, flat, from, 26 * 256));
  }
  // Two heads of 8 sectors: cylinders of 8 KB keep the images small.
  testimg::HdGeometry g;
  g.heads = 2, g.sectors = 8, g.cylinders = 12;
  testimg::HdPartition first, second;
  first.startCylinder = 1, first.endCylinder = 6, first.name = "MS-DOS";
  first.volume = testimg::PartitionVolume(g, 1, 6, "ONE", 1);
  second.startCylinder = 7, second.endCylinder = 11, second.mid = 0x20, second.sid = 0x01;
  second.name = "DATA";
  second.volume = testimg::PartitionVolume(g, 7, 11, "TWO", 1);
  const Bytes disk = testimg::Pc98Disk(g, {first, second});
  Write(dir, "hdi.bin", withMode(fuzzfs::kHardDisk, testimg::WithHdiHeader(disk, g), 0, SIZE_MAX));
  Write(dir, "nhd.bin", withMode(fuzzfs::kHardDisk, testimg::WithNhdHeader(disk, g), 0, SIZE_MAX));
  Write(dir, "vhd.bin",
        withMode(fuzzfs::kHardDisk, testimg::WithVirtual98Header(disk, g), 0, SIZE_MAX));
}

// For the targets that run d88info and d88cut: an MS-DOS disk of the
// smallest floppy shape with a folder, a long name and a fragmented file,
// and a small hard-disk image of two partitions.
void WriteFilesSeeds(const fs::path& out) {
  const fs::path dir = out / "image";
  testimg::FatBuilder fat(testimg::Fat2dd640(), "SEED");
  fat.AddFile(0, testimg::ShortName("README.TXT"), testimg::Filler("F", 0, 1, 700), u"Read me.txt");
  const uint32_t folder = fat.AddFolder(0, testimg::ShortName("SUB"));
  fat.AddFile(folder, testimg::ShortName("SONG.M"), testimg::Filler("F", 0, 2, 1500), u"", 2);
  Write(dir, "fat-2dd.d88", testimg::FloppyDisk(fat.Build(), testimg::Fat2dd640()).Build());
  testimg::HdGeometry g;
  g.heads = 2, g.sectors = 8, g.cylinders = 12;
  testimg::HdPartition first;
  first.startCylinder = 1, first.endCylinder = 11, first.name = "MS-DOS";
  first.volume = testimg::PartitionVolume(g, 1, 11, "ONE", 1);
  Write(dir, "hard-disk.hdi", testimg::WithHdiHeader(testimg::Pc98Disk(g, {first}), g));
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds OUTDIR\n");
    return 1;
  }
  const fs::path out = argv[1];
  WriteImageSeeds(out);
  WriteContainerSeeds(out);
  WriteFluxDumpSeeds(out);
  for (const fuzzcat::NamedCatalogue& named : fuzzcat::kCatalogues) WriteCatalogueSeeds(named, out);
  WriteArchiveSeeds(out);
  WriteConversionSeeds(out);  // from the seeds above
  WriteFluxSeeds(out);
  WriteFsSeeds(out);
  WriteFilesSeeds(out);
  return 0;
}
