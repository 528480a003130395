// Times decoding a full 2HD disk (77 x 2 x 8 x 1024, data that changes from
// byte to byte) of three revolutions from flux, as the encoder writes it:
// per flux transition and per disk, the fastest of RUNS runs, then the
// decoder's stages apart, to show what costs most.
//
// Each row is one way the flux reaches the decoder: the encoder's tracks
// as they are, and a dump's file layout (its writer makes the file
// untimed; its reader, the decoder and the D88 writer run timed, as the
// programs read it; HFE and MFI keep one revolution, and their time per
// transition counts the transitions they keep).
//
// Last, what a worn disk still gives: the transitions moved by normal
// jitter of J times the mean interval, J swept up to 10%, a 2HD disk of
// 26x256 as an SCP dump of three revolutions and one of 8x1024 as an MFI
// dump of one, both read in a 300-rpm drive: sectors back right, sectors
// called sound that are wrong (there must be none), time per transition.
// Beside MAME's floptool (Debian: mame-tools), where it is installed: a
// 1.2 MB 2HD disk of random data written as MFI by floptool itself, read
// back to sectors by floptool and by d88conv, each as a process, the
// fastest of RUNS wall times; the aim is a third of floptool's time.
// Usage: fluxbench [RUNS [sweep | floptool]]: "sweep" or "floptool" runs
// that part alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "flux/bitstream.h"
#include "flux/fields.h"
#include "flux/flux.h"
#include "flux/pll.h"
#include "flux/rate.h"
#include "flux/sectors.h"
#include "containers/flux_dump.h"
#include "support/d88_builder.h"
#include "support/flux_builder.h"
#include "support/flux_encoder.h"
#include "support/process.h"

namespace {

using Tracks = std::vector<flux::TrackFlux>;

struct Row {
  const char* name;
  // Untimed: makes what `decode` reads (a file's bytes, say) from the tracks.
  std::function<void(const Tracks&)> prepare;
  // Timed: reads it and decodes the disk.
  std::function<flux::Disk()> decode;
  // The share of the flux it holds: HFE and MFI keep one revolution of three.
  double kept = 1.0;
};

// A dump's bytes as the programs read them: each track read, decoded and
// the disk written as D88.
flux::Disk ThroughContainers(containers::Kind kind, const containers::FluxReader& read) {
  containers::D88Writer out(containers::kLargestConversion);
  containers::Conversion info;
  flux::Disk disk;
  containers::WriteFluxDisk(kind, read, out, &info, &disk);
  return disk;
}

testimg::Disk FullDisk(int count = 8, int n = 3) {
  testimg::Disk disk;
  disk.mediaType = 0x20;
  uint32_t seed = 1;
  for (int t = 0; t < 154; ++t) {
    for (int r = 1; r <= count; ++r) {
      testimg::Sector s;
      s.c = static_cast<uint8_t>(t / 2), s.h = static_cast<uint8_t>(t % 2),
      s.r = static_cast<uint8_t>(r), s.n = static_cast<uint8_t>(n);
      s.data.resize(size_t{128} << n);
      for (uint8_t& b : s.data)
        seed = seed * 1103515245u + 12345u, b = static_cast<uint8_t>(seed >> 16);
      disk.tracks[t].push_back(s);
    }
  }
  return disk;
}

flux::Disk DecodeAll(const Tracks& tracks) {
  std::vector<flux::Track> decoded;
  decoded.reserve(tracks.size());
  for (const flux::TrackFlux& t : tracks) decoded.push_back(flux::DecodeTrack(t));
  return flux::AssembleDisk(std::move(decoded));
}

// Processor time: the decoder runs on one thread, and the time other work
// on a shared machine takes from it is not the decoder's.
double Seconds(const std::function<void()>& work) {
  const std::clock_t start = std::clock();
  work();
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// The fastest of `runs`: a run is easily slowed by whatever else the
// machine does, never sped up.
double Fastest(int runs, const std::function<void()>& work) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) best = std::min(best, Seconds(work));
  return best;
}

// Every sector back, sound, in the disk's order.
bool Matches(const flux::Disk& decoded, const testimg::Disk& disk) {
  if (decoded.cylinders != 77 || decoded.heads != 2 || decoded.mediaType != 0x20) return false;
  for (const auto& track : disk.tracks) {
    const std::vector<flux::Sector>& got = decoded.tracks[static_cast<size_t>(track.first)].sectors;
    if (got.size() != track.second.size()) return false;
    for (size_t i = 0; i < got.size(); ++i) {
      if (got[i].status != 0 || got[i].r != track.second[i].r ||
          got[i].data != track.second[i].data)
        return false;
    }
  }
  return true;
}

// Sectors recovered from `disk` under normal jitter of each J, through the
// file layout `kind` (SCP keeps every revolution, MFI the first).
int Sweep(const char* name, const testimg::Disk& disk, int revolutions, containers::Kind kind,
          const std::vector<double>& jitters) {
  std::printf("\n%s\n%6s %8s %8s %8s %14s\n", name, "J %", "right", "of", "wrong",
              "ns/transition");
  int wrong = 0;
  for (double j : jitters) {
    testimg::FluxOptions options;
    options.revolutions = revolutions;
    options.driveRpm = 300;
    options.gaussianJitter = j;
    const Tracks tracks = testimg::EncodeFlux(disk, options);
    size_t transitions = 0;
    for (const flux::TrackFlux& t : tracks) {
      transitions += revolutions == 1 || kind == containers::Kind::kScp
                         ? t.intervals.size()
                         : t.revolutionEnds.empty() ? 0 : t.revolutionEnds.front();
    }
    const testimg::Bytes file =
        kind == containers::Kind::kScp ? testimg::BuildScp(tracks) : testimg::BuildMfi(tracks);
    flux::Disk decoded;
    const double s = Seconds([&] {
      decoded = ThroughContainers(kind, [&](const containers::FluxVisitor& v,
                                            containers::ProblemLog* p) {
        return kind == containers::Kind::kScp ? containers::ReadScp(file.data(), file.size(), v, p)
                                              : containers::ReadMfi(file.data(), file.size(), v, p);
      });
    });
    const testimg::Recovered got = testimg::CountRecovered(disk, decoded);
    wrong += static_cast<int>(got.wrong);
    std::printf("%6.1f %8zu %8zu %8zu %14.2f\n", j * 100, got.right, got.total, got.wrong,
                s * 1e9 / static_cast<double>(transitions));
    std::fflush(stdout);
  }
  return wrong;
}

int Sweeps() {
  const std::vector<double> jitters = {0.03, 0.04, 0.045, 0.05, 0.055, 0.06,
                                       0.065, 0.07, 0.08, 0.09, 0.10};
  int wrong = Sweep("SCP, 3 revolutions, 77x2x26x256, normal jitter J x mean interval",
                    FullDisk(26, 1), 3, containers::Kind::kScp, jitters);
  wrong += Sweep("MFI, 1 revolution, 77x2x8x1024, normal jitter J x mean interval", FullDisk(8, 3),
                 1, containers::Kind::kMfi, jitters);
  if (wrong > 0) std::fprintf(stderr, "%d wrong sectors called sound\n", wrong);
  return wrong;
}

// The fastest of `runs` wall times of `program` run in `dir`; negative
// where a run fails.
double FastestRun(int runs, const std::string& program, const std::vector<std::string>& args,
                  const std::string& dir) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const testimg::ProcessResult run = testimg::RunProcess(program, args, dir);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (run.status != 0) return -1;
    best = std::min(best, took.count());
  }
  return best;
}

// Returns false where a reading is wrong; a missing floptool is no failure.
bool BesideFloptool(int runs) {
  std::printf("\nMFI written by floptool (1.2 MB 2HD, 77x2x8x1024, random data); fastest of %d runs\n",
              runs);
  const testimg::ScratchDir dir;
  testimg::Bytes raw(size_t{77} * 2 * 8 * 1024);
  uint32_t seed = 7;
  for (uint8_t& b : raw) seed = seed * 1103515245u + 12345u, b = static_cast<uint8_t>(seed >> 16);
  if (!testimg::WriteFile(dir / "disk.img", raw)) return false;
  const std::vector<std::string> write = {"flopconvert", "pc98", "mfi", "disk.img", "disk.mfi"};
  if (testimg::RunProcess("floptool", write, dir.path()).status != 0) {
    std::printf("floptool not found or failed (Debian: apt-get install mame-tools); skipped\n");
    return true;
  }
  const double theirs =
      FastestRun(runs, "floptool", {"flopconvert", "mfi", "pc98", "disk.mfi", "back.img"},
                 dir.path());
  const double ours = FastestRun(runs, D88CONV_PATH, {"-f", "-o", "disk.d88", "disk.mfi"},
                                 dir.path());
  // Both must give the disk's bytes: floptool's image as it is, ours as the
  // decoded disk's sectors in order.
  const testimg::Bytes mfi = testimg::ReadFile(dir / "disk.mfi");
  const flux::Disk decoded =
      ThroughContainers(containers::Kind::kMfi, [&](const containers::FluxVisitor& v,
                                                   containers::ProblemLog* p) {
        return containers::ReadMfi(mfi.data(), mfi.size(), v, p);
      });
  testimg::Bytes sectors;
  for (const flux::Track& t : decoded.tracks) {
    for (const flux::Sector& s : t.sectors) sectors.insert(sectors.end(), s.data.begin(), s.data.end());
  }
  if (theirs < 0 || ours < 0 || testimg::ReadFile(dir / "back.img") != raw || sectors != raw) {
    std::fprintf(stderr, "floptool comparison: a reading failed or is not the disk\n");
    return false;
  }
  std::printf("%-34s %10s\n", "read back to sectors", "ms");
  std::printf("%-34s %10.1f\n", "floptool flopconvert mfi pc98", theirs * 1e3);
  std::printf("%-34s %10.1f\n", "d88conv", ours * 1e3);
  std::printf("d88conv takes %.2f of floptool's time (aim: at most 0.33)\n", ours / theirs);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  if (argc > 2 && std::string(argv[2]) == "sweep") return Sweeps() == 0 ? 0 : 1;
  if (argc > 2 && std::string(argv[2]) == "floptool") return BesideFloptool(runs) ? 0 : 1;
  const testimg::Disk disk = FullDisk();
  testimg::FluxOptions options;  // three revolutions
  options.jitter = 0.1;
  const Tracks tracks = testimg::EncodeFlux(disk, options);
  size_t transitions = 0;
  for (const flux::TrackFlux& t : tracks) transitions += t.intervals.size();

  using containers::Kind;
  using containers::FluxVisitor;
  using containers::ProblemLog;
  testimg::Bytes scp, hfe, mfi;
  std::vector<testimg::NamedBytes> set;
  const Row rows[] = {
      {"decoder alone", [](const Tracks&) {}, [&tracks] { return DecodeAll(tracks); }},
      {"SCP file to D88", [&](const Tracks& t) { scp = testimg::BuildScp(t); },
       [&] {
         return ThroughContainers(Kind::kScp, [&](const FluxVisitor& v, ProblemLog* p) {
           return containers::ReadScp(scp.data(), scp.size(), v, p);
         });
       }},
      {"KryoFlux set to D88", [&](const Tracks& t) { set = testimg::BuildKryoFluxSet(t); },
       [&] {
         return ThroughContainers(Kind::kKryoFlux, [&](const FluxVisitor& v, ProblemLog* p) {
           flux::TrackFlux track;
           for (const testimg::NamedBytes& f : set) {
             size_t prefix;
             int c, h;
             containers::StreamFileTrack(f.name, &prefix, &c, &h);
             const testimg::Bytes& b = f.bytes;
             if (containers::ReadKryoFluxStream(b.data(), b.size(), c, h, f.name, &track, p)) {
               v(track);
             }
           }
           return true;
         });
       }},
      {"HFE file to D88", [&](const Tracks& t) { hfe = testimg::BuildHfe(t); },
       [&] {
         return ThroughContainers(Kind::kHfe, [&](const FluxVisitor& v, ProblemLog* p) {
           return containers::ReadHfe(hfe.data(), hfe.size(), v, p);
         });
       },
       1.0 / 3},
      {"MFI file to D88", [&](const Tracks& t) { mfi = testimg::BuildMfi(t); },
       [&] {
         return ThroughContainers(Kind::kMfi, [&](const FluxVisitor& v, ProblemLog* p) {
           return containers::ReadMfi(mfi.data(), mfi.size(), v, p);
         });
       },
       1.0 / 3},
  };
  std::printf(
      "full 2HD disk, 77x2x8x1024, 3 revolutions, %.1f M flux transitions; fastest of %d runs\n\n",
      transitions / 1e6, runs);
  std::printf("%-24s %10s %14s\n", "flux from", "ms/disk", "ns/transition");
  int failures = 0;
  for (const Row& row : rows) {
    row.prepare(tracks);
    if (!Matches(row.decode(), disk)) {
      std::fprintf(stderr, "%s: the disk does not decode to its sectors\n", row.name);
      ++failures;
      continue;
    }
    const double s = Fastest(runs, [&row] { row.decode(); });
    std::printf("%-24s %10.1f %14.2f\n", row.name, s * 1e3,
                s * 1e9 / (row.kept * static_cast<double>(transitions)));
    std::fflush(stdout);
  }

  // The stages apart, on the default PLL setting (what a sound disk needs),
  // each over the whole disk: each reads the flux from memory afresh, where
  // the decoder reads a track's while it is still in the cache.
  std::vector<flux::Timing> timings(tracks.size());
  std::vector<std::vector<flux::Span>> spans(tracks.size());
  std::vector<flux::Bitstream> bits(tracks.size());
  std::vector<std::vector<flux::Sighting>> sightings(tracks.size());
  std::vector<std::vector<uint8_t>> pools(tracks.size());
  const double rate = Fastest(runs, [&] {
    for (size_t i = 0; i < tracks.size(); ++i) {
      spans[i] = flux::Revolutions(tracks[i]);
      timings[i] = flux::MeasureTiming(tracks[i], spans[i]);
    }
  });
  const double pll = Fastest(runs, [&] {
    for (size_t i = 0; i < tracks.size(); ++i)
      flux::RunPll(tracks[i], spans[i], timings[i], flux::kPllSettings[0], bits[i]);
  });
  const double fields = Fastest(runs, [&] {
    for (size_t i = 0; i < tracks.size(); ++i) {
      sightings[i].clear(), pools[i].clear();
      flux::ReadFields(bits[i], sightings[i], pools[i]);
    }
  });
  const double merge = Fastest(runs, [&] {
    for (size_t i = 0; i < tracks.size(); ++i)
      flux::MergeSightings(sightings[i], pools[i], timings[i].rate->cellsPerRevolution);
  });
  std::printf("\nstages         ms/disk  ns/transition\n");
  const struct {
    const char* name;
    double seconds;
  } stages[] = {{"rate", rate}, {"PLL", pll}, {"fields", fields}, {"sectors", merge}};
  for (const auto& stage : stages) {
    std::printf("%-12s %9.1f %14.2f\n", stage.name, stage.seconds * 1e3,
                stage.seconds * 1e9 / static_cast<double>(transitions));
  }
  failures += Sweeps();
  if (!BesideFloptool(runs)) ++failures;
  return failures == 0 ? 0 : 1;
}
