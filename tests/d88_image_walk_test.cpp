// D88Image keeps what a walk over a track learnt (an index of its headers, a
// read buffer).  These tests hold every read against a plain walk over the
// image bytes, on damaged tracks, and check that a new selection or a new
// Open reads the file afresh.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "d88/d88_image.h"
#include "support/d88_builder.h"
#include "support/process.h"

namespace {

using testimg::Bytes;
using testimg::Disk;
using testimg::Sector;

// ~150 KB: kept out of the test's stack.
d88::D88Image g_image;

// The walk as described, over the bytes of the whole image: the headers of
// the track in stored order, until one cannot be read whole, one states 0
// sectors, or one's position equals its count; at most 65,535.
struct PlainWalk {
  const Bytes& image;
  long long start;  // -1: the track guard refuses the track

  template <typename Visit>
  void Walk(Visit visit) const {
    long long at = start;
    for (int p = 1; start >= 0 && p <= d88::kMaxHeadersPerTrack; ++p) {
      if (at + d88::kSectorHeaderSize > static_cast<long long>(image.size())) return;
      const uint8_t* h = image.data() + at;
      const int count = static_cast<int>(d88::GetU16le(h + d88::kSectorCountOffset));
      if (count == 0) return;
      at += d88::kSectorHeaderSize;
      if (!visit(h, at)) return;
      at += d88::GetU16le(h + d88::kDataLengthOffset);
      if (p == count) return;
    }
  }

  Bytes Read(int c, int h, int r, int n, int maxLength) const {
    Bytes data;
    Walk([&](const uint8_t* header, long long at) {
      if (header[0] != c || header[1] != h || header[2] != r || header[3] != n) return true;
      const long long length =
          std::min<long long>(d88::GetU16le(header + d88::kDataLengthOffset), maxLength);
      const long long end = std::min<long long>(at + length, static_cast<long long>(image.size()));
      if (end > at) data.assign(image.begin() + at, image.begin() + end);
      return false;
    });
    return data;
  }

  Bytes List(int maxLength) const {
    Bytes ids;
    if (maxLength < 4) return ids;  // not even the first entry fits
    Walk([&](const uint8_t* header, long long) {
      ids.insert(ids.end(), header, header + 4);
      return static_cast<int>(ids.size()) + 4 <= maxLength;
    });
    return ids;
  }
};

long long TrackStart(const Bytes& image, long long disk, int track) {
  const uint32_t size = d88::GetU32le(image.data() + disk + d88::kDiskSizeOffset);
  const uint32_t offset = d88::GetU32le(image.data() + disk + d88::kTrackTableOffset + 4 * track);
  return offset == 0 || offset > size ? -1 : disk + offset;
}

Sector Empty(int count = -1) {
  Sector s;
  s.c = s.h = s.r = s.n = 0xEE;
  s.count = count;
  return s;
}

struct DamageCase {
  const char* name;
  std::function<void(Disk&)> damage;
  size_t cutTo;  // the image ends after this many bytes; 0 keeps it whole
};

const std::vector<DamageCase>& DamageCases() {
  static const std::vector<DamageCase> cases = {
      {"well formed", [](Disk&) {}, 0},
      {"the same identity twice, different data",
       [](Disk& d) {
         Sector twin = d.tracks[2][9];
         twin.data = Bytes(256, 0xA5);
         d.tracks[2].insert(d.tracks[2].begin() + 3, twin);
         Sector late = d.tracks[3][0];  // never reached: the first one wins
         late.data = Bytes(256, 0x5A);
         d.tracks[3].push_back(late);
       },
       0},
      {"a header stating 0 sectors ends the walk",
       [](Disk& d) { d.tracks[2][4].count = 0; d.tracks[3][0].count = 0; }, 0},
      {"a count equal to its position ends the walk early",
       [](Disk& d) { d.tracks[2][4].count = 5; d.tracks[3][0].count = 1; }, 0},
      {"counts that never meet the position run on into the next track",
       [](Disk& d) {
         for (Sector& s : d.tracks[2]) s.count = 200;
         d.tracks[3][7].count = 300;
       },
       0},
      {"data lengths 0, short and longer than the data",
       [](Disk& d) {
         d.tracks[2][1].length = 0;
         d.tracks[2][2].length = 100;
         d.tracks[2][2].data.resize(100);
         d.tracks[2][5].data.resize(600, 0x5A);
         d.tracks[3][3].length = 0x3F0;  // the next headers are read from inside the data
       },
       0},
      {"identities with another C, H or N",
       [](Disk& d) {
         d.tracks[2][0].c = 9;
         d.tracks[2][1].h = 0;
         d.tracks[2][2].n = 2;
         d.tracks[2][3].r = 0;
       },
       0},
      {"two tracks at one offset, one inside another",
       [](Disk& d) {
         d.trackOffsets[5] = 688;          // track 2's first header
         d.trackOffsets[6] = 688 + 272 * 3;  // track 2's fourth header
       },
       0},
      {"the file ends inside a header", [](Disk&) {}, 688 + 272 * 26 + 272 * 5 + 7},
      {"the file ends inside a sector's data", [](Disk&) {}, 688 + 272 * 26 + 272 * 5 + 16 + 100},
      {"65,535 headers at most",
       [](Disk& d) { d.Prepend(4, Empty(0xFFFF), d88::kMaxHeadersPerTrack - 2); }, 0},
  };
  return cases;
}

// Track 2 comes first in the file, then 3 and 4 (which carries the long
// walk); 5 and 6 are what the cases make of them.
Disk DamagedDisk(const DamageCase& c) {
  Disk d;
  d.Format(2, 4);
  c.damage(d);
  return d;
}

TEST(D88ImageWalk, IndexedReadsMatchAPlainWalkOnDamagedTracks) {
  testimg::ScratchDir dir;
  for (const DamageCase& c : DamageCases()) {
    SCOPED_TRACE(c.name);
    Bytes image = DamagedDisk(c).Build();
    if (c.cutTo != 0) image.resize(c.cutTo);
    ASSERT_TRUE(testimg::WriteFile(dir / "damaged.d88", image));
    ASSERT_TRUE(g_image.Open((dir / "damaged.d88").c_str()));
    ASSERT_TRUE(g_image.SelectDisk(0));

    // More track and C/H/N pairs than the image keeps indexes for, visited
    // twice, so that later visits find their index or have lost it.
    for (int round = 0; round < 2; ++round) {
      for (int track = 2; track <= 6; ++track) {
        const PlainWalk walk{image, TrackStart(image, 0, track)};
        for (int c = 0; c <= 9; ++c) {
          for (const int n : {1, 2}) {
            for (const int r : {0, 1, 2, 3, 4, 5, 6, 8, 10, 26, 27, 255}) {
              for (const int maxLength : {100, 256, 1000}) {
                SCOPED_TRACE("track " + std::to_string(track) + " c " + std::to_string(c) +
                             " r " + std::to_string(r) + " n " + std::to_string(n));
                const int h = track & 1;
                uint8_t buffer[1000];
                const int got = g_image.ReadSector(track, c, h, r, n, buffer, maxLength);
                ASSERT_EQ(Bytes(buffer, buffer + got), walk.Read(c, h, r, n, maxLength));
              }
            }
          }
        }
        for (const int maxLength : {0, 10, 64, 1 << 20}) {
          static uint8_t ids[1 << 20];
          const int got = g_image.ListSectorIds(track, ids, maxLength);
          ASSERT_EQ(Bytes(ids, ids + got), walk.List(maxLength)) << "track " << track;
        }
      }
    }
  }
  g_image.Open(nullptr);
}

// Each step reads track 2, sector 1 after something that must make the
// image read the file again.
TEST(D88ImageWalk, ANewSelectionOrOpenReadsTheFileAfresh) {
  testimg::ScratchDir dir;
  const std::string path = dir / "image.d88";
  const std::string other = dir / "other.d88";
  auto diskTagged = [](const std::string& tag) {
    Disk d;
    d.tag = tag;
    d.Format(2, 3);
    return d;
  };
  const Bytes first = testimg::BuildImage({diskTagged("A"), diskTagged("B")});
  // The same layout with other bytes, and with track 2's sector 1 moved last.
  Disk moved = diskTagged("C");
  std::rotate(moved.tracks[2].begin(), moved.tracks[2].begin() + 1, moved.tracks[2].end());
  const Bytes second = testimg::BuildImage({moved, diskTagged("D")});
  ASSERT_TRUE(testimg::WriteFile(other, second));

  struct Step {
    const char* what;
    std::function<void()> act;
    const char* tag;  // whose sector comes back; null for none
  };
  const std::vector<Step> steps = {
      {"disk 0", [&] { g_image.SelectDisk(0); }, "A"},
      {"disk 1 at other positions", [&] { g_image.SelectDisk(1); }, "B"},
      {"disk 0 again", [&] { g_image.SelectDisk(0); }, "A"},
      {"a failed selection", [&] { g_image.SelectDisk(7); }, nullptr},
      {"the file rewritten, then disk 0 selected again",
       [&] {
         testimg::WriteFile(path, second);
         g_image.SelectDisk(0);
       },
       "C"},
      {"the first bytes written back, disk 0 selected again", [&] {
         testimg::WriteFile(path, first);
         g_image.SelectDisk(0);
       },
       "A"},
      // Open keeps the selection; the new file is read through it.
      {"another file of the same layout opened", [&] { g_image.Open(other.c_str()); }, "C"},
      {"and its disk 0 selected", [&] { g_image.SelectDisk(0); }, "C"},
      {"the image closed", [&] { g_image.Open(nullptr); }, nullptr},
  };

  ASSERT_TRUE(testimg::WriteFile(path, first));
  ASSERT_TRUE(g_image.Open(path.c_str()));
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    uint8_t buffer[256];
    const int got = g_image.ReadSector(2, 1, 0, 1, 1, buffer, 256);
    const Bytes expected = step.tag ? testimg::Filler(step.tag, 2, 1) : Bytes();
    ASSERT_EQ(Bytes(buffer, buffer + got), expected);
  }
}

}  // namespace
