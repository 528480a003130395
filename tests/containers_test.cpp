// The container layer: which container a file is taken for, the D88 each
// container converts to, damaged containers, images read from memory, and
// every program run as a process on its disks stored in each container
// against the same disks stored as D88.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "abcut/catalogue.h"
#include "containers/container.h"
#include "containers/d88_writer.h"
#include "d88/d88_image.h"
#include "oabcut/catalogue.h"
#include "support/container_builder.h"
#include "support/kind_disk.h"
#include "support/process.h"
#include "vorxcut/catalogue.h"

namespace {

using containers::Kind;
using testimg::Bytes;
using testimg::Concat;
using testimg::Disk;
using testimg::Layout;

// What ImageFile makes of `bytes` stored as `name`.
struct Opened {
  bool ok = false;
  Kind kind = Kind::kD88;
  std::string warning;
  Bytes d88;  // the converted bytes; empty for a file read as D88
  int disks = 0;
};

Opened OpenAs(const Bytes& bytes, const std::string& name) {
  static d88::D88Image image;
  testimg::ScratchDir dir;
  testimg::WriteFile(dir / name, bytes);
  containers::ImageFile file;
  Opened opened;
  opened.ok = file.Open((dir / name).c_str(), image);
  opened.kind = file.GetKind();
  opened.warning = file.Warning();
  opened.d88.assign(file.D88Data(), file.D88Data() + file.D88Size());
  opened.disks = image.DiskCount();
  image.Open(nullptr);  // before the converted bytes go
  return opened;
}

Bytes Patched(Bytes bytes, size_t at, const Bytes& patch) {
  for (size_t i = 0; i < patch.size(); ++i) bytes[at + i] = patch[i];
  return bytes;
}

Bytes U32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

Bytes Cut(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

// A disk with a track and a sector missing, so the unformatted filling and
// the track maps show.
Disk Holed(const Layout& layout) {
  Disk disk = testimg::Formatted(layout, "H");
  disk.RemoveTrack(5).Remove(7, 3);
  return disk;
}

const Layout k144{80, 2, 18, 512, false};
const Layout k2hd9x80{80, 2, 9, 1024, false};
const Layout k2hd26x80{80, 2, 26, 256, false};
const Layout kDdb{80, 2, 16, 256, false};
const Layout kDd6{80, 2, 8, 512, false};

// The disk as the stored sectors make it, cut where the file ends `cut`
// bytes after `base`: a sector not held whole is absent.
Disk CutStored(Disk stored, size_t dataBytes) {
  size_t used = 0;
  for (auto it = stored.tracks.begin(); it != stored.tracks.end();) {
    std::vector<testimg::Sector> kept;
    for (const testimg::Sector& s : it->second) {
      used += s.data.size();
      if (used <= dataBytes) kept.push_back(s);
    }
    if (kept.empty()) {
      it = stored.tracks.erase(it);
    } else {
      it->second = kept;
      ++it;
    }
  }
  return stored;
}

// One way of storing a disk: the file it makes and the D88 disk it holds.
struct Container {
  const char* what;
  std::string name;
  Kind kind;
  Layout layout;
  std::function<Bytes(const Disk&)> build;
  bool onlyTracksOf = false;  // tracks the disk lacks stay absent
  bool keepsIds = false;      // holds the disk's own sectors: IDs, order, gaps
};

// The disk container `c` holds when built from `disk`, as D88 would hold it.
Disk Held(const Container& c, const Disk& disk) {
  if (!c.keepsIds) return testimg::Stored(disk, c.layout, c.onlyTracksOf);
  Disk held = disk;
  if (c.kind == Kind::kFdd && held.mediaType != 0x20) held.mediaType = 0x10;  // 2HD or 2DD only
  return held;
}

std::vector<Container> Containers() {
  using namespace testimg;
  return {
      {"FDI 26x256", "a.fdi", Kind::kFdi, k2hd26, [](const Disk& d) { return BuildFdi(d, k2hd26); }},
      {"FDI 8x1024", "a.fdi", Kind::kFdi, k2hd8, [](const Disk& d) { return BuildFdi(d, k2hd8); }},
      {"FDI 1.44 MB", "a.fdi", Kind::kFdi, k144, [](const Disk& d) { return BuildFdi(d, k144); }},
      {"DIP", "a.dip", Kind::kDip, k2hd8, [](const Disk& d) { return BuildDip(d); }},
      {"DCP 0x11", "a.dcp", Kind::kDcp, k2hd26Fm, [](const Disk& d) { return BuildDcp(d, k2hd26Fm); }},
      {"DCU 0x21 sparse", "a.dcu", Kind::kDcu, k2hd26,
       [](const Disk& d) { return BuildDcp(d, k2hd26, false); }, true},
      {"DCP 0x21 80 cylinders", "a.dcp", Kind::kDcp, k2hd26x80,
       [](const Disk& d) { return BuildDcp(d, k2hd26x80); }},
      {"DCP 0x08 80 cylinders", "a.dcp", Kind::kDcp, k2hd9x80,
       [](const Disk& d) { return BuildDcp(d, k2hd9x80); }},
      {"raw .hdb", "a.hdb", Kind::kRaw, k2hd26Fm, [](const Disk& d) { return BuildRaw(d, k2hd26Fm); }},
      {"raw .h01", "a.img", Kind::kRaw, k2hd26, [](const Disk& d) { return BuildRaw(d, k2hd26); }},
      {"raw .hdm", "a.hdm", Kind::kRaw, k2hd8, [](const Disk& d) { return BuildRaw(d, k2hd8); }},
      {"raw .ddb", "a.DDB", Kind::kRaw, kDdb, [](const Disk& d) { return BuildRaw(d, kDdb); }},
      {"raw 640 KB", "a.dd6", Kind::kRaw, kDd6, [](const Disk& d) { return BuildRaw(d, kDd6); }},
      {"NFD r0", "a.nfd", Kind::kNfdR0, k2hd26Fm, [](const Disk& d) { return BuildNfdR0(d); }, true, true},
      {"NFD r1 with retry and diagnostic data", "a.nfd", Kind::kNfdR1, k2hd26Fm,
       [](const Disk& d) {
         NfdR1Extras extras;
         extras.retries = {{{0, 1}, 2}, {{1, 2}, 1}};
         extras.diags[0].push_back(NfdDiag{0x02, 0, 0, 1, 1, 0xE0, Bytes(256, 0x5A), 1});
         return BuildNfdR1(d, extras);
       },
       true, true},
      {"FDD", "a.fdd", Kind::kFdd, k2hd26Fm, [](const Disk& d) { return BuildFdd(d); }, true, true},
  };
}

TEST(Containers, BuildersMatchTheMinimalImagesByteForByte) {
  const Disk d8 = testimg::Formatted(testimg::k2hd8);
  const Disk d26 = testimg::Formatted(testimg::k2hd26);
  const struct {
    const char* what;
    Bytes image;
    size_t size;
    Bytes start;
    size_t at;
  } cases[] = {
      {"FDI 8x1024", testimg::BuildFdi(d8, testimg::k2hd8), 1265664,
       Patched(Bytes(32), 4, {0x90, 0, 0, 0, 0, 0x10, 0, 0, 0, 0x40, 0x13, 0, 0, 4, 0, 0, 8, 0, 0, 0, 2, 0, 0, 0, 0x4D}), 0},
      {"FDI 26x256", testimg::BuildFdi(d26), 1029120,
       Patched(Bytes(32), 4, {0x90, 0, 0, 0, 0, 0x10, 0, 0, 0, 0xA4, 0x0F, 0, 0, 1, 0, 0, 0x1A, 0, 0, 0, 2, 0, 0, 0, 0x4D}), 0},
      {"DIP", testimg::BuildDip(d8), 1261824, {1, 8, 0, 0x13, 0x41, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'T'}, 0},
      {"DCP 0x01 map end", testimg::BuildDcp(d8, testimg::k2hd8), 1261730, {1, 1, 0, 0, 0, 0, 0, 0, 1}, 153},
      {"DCP 0x11", testimg::BuildDcp(testimg::Formatted(testimg::k2hd26Fm), testimg::k2hd26Fm), 1021858,
       {0x11, 1}, 0},
      {"raw .hdb C0 H1 R1", testimg::BuildRaw(testimg::Formatted(testimg::k2hd26Fm)), 1021696,
       testimg::Filler("D", 1, 1, 16), 3328},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.image.size(), c.size);
    ASSERT_GE(c.image.size(), c.at + c.start.size());
    EXPECT_EQ(Bytes(c.image.begin() + long(c.at), c.image.begin() + long(c.at + c.start.size())), c.start);
  }
}

TEST(Containers, EachConvertsToTheD88OfTheSectorsItStores) {
  for (const Container& c : Containers()) {
    SCOPED_TRACE(c.what);
    const Disk disk = Holed(c.layout);
    const Opened opened = OpenAs(c.build(disk), c.name);
    ASSERT_TRUE(opened.ok);
    EXPECT_EQ(opened.kind, c.kind);
    EXPECT_EQ(opened.warning, "");
    EXPECT_EQ(opened.disks, 1);
    EXPECT_TRUE(opened.d88 == Held(c, disk).Build());
  }
}

TEST(Containers, DetectionTakesEachFileForWhatItIs) {
  using testimg::BuildFdi;
  const Disk d26 = testimg::Formatted(testimg::k2hd26);
  const Disk d8 = testimg::Formatted(testimg::k2hd8);
  const Bytes fdi = BuildFdi(d26);
  const Bytes fdi8 = BuildFdi(d8, testimg::k2hd8);
  const Bytes dcp = testimg::BuildDcp(testimg::Formatted(testimg::k2hd26Fm));
  const Bytes raw8 = testimg::BuildRaw(d8, testimg::k2hd8);
  // A D88 of exactly a dump's size (sectors of 1024 bytes and a short last
  // one), whole and with its size field wrong.
  Disk sized;
  for (size_t left = 1261568 - 688, r = 0; left > 0; ++r) {
    testimg::Sector s;
    s.c = uint8_t(r / 16);
    s.h = uint8_t(r / 8 % 2);
    s.r = uint8_t(r % 8 + 1);
    s.n = 3;
    s.data.resize((left < 1040 ? left : 1040) - 16);
    left -= s.data.size() + 16;
    sized.tracks[int(r / 8)].push_back(s);
  }
  const Bytes d88Sized = sized.Build();
  Disk kind = testimg::KindDisk(vorxcut::kCatalogue, vorxcut::kCatalogue.rules.data[0]);
  Disk small;
  small.Format(0, 3);
  // A KryoFlux stream file whose KFInfo names a clock past any integer.
  const std::string kf("\x0D\x04\x19\x00" "sck=99999999999999999999" "\x00\x0D\x0D\x0D\x0D", 33);
  const struct {
    const char* what;
    Bytes bytes;
    std::string name;
    Kind kind;
    std::string warning;  // a part of it; "" for none
  } cases[] = {
      {"FDI, any name", fdi, "a.bin", Kind::kFdi, ""},
      {"FDI with data-size field 0", Patched(fdi, 0x0C, U32(0)), "a.fdi", Kind::kFdi, "data-size field"},
      {"FDI stamped 8x1024 over 26x256 data", Patched(fdi, 0x10, {0, 4, 0, 0, 8}), "a.fdi", Kind::kFdi,
       "read as the data size shows"},
      {"FDI stamped 8x1024 in every field", Patched(fdi, 0x0C, {0, 0x40, 0x13, 0, 0, 4, 0, 0, 8}), "a.fdi",
       Kind::kFdi, "data bytes are 77x2x26 256-byte"},
      {"FDI geometry no data size proves", Cut(Patched(fdi8, 0x0C, U32(0)), 4096 + 5000), "a.fdi", Kind::kD88,
       "not read as FDI"},
      {"FDI cut short", Cut(fdi, 500000), "a.fdi", Kind::kFdi, "ends inside track 74 of its 154"},
      {"FDI with dword 0 set", Patched(fdi, 0, {1}), "a.fdi", Kind::kD88, ""},
      {"HDI look-alike", Patched(Patched(fdi, 0x18, U32(8)), 0x1C, U32(615)), "a.hdi", Kind::kD88, ""},
      {"FDI of an unknown device type", Patched(fdi, 4, {0x20}), "a.fdi", Kind::kD88, ""},
      {"DIP cut short", Cut(testimg::BuildDip(d8), 300000), "a.dip", Kind::kDip, "ends inside track"},
      {"DIP with bytes after it", Concat(testimg::BuildDip(d8), Bytes(10)), "a", Kind::kDip, "10 bytes after"},
      {"DIP without signature, .dip", Patched(testimg::BuildDip(d8), 0, {0}), "a.dip", Kind::kDip, "without its signature"},
      {"DIP without signature, other name", Patched(testimg::BuildDip(d8), 0, {0}), "a.bin", Kind::kD88, ""},
      {"DCP with a map byte 2", Patched(dcp, 9, {2}), "a.dcp", Kind::kD88, ""},
      {"DCP header storing no track", Cut(Patched(Patched(dcp, 1, Bytes(160)), 0xA1, {0}), 0xA2), "a.dcp", Kind::kD88, ""},
      {"DCP of an unknown media", Patched(dcp, 0, {0x07}), "a.dcp", Kind::kD88, ""},
      {"X68000 DIM look-alike", Patched(dcp, 0xAB, {'D', 'I', 'F', 'C', ' ', 'H', 'E', 'A', 'D', 'E', 'R', ' ', ' '}),
       "a.dim", Kind::kD88, ""},
      {"DCP cut short", Cut(dcp, 400000), "a.dcp", Kind::kDcp, "ends inside track"},
      {"DCP 0x11 storing track 0 whole", Patched(testimg::BuildDcp(d26, testimg::k2hd26), 0, {0x11}), "a.dcp",
       Kind::kDcp, "track 0 stored as 26 256-byte"},
      {"raw 640 KB named .ddb", testimg::BuildRaw(testimg::Formatted(kDdb), kDdb), "x.ddb", Kind::kRaw, ""},
      {"raw 640 KB of another name", testimg::BuildRaw(testimg::Formatted(kDdb), kDdb), "x.img", Kind::kRaw,
       "may also be 80x2x16"},
      {"raw of no known size", Cut(raw8, 1261567), "a.hdm", Kind::kD88, ""},
      {"FIM", Concat(Bytes(256), testimg::BuildRaw(d26, testimg::k2hd26)), "a.fim", Kind::kRaw, ""},
      {"D88 of a dump's size", d88Sized, "a.hdm", Kind::kD88, ""},
      {"D88 of a dump's size, size field wrong", Patched(d88Sized, 0x1C, U32(5000)), "a.hdm", Kind::kD88,
       "size field does not match"},
      {"D88 of a kind", kind.Build(), "a.d88", Kind::kD88, ""},
      {"D88 of three disks", testimg::BuildImage({kind, small, kind}), "a.d88", Kind::kD88, ""},
      {"D88 of four tracks", small.Build(), "a.fdi", Kind::kD88, ""},
      {"D88 unformatted", Disk().Build(), "a.d88", Kind::kD88, ""},
      {"D88 header of 0x2A0 bytes naming a track at 0x2B0", Patched(Patched(Bytes(0x2A0), 0x1C, U32(0x2A0)), 0x20, U32(0x2B0)),
       "a.hdm", Kind::kD88, ""},
      {"D88 cut short", Cut(kind.Build(), 3000), "a.fdi", Kind::kD88, ""},
      {"empty file", Bytes(), "a.fdi", Kind::kD88, ""},
      {"larger than any container", Concat(fdi, Bytes(16u << 20)), "a.fdi", Kind::kD88, ""},
      {"KryoFlux naming a clock past any integer", Bytes(kf.begin(), kf.end()), "t00.0.raw",
       Kind::kKryoFlux, "sck=1000000000000000000 Hz"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Opened opened = OpenAs(c.bytes, c.name);
    EXPECT_TRUE(opened.ok);
    EXPECT_EQ(containers::KindName(opened.kind), std::string(containers::KindName(c.kind)));
    if (c.warning.empty()) {
      EXPECT_EQ(opened.warning, "");
    } else {
      EXPECT_NE(opened.warning.find(c.warning), std::string::npos) << opened.warning;
    }
  }
}

TEST(Containers, DamagedContainersKeepEverySectorTheFileHoldsWhole) {
  const struct {
    const char* what;
    Container container;
    size_t header;
    size_t cut;  // data bytes kept
  } cases[] = {
      {"FDI", Containers()[0], 4096, 300000 + 100},
      {"DIP", Containers()[3], 256, 7 * 8192 + 1500},
      {"DCP", Containers()[4], 0xA2, 3328 + 6656 * 3 + 255},
      {"DCU sparse", Containers()[5], 0xA2, 6656 * 9 + 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Disk disk = Holed(c.container.layout);
    const Opened opened = OpenAs(Cut(c.container.build(disk), c.header + c.cut), c.container.name);
    ASSERT_TRUE(opened.ok);
    EXPECT_EQ(opened.kind, c.container.kind);
    EXPECT_NE(opened.warning.find("the sectors past the end are absent"), std::string::npos) << opened.warning;
    EXPECT_TRUE(opened.d88 ==
                CutStored(testimg::Stored(disk, c.container.layout, c.container.onlyTracksOf), c.cut).Build());
  }
}

TEST(D88Writer, WritesSoundDisksOrFailsAndStaysFailed) {
  using containers::D88Writer;
  using containers::SectorRecord;
  const uint8_t data[256] = {7};
  SectorRecord fm;
  fm.n = 0;
  fm.density = 0x40;
  const struct {
    const char* what;
    std::function<void(D88Writer&)> write;
    bool fails;
    std::function<Disk()> want;  // when it does not fail
  } cases[] = {
      {"a track short of its count keeps what it got",
       [&](D88Writer& w) {
         w.BeginDisk(0x20, "NAME");
         w.BeginTrack(3, 5);
         w.AddSector(fm, data, 128);
         w.AddFilledSector(SectorRecord{}, 0xE5, 256);
         w.BeginTrack(4, 2);  // none: absent
         w.EndDisk();
       },
       false,
       [&] {
         Disk d;
         d.name = "NAME";
         d.mediaType = 0x20;
         testimg::Sector a, b;
         a.n = 0;
         a.density = 0x40;
         a.data = Bytes(data, data + 128);
         b.data = Bytes(256, 0xE5);
         d.tracks[3] = {a, b};
         return d;
       }},
      {"tracks out of order", [&](D88Writer& w) { w.BeginDisk(0); w.BeginTrack(1, 1); w.AddSector(fm, data, 1); w.BeginTrack(1, 1); }, true, nullptr},
      {"a sector more than begun", [&](D88Writer& w) { w.BeginDisk(0); w.BeginTrack(0, 1); w.AddSector(fm, data, 1); w.AddSector(fm, data, 1); }, true, nullptr},
      {"track 164", [&](D88Writer& w) { w.BeginDisk(0); w.BeginTrack(164, 1); }, true, nullptr},
      {"past the limit", [&](D88Writer& w) { w.BeginDisk(0); w.BeginTrack(0, 40); for (int i = 0; i < 40; ++i) w.AddSector(fm, data, 256); }, true, nullptr},
      {"a sector outside a track", [&](D88Writer& w) { w.BeginDisk(0); w.AddSector(fm, data, 1); w.EndDisk(); }, true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    D88Writer writer(8192);
    c.write(writer);
    EXPECT_EQ(writer.Failed(), c.fails);
    if (c.fails) {
      EXPECT_FALSE(writer.BeginDisk(0));
      continue;
    }
    const d88::OwnedBytes written = writer.Release();
    EXPECT_TRUE(Bytes(written.bytes.get(), written.bytes.get() + written.size) == c.want().Build());
  }
}

// Everything a D88Image shows of its image, read every way it offers.
std::string Digest(d88::D88Image& image) {
  std::string text = std::to_string(image.DiskCount());
  for (int d = 0; d < image.DiskCount(); ++d) {
    text += "|" + std::to_string(image.DiskPosition(d));
    if (!image.SelectDisk(d)) continue;
    text += std::string(" ") + image.DiskName() + " " + std::to_string(image.DiskSize());
    for (int t = 0; t < d88::kTrackCount; ++t) {
      uint8_t ids[4 * 64];
      const int n = image.ListSectorIds(t, ids, sizeof ids) / 4;
      for (int i = 0; i < n; ++i) {
        uint8_t data[1024] = {};
        const int got = image.ReadSector(t, ids[4 * i], ids[4 * i + 1], ids[4 * i + 2], ids[4 * i + 3], data, 1024);
        text += " " + std::to_string(got) + ":" + std::string(data, data + got);
      }
    }
  }
  return text;
}

TEST(D88ImageMemory, ReadsBytesInMemoryAsTheSameBytesInAFile) {
  Disk a, b;
  a.Format(0, 2);
  b.name = "B";
  b.Format(1, 3, 5);
  const Bytes whole = testimg::BuildImage({a, b, a});
  for (size_t size : {whole.size(), whole.size() - 100, size_t(a.Build().size() + 300), size_t(700), size_t(10)}) {
    SCOPED_TRACE(size);
    const Bytes bytes = Cut(whole, size);
    testimg::ScratchDir dir;
    testimg::WriteFile(dir / "i.d88", bytes);
    static d88::D88Image fromFile, fromMemory;
    ASSERT_TRUE(fromFile.Open((dir / "i.d88").c_str()));
    ASSERT_TRUE(fromMemory.OpenMemory(bytes.data(), bytes.size()));
    EXPECT_EQ(Digest(fromMemory), Digest(fromFile));
    fromMemory.Open(nullptr);
    fromFile.Open(nullptr);
  }
}

TEST(D88ImageMemory, AFileThatCannotBeReadLeavesTheDirectoryAsAMissingOneDoes) {
  Disk a;
  a.Format(0, 0, 1);
  testimg::ScratchDir dir;
  testimg::WriteFile(dir / "two.d88", testimg::BuildImage({a, a}));
  static d88::D88Image image;
  for (const std::string& path : {dir / "missing.d88", dir.path()}) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(image.Open((dir / "two.d88").c_str()));
    EXPECT_FALSE(image.Open(path.c_str()));
    EXPECT_EQ(image.DiskCount(), 2);
    EXPECT_EQ(image.DiskPosition(1), static_cast<long long>(a.Build().size()));
    EXPECT_FALSE(image.SelectDisk(0));  // closed all the same
  }
}

// Writes `bytes` as `name` and runs `program` on it in a fresh folder.
testimg::RunOutcome RunOnFile(const std::string& program, const Bytes& bytes, const std::string& name) {
  testimg::ScratchDir input, work;
  testimg::WriteFile(input / name, bytes);
  testimg::RunOutcome outcome;
  outcome.process = testimg::RunProcess(program, {input / name}, work.path());
  outcome.files = work.Files();
  return outcome;
}

TEST(ContainersRun, EveryProgramCutsTheSameFromEachContainerAsFromTheD88) {
  const struct {
    std::string program;
    const cut::Catalogue& catalogue;
  } programs[] = {{VORXCUT_PATH, vorxcut::kCatalogue}, {ABCUT_PATH, abcut::kCatalogue},
                  {OABCUT_PATH, oabcut::kCatalogue}};
  std::vector<Container> holding26;  // those that can hold the programs' 256-byte sectors
  for (const Container& c : Containers()) {
    if (c.layout.sectors == 26 && c.layout.sectorSize == 256) holding26.push_back(c);
  }
  ASSERT_EQ(holding26.size(), 9u);
  for (const auto& p : programs) {
    for (const cut::DiskRule& rule : p.catalogue.rules) {
      const Disk disk = testimg::KindDisk(p.catalogue, rule);
      const testimg::RunOutcome asD88 = testimg::RunOnImage(p.program, disk.Build());
      for (const Container& c : holding26) {
        SCOPED_TRACE(std::string(p.catalogue.program) + " kind " + std::to_string(rule.number) + " in " + c.what);
        const testimg::RunOutcome got = RunOnFile(p.program, c.build(disk), c.name);
        // The disk as the container holds it, stored as D88; an FM track 0
        // cannot hold the 256-byte sectors the kinds' probes read there, so
        // only containers without one, or that keep each sector's ID and
        // size, hold the kind's own disk.
        const testimg::RunOutcome want =
            c.layout.track0Fm && !c.keepsIds ? testimg::RunOnImage(p.program, Held(c, disk).Build()) : asD88;
        EXPECT_EQ(got.process.status, want.process.status);
        EXPECT_EQ(got.process.out, want.process.out);
        EXPECT_EQ(got.process.err, want.process.err);
        EXPECT_TRUE(got.files == want.files);
      }
    }
  }
}

TEST(ContainersRun, ADamagedContainerWarnsOnceAndCutsWhatItHolds) {
  const cut::DiskRule& rule = vorxcut::kCatalogue.rules.data[0];
  const Disk disk = testimg::KindDisk(vorxcut::kCatalogue, rule);
  // The FDI ends inside track 100: the kind's early tracks are whole.
  const Bytes fdi = Cut(testimg::BuildFdi(disk), 4096 + 100 * 6656 + 1000);
  const testimg::RunOutcome want = testimg::RunOnImage(VORXCUT_PATH, disk.Build());
  testimg::ScratchDir input, work;
  testimg::WriteFile(input / "g.fdi", fdi);
  const testimg::ProcessResult got = testimg::RunProcess(VORXCUT_PATH, {input / "g.fdi"}, work.path());
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "warning: " + (input / "g.fdi") +
                         ": FDI image ends inside track 100 of its 154; the sectors past the end are "
                         "absent\n" + want.process.err);
  EXPECT_EQ(got.out, want.process.out);
  EXPECT_TRUE(work.Files() == want.files);
}

TEST(ContainersRun, D88infoNamesTheContainerAndWhatItRecorded) {
  Disk disk = testimg::Formatted(testimg::k2hd26Fm);
  for (int t = 2; t < 154; ++t) disk.RemoveTrack(t);
  const struct {
    const char* what;
    Bytes image;
    std::string name;
    std::vector<std::string> lines;  // the first lines of the output
  } cases[] = {
      {"DCP", testimg::BuildDcp(disk, testimg::k2hd26Fm, false), "a.dcp",
       {"container DCP, 77x2x26, 256-byte sectors, track 0 FM 128-byte",
        "disk 0: offset 0, size 11504, 2HD, writable, name \"\", 2 tracks, 52 sectors; recognised by none",
        "  track 0: 26 sectors, 128 bytes each, none of 1-26 missing",
        "    0/0/1/0 0/0/2/0 0/0/3/0 0/0/4/0 0/0/5/0 0/0/6/0 0/0/7/0 0/0/8/0 0/0/9/0 0/0/10/0 0/0/11/0 0/0/12/0 0/0/13/0",
        "    0/0/14/0 0/0/15/0 0/0/16/0 0/0/17/0 0/0/18/0 0/0/19/0 0/0/20/0 0/0/21/0 0/0/22/0 0/0/23/0 0/0/24/0 0/0/25/0 0/0/26/0",
        "    recorded: every sector FM", "  track 1: 26 sectors, 256 bytes each, none of 1-26 missing"}},
      {"the same disk as D88", testimg::Stored(disk, testimg::k2hd26Fm, true).Build(), "a.d88",
       {"disk 0: offset 0, size 11504, 2HD, writable, name \"\", 2 tracks, 52 sectors; recognised by none",
        "  track 0: 26 sectors, 128 bytes each, none of 1-26 missing"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::ScratchDir input, work;
    testimg::WriteFile(input / c.name, c.image);
    const testimg::ProcessResult got = testimg::RunProcess(D88INFO_PATH, {"--sectors", input / c.name}, work.path());
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.err, "");
    std::string want;
    for (const std::string& line : c.lines) want += line + "\n";
    EXPECT_EQ(got.out.substr(0, want.size()), want);
  }
}

}  // namespace
