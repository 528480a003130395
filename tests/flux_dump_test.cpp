// The flux dump readers: each layout written by the test support's writers
// and read back gives the flux it was written from (to the layout's own
// resolution); damaged and hostile files are read for what is sound in
// them, with one warning naming the first fault.
#include "containers/flux_dump.h"
#include "containers/mfi_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/flux_builder.h"

namespace {

using testimg::Bytes;
using testimg::FluxTracks;

// Made-up flux: 25 ns ticks, intervals of 2 to 5 us with one that takes
// several SCP overflow words, revolutions of about 200 ms.
flux::TrackFlux Synthetic(int cylinder, int head, int revolutions) {
  flux::TrackFlux t;
  t.cylinder = cylinder;
  t.head = head;
  t.tickNs = 25;
  uint32_t seed = static_cast<uint32_t>(cylinder * 7 + head * 3 + 1);
  for (int r = 0; r < revolutions; ++r) {
    uint64_t sum = 0;
    for (int i = 0; sum < 8000000; ++i) {
      seed = seed * 1103515245u + 12345u;
      const uint32_t interval = i == 1000 ? 150000 : 80 + (seed >> 16) % 120;
      t.intervals.push_back(interval);
      sum += interval;
    }
    t.revolutionEnds.push_back(static_cast<uint32_t>(t.intervals.size()));
    t.revolutionTicks.push_back(sum + 30);  // the index a little after the last transition
  }
  return t;
}

FluxTracks SyntheticDisk(int revolutions, int heads = 2) {
  FluxTracks tracks;
  for (int c = 0; c < 2; ++c) {
    for (int h = 0; h < heads; ++h) tracks.push_back(Synthetic(c, h, revolutions));
  }
  return tracks;
}

struct Read {
  bool ok = false;
  FluxTracks tracks;
  std::string warning;
};

using Reader =
    std::function<bool(const Bytes&, const containers::FluxVisitor&, containers::ProblemLog*)>;

Read ReadWith(const Reader& reader, const Bytes& file) {
  Read got;
  containers::ProblemLog problems;
  got.ok = reader(
      file, [&](const flux::TrackFlux& t) { got.tracks.push_back(t); }, &problems);
  got.warning = problems.Line();
  return got;
}

const Reader kScp = [](const Bytes& f, const containers::FluxVisitor& v,
                       containers::ProblemLog* p) {
  return containers::ReadScp(f.data(), f.size(), v, p);
};
const Reader kHfe = [](const Bytes& f, const containers::FluxVisitor& v,
                       containers::ProblemLog* p) {
  return containers::ReadHfe(f.data(), f.size(), v, p);
};
const Reader kMfi = [](const Bytes& f, const containers::FluxVisitor& v,
                       containers::ProblemLog* p) {
  return containers::ReadMfi(f.data(), f.size(), v, p);
};
// One stream file, read as the track its writer gave it.
Reader KryoFlux(int cylinder, int head) {
  return [=](const Bytes& f, const containers::FluxVisitor& v, containers::ProblemLog* p) {
    flux::TrackFlux t;
    const bool ok =
        containers::ReadKryoFluxStream(f.data(), f.size(), cylinder, head, "t.raw", &t, p);
    if (ok) v(t);
    return ok;
  };
}

double Duration(const flux::TrackFlux& t, size_t r) {
  uint64_t ticks = r < t.revolutionTicks.size() ? t.revolutionTicks[r] : 0;
  if (ticks == 0) {
    for (uint32_t i = r == 0 ? 0 : t.revolutionEnds[r - 1]; i < t.revolutionEnds[r]; ++i)
      ticks += t.intervals[i];
  }
  return static_cast<double>(ticks) * t.tickNs;
}

// Whether `got` holds the first `revolutions` of `want`: the same
// transitions at the same places of each revolution, within `slackNs` (the
// coarser clock's tick), and revolutions as long within `lengthSlackNs`
// (or, below 0, places as fractions of the revolution).
::testing::AssertionResult SameFlux(const flux::TrackFlux& want, const flux::TrackFlux& got,
                                    size_t revolutions, double slackNs, double lengthSlackNs) {
  const bool timed = lengthSlackNs >= 0;
  if (got.cylinder != want.cylinder || got.head != want.head) {
    return ::testing::AssertionFailure() << "track " << got.cylinder << "/" << got.head;
  }
  if (got.revolutionEnds.size() != revolutions || !got.indexCued) {
    return ::testing::AssertionFailure() << got.revolutionEnds.size() << " revolutions";
  }
  for (size_t r = 0; r < revolutions; ++r) {
    const size_t a = r == 0 ? 0 : want.revolutionEnds[r - 1],
                 b = r == 0 ? 0 : got.revolutionEnds[r - 1];
    if (want.revolutionEnds[r] - a != got.revolutionEnds[r] - b) {
      return ::testing::AssertionFailure()
             << "revolution " << r << ": " << got.revolutionEnds[r] - b << " transitions, expected "
             << want.revolutionEnds[r] - a;
    }
    // Angular places: a layout that keeps no speed scales every time alike.
    const double scale = timed ? 1.0 : Duration(want, r) / Duration(got, r);
    if (timed && std::fabs(Duration(got, r) - Duration(want, r)) > lengthSlackNs) {
      return ::testing::AssertionFailure()
             << "revolution " << r << " lasts " << Duration(got, r) << " ns";
    }
    double at = 0, wantAt = 0;
    for (size_t i = 0; i < want.revolutionEnds[r] - a; ++i) {
      at += got.intervals[b + i] * got.tickNs * scale;
      wantAt += want.intervals[a + i] * want.tickNs;
      if (std::fabs(at - wantAt) > slackNs) {
        return ::testing::AssertionFailure() << "revolution " << r << " transition " << i << " at "
                                             << at << " ns, expected " << wantAt;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(FluxReaders, ReadBackWhatTheWritersWrote) {
  const FluxTracks disk = SyntheticDisk(3);
  FluxTracks head1;
  for (const flux::TrackFlux& t : disk) {
    if (t.head == 1) head1.push_back(t);
  }
  const double kfTick = 1e9 / 24027428.5714285;
  // clang-format off
  const struct {
    std::string what;
    Bytes file;
    Reader reader;
    FluxTracks want;
    size_t revolutions;
    double slackNs;      // for each transition
    double lengthSlackNs;  // for each revolution; < 0: the layout keeps no time
  } cases[] = {
      {"SCP", testimg::BuildScp(disk), kScp, disk, 3, 0, 0},
      {"SCP, 50 ns ticks", testimg::BuildScp(disk, {0, false, 1, true}), kScp, disk, 3, 50, 50},
      {"SCP not cued to the index", testimg::BuildScp(disk, {0, false, 0, false}), kScp, disk, 3, 0, 0},
      {"SCP head 1 only, entries 1, 3, ...", testimg::BuildScp(disk, {2, false, 0, true}), kScp, head1, 3, 0, 0},
      {"SCP head 1 only, one entry per cylinder", testimg::BuildScp(disk, {2, true, 0, true}), kScp, head1, 3, 0,
       0},
      // The index pulse lands on the transition before it, the index
      // counter counts eighths of a tick.
      {"KryoFlux stream", testimg::BuildKryoFluxStream(disk[3]), KryoFlux(1, 1), {disk[3]}, 3, kfTick,
       30 * 25 + 8 * kfTick},
      // A head's cells fill whole bytes, as long as the other head's.
      {"HFE v1, 500 kbit/s", testimg::BuildHfe(disk), kHfe, disk, 1, 1000, 16 * 1000},
      {"HFE v3, 250 kbit/s", testimg::BuildHfe(disk, {3, 250, false}), kHfe, disk, 1, 2000, 16 * 2000},
      {"MFI", testimg::BuildMfi(disk), kMfi, disk, 1, 2, -1},
      {"MFI, older cells", testimg::BuildMfi(disk, true), kMfi, disk, 1, 2, -1},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Read got = ReadWith(c.reader, c.file);
    EXPECT_TRUE(got.ok);
    EXPECT_EQ(got.warning, "");
    ASSERT_EQ(got.tracks.size(), c.want.size());
    for (size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_TRUE(SameFlux(c.want[i], got.tracks[i], c.revolutions, c.slackNs, c.lengthSlackNs))
          << "track " << i;
    }
  }
}

// The writers lay bytes out as the layouts say, checked apart from the
// readers that share their constants.
TEST(FluxReaders, WritersLayBytesOutAsTheLayoutsSay) {
  flux::TrackFlux t;
  t.tickNs = 1000;  // cells of 1 us
  // MFM 0x4E after a 0 bit: cells 1001 0010 0101 0100, a transition at
  // cells 0 (closing the gap before it), 3, 6, 9, 11 and 13.
  t.intervals = {1, 3, 3, 3, 2, 2};
  t.revolutionEnds = {6};
  t.revolutionTicks = {16};
  const Bytes hfe = testimg::BuildHfe({t}, {1, 500, true});
  EXPECT_EQ(Bytes(hfe.begin() + 1024, hfe.begin() + 1026), (Bytes{0x49, 0x2A}));  // LSB first
  EXPECT_EQ(Bytes(hfe.begin() + 0x16, hfe.begin() + 0x18), (Bytes{0x00, 0x02}));  // track 0 FM

  t.tickNs = 25;
  t.intervals = {65536 + 100, 80};
  t.revolutionTicks = {65536 + 180};
  t.revolutionEnds = {2};
  const Bytes scp = testimg::BuildScp({t});
  const size_t trk = scp[0x10] | scp[0x11] << 8;
  EXPECT_EQ(trk, 0x2B0u);
  EXPECT_EQ(Bytes(scp.begin() + trk, scp.begin() + trk + 16),
            (Bytes{'T', 'R', 'K', 0, 0xB4, 0, 1, 0, 3, 0, 0, 0, 16, 0, 0, 0}));
  EXPECT_EQ(Bytes(scp.begin() + trk + 16, scp.end()), (Bytes{0, 0, 0, 100, 0, 80}));  // big-endian
}

// Reads `file` with each byte from `at` on replaced.
Bytes Patched(Bytes file, size_t at, const Bytes& bytes) {
  std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(at));
  return file;
}
Bytes Cut(Bytes file, size_t size) {
  file.resize(size);
  return file;
}
Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

TEST(FluxReaders, DamagedFilesGiveWhatIsSoundWithOneWarning) {
  const FluxTracks disk = SyntheticDisk(2);
  const Bytes scp = testimg::BuildScp(disk);
  const size_t track1 = scp[0x14] | scp[0x15] << 8 | scp[0x16] << 16;
  const Bytes stream = testimg::BuildKryoFluxStream(disk[0]);
  const Bytes hfe = testimg::BuildHfe(disk);
  const Bytes mfi = testimg::BuildMfi(disk);
  const size_t mfiTrack1 = mfi[0x30] | mfi[0x31] << 8 | mfi[0x32] << 16;
  Bytes noIndex = stream;  // every Index block made one of an unknown type
  for (size_t i = 0; i + 4 <= noIndex.size(); ++i) {
    if (Bytes(noIndex.begin() + static_cast<long>(i), noIndex.begin() + static_cast<long>(i) + 4) ==
        Bytes{0x0D, 0x02, 0x0C, 0x00}) {
      noIndex[i + 1] = 0x07;
    }
  }
  Bytes sharedScp = scp;  // every entry at track 0's header
  for (int i = 1; i < 168; ++i)
    sharedScp = Patched(sharedScp, 0x10 + 4 * static_cast<size_t>(i),
                        Bytes(scp.begin() + 0x10, scp.begin() + 0x14));
  // clang-format off
  const struct {
    std::string what;
    Reader reader;
    Bytes file;
    bool ok;
    size_t tracks;
    std::string warning;
  } cases[] = {
      {"SCP cut inside track 1", kScp, Cut(scp, track1 + 100), true, 1,
       "SCP track 1 revolution 1 runs past the end of the file; not read (and 3 more problems)"},
      {"SCP entry into the table", kScp, Patched(scp, 0x14, Le32(0x20)), true, 3,
       "SCP track 1 does not point at a track header; read as absent"},
      {"SCP every entry at one header", kScp, sharedScp, true, 1,
       "SCP track 1 header names track 0; read as track 1 (and 500 more problems)"},
      {"SCP no revolutions", kScp, Patched(scp, 5, {0}), false, 0, "SCP header records no revolutions"},
      {"SCP 8-bit samples", kScp, Patched(scp, 9, {8}), false, 0, "SCP samples of 8 bits cannot be read"},
      {"SCP revolution offset into its header", kScp, Patched(scp, track1 + 12, Le32(4)), true, 4,
       "SCP track 1 revolution 1 points into its header; not read"},
      {"KryoFlux cut inside its end", KryoFlux(0, 0), Cut(stream, stream.size() - 14), true, 1,
       "KryoFlux t.raw ends inside a block at byte " + std::to_string(stream.size() - 16) + "; read up to it"},
      {"KryoFlux an index block of a wrong size", KryoFlux(0, 0), Patched(stream, 0, {0x0D, 0x02}), true, 1,
       "KryoFlux t.raw has an index block of a wrong size; skipped"},
      {"KryoFlux no index pulse", KryoFlux(0, 0), noIndex, true, 1,
       "KryoFlux t.raw has an out-of-band block of unknown type 7; skipped (and 3 more problems)"},
      {"HFE cut inside cylinder 1", kHfe, Cut(hfe, hfe.size() - 600), true, 2,
       "HFE cylinder 1 runs past the end of the file; read as absent"},
      {"HFE cylinder 1 on cylinder 0's blocks", kHfe, Patched(hfe, 0x204, {hfe[0x200], hfe[0x201]}), true, 2,
       "HFE cylinder 1 shares its blocks with another; read as absent"},
      {"HFE no heads", kHfe, Patched(hfe, 0x0A, {0}), false, 0, "HFE header gives 2 cylinders, 0 heads and 500 kbit/s; nothing read"},
      {"MFI cut inside track 1", kMfi, Cut(mfi, mfiTrack1 + 10), true, 1,
       "MFI cylinder 0 head 1 runs past the end of the file; read as absent (and 2 more problems)"},
      {"MFI track 1 not zlib", kMfi, Patched(mfi, mfiTrack1, {0xFF, 0xFF}), true, 3,
       "MFI cylinder 0 head 1 does not inflate to its size; read as absent"},
      {"MFI a track of odd size", kMfi, Patched(mfi, 0x38, Le32(7)), true, 3,
       "MFI cylinder 0 head 1 inflates to 7 bytes, not a track's words; read as absent"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Read got = ReadWith(c.reader, c.file);
    EXPECT_EQ(got.ok, c.ok);
    EXPECT_EQ(got.tracks.size(), c.tracks);
    EXPECT_EQ(got.warning, c.warning);
  }
}

// An MFI of one track of `words`, stored in a zlib stream uncompressed.
Bytes OneTrackMfi(const std::vector<uint32_t>& words) {
  Bytes track;
  for (uint32_t w : words) {
    const Bytes b = Le32(w);
    track.insert(track.end(), b.begin(), b.end());
  }
  const size_t length = track.size();
  Bytes file(containers::mfi::kMagicNew, containers::mfi::kMagicNew + containers::mfi::kMagicLength);
  for (uint32_t v : {1u, 1u, 0u, 0u, 0x30u, static_cast<uint32_t>(length + 7),
                     static_cast<uint32_t>(length), 0u}) {
    const Bytes b = Le32(v);
    file.insert(file.end(), b.begin(), b.end());
  }
  // A zlib header, then one final stored block: its length and that inverted.
  const Bytes block = {0x78, 0x01, 0x01, uint8_t(length), uint8_t(length >> 8),
                       uint8_t(~length), uint8_t(~length >> 8)};
  file.insert(file.end(), block.begin(), block.end());
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

// Positions add up across words that are not transitions (the start and
// end of an unmagnetised zone), and nothing from the word that reaches the
// turn on is read.
TEST(FluxReaders, MfiPositionsUpToOneTurn) {
  using containers::mfi::kTurn;
  constexpr uint32_t kZone = 1u << containers::mfi::kTypeShift;
  const struct {
    std::string what;
    std::vector<uint32_t> words, intervals;
    std::string warning;
  } cases[] = {
      {"within the turn", {1000, kZone | 500, 2000, kTurn - 3600, kZone | 99},
       {1000, 2500, kTurn - 3600}, ""},
      {"reaching the turn", {1000, kZone | 500, 2000, kTurn - 3500, 10}, {1000, 2500},
       "MFI cylinder 0 head 0 runs past one turn; read up to it"},
      {"transitions alone, reaching the turn", {1000, 2000, kTurn - 3000, 10}, {1000, 2000},
       "MFI cylinder 0 head 0 runs past one turn; read up to it"},
      {"past it in a zone", {1000, kZone | 500, 2000, kZone | (kTurn - 3000), 10}, {1000, 2500},
       "MFI cylinder 0 head 0 runs past one turn; read up to it"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Read got = ReadWith(kMfi, OneTrackMfi(c.words));
    ASSERT_TRUE(got.ok);
    ASSERT_EQ(got.tracks.size(), 1u);
    EXPECT_EQ(got.tracks[0].intervals, c.intervals);
    EXPECT_EQ(got.warning, c.warning);
  }
}

}  // namespace
