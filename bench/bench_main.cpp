// Times each program over two large images beside `cp` of the same image:
//   (a) 64 full disks (154 track indexes of 26 sectors of 256 bytes) that
//       cycle through the kinds the program recognises;
//   (b) 64 disks holding only the tracks their kind reads, each starting
//       with 20,000 headers that never match in front of the real sectors:
//       a program that walks a track from its start for every sector pays
//       for them on every read.  Run with the number of the kind with the
//       most cuts (forced on disk 0, which is of that kind) and without.
// Each command runs several times; the table shows medians and the ratio to
// `cp`.  Then, for one full 2HD disk of the kind with the most cuts stored
// in each container the programs read, each program's time on the
// container beside its time on the same disk as D88 (the D88 the container
// converts to), with the ratio.  Last, each program's time on that disk in
// a zip beside its time on the bare disk plus the time of unpacking it.
// Usage: d88bench WORKDIR [RUNS [keep]]; "keep" leaves the images.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archives/archive.h"
#include "containers/container.h"
#include "cut/image_source.h"
#include "cut/run.h"
#include "support/archive_builder.h"
#include "support/container_builder.h"
#include "support/d88_builder.h"
#include "support/kind_disk.h"
#include "support/test_catalogue.h"
#ifdef BENCH_VORXCUT
#include "vorxcut/catalogue.h"
#endif
#ifdef BENCH_ABCUT
#include "abcut/catalogue.h"
#endif
#ifdef BENCH_OABCUT
#include "oabcut/catalogue.h"
#endif

namespace {

struct Program {
  const char* name;
  const cut::Catalogue* catalogue;
  const char* path;
};

const Program kPrograms[] = {
#ifdef BENCH_VORXCUT
    {"vorxcut", &vorxcut::kCatalogue, VORXCUT_PATH},
#endif
#ifdef BENCH_ABCUT
    {"abcut", &abcut::kCatalogue, ABCUT_PATH},
#endif
#ifdef BENCH_OABCUT
    {"oabcut", &oabcut::kCatalogue, OABCUT_PATH},
#endif
    {"testcut", &testcat::kCatalogue, TESTCUT_PATH},
};

constexpr int kDisks = 64;
constexpr int kLastTrack = 153;  // 77 cylinders, 2 heads
constexpr int kEmptyHeaders = 20000;

int CutCount(const cut::DiskRule& rule) {
  int count = rule.cuts.count;
  if (rule.series.entries != nullptr) {
    for (const cut::SeriesEntry* e = rule.series.entries; e->sector != 0; ++e) ++count;
  }
  return count;
}

// Disks of kind k as testimg::KindDisk builds them, each tagged apart.
testimg::Disk FullDisk(const cut::Catalogue& catalogue, int k, int index) {
  const testimg::KindDiskOptions options{"F" + std::to_string(index), false};
  testimg::Disk disk = testimg::KindDisk(catalogue, catalogue.rules.data[k], options);
  for (int t = 0; t <= kLastTrack; ++t) {
    if (disk.tracks.count(t) == 0) disk.Format(t, t);
  }
  return disk;
}

testimg::Disk CraftedDisk(const cut::Catalogue& catalogue, int k, int index) {
  const testimg::KindDiskOptions options{"C" + std::to_string(index), true};
  testimg::Disk disk = testimg::KindDisk(catalogue, catalogue.rules.data[k], options);
  testimg::Sector empty;  // an identity no catalogue asks for, no data
  empty.c = empty.h = empty.r = empty.n = 0xFF;
  for (const auto& track : disk.tracks) disk.Prepend(track.first, empty, kEmptyHeaders);
  return disk;
}

// Writes 64 disks, disk i of kind (first + i) mod the number of kinds.
template <typename MakeDisk>
long long WriteImage(const std::string& path, const cut::Catalogue& catalogue, int first,
                     MakeDisk make) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return -1;
  long long size = 0;
  for (int i = 0; i < kDisks; ++i) {
    const testimg::Bytes bytes = make(catalogue, (first + i) % catalogue.rules.count, i).Build();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    size += static_cast<long long>(bytes.size());
  }
  return std::fclose(f) == 0 ? size : -1;
}

// How many disks of the image the catalogue does not recognise as the kind
// they were built as; the bench is meaningless unless this is 0.
int Misrecognised(const std::string& path, const cut::Catalogue& catalogue, int first) {
  static d88::D88Image image;
  static uint8_t probe[cut::kProbeLength];
  if (!image.Open(path.c_str())) return kDisks;
  int wrong = kDisks - image.DiskCount();
  for (int i = 0; i < image.DiskCount(); ++i) {
    image.SelectDisk(i);
    image.SetSectorRange(1, testimg::kSectorsPerTrack);
    const cut::DiskRule* rule = cut::Recognise(image, catalogue, 0, probe);
    if (rule != &catalogue.rules.data[(first + i) % catalogue.rules.count]) ++wrong;
  }
  image.Open(nullptr);
  return wrong;
}

double Seconds(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const auto end = std::chrono::steady_clock::now();
  if (status == -1) std::fprintf(stderr, "could not run: %s\n", command.c_str());
  return std::chrono::duration<double>(end - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 == 1 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// Times `program` and `cp` on the same image, alternating, and prints a row.
// Each run writes into a fresh folder (cp to a fresh file), as a user would:
// overwriting last run's files would time the file system's flushing of
// truncated files instead.
void Compare(const std::string& dir, const Program& p, const std::string& image,
             const char* label, const std::string& diskNo, long long size, int runs) {
  const std::string quiet = " >/dev/null 2>&1";
  const std::string target = "'" + dir + "/copy.d88'";
  const std::string out = "'" + dir + "/out'";
  const std::string copy = "cp '" + image + "' " + target + quiet;
  const std::string run = "cd " + out + " && '" + p.path + "' '" + image + "'" +
                          (diskNo.empty() ? "" : " " + diskNo) + quiet;
  const std::string clear = "rm -rf " + target + " " + out + " && mkdir " + out + " && sync";
  Seconds(copy);  // brings the image into the page cache
  std::vector<double> cp, prog;
  for (int i = 0; i < runs; ++i) {
    Seconds(clear);
    cp.push_back(Seconds(copy));
    Seconds(clear);
    prog.push_back(Seconds(run));
  }
  Seconds(clear);
  const double c = Median(cp), q = Median(prog);
  std::printf("%-8s %-22s %-7s %7.1f %9.1f %10.1f %7.2f\n", p.name, label,
              diskNo.empty() ? "-" : diskNo.c_str(), static_cast<double>(size) / 1e6, c * 1e3,
              q * 1e3, q / c);
  std::fflush(stdout);
}

// The kind with the most cuts: the one whose run reads the most.
int MostCuts(const cut::Catalogue& catalogue) {
  int most = 0;
  for (int k = 1; k < catalogue.rules.count; ++k) {
    if (CutCount(catalogue.rules.data[k]) > CutCount(catalogue.rules.data[most])) most = k;
  }
  return most;
}

// A single disk is read in a few milliseconds, about what starting the
// program costs, so each timing is of a batch of runs in one shell.
constexpr int kBatch = 10;

double BatchMs(const std::string& program, const std::string& image, const std::string& out) {
  const std::string run = "cd '" + out + "' && for i in 1 2 3 4 5 6 7 8 9 10; do '" + program +
                          "' '" + image + "' >/dev/null 2>&1; done";
  return Seconds(run) * 1e3 / kBatch;
}

// The program's ms per run on `first` and on `second`, each the fastest of
// `runs` batches, taken in turns: a run this short is easily slowed by
// whatever else the machine does, never sped up.
void FastestBatches(const Program& p, const std::string& first, const std::string& second,
                    const std::string& out, int runs, double* onFirst, double* onSecond) {
  std::vector<double> a, b;
  for (int i = 0; i < runs; ++i) {
    Seconds("rm -rf '" + out + "' && mkdir '" + out + "'");
    a.push_back(BatchMs(p.path, first, out));
    Seconds("rm -rf '" + out + "' && mkdir '" + out + "'");
    b.push_back(BatchMs(p.path, second, out));
  }
  *onFirst = *std::min_element(a.begin(), a.end());
  *onSecond = *std::min_element(b.begin(), b.end());
}

// One full 2HD disk of kind k: every track formatted.
testimg::Disk Full2hd(const cut::Catalogue& catalogue, int k) {
  testimg::Disk disk = testimg::KindDisk(catalogue, catalogue.rules.data[k]);
  disk.mediaType = 0x20;
  for (int t = 0; t <= kLastTrack; ++t) {
    if (disk.tracks.count(t) == 0) disk.Format(t, t);
  }
  return disk;
}

// One full 2HD disk of kind k in every container, each timed against the
// D88 it converts to.
int CompareContainers(const std::string& dir, const Program& p, int runs) {
  const cut::Catalogue& catalogue = *p.catalogue;
  const int k = MostCuts(catalogue);
  const testimg::Disk disk = Full2hd(catalogue, k);
  struct Stored {
    const char* label;
    const char* name;
    testimg::Bytes bytes;
  };
  const Stored stored[] = {
      {"FDI", "disk.fdi", testimg::BuildFdi(disk, testimg::k2hd26)},
      {"NFD r0", "disk.nfd", testimg::BuildNfdR0(disk)},
      {"NFD r1", "disk.nfd", testimg::BuildNfdR1(disk)},
      {"FDD", "disk.fdd", testimg::BuildFdd(disk)},
      {"DCP", "disk.dcp", testimg::BuildDcp(disk, testimg::k2hd26)},
      {"raw", "disk.img", testimg::BuildRaw(disk, testimg::k2hd26)},
      // DIP holds 8 sectors of 1024 bytes only: no kind is recognised, but
      // reading and converting it is timed the same.
      {"DIP 8x1024 (no kind)", "disk.dip", testimg::BuildDip(disk)},
  };
  static d88::D88Image image;
  int failures = 0;
  const std::string out = dir + "/out";
  for (const Stored& s : stored) {
    const std::string container = dir + "/" + s.name;
    const std::string d88 = dir + "/disk.d88";
    containers::ImageFile file;
    if (!testimg::WriteFile(container, s.bytes) || !file.Open(container.c_str(), image) ||
        file.D88Data() == nullptr ||
        !testimg::WriteFile(d88, testimg::Bytes(file.D88Data(), file.D88Data() + file.D88Size()))) {
      std::fprintf(stderr, "%s: %s not converted\n", p.name, s.label);
      ++failures;
      continue;
    }
    // The bench means nothing unless the container's disk is taken for
    // the kind it was built as (DIP aside).
    static uint8_t probe[cut::kProbeLength];
    image.SelectDisk(0);
    image.SetSectorRange(1, testimg::kSectorsPerTrack);
    const bool dip = std::string(s.name) == "disk.dip";
    if ((cut::Recognise(image, catalogue, 0, probe) == &catalogue.rules.data[k]) == dip) {
      std::fprintf(stderr, "%s: the %s disk is not taken for the kind it was built as\n", p.name,
                   s.label);
      ++failures;
    }
    image.Open(nullptr);
    double a = 0;
    double c = 0;
    FastestBatches(p, d88, container, out, runs, &a, &c);
    std::printf("%-8s %-22s %7.2f %9.2f %10.2f %7.2f\n", p.name, s.label,
                static_cast<double>(s.bytes.size()) / 1e6, a, c, c / a);
    std::fflush(stdout);
    std::remove(container.c_str());
    std::remove(d88.c_str());
  }
  Seconds("rm -rf '" + out + "'");
  return failures;
}

// Milliseconds the archive layer takes to unpack the one member of `zip`
// into memory, as a program does: the fastest of `runs` batches.
double UnpackMs(const testimg::Bytes& zip, int runs) {
  archives::Reader reader({cut::kArchiveTotal, cut::kArchiveMembers});
  double fastest = -1;
  for (int r = 0; r < runs; ++r) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kBatch; ++i) {
      archives::Member member;
      if (!reader.OpenMemory(zip.data(), zip.size()) || !reader.Next(&member) ||
          reader.ReadOn(&member, cut::kLargestMember) != archives::Reader::Read::kWhole) {
        return -1;
      }
      reader.Close();
    }
    const double ms = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() *
                      1e3 / kBatch;
    if (fastest < 0 || ms < fastest) fastest = ms;
  }
  return fastest;
}

// The full 2HD disk of the kind with the most cuts in a zip, against the
// bare disk plus unpacking; the aim is a ratio within 1.3.
int CompareZip(const std::string& dir, const Program& p, int runs) {
  const testimg::Bytes d88 = Full2hd(*p.catalogue, MostCuts(*p.catalogue)).Build();
  const testimg::Bytes zip = testimg::BuildArchive(testimg::ArchiveKind::kZip, {{"disk.d88", d88}});
  const std::string bare = dir + "/disk.d88";
  const std::string zipped = dir + "/disk.zip";
  const std::string out = dir + "/out";
  const double unpack = UnpackMs(zip, runs);
  if (!testimg::WriteFile(bare, d88) || !testimg::WriteFile(zipped, zip) || unpack < 0) {
    std::fprintf(stderr, "%s: the zip of a full disk not made or not unpacked\n", p.name);
    return 1;
  }
  double a = 0;
  double z = 0;
  FastestBatches(p, bare, zipped, out, runs, &a, &z);
  std::printf("%-8s %7.2f %9.2f %9.2f %10.2f %7.2f\n", p.name, static_cast<double>(zip.size()) / 1e6, a,
              unpack, z, z / (a + unpack));
  std::fflush(stdout);
  std::remove(bare.c_str());
  std::remove(zipped.c_str());
  Seconds("rm -rf '" + out + "'");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "Usage: %s WORKDIR [RUNS [keep]]\n", argv[0]);
    return 2;
  }
  // Absolute, since the programs run in a folder of their own.
  const std::string dir = std::filesystem::absolute(argv[1]).string();
  const int runs = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 5;
  const bool keep = argc == 4 && std::string(argv[3]) == "keep";  // the images
  if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0) return 2;

  std::printf("medians of %d runs; times in ms; ratio = program / cp\n\n", runs);
  std::printf("%-8s %-22s %-7s %7s %9s %10s %7s\n", "program", "image", "diskno", "MB", "cp",
              "program", "ratio");
  int failures = 0;
  for (const Program& p : kPrograms) {
    const cut::Catalogue& catalogue = *p.catalogue;
    const int most = MostCuts(catalogue);  // forced on (b)
    const std::string full = dir + "/" + p.name + "-full.d88";
    const std::string crafted = dir + "/" + p.name + "-crafted.d88";
    const long long fullSize = WriteImage(full, catalogue, 0, FullDisk);
    const long long craftedSize = WriteImage(crafted, catalogue, most, CraftedDisk);
    const int wrong = Misrecognised(full, catalogue, 0) + Misrecognised(crafted, catalogue, most);
    if (fullSize < 0 || craftedSize < 0 || wrong != 0) {
      std::fprintf(stderr, "%s: images not built as meant (%d disks misrecognised)\n", p.name,
                   wrong);
      ++failures;
      continue;
    }
    const std::string forced = std::to_string(catalogue.rules.data[most].number);
    Compare(dir, p, full, "(a) 64 full disks", "", fullSize, runs);
    Compare(dir, p, crafted, "(b) 20,000 empty hdrs", forced, craftedSize, runs);
    Compare(dir, p, crafted, "(b) 20,000 empty hdrs", "", craftedSize, runs);
    if (!keep) {
      std::remove(full.c_str());
      std::remove(crafted.c_str());
    }
  }
  std::remove((dir + "/copy.d88").c_str());

  std::printf("\none full 2HD disk per container; ms per run, the fastest of %d batches of %d "
              "runs;\nratio = container / the same disk as D88 (the D88 it converts to)\n\n",
              runs, kBatch);
  std::printf("%-8s %-22s %7s %9s %10s %7s\n", "program", "container", "MB", "as D88", "container",
              "ratio");
  for (const Program& p : kPrograms) failures += CompareContainers(dir, p, runs);

  std::printf("\none full 2HD disk in a zip; ms per run, the fastest of %d batches of %d runs;\n"
              "unpack = the member read into memory; ratio = zip / (D88 + unpack)\n\n",
              runs, kBatch);
  std::printf("%-8s %7s %9s %9s %10s %7s\n", "program", "MB", "as D88", "unpack", "zip", "ratio");
  for (const Program& p : kPrograms) failures += CompareZip(dir, p, runs);
  return failures == 0 ? 0 : 1;
}
