// Unit tests of d88::D88Image on images built in memory and written to a
// scratch folder: the disk directory, the selection state, sector lookup,
// runs of sectors, identity lists and damaged or huge images.
#include "d88/d88_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "d88/d88_format.h"
#include "support/d88_builder.h"
#include "support/process.h"

namespace {

using d88::D88Image;
using testimg::Bytes;
using testimg::Disk;
using testimg::Filler;
using testimg::Sector;

constexpr uint8_t kUntouched = 0xEE;

Sector MakeSector(int c, int h, int r, int n, Bytes data, int count = -1) {
  Sector s;
  s.c = static_cast<uint8_t>(c), s.h = static_cast<uint8_t>(h);
  s.r = static_cast<uint8_t>(r), s.n = static_cast<uint8_t>(n);
  s.data = std::move(data);
  s.count = count;
  return s;
}

Bytes Cut(Bytes bytes, size_t length) {
  bytes.resize(length);
  return bytes;
}

// Track bytes (headers and data) of a one-track disk, to be placed anywhere.
Bytes TrackBytes(const std::vector<Sector>& sectors) {
  Disk d;
  d.tracks[0] = sectors;
  const Bytes disk = d.Build();
  return Bytes(disk.begin() + d88::kDiskHeaderSize, disk.end());
}

// Writes `bytes` to `path` and opens it with a fresh state in `image`.
void OpenImage(D88Image& image, const std::string& path, const Bytes& bytes) {
  ASSERT_TRUE(testimg::WriteFile(path, bytes));
  ASSERT_TRUE(image.Open(path.c_str()));
}

// A file of `size` bytes, holes except for `pieces`; false where the file
// system (or a 32-bit long) cannot hold it.
bool WriteSparse(const std::string& path, uint64_t size,
                 const std::vector<std::pair<uint64_t, Bytes>>& pieces) {
  if (sizeof(long) < 8 || !testimg::WriteFile(path, {})) return false;
  std::error_code error;
  std::filesystem::resize_file(path, size, error);
  if (error) return false;
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  if (f == nullptr) return false;
  bool ok = true;
  for (const auto& [position, bytes] : pieces) {
    ok = ok && std::fseek(f, static_cast<long>(position), SEEK_SET) == 0 &&
         std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  }
  return std::fclose(f) == 0 && ok;
}

TEST(D88ImageScan, FollowsTheDiskSizeChain) {
  Disk a, b, c, zero, tiny, header;
  a.Format(0, 0);
  b.Format(0, 1);
  c.Format(0, 0, 3);
  zero.sizeField = 0;
  tiny.Format(0, 0);
  tiny.sizeField = 687;
  const Bytes three = testimg::BuildImage({a, b, c});
  const long long s0 = static_cast<long long>(a.Build().size());
  const long long s1 = static_cast<long long>(b.Build().size());
  const long long s2 = static_cast<long long>(c.Build().size());
  const std::vector<long long> threeAt = {0, s0, s0 + s1};
  std::vector<long long> chainAt;
  for (int i = 0; i < 64; ++i) chainAt.push_back(static_cast<long long>(d88::kDiskHeaderSize) * i);

  struct Case {
    const char* what;
    Bytes image;
    std::vector<long long> positions;  // its size is the disk count
  };
  const Case cases[] = {
      {"three disks", three, threeAt},
      {"687 trailing bytes are ignored", testimg::Concat(three, Bytes(687, 0xFF)), threeAt},
      {"688 trailing bytes are one more disk", testimg::Concat(three, Bytes(688, 0xFF)),
       {0, s0, s0 + s1, s0 + s1 + s2}},
      {"size 0 is counted once, as the last disk", testimg::BuildImage({zero, a, b}), {0}},
      {"size 687 is counted once, as the last disk", testimg::BuildImage({tiny, a, b}), {0}},
      {"only 64 of 70 chained disks", testimg::BuildImage(std::vector<Disk>(70, header)), chainAt},
      {"empty file", {}, {}},
      {"687 bytes", Bytes(687, 0), {}},
  };
  testimg::ScratchDir dir;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    D88Image image;
    OpenImage(image, dir / "image.d88", k.image);
    ASSERT_EQ(image.DiskCount(), static_cast<int>(k.positions.size()));
    for (size_t i = 0; i < k.positions.size(); ++i) {
      EXPECT_EQ(image.DiskPosition(static_cast<int>(i)), k.positions[i]) << "disk " << i;
    }
    EXPECT_EQ(image.CurrentDisk(), -1);
  }
}

// A chain that runs past 2 GiB: disk 1 starts at INT32_MAX and its track
// lies beyond it; the disk after it is out of reach.
TEST(D88ImageScan, PositionsPastInt32MaxEndTheChain) {
  Disk first, second, beyond;
  first.sizeField = INT32_MAX;
  second.tracks[0] = {MakeSector(0, 0, 1, 1, Filler("S", 0, 1))};
  const Bytes secondBytes = second.Build();
  const uint64_t third = INT32_MAX + secondBytes.size();
  testimg::ScratchDir dir;
  const std::string path = dir / "huge.d88";
  if (!WriteSparse(path, third + d88::kDiskHeaderSize,
                   {{0, first.Build()}, {INT32_MAX, secondBytes}, {third, beyond.Build()}})) {
    GTEST_SKIP() << "no room for a sparse file of 2 GiB";
  }
  D88Image image;
  ASSERT_TRUE(image.Open(path.c_str()));
  ASSERT_EQ(image.DiskCount(), 2);
  EXPECT_EQ(image.DiskPosition(1), INT32_MAX);
  ASSERT_TRUE(image.SelectDisk(1));
  uint8_t buffer[256];
  ASSERT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 256);
  EXPECT_EQ(Bytes(buffer, buffer + 256), Filler("S", 0, 1));
}

TEST(D88ImageSelection, Lifecycle) {
  Disk d;
  d.Format(0, 0, 1);
  testimg::ScratchDir dir;
  D88Image image;
  EXPECT_EQ(image.DiskCount(), 0);
  EXPECT_EQ(image.CurrentDisk(), -1);
  EXPECT_EQ(image.MediaType(), -1);
  EXPECT_STREQ(image.DiskName(), "");
  EXPECT_FALSE(image.SelectDisk(0));
  EXPECT_TRUE(image.Open(nullptr));  // closes nothing
  EXPECT_EQ(image.DiskCount(), 0);
  EXPECT_FALSE(image.SelectDisk(0));
  OpenImage(image, dir / "image.d88", d.Build());
  EXPECT_FALSE(image.Open((dir / "missing.d88").c_str()));
  EXPECT_FALSE(image.SelectDisk(0));
  EXPECT_FALSE(image.Open(dir.path().c_str()));  // a folder opens but cannot be read
  EXPECT_FALSE(image.SelectDisk(0));
}

TEST(D88ImageSelection, SelectsNameAndMediaTypeAndResetsOnBadIndex) {
  Disk plain, cutName, fullName;
  plain.Format(0, 0, 1);
  cutName.name = std::string("AB\0XYZ", 6);
  cutName.mediaType = 0x10;
  fullName.name = "ABCDEFGHIJKLMNOPQ";  // 17 letters; only 16 are stored
  fullName.mediaType = 0xFF;
  testimg::ScratchDir dir;
  D88Image image;
  OpenImage(image, dir / "image.d88", testimg::BuildImage({plain, fullName, cutName}));
  ASSERT_EQ(image.DiskCount(), 3);

  struct Case {
    int index;
    bool selected;
    int mediaType;
    const char* name;  // with the zeros after it, 17 bytes in all
  };
  // Short names follow long ones, so leftovers of a name would show.
  const Case cases[] = {
      {1, true, 255, "ABCDEFGHIJKLMNOP"},
      {2, true, 16, "AB"},
      {0, true, 0, "TEST"},
      {3, false, -1, ""},
      {1, true, 255, "ABCDEFGHIJKLMNOP"},
      {-1, false, -1, ""},
  };
  uint8_t buffer[256];
  for (const Case& k : cases) {
    SCOPED_TRACE(k.index);
    EXPECT_EQ(image.SelectDisk(k.index), k.selected);
    EXPECT_EQ(image.CurrentDisk(), k.selected ? k.index : -1);
    EXPECT_EQ(image.MediaType(), k.mediaType);
    char expected[17] = {};
    std::strncpy(expected, k.name, 16);
    // A reset only empties the name; a selected name is zero-filled to 17.
    if (k.selected) {
      EXPECT_EQ(std::memcmp(image.DiskName(), expected, 17), 0);
    } else {
      EXPECT_STREQ(image.DiskName(), "");
    }
    // Disk 0's track table stays behind a failed selection but is refused.
    EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), k.index == 0 ? 256 : 0);
  }
}

TEST(D88ImageSelection, SectorRangeSurvivesOpenAndSelection) {
  Disk d;
  d.Format(0, 1, 3);
  testimg::ScratchDir dir;
  D88Image image;
  image.SetSectorRange(1, 2);
  OpenImage(image, dir / "image.d88", testimg::BuildImage({d, d}));
  for (int disk : {0, 1, 0}) {
    ASSERT_TRUE(image.SelectDisk(disk));
    uint8_t buffer[512];
    // Sector 2 is the last of the track, so the run goes on at head 1.
    ASSERT_EQ(image.ReadSectors(0, 0, 0, 2, 1, buffer, 512), 512);
    EXPECT_EQ(Bytes(buffer, buffer + 512), testimg::Concat(Filler("D", 0, 2), Filler("D", 1, 1)));
  }
}

// The header of a listed disk can no longer be read whole once the file
// has shrunk under the open image.
TEST(D88ImageSelection, SelectFailsAndResetsWhenTheFileShrank) {
  // Disks larger than a stream buffer, so disk 1's header is read anew.
  Disk d;
  d.Format(0, 1);
  testimg::ScratchDir dir;
  const std::string path = dir / "image.d88";
  D88Image image;
  OpenImage(image, path, testimg::BuildImage({d, d}));
  ASSERT_TRUE(image.SelectDisk(0));
  std::filesystem::resize_file(path, d.Build().size() + 100);
  EXPECT_FALSE(image.SelectDisk(1));
  EXPECT_EQ(image.CurrentDisk(), -1);
  EXPECT_EQ(image.MediaType(), -1);
  uint8_t buffer[256];
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 0);
  EXPECT_TRUE(image.SelectDisk(0));
}

#ifdef __linux__
TEST(D88ImageSelection, SecondOpenReleasesTheFirstStream) {
  const auto openFiles = [] {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return std::distance(begin(fds), end(fds));
  };
  Disk d;
  testimg::ScratchDir dir;
  ASSERT_TRUE(testimg::WriteFile(dir / "a.d88", d.Build()));
  ASSERT_TRUE(testimg::WriteFile(dir / "b.d88", d.Build()));
  D88Image image;
  const int before = openFiles();
  ASSERT_TRUE(image.Open((dir / "a.d88").c_str()));
  EXPECT_EQ(openFiles(), before + 1);
  ASSERT_TRUE(image.Open((dir / "b.d88").c_str()));
  EXPECT_EQ(openFiles(), before + 1);
  ASSERT_TRUE(image.Open(nullptr));
  EXPECT_EQ(openFiles(), before);
}
#endif

TEST(D88ImageGuard, RefusedTracksGiveZeroFromEveryOperation) {
  Disk d;
  d.Format(0, 3, 2);
  // Track 2 starts exactly at the disk's size, track 3 beyond it.
  d.sizeField = d88::GetU32le(d.Build().data() + d88::kTrackTableOffset + 4 * 2);
  const Bytes disk = d.Build();
  enum State { kClosed, kUnselected, kSelected, kReset };
  struct Case {
    const char* what;
    State state;
    int track, c, h;  // c and h of a sector that exists, so only the guard refuses
    bool found;
  };
  const Case cases[] = {
      {"no image open", kClosed, 1, 0, 1, false},
      {"no disk selected", kUnselected, 1, 0, 1, false},
      {"after a failed selection", kReset, 1, 0, 1, false},
      {"a present track", kSelected, 1, 0, 1, true},
      {"offset equal to the disk size", kSelected, 2, 1, 0, true},
      {"offset beyond the disk size", kSelected, 3, 1, 1, false},
      {"offset 0", kSelected, 10, 0, 1, false},
      {"track 164", kSelected, 164, 0, 1, false},
      {"track -1", kSelected, -1, 0, 1, false},
  };
  testimg::ScratchDir dir;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    D88Image image;
    if (k.state != kClosed) OpenImage(image, dir / "image.d88", disk);
    if (k.state == kSelected || k.state == kReset) {
      ASSERT_TRUE(image.SelectDisk(0));
    }
    if (k.state == kReset) {
      EXPECT_FALSE(image.SelectDisk(image.DiskCount()));
    }
    uint8_t buffer[512];
    EXPECT_EQ(image.ReadSector(k.track, k.c, k.h, 1, 1, buffer, 256), k.found ? 256 : 0);
    EXPECT_EQ(image.ReadSectors(k.track, k.c, k.h, 1, 1, buffer, 512), k.found ? 512 : 0);
    EXPECT_EQ(image.ListSectorIds(k.track, buffer, 64), k.found ? 8 : 0);
  }
}

// Offsets with the top bit set mean an absent track, even where the file
// holds a track there and the disk size would let it pass.
TEST(D88ImageGuard, TrackOffsetsFromTwoGiBOnAreAbsent) {
  Disk d;
  d.sizeField = 0xFFFFFFFF;
  d.tracks[2] = {MakeSector(1, 0, 1, 1, Filler("D", 2, 1))};
  d.trackOffsets = {{0, 0x80000000u}, {1, 0xFFFFFFFFu}};
  const Bytes far0 = TrackBytes({MakeSector(0, 0, 1, 1, Filler("F", 0, 1))});
  const Bytes far1 = TrackBytes({MakeSector(0, 1, 1, 1, Filler("F", 1, 1))});
  testimg::ScratchDir dir;
  const std::string path = dir / "huge.d88";
  if (!WriteSparse(path, 0xFFFFFFFFull + far1.size(),
                   {{0, d.Build()}, {0x80000000ull, far0}, {0xFFFFFFFFull, far1}})) {
    GTEST_SKIP() << "no room for a sparse file of 4 GiB";
  }
  D88Image image;
  ASSERT_TRUE(image.Open(path.c_str()));
  ASSERT_TRUE(image.SelectDisk(0));
  uint8_t buffer[256];
  EXPECT_EQ(image.ReadSector(2, 1, 0, 1, 1, buffer, 256), 256);
  for (int track : {0, 1}) {
    SCOPED_TRACE(track);
    EXPECT_EQ(image.ReadSector(track, 0, track, 1, 1, buffer, 256), 0);
    EXPECT_EQ(image.ListSectorIds(track, buffer, 256), 0);
  }
}

TEST(D88ImageReadSector, FindsTheFirstSectorWithTheWholeIdentity) {
  Disk d;
  d.tracks[0] = {MakeSector(0, 0, 3, 1, Filler("T", 0, 3)), MakeSector(0, 0, 1, 1, Filler("first", 0, 1)),
                 MakeSector(0, 0, 1, 1, Filler("second", 0, 1)), MakeSector(0, 0, 2, 2, Filler("T", 0, 2, 512))};
  // A header stating 0 sectors ends the track, matching identity or not.
  d.tracks[1] = {MakeSector(0, 1, 1, 1, Filler("T", 1, 1), 0), MakeSector(0, 1, 2, 1, Filler("T", 1, 2), 0)};
  // Sixteen sectors stated, a seventeenth stored after them.
  for (int r = 1; r <= 17; ++r) d.tracks[2].push_back(MakeSector(1, 0, r, 1, Filler("T", 2, r), 16));

  struct Case {
    const char* what;
    int track, c, h, r, n, maxLength;
    Bytes expected;  // the bytes delivered; its size is the result
  };
  const Case cases[] = {
      {"maxLength clips", 0, 0, 0, 3, 1, 100, Cut(Filler("T", 0, 3), 100)},
      {"data length clips", 0, 0, 0, 3, 1, 300, Filler("T", 0, 3)},
      {"maxLength 0", 0, 0, 0, 3, 1, 0, {}},
      {"first of two same identities", 0, 0, 0, 1, 1, 256, Filler("first", 0, 1)},
      {"N differs", 0, 0, 0, 2, 1, 512, {}},
      {"N matches", 0, 0, 0, 2, 2, 512, Filler("T", 0, 2, 512)},
      {"C differs", 0, 1, 0, 3, 1, 256, {}},
      {"H differs", 0, 0, 1, 3, 1, 256, {}},
      {"count-0 header with the identity", 1, 0, 1, 1, 1, 256, {}},
      {"count-0 header before the identity", 1, 0, 1, 2, 1, 256, {}},
      {"last of 16", 2, 1, 0, 16, 1, 256, Filler("T", 2, 16)},
      {"stored after the 16th", 2, 1, 0, 17, 1, 256, {}},
  };
  testimg::ScratchDir dir;
  D88Image image;
  OpenImage(image, dir / "image.d88", d.Build());
  ASSERT_TRUE(image.SelectDisk(0));
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Bytes buffer(600, kUntouched);
    const int got = image.ReadSector(k.track, k.c, k.h, k.r, k.n, buffer.data(), k.maxLength);
    ASSERT_EQ(got, static_cast<int>(k.expected.size()));
    Bytes want = k.expected;
    want.resize(600, kUntouched);  // nothing is written past the result
    EXPECT_EQ(buffer, want);
  }
}

TEST(D88ImageReadSectors, StepsOverTracksAndStopsAtShortPieces) {
  Disk d;
  d.Format(4, 6).Format(10, 10).Format(12, 12).Format(14, 14);
  d.Remove(10, 3);
  d.tracks[12][1].data.resize(128);  // N 1 but 128 bytes of data
  d.Data(14, 2) = Filler("long", 14, 2, 300);
  // Only the first 256 of the 300 bytes belong to the run.
  const Bytes longRun = testimg::Concat(
      testimg::Concat(Filler("D", 14, 1), Cut(Filler("long", 14, 2), 256)), Filler("D", 14, 3));

  struct Case {
    const char* what;
    int track, c, h, r, length;
    Bytes expected;  // the bytes of whole pieces; its size is the result
  };
  const Case cases[] = {
      {"length 0", 4, 2, 0, 1, 0, {}},
      {"head 0 to head 1", 4, 2, 0, 25, 1024, d.Run(4, 25, 1024)},
      {"head 1 to the next cylinder", 5, 2, 1, 26, 512, d.Run(5, 26, 512)},
      {"256, 256 and 88 bytes", 4, 2, 0, 1, 600, d.Run(4, 1, 600)},
      {"missing third sector", 10, 5, 0, 1, 1024, d.Run(10, 1, 512)},
      {"short data length", 12, 6, 0, 1, 768, d.Run(12, 1, 256)},
      {"longer data gives 256", 14, 7, 0, 1, 768, longRun},
      {"absent next track", 6, 3, 0, 26, 512, d.Run(6, 26, 256)},
  };
  testimg::ScratchDir dir;
  D88Image image;
  image.SetSectorRange(1, 26);
  OpenImage(image, dir / "image.d88", d.Build());
  ASSERT_TRUE(image.SelectDisk(0));
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Bytes buffer(1024, kUntouched);
    ASSERT_EQ(image.ReadSectors(k.track, k.c, k.h, k.r, 1, buffer.data(), k.length),
              static_cast<int>(k.expected.size()));
    EXPECT_TRUE(std::equal(k.expected.begin(), k.expected.end(), buffer.begin()));
  }
}

TEST(D88ImageListSectorIds, ListsWholeEntriesInStoredOrder) {
  Disk d;
  Bytes all;
  for (int p = 0; p < 16; ++p) {
    const int r = (p * 7) % 16 + 1;  // stored out of sector order
    d.tracks[6].push_back(MakeSector(3, 0, r, 1, Bytes(256, 0)));
    all.insert(all.end(), {3, 0, static_cast<uint8_t>(r), 1});
  }
  const struct {
    int maxLength;
    size_t entries;
  } cases[] = {{64, 16}, {100, 16}, {10, 2}, {3, 0}, {0, 0}};
  testimg::ScratchDir dir;
  D88Image image;
  OpenImage(image, dir / "image.d88", d.Build());
  ASSERT_TRUE(image.SelectDisk(0));
  for (const auto& k : cases) {
    SCOPED_TRACE(k.maxLength);
    Bytes out(128, kUntouched);
    ASSERT_EQ(image.ListSectorIds(6, out.data(), k.maxLength), static_cast<int>(4 * k.entries));
    Bytes want(all.begin(), all.begin() + static_cast<long>(4 * k.entries));
    want.resize(128, kUntouched);
    EXPECT_EQ(out, want);
  }
}

// Each image holds one disk with track 0 only.  Walks over a damaged track
// end at the end of the file, at a header stating 0 sectors, or after
// 65,535 headers.
TEST(D88ImageDamagedTrack, WalksEndSoundly) {
  Disk three;
  three.Format(0, 0, 3);
  const Bytes threeBytes = three.Build();
  const size_t sectorSize = d88::kSectorHeaderSize + 256;
  const size_t track0 = d88::kDiskHeaderSize;
  Disk miscounted = three;
  for (Sector& s : miscounted.tracks[0]) s.count = 5;
  Disk empty = three;
  for (Sector& s : empty.tracks[0]) s.count = 0;
  // Empty sectors whose counts never equal their position (1 states 2, p
  // states p - 1), then the sought one as the 65,536th header.
  Disk endless;
  for (int p = 1; p <= 65536; ++p) {
    endless.tracks[0].push_back(MakeSector(0, 0, 1, 1, {}, p == 1 ? 2 : p - 1));
  }
  endless.tracks[0].back() = MakeSector(0, 0, 2, 1, Filler("D", 0, 2), 65535);
  Bytes endlessIds;
  for (int p = 0; p < 65535; ++p) endlessIds.insert(endlessIds.end(), {0, 0, 1, 1});

  struct Case {
    const char* what;
    Bytes image;
    int r;           // sought on track 0
    Bytes expected;  // ReadSector's bytes
    int run;         // ReadSectors' result for 768 bytes from sector 1
    Bytes ids;       // ListSectorIds' bytes
  };
  const Case cases[] = {
      {"file ends inside the sought data", Cut(threeBytes, track0 + sectorSize + d88::kSectorHeaderSize + 100), 2,
       Cut(Filler("D", 0, 2), 100), 256, {0, 0, 1, 1, 0, 0, 2, 1}},
      {"file ends inside a header", Cut(threeBytes, track0 + 2 * sectorSize + 10), 3, {}, 512,
       {0, 0, 1, 1, 0, 0, 2, 1}},
      {"counts never reached", miscounted.Build(), 9, {}, 768, {0, 0, 1, 1, 0, 0, 2, 1, 0, 0, 3, 1}},
      {"headers state 0 sectors", empty.Build(), 1, {}, 0, {}},
      {"sought sector is the 65,536th header", endless.Build(), 2, {}, 0, endlessIds},
  };
  testimg::ScratchDir dir;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    D88Image image;
    image.SetSectorRange(1, 26);
    OpenImage(image, dir / "image.d88", k.image);
    ASSERT_TRUE(image.SelectDisk(0));
    Bytes buffer(768, kUntouched);
    const int got = image.ReadSector(0, 0, 0, k.r, 1, buffer.data(), 256);
    ASSERT_EQ(got, static_cast<int>(k.expected.size()));
    EXPECT_TRUE(std::equal(k.expected.begin(), k.expected.end(), buffer.begin()));
    EXPECT_EQ(image.ReadSectors(0, 0, 0, 1, 1, buffer.data(), 768), k.run);
    Bytes ids(4 * 65536 + 4, kUntouched);
    ASSERT_EQ(image.ListSectorIds(0, ids.data(), static_cast<int>(ids.size())),
              static_cast<int>(k.ids.size()));
    EXPECT_TRUE(std::equal(k.ids.begin(), k.ids.end(), ids.begin()));
  }
}

}  // namespace
