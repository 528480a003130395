// The flux decoder: its stages alone (CRC, marks, the PLL on jittered and
// scaled flux), then whole disks written as flux by the encoder, each hard
// case a row, decoded back to exactly the disk's sectors and geometry.
#include "flux/flux.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "flux/crc.h"
#include "flux/marks.h"
#include "flux/pll.h"
#include "flux/rate.h"
#include "flux/repair.h"
#include "flux/vote.h"
#include "support/flux_encoder.h"

namespace {

using testimg::Bytes;
using testimg::Disk;
using testimg::FluxOptions;
using testimg::MakeSector;
using testimg::Sector;

TEST(FluxStages, CrcCheckValues) {
  struct Case {
    Bytes bytes;
    uint16_t crc;
  };
  const Case cases[] = {
      {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x29B1},
      {{0xA1, 0xA1, 0xA1}, 0xCDB4},
      {{0xA1, 0xA1, 0xA1, 0xFE}, 0xB230},
      {{0xA1, 0xA1, 0xA1, 0xFB}, 0xE295},
      {{0xFE}, 0xEF21},                                       // an FM ID mark alone
      {{0xA1, 0xA1, 0xA1, 0xFE, 0, 0, 1, 3}, 0xDA4E},         // MFM ID C0 H0 R1 N3
      {{0xA1, 0xA1, 0xA1, 0xFE, 0, 0, 1, 3, 0xDA, 0x4E}, 0},  // a field and its CRC
  };
  for (const Case& c : cases) {
    EXPECT_EQ(flux::Crc(flux::kCrcPreset, c.bytes.data(), c.bytes.size()), c.crc)
        << c.bytes.size() << " bytes";
  }
}

TEST(FluxStages, BytesAndMarksFromCells) {
  struct Case {
    flux::Encoding encoding;
    uint64_t cells;  // at the top
    uint8_t byte, clock;
  };
  const flux::Encoding mfm = flux::Encoding::kMfm, fm = flux::Encoding::kFm;
  // clang-format off
  const Case cases[] = {
      {mfm, 0x4489, 0xA1, 0},         // the sync, its clock missing
      {mfm, 0x5554, 0xFE, 0},         // marks after it
      {mfm, 0x554A, 0xF8, 0},
      {mfm, 0x9254, 0x4E, 0},         // gap after a zero bit
      {mfm, 0xAAAA, 0x00, 0},
      {fm, 0xAA222AA8, 0xFE, 0xC7},   // marks, doubled
      {fm, 0xAA2228AA, 0xFB, 0xC7},
      {fm, 0xAA2A2A88, 0xFC, 0xD7},
      {fm, 0x88888888, 0x00, 0xFF},   // sync
      {fm, 0x8A0220A8, 0x5A, 0xC3},
  };
  // clang-format on
  for (const Case& c : cases) {
    if (c.encoding == mfm) {
      EXPECT_EQ(flux::MfmByte(c.cells << 48), c.byte) << std::hex << c.cells;
    } else {
      EXPECT_EQ(flux::FmByte(c.cells << 32), c.byte) << std::hex << c.cells;
      EXPECT_EQ(flux::FmClock(c.cells << 32), c.clock) << std::hex << c.cells;
    }
  }
}

// Data that changes from byte to byte, as real data does.
Bytes Noisy(int length, uint32_t seed) {
  Bytes bytes(static_cast<size_t>(length));
  for (uint8_t& b : bytes) seed = seed * 1103515245u + 12345u, b = static_cast<uint8_t>(seed >> 16);
  return bytes;
}

// `cylinders` x 2 tracks of `count` sectors of 128 << n bytes.
Disk Formatted(int cylinders, int count, int n, uint8_t media = 0x20) {
  Disk disk;
  disk.mediaType = media;
  for (int t = 0; t < cylinders * 2; ++t) {
    for (int r = 1; r <= count; ++r)
      disk.tracks[t].push_back(MakeSector(t / 2, t % 2, r, n, Noisy(128 << n, t * 100 + r)));
  }
  return disk;
}

TEST(FluxStages, PllGivesBackTheCells) {
  struct Case {
    std::string what;
    int cellsPerRevolution;
    FluxOptions options;
    // No index: the cell length is the nominal one, not measured by the
    // revolution, and the loop must follow the speed error.
    bool unindexed = false;
  };
  FluxOptions jitter, slow, drive300, fast2dd, drive360, slowOnce, fastOnce;
  jitter.jitter = 0.18;
  slow.speedError = 0.03, slow.jitter = 0.1;
  drive300.driveRpm = 300, drive300.jitter = 0.1;
  fast2dd.speedError = -0.03, fast2dd.jitter = 0.1;
  drive360.driveRpm = 360;
  slowOnce = slow, slowOnce.revolutions = 1, slowOnce.speedError = 0.07;
  fastOnce = fast2dd, fastOnce.revolutions = 1, fastOnce.speedError = -0.07;
  const Case cases[] = {
      {"2HD ideal", 166667, {}},
      {"2HD jitter 0.18 cells", 166667, jitter},
      {"2HD 3% slow", 166667, slow},
      {"2HD in a 300-rpm drive", 166667, drive300},
      {"2DD 3% fast", 100000, fast2dd},
      {"2DD in a 360-rpm drive", 100000, drive360},
      {"1.44 MB", 200000, {}},
      {"no index, 7% slow", 166667, slowOnce, true},
      {"no index, 2DD 7% fast", 100000, fastOnce, true},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> cells =
        testimg::TrackCells(Formatted(1, 8, 2).tracks[0], c.cellsPerRevolution);
    flux::TrackFlux tf = testimg::CellsToFlux(cells, c.cellsPerRevolution, c.options, 0);
    tf.indexCued = !c.unindexed;
    const std::vector<flux::Span> revolutions = flux::Revolutions(tf);
    const flux::Timing timing = flux::MeasureTiming(tf, revolutions);
    ASSERT_NE(timing.rate, nullptr) << c.what;
    EXPECT_EQ(timing.rate->cellsPerRevolution, c.cellsPerRevolution) << c.what;
    flux::Bitstream bits;
    flux::RunPll(tf, revolutions, timing, flux::kPllSettings[0], bits);
    const size_t total = cells.size() * static_cast<size_t>(c.options.revolutions);
    size_t wrong = 0;
    for (uint32_t i = 0; i < bits.cells && i < total; ++i)
      wrong += bits.Cell(i) != (cells[i % cells.size()] != 0);
    EXPECT_EQ(wrong, 0u) << c.what;
    EXPECT_NEAR(bits.cells, total, 4) << c.what;
  }
}

TEST(FluxStages, VoteTakesEachBitMostCopiesGive) {
  const Bytes right = {0x12, 0x34, 0x56};
  Bytes a = right, b = right, c = right;
  a[0] ^= 0x80, b[1] ^= 0x01, c[2] ^= 0x10;  // each copy wrong in its own bit
  std::vector<uint8_t> out;
  std::vector<flux::DoubtfulBit> doubtful;
  flux::VoteCopies({a.data(), b.data(), c.data()}, right.size(), out, doubtful);
  EXPECT_EQ(out, right);
  std::string bits;
  for (const flux::DoubtfulBit& d : doubtful)
    bits += std::to_string(d.bit) + ":" + std::to_string(d.weight) + " ";
  EXPECT_EQ(bits, "0:1 15:1 19:1 ");
  // Two copies that disagree: the first one's bit, and the bit in doubt.
  flux::VoteCopies({a.data(), right.data()}, right.size(), out, doubtful);
  EXPECT_EQ(out, a);
  ASSERT_EQ(doubtful.size(), 1u);
  EXPECT_EQ(doubtful[0].weight, 1u);
}

TEST(FluxStages, RepairFlipsOnlyTheFewDoubtfulBitsWithinItsTries) {
  // A data field after A1 A1 A1 FB and its CRC.
  const uint16_t preset = flux::CrcByte(flux::kMfmCrcPreset, flux::kDataMark);
  Bytes good = Noisy(256, 7);
  const uint16_t crc = flux::Crc(preset, good.data(), good.size());
  good.push_back(static_cast<uint8_t>(crc >> 8)), good.push_back(static_cast<uint8_t>(crc));
  auto bad = [&good](std::vector<uint32_t> bits) {
    Bytes field = good;
    for (uint32_t bit : bits) field[bit / 8] ^= static_cast<uint8_t>(0x80u >> (bit % 8));
    return field;
  };
  auto doubt = [](std::vector<uint32_t> bits) {
    std::vector<flux::DoubtfulBit> d;
    for (uint32_t bit : bits) d.push_back({bit, 1});
    return d;
  };
  struct Case {
    std::string what;
    std::vector<uint32_t> wrong, doubtful;
    int tries;
    int flipped;  // -1: not repaired, the field left as it was
    int triesLeft;
  };
  const Case cases[] = {
      {"one wrong bit among the doubtful", {100}, {7, 100, 2000}, 6, 1, 4},
      {"two wrong bits", {9, 2040}, {9, 2040}, 6, 2, 3},
      {"a wrong CRC bit", {2060}, {2060}, 6, 1, 5},
      {"the wrong bit not in doubt", {100}, {101}, 6, -1, 5},
      {"more bits in doubt than are tried: noise", {100}, {1, 2, 3, 4, 100}, 6, -1, 6},
      // Four singles, then the pairs (1,2) and (1,3): (3,4) is never tried.
      {"the pair past the last try", {3, 4}, {1, 2, 3, 4}, 6, -1, 0},
      {"the tries spent before", {100}, {7, 100}, 1, -1, 0},
      {"a doubtful bit past the field is no candidate", {100}, {99999, 100}, 6, 1, 5},
  };
  for (const Case& c : cases) {
    Bytes field = bad(c.wrong);
    const Bytes before = field;
    int tries = c.tries;
    EXPECT_EQ(flux::RepairField(field, preset, doubt(c.doubtful), tries), c.flipped) << c.what;
    EXPECT_EQ(field, c.flipped < 0 ? before : good) << c.what;
    EXPECT_EQ(tries, c.triesLeft) << c.what;
  }
  // Transitions near a cell's edge, tried by their odds: two within 30
  // thousandths of a cell of it before one 200 away.
  const std::vector<flux::DoubtfulBit> moved = {{10, 480}, {20, 470}, {30, 300}};
  const Case near[] = {
      {"a pair near the edge after its two singles", {10, 20}, {}, 6, 2, 3},
      {"a single far from the edge after that pair", {30}, {}, 6, 1, 2},
      {"the least likely pair past the last try", {20, 30}, {}, 5, -1, 0},
  };
  for (const Case& c : near) {
    Bytes field = bad(c.wrong);
    const Bytes before = field;
    int tries = c.tries;
    EXPECT_EQ(flux::RepairMoved(field, preset, moved, tries), c.flipped) << c.what;
    EXPECT_EQ(field, c.flipped < 0 ? before : good) << c.what;
    EXPECT_EQ(tries, c.triesLeft) << c.what;
  }
  // A field tried as it is spends a try; with none left nothing is tried.
  Bytes field = good;
  int tries = 1;
  EXPECT_TRUE(flux::TryFlips(field, preset, {}, tries));
  EXPECT_FALSE(flux::TryFlips(field, preset, {}, tries));
  EXPECT_EQ(tries, 0);
}

// One line per sector, its data by length and a hash, as D88 keeps it.
std::string Line(int c, int h, int r, int n, int density, int deleted, int status,
                 const Bytes& data) {
  uint32_t hash = 2166136261u;
  for (uint8_t b : data) hash = (hash ^ b) * 16777619u;
  char line[96];
  std::snprintf(line, sizeof line,
                "C%d H%d R%d N%d density %02X deleted %02X status %02X %zu bytes %08X\n", c, h, r,
                n, density, deleted, status, data.size(), hash);
  return line;
}
std::string Lines(const std::vector<Sector>& sectors) {
  std::string text;
  for (const Sector& s : sectors)
    text += Line(s.c, s.h, s.r, s.n, s.density, s.deleted, s.status, s.data);
  return text;
}
std::string Lines(const std::vector<flux::Sector>& sectors) {
  std::string text;
  for (const flux::Sector& s : sectors) {
    text += Line(s.c, s.h, s.r, s.n, s.encoding == flux::Encoding::kFm ? 0x40 : 0,
                 s.deleted ? 0x10 : 0, s.status, s.data);
  }
  return text;
}

// The bytes of an MFM data field whose cells look exactly like an FM sync
// byte, ID field, data field (FM cells never hold two zeros in a row, so
// each is an MFM data bit with a zero clock).
Bytes FakeFmSector() {
  Bytes fm = {flux::kSyncByte, flux::kSyncByte, flux::kIdMark, 9, 9, 9, 0};
  const uint16_t idCrc = flux::Crc(flux::kCrcPreset, fm.data() + 2, 5);
  fm.insert(fm.end(), {static_cast<uint8_t>(idCrc >> 8), static_cast<uint8_t>(idCrc), 0xFF, 0, 0,
                       flux::kDataMark});
  const size_t mark = fm.size() - 1;
  fm.insert(fm.end(), 128, 0x77);
  const uint16_t dataCrc = flux::Crc(flux::kCrcPreset, fm.data() + mark, fm.size() - mark);
  fm.insert(fm.end(),
            {static_cast<uint8_t>(dataCrc >> 8), static_cast<uint8_t>(dataCrc), 0xFF, 0xFF});
  Bytes mfm;
  for (size_t i = 0; i < fm.size(); ++i) {
    const bool markByte = i == 2 || i == mark;
    const uint16_t cells = flux::FmCells(fm[i], markByte ? flux::kFmMarkClock : 0xFF);
    mfm.push_back(static_cast<uint8_t>(cells >> 8));
    mfm.push_back(static_cast<uint8_t>(cells));
  }
  return mfm;
}

struct DiskCase {
  std::string what;
  std::function<Disk()> disk;  // what is written, and what must come back
  FluxOptions options;
  int cylinders, heads;
  bool doubleStepped;
  uint8_t media;
  std::string rates;  // tracks 0 and 1 as found
};

std::string Rates(const flux::Disk& disk) {
  std::string text;
  for (size_t t = 0; t < 2 && t < disk.tracks.size(); ++t) {
    const flux::Track& track = disk.tracks[t];
    text += std::string(t > 0 ? ", " : "") + (track.mixed ? "mixed " : "") +
            (track.encoding == flux::Encoding::kFm    ? "FM "
             : track.encoding == flux::Encoding::kMfm ? "MFM "
                                                      : "none ") +
            std::to_string(track.rateKbps);
  }
  return text;
}

TEST(FluxDecoder, DecodesEveryHardCaseToTheDisksSectors) {
  FluxOptions jitter, drive300, damaged, single, noIndex, undoubled, unformatted, singleSided,
      acrossIndex, acrossOne, dd;
  jitter.jitter = 0.12;
  drive300.driveRpm = 300, drive300.speedError = 0.02, drive300.jitter = 0.12;
  damaged.damage = {{-1, 1, 0.2, 0.35}};
  damaged.jitter = 0.1;
  acrossIndex.acrossIndex = true;
  acrossOne.acrossIndex = true, acrossOne.revolutions = 1;
  single.revolutions = 1, single.jitter = 0.1;
  noIndex.indexCued = false, noIndex.jitter = 0.1;
  undoubled.undoubled = true;
  unformatted.cylinders = 5;
  singleSided.singleSided = true;
  dd.driveRpm = 360, dd.jitter = 0.1;

  auto eightInch = [] {
    Disk disk = Formatted(2, 26, 1);
    disk.tracks[0].clear();
    for (int r = 1; r <= 26; ++r)
      disk.tracks[0].push_back(MakeSector(0, 0, r, 0, Noisy(128, r), 0x40));
    disk.tracks[0][4].deleted = disk.tracks[0][4].status = 0x10;
    return disk;
  };
  auto crcErrors = [] {
    Disk disk = Formatted(2, 8, 3);
    disk.tracks[0][2].status = 0xB0;
    disk.tracks[1][4].status = 0xA0;
    disk.tracks[2][1].status = 0xF0, disk.tracks[2][1].data.clear();
    disk.tracks[3][0].deleted = disk.tracks[3][0].status = 0x10;
    return disk;
  };
  auto duplicates = [] {
    Disk disk = Formatted(1, 9, 2);
    disk.tracks[0][4].r = 3;                // R3 twice, different data
    disk.tracks[1][6] = disk.tracks[1][2];  // one sector written twice over
    return disk;
  };
  auto sizes = [] {
    Disk disk;
    disk.mediaType = 0x20;
    const int n[] = {3, 0, 2, 1, 3, 2, 0, 1};
    for (int r = 1; r <= 8; ++r)
      disk.tracks[0].push_back(MakeSector(0, 0, r, n[r - 1], Noisy(128 << n[r - 1], r)));
    // Data fields longer and shorter than N, read as the disk gives them;
    // a bad one is N's length.
    const int lengths[][2] = {{1, 300}, {2, 100}, {3, 1000}, {0, 1}, {1, 2000}};
    for (int i = 0; i < 5; ++i) {
      disk.tracks[1].push_back(
          MakeSector(0, 1, i + 1, lengths[i][0], Noisy(lengths[i][1], 50 + i)));
    }
    disk.tracks[1].push_back(MakeSector(0, 1, 6, 2, Noisy(512, 60)));
    disk.tracks[1].back().status = 0xB0;
    return disk;
  };
  auto mixed = [] {
    Disk disk = Formatted(1, 8, 1);
    for (int i : {1, 4, 5}) disk.tracks[0][static_cast<size_t>(i)].density = 0x40;
    return disk;
  };
  auto fakeFm = [] {
    Disk disk = Formatted(1, 8, 3);
    const Bytes fake = FakeFmSector();
    std::copy(fake.begin(), fake.end(), disk.tracks[0][3].data.begin() + 100);
    return disk;
  };
  auto sideZero = [] {
    Disk disk = Formatted(3, 8, 3);
    for (int t = 1; t < 6; t += 2) disk.tracks.erase(t);
    return disk;
  };
  auto farApart = [] {  // 2DD: cylinders 0 and 44 formatted, between them nothing
    Disk disk = Formatted(1, 8, 2, 0x10);
    Disk last = Formatted(45, 8, 2, 0x10);
    disk.tracks[88] = last.tracks[88];
    disk.tracks[89] = last.tracks[89];
    return disk;
  };

  auto plain = [] { return Formatted(2, 8, 3); };
  const std::string hd = "MFM 500, MFM 500";
  // clang-format off
  const DiskCase cases[] = {
      {"2HD 8x1024, jitter", [] { return Formatted(3, 8, 3); }, jitter, 3, 2, false, 0x20,
       hd},
      {"FM track 0 (26x128, a deleted mark) beside MFM 26x256", eightInch, jitter, 2, 2, false,
       0x20, "FM 250, MFM 500"},
      {"360-rpm disk in a 300-rpm drive (1.2x), 2% slow", plain, drive300, 2, 2, false, 0x20, hd},
      {"one damaged revolution of three", plain, damaged, 2, 2, false, 0x20, hd},
      {"deliberate CRC errors, an ID without data, deleted data", crcErrors, jitter, 2, 2, false,
       0x20, hd},
      {"duplicate IDs", duplicates, jitter, 1, 2, false, 0x20, hd},
      {"mixed sizes, data longer and shorter than N", sizes, jitter, 1, 2, false, 0x20, hd},
      {"a sector across the index", plain, acrossIndex, 2, 2, false, 0x20, hd},
      {"a sector across the index, one revolution", plain, acrossOne, 2, 2, false, 0x20, hd},
      {"one revolution", [] { return Formatted(2, 26, 1); }, single, 2, 2, false, 0x20,
       hd},
      {"no index: the dump starts anywhere", plain, noIndex, 2, 2, false, 0x20, hd},
      {"2D read without double stepping", [] { return Formatted(3, 16, 1, 0x00); }, undoubled, 3,
       2, true, 0x00, "MFM 250, MFM 250"},
      {"unformatted cylinders past the end", plain, unformatted, 2, 2, false, 0x20, hd},
      {"single-sided", sideZero, singleSided, 3, 1, false, 0x20, "MFM 500, none 0"},
      {"FM marks inside MFM data", fakeFm, jitter, 1, 2, false, 0x20, hd},
      {"FM and MFM sectors on one track", mixed, drive300, 1, 2, false, 0x20,
       "mixed MFM 500, MFM 500"},
      {"2DD of 45 cylinders in a 360-rpm drive", farApart, dd, 45, 2, false, 0x10,
       "MFM 250, MFM 250"},
  };
  // clang-format on
  for (const DiskCase& c : cases) {
    const Disk disk = c.disk();
    std::vector<flux::Track> tracks;
    for (const flux::TrackFlux& tf : testimg::EncodeFlux(disk, c.options))
      tracks.push_back(flux::DecodeTrack(tf));
    const flux::Disk decoded = flux::AssembleDisk(std::move(tracks));
    EXPECT_EQ(decoded.cylinders, c.cylinders) << c.what;
    EXPECT_EQ(decoded.heads, c.heads) << c.what;
    EXPECT_EQ(decoded.doubleStepped, c.doubleStepped) << c.what;
    EXPECT_EQ(decoded.mediaType, c.media) << c.what;
    EXPECT_EQ(Rates(decoded), c.rates) << c.what;
    for (size_t t = 0; t < decoded.tracks.size(); ++t) {
      const auto expected = disk.tracks.find(static_cast<int>(t));
      EXPECT_EQ(Lines(decoded.tracks[t].sectors),
                expected == disk.tracks.end() ? "" : Lines(expected->second))
          << c.what << ", track " << t;
    }
  }
}

// Dumps a file damaged or cut: what is sound in them still decodes, and
// what is not gives no sectors rather than wrong ones.
TEST(FluxDecoder, DamagedDumpsGiveWhatIsSound) {
  struct Case {
    std::string what;
    std::function<void(flux::TrackFlux&)> damage;
    size_t soundSectors;
  };
  const Case cases[] = {
      {"cut inside its last revolution",
       [](flux::TrackFlux& tf) {
         tf.intervals.resize(tf.revolutionEnds[1] +
                             (tf.revolutionEnds[2] - tf.revolutionEnds[1]) / 3);
       },
       8},
      {"every recorded revolution length wrong",
       [](flux::TrackFlux& tf) { tf.revolutionTicks.assign(3, 1); }, 8},
      {"no revolution recorded whole, no index",
       [](flux::TrackFlux& tf) { tf.indexCued = false, tf.revolutionEnds.resize(1); }, 8},
      {"no tick length and no whole revolution",
       [](flux::TrackFlux& tf) {
         tf.indexCued = false, tf.tickNs = 0, tf.revolutionEnds.resize(1);
       },
       0},
      {"more revolutions than are read",
       [](flux::TrackFlux& tf) { tf.revolutionEnds.insert(tf.revolutionEnds.begin(), 40, 0); }, 0},
  };
  FluxOptions options;
  options.jitter = 0.1;
  const Disk disk = Formatted(1, 8, 3);
  for (const Case& c : cases) {
    flux::TrackFlux tf = testimg::EncodeFlux(disk, options).front();
    c.damage(tf);
    const flux::Track track = flux::DecodeTrack(tf);
    const auto sound = std::count_if(track.sectors.begin(), track.sectors.end(),
                                     [](const flux::Sector& s) { return s.status == 0; });
    EXPECT_EQ(static_cast<size_t>(sound), c.soundSectors) << c.what;
    EXPECT_EQ(track.sectors.size(), c.soundSectors) << c.what;
  }
}

// The geometry from decoded tracks alone.
TEST(FluxGeometry, FoundFromTheTracks) {
  // A track at physical cylinder p, head h, whose sectors name cylinder c;
  // `sound` of its 4 sectors read well.
  auto track = [](int p, int h, int c, int cells, int sound = 4) {
    flux::Track t;
    t.cylinder = p, t.head = h, t.cellsPerRevolution = cells;
    for (int r = 1; r <= 4; ++r) {
      flux::Sector s;
      s.c = static_cast<uint8_t>(c), s.h = static_cast<uint8_t>(h), s.r = static_cast<uint8_t>(r);
      s.status = r <= sound ? 0x00 : 0xB0;
      t.sectors.push_back(s);
    }
    return t;
  };
  struct Case {
    std::string what;
    std::vector<flux::Track> tracks;
    int cylinders, heads;
    bool doubleStepped;
    uint8_t media;
    std::string
        from;  // each formatted track's cylinder and sound sectors, which tell the reads apart
  };
  const int hd = 166667, dd = 100000;  // cells per revolution
  std::vector<flux::Track> dd80, undoubled, unformattedEnd, sideOne;
  for (int p = 0; p < 80; ++p) dd80.push_back(track(p, 0, p, dd));
  for (int p = 0; p < 6; ++p)
    undoubled.push_back(track(p, 0, p / 2, dd, p == 2 ? 1 : 4 - p % 2));
  for (int p = 0; p < 4; ++p) unformattedEnd.push_back(track(p, 1, p, hd));
  unformattedEnd.push_back(flux::Track{});
  unformattedEnd.back().cylinder = 6;
  for (int p = 0; p < 3; ++p) sideOne.push_back(track(p, 1, p, hd));
  // clang-format off
  const Case cases[] = {
      {"2DD, 80 cylinders", dd80, 80, 1, false, 0x10, ""},
      {"2D read without double stepping: the sounder read of each", undoubled, 3, 1, true, 0x00,
       "0:4 1:3 2:4"},
      {"2HD, past the last formatted cylinder dropped", unformattedEnd, 4, 2, false, 0x20, ""},
      {"side 1 alone", sideOne, 3, 2, false, 0x20, ""},
      {"two reads of one place: the sounder", {track(0, 0, 0, hd, 1), track(0, 0, 0, hd, 3)}, 1, 1,
       false, 0x20, "0:3"},
      {"nothing formatted", {flux::Track{}}, 0, 0, false, 0x00, ""},
      {"cylinders and heads no dump has",
       {track(100000000, 0, 0, hd), track(0, 2, 0, hd), track(-1, 0, 0, hd)},
       0, 0, false, 0x00, ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    const flux::Disk disk = flux::AssembleDisk(c.tracks);
    EXPECT_EQ(disk.cylinders, c.cylinders) << c.what;
    EXPECT_EQ(disk.heads, c.heads) << c.what;
    EXPECT_EQ(disk.doubleStepped, c.doubleStepped) << c.what;
    EXPECT_EQ(disk.mediaType, c.media) << c.what;
    ASSERT_EQ(disk.tracks.size(), static_cast<size_t>(c.cylinders) * 2) << c.what;
    if (c.from.empty()) continue;
    std::string from;
    for (const flux::Track& t : disk.tracks) {
      if (t.sectors.empty()) continue;
      const auto sound = std::count_if(t.sectors.begin(), t.sectors.end(),
                                       [](const flux::Sector& s) { return s.status == 0; });
      from += std::string(from.empty() ? "" : " ") + std::to_string(t.cylinder) + ":" +
              std::to_string(sound);
    }
    EXPECT_EQ(from, c.from) << c.what;
  }
}

// A worn disk: transitions moved by normal jitter of J times the mean
// interval, read in a 300-rpm drive.  What is recovered at each J, and
// never a wrong sector called sound, at any J.
struct Recovery {
  size_t right = 0, wrong = 0, total = 0, voted = 0, repaired = 0;
};
Recovery Recover(const Disk& disk, int revolutions, double j, uint32_t seed = 1) {
  FluxOptions options;
  options.revolutions = revolutions, options.driveRpm = 300, options.gaussianJitter = j;
  options.seed = seed;
  std::vector<flux::Track> tracks;
  for (const flux::TrackFlux& tf : testimg::EncodeFlux(disk, options))
    tracks.push_back(flux::DecodeTrack(tf));
  const flux::Disk decoded = flux::AssembleDisk(std::move(tracks));
  const testimg::Recovered got = testimg::CountRecovered(disk, decoded);
  Recovery r{got.right, got.wrong, got.total};
  for (const flux::Track& t : decoded.tracks) {
    for (const flux::Sector& s : t.sectors) {
      r.voted += s.origin == flux::DataOrigin::kVoted;
      r.repaired += s.origin == flux::DataOrigin::kRepaired;
      // A rebuilt sector is sound, and says what it was rebuilt from.
      if (s.origin == flux::DataOrigin::kVoted || s.origin == flux::DataOrigin::kRepaired) {
        EXPECT_TRUE(s.Sound());
        EXPECT_NE(s.votedCopies, 0);
        EXPECT_EQ(s.votedRevolutions & ~s.seenIn, 0u);
        EXPECT_EQ(s.flippedBits != 0, s.origin == flux::DataOrigin::kRepaired);
      }
      if (s.Sound()) {
        EXPECT_NE(s.origin, flux::DataOrigin::kBadCopy);
      }
    }
  }
  return r;
}

TEST(FluxRecovery, WornDisksGiveBackWhatTheCurveSays) {
  struct Case {
    std::string what;
    int cylinders, count, n, revolutions;
    double j;
    double least;  // share of sectors back right
    bool rebuilt;  // some by vote or repair
  };
  // clang-format off
  const Case cases[] = {
      {"SCP 26x256, 3 revolutions, 4%", 3, 26, 1, 3, 0.04, 1.0, false},
      {"SCP 26x256, 3 revolutions, 5%", 3, 26, 1, 3, 0.05, 1.0, false},
      {"SCP 26x256, 3 revolutions, 5.5%", 3, 26, 1, 3, 0.055, 0.99, true},
      {"SCP 26x256, 3 revolutions, 6%", 77, 26, 1, 3, 0.06, 0.99, true},
      {"MFI 8x1024, 1 revolution, 4%", 6, 8, 3, 1, 0.04, 1.0, true},
      {"MFI 8x1024, 1 revolution, 4.5%", 6, 8, 3, 1, 0.045, 0.99, true},
      {"MFI 8x1024, 1 revolution, 5%", 6, 8, 3, 1, 0.05, 0.90, true},
      {"MFI 8x1024, 1 revolution, 5.5%", 6, 8, 3, 1, 0.055, 0.50, true},
  };
  // clang-format on
  for (const Case& c : cases) {
    const Recovery r = Recover(Formatted(c.cylinders, c.count, c.n), c.revolutions, c.j);
    EXPECT_GE(static_cast<double>(r.right), c.least * static_cast<double>(r.total))
        << c.what << ": " << r.right << " of " << r.total;
    EXPECT_EQ(r.wrong, 0u) << c.what;
    EXPECT_EQ(r.voted + r.repaired > 0, c.rebuilt)
        << c.what << ": voted " << r.voted << ", repaired " << r.repaired;
  }
}

TEST(FluxRecovery, NoWrongSectorIsEverCalledSound) {
  for (int step = 0; step <= 14; ++step) {
    const double j = 0.03 + step * 0.005;
    for (int revolutions : {1, 3}) {
      const Recovery r = Recover(Formatted(1, 8, 3), revolutions, j, 11 + step);
      EXPECT_EQ(r.wrong, 0u) << "J " << j << ", " << revolutions << " revolutions";
    }
  }
}


// A mark one of whose transitions moved: in its syncs it is no longer seen
// as a mark, yet its field is read, whether it is the ID's or the data's.
// Where the three syncs of each MFM mark in `cells` begin.
std::vector<size_t> MfmSyncs(const std::vector<uint8_t>& cells) {
  std::vector<size_t> marks;
  for (size_t i = 0; i + 48 <= cells.size(); ++i) {
    bool sync = true;
    for (int k = 0; k < 48 && sync; ++k)
      sync = cells[i + static_cast<size_t>(k)] == (flux::kMfmSyncA1 >> (15 - k % 16) & 1);
    if (sync) marks.push_back(i), i += 47;
  }
  return marks;
}

TEST(FluxRecovery, MarksWithATransitionMovedStillRead) {
  struct Case {
    std::string what;
    int mark;   // which of the track's MFM marks: 2s the ID of sector s, 2s + 1 its data
    int cell;   // the transition moved is the first at or after this cell of its syncs
    int shift;  // cells later (+) or earlier (-)
  };
  // clang-format off
  const Case cases[] = {
      {"ID, second sync", 4, 16, 1},
      {"ID, third sync", 6, 36, -1},
      {"data, second sync", 5, 20, 1},
      {"data, third sync", 9, 33, -1},
      {"data, the mark byte", 11, 50, 1},
  };
  // clang-format on
  const Disk disk = Formatted(1, 8, 3);
  const int turn = testimg::FluxCellsPerRevolution(disk);
  FluxOptions once;
  once.revolutions = 1;
  for (const Case& c : cases) {
    std::vector<uint8_t> cells = testimg::TrackCells(disk.tracks.at(0), turn);
    const std::vector<size_t> marks = MfmSyncs(cells);
    ASSERT_EQ(marks.size(), 16u) << c.what;
    size_t at = marks[static_cast<size_t>(c.mark)] + static_cast<size_t>(c.cell);
    while (cells[at] == 0) ++at;
    const size_t to = static_cast<size_t>(static_cast<long>(at) + c.shift);
    ASSERT_EQ(cells[to], 0) << c.what;
    cells[at] = 0, cells[to] = 1;
    const flux::Track track = flux::DecodeTrack(testimg::CellsToFlux(cells, turn, once, 0));
    EXPECT_EQ(track.sectors.size(), 8u) << c.what;
    for (size_t s = 0; s < 8 && s < track.sectors.size(); ++s) {
      EXPECT_EQ(track.sectors[s].status, 0) << c.what << ", sector " << s + 1;
      EXPECT_EQ(track.sectors[s].data, disk.tracks.at(0)[s].data) << c.what << ", sector " << s + 1;
    }
  }
}

// One revolution cut at the index inside the last sector's ID, or between
// its ID (its mark worn) and its data: nothing of it is lost at the end, yet
// it reads only past the end.
TEST(FluxRecovery, AnIdAcrossTheIndexOfOneRevolutionReads) {
  struct Case {
    std::string what;
    int index;          // cells from the last ID's syncs to the index
    bool worn, noData;  // a transition in its second sync moved; no data field
  };
  const Case cases[] = {{"inside C H R N", 96, false, false},
                        {"inside the ID of a sector without data", 96, false, true},
                        {"between a worn ID and its data", 288, true, false}};
  FluxOptions once;
  once.revolutions = 1;
  for (const Case& c : cases) {
    Disk disk = Formatted(1, 8, 3);
    if (c.noData) disk.tracks.at(0)[7].status = 0xF0, disk.tracks.at(0)[7].data.clear();
    const int turn = testimg::FluxCellsPerRevolution(disk);
    std::vector<uint8_t> cells = testimg::TrackCells(disk.tracks.at(0), turn);
    const size_t last = MfmSyncs(cells).at(14);  // sector 8's ID
    size_t at = last + 16;
    while (c.worn && cells[at] == 0) ++at;
    if (c.worn) cells[at] = 0, cells[at + 1] = 1;
    std::rotate(cells.begin(), cells.begin() + static_cast<long>(last) + c.index, cells.end());
    const flux::Track track = flux::DecodeTrack(testimg::CellsToFlux(cells, turn, once, 0));
    EXPECT_EQ(Lines(track.sectors), Lines(disk.tracks.at(0))) << c.what;
  }
}

}  // namespace
