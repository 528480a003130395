// Times listing and writing every file of a file system beside writing the
// same bytes as plain files: a full 2HD MS-DOS disk (as D88) and a 40 MB
// HDI image with one FAT16 partition full of files.  Each is opened as the
// programs open it (cut::ImageSource), listed and written with
// cut::WriteFiles into a fresh folder; the baseline copies the same number
// of bytes from the image into plain files of the same names.  Medians of RUNS runs; the goal is
// at most twice the baseline.
// Usage: fsbench WORKDIR [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cut/disk_files.h"
#include "cut/image_source.h"
#include "support/fs_builder.h"

namespace {

namespace stdfs = std::filesystem;
using testimg::Bytes;
using Clock = std::chrono::steady_clock;

struct Content {
  std::vector<std::pair<std::string, Bytes>> files;  // path with '/', bytes
};

// Fills a FAT volume with files of `size` bytes in four folders, every
// third one fragmented, until `budget` bytes are used.
Bytes FillVolume(const testimg::FatFormat& format, uint64_t budget, size_t size, Content* content) {
  testimg::FatBuilder fat(format, "BENCH");
  uint32_t folders[4];
  for (int f = 0; f < 4; ++f) {
    folders[f] = fat.AddFolder(0, testimg::ShortName("DIR" + std::to_string(f)));
    content->files.push_back({"DIR" + std::to_string(f) + "/", {}});
  }
  const uint64_t clusterBytes =
      static_cast<uint64_t>(format.sectorSize) * static_cast<uint64_t>(format.sectorsPerCluster);
  uint64_t used = 4 * clusterBytes;
  for (int i = 0; used + 2 * (size + clusterBytes) < budget / 10 * 9; ++i) {
    const std::string name = "F" + std::to_string(i) + ".DAT";
    Bytes data(size);
    for (size_t k = 0; k < size; ++k) data[k] = static_cast<uint8_t>(k * 13 + i);
    const int folder = i % 4;
    fat.AddFile(folders[folder], testimg::ShortName(name), data, u"", i % 3 == 0 ? 2 : 1);
    used += (i % 3 == 0 ? 2 : 1) * ((size + clusterBytes - 1) / clusterBytes) * clusterBytes;
    content->files.push_back({"DIR" + std::to_string(folder) + "/" + name, std::move(data)});
  }
  return fat.Build();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Opens `image`, lists its one file system (disk 0 or partition 0) and
// writes it into `folder`; returns the files written.
int ListAndWrite(const std::string& image, const std::string& folder) {
  auto source = std::make_unique<cut::ImageSource>();
  auto d88 = std::make_unique<d88::D88Image>();
  if (!source->Open(image.c_str(), *d88)) return -1;
  std::unique_ptr<fs::Volume> volume;
  fs::Listing listing;
  if (source->IsHardDisk()) {
    volume = source->HardDisk().Partition(0);
    if (volume == nullptr || !fs::ListVolume(*volume, &listing)) return -1;
  } else {
    if (!d88->SelectDisk(0) || !cut::ListDiskFiles(*d88, &listing)) return -1;
    volume = cut::DiskVolume(*d88);
  }
  const cut::FilesWritten written =
      cut::WriteFiles(*volume, listing, folder, [](const std::string& problem) {
        std::fprintf(stderr, "%s\n", problem.c_str());
      });
  return written.files;
}

// The baseline: the same files copied, their bytes read from the image
// (one after another, as a copy reads) and written as plain files.
void CopyPlain(const Content& content, const std::string& image, const std::string& folder) {
  stdfs::create_directories(folder);
  std::FILE* in = std::fopen(image.c_str(), "rb");
  if (in == nullptr) std::abort();
  std::vector<uint8_t> bytes;
  for (const auto& [path, data] : content.files) {
    if (path.back() == '/') {
      stdfs::create_directories(folder + "/" + path);
      continue;
    }
    bytes.resize(data.size());
    if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), in) != bytes.size()) {
      std::rewind(in);
    }
    std::FILE* f = std::fopen((folder + "/" + path).c_str(), "wb");
    if (f == nullptr) std::abort();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  std::fclose(in);
}

void Time(const char* what, const std::string& image, const Content& content,
          const std::string& work, int runs) {
  std::vector<double> ours, plain;
  int files = 0;
  uint64_t bytes = 0;
  for (const auto& file : content.files) bytes += file.second.size();
  for (int r = 0; r < runs; ++r) {
    const std::string a = work + "/ours", b = work + "/plain";
    stdfs::remove_all(a);
    stdfs::remove_all(b);
    auto start = Clock::now();
    files = ListAndWrite(image, a);
    ours.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    start = Clock::now();
    CopyPlain(content, image, b);
    plain.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  const double o = Median(ours), p = Median(plain);
  std::printf("%-34s %5d files %10llu bytes  %8.1f ms  %8.1f ms  %5.2fx\n", what, files,
              static_cast<unsigned long long>(bytes), o, p, o / p);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fsbench WORKDIR [RUNS]\n");
    return 2;
  }
  const std::string work = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  stdfs::create_directories(work);

  Content floppy;
  const testimg::FatFormat f2hd = testimg::Fat2hd();
  const Bytes volume = FillVolume(f2hd, 1232u * 1024u, 9000, &floppy);
  testimg::WriteFile(work + "/full-2hd.d88", testimg::FloppyDisk(volume, f2hd).Build());

  // 8 heads x 17 sectors x 512 bytes: 602 cylinders are some 40 MB.
  testimg::HdGeometry g;
  g.cylinders = 602;
  testimg::HdPartition part;
  part.startCylinder = 1, part.endCylinder = 601, part.name = "MS-DOS";
  const uint32_t sectors = 601u * 8u * 17u;
  testimg::FatFormat f16 = testimg::FatPartition(sectors / 2, 1024, 4, 512);
  f16.hiddenSectors = 8 * 17, f16.sectorsPerTrack = 17, f16.heads = 8;
  Content hard;
  part.volume = FillVolume(f16, static_cast<uint64_t>(sectors) * 512u, 60000, &hard);
  testimg::WriteFile(work + "/40mb.hdi", testimg::WithHdiHeader(testimg::Pc98Disk(g, {part}), g));

  std::printf("%-34s %5s %16s  %11s  %11s  %6s\n", "listed and written", "", "", "ours", "copied",
              "ratio");
  Time("full 2HD MS-DOS disk (D88)", work + "/full-2hd.d88", floppy, work, runs);
  Time("40 MB HDI, one FAT16 partition", work + "/40mb.hdi", hard, work, runs);
  stdfs::remove_all(work);
  return 0;
}
