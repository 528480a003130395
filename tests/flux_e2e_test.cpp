// Flux dumps through the real programs: each kind disk of every program
// written as flux (ideal, jittered, read in a 300-rpm drive, one damaged
// revolution of three) and stored as SCP, a KryoFlux set, HFE and MFI is
// cut exactly as its D88; d88conv writes each dump as the D88 of the disk's
// own sectors; d88info names what decoding found.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "abcut/catalogue.h"
#include "containers/container.h"
#include "d88/d88_image.h"
#include "oabcut/catalogue.h"
#include "support/archive_builder.h"
#include "support/flux_builder.h"
#include "support/flux_encoder.h"
#include "support/kind_disk.h"
#include "support/process.h"
#include "vorxcut/catalogue.h"

namespace {

using testimg::Bytes;
using testimg::Disk;
using testimg::FluxOptions;
using testimg::FluxTracks;
using testimg::NamedBytes;

// A disk stored one way: its files, and the one a program is given.
struct Dump {
  std::string what;
  std::vector<NamedBytes> files;
  std::string open;
};

// The KryoFlux set is opened by a file from its middle.
std::vector<Dump> Dumps(const FluxTracks& tracks, int hfeRpm = 0) {
  const std::vector<NamedBytes> set = testimg::BuildKryoFluxSet(tracks, "d");
  return {{"SCP", {{"d.scp", testimg::BuildScp(tracks)}}, "d.scp"},
          {"KryoFlux", set, set[set.size() / 2].name},
          {"HFE", {{"d.hfe", testimg::BuildHfe(tracks, {1, 500, false, hfeRpm})}}, "d.hfe"},
          {"MFI", {{"d.mfi", testimg::BuildMfi(tracks)}}, "d.mfi"}};
}

struct Variant {
  std::string what;
  FluxOptions options;
  // An HFE holds cells of one fixed rate: a 300-rpm read of a 360-rpm disk
  // is written as the tools write it, each revolution brought to 360 rpm.
  int hfeRpm = 0;
};

// The second revolution is the damaged one: HFE and MFI keep the first.
std::vector<Variant> Variants() {
  Variant ideal{"ideal", {}}, jitter{"jitter", {}}, slow{"300-rpm drive", {}, 360},
      damaged{"damaged", {}};
  jitter.options.jitter = 0.12;
  slow.options.driveRpm = 300;
  slow.options.jitter = 0.08;
  damaged.options.damage = {{-1, 1, 0.2, 0.35}};
  return {ideal, jitter, slow, damaged};
}

// The disk's formatted tracks as flux: a dump of the tracks it has (the
// encoder's unformatted noise, decoded to nothing, would only cost time).
FluxTracks Encode(const Disk& disk, const FluxOptions& options) {
  const int turn = testimg::FluxCellsPerRevolution(disk, options);
  FluxTracks tracks;
  for (const auto& [t, sectors] : disk.tracks) {
    tracks.push_back(testimg::CellsToFlux(testimg::TrackCells(sectors, turn), turn, options, t));
    tracks.back().cylinder = t / 2;
    tracks.back().head = t % 2;
  }
  return tracks;
}

// Writes the dump's files into `dir` and runs `program` on it in a fresh
// folder.
testimg::RunOutcome RunOnDump(const std::string& program, const Dump& dump,
                              const std::vector<std::string>& args = {}) {
  testimg::ScratchDir input, work;
  for (const NamedBytes& f : dump.files) testimg::WriteFile(input / f.name, f.bytes);
  std::vector<std::string> all = args;
  all.push_back(input / dump.open);
  testimg::RunOutcome outcome;
  outcome.process = testimg::RunProcess(program, all, work.path());
  outcome.files = work.Files();
  return outcome;
}

void CutsAsTheD88(const std::string& program, const cut::Catalogue& catalogue) {
  for (const cut::DiskRule& rule : catalogue.rules) {
    const Disk disk = testimg::KindDisk(catalogue, rule, {"", true});
    const testimg::RunOutcome want = testimg::RunOnImage(program, disk.Build());
    for (const Variant& v : Variants()) {
      for (const Dump& dump : Dumps(Encode(disk, v.options), v.hfeRpm)) {
        SCOPED_TRACE("kind " + std::to_string(rule.number) + ", " + v.what + ", " + dump.what);
        const testimg::RunOutcome got = RunOnDump(program, dump);
        EXPECT_EQ(got.process.status, want.process.status);
        EXPECT_EQ(got.process.out, want.process.out);
        EXPECT_EQ(got.process.err, want.process.err);
        EXPECT_TRUE(got.files == want.files);
      }
    }
  }
}

TEST(FluxRun, VorxcutCutsEachDumpAsTheD88) { CutsAsTheD88(VORXCUT_PATH, vorxcut::kCatalogue); }
TEST(FluxRun, AbcutCutsEachDumpAsTheD88) { CutsAsTheD88(ABCUT_PATH, abcut::kCatalogue); }
TEST(FluxRun, OabcutCutsEachDumpAsTheD88) { CutsAsTheD88(OABCUT_PATH, oabcut::kCatalogue); }

// A 2HD disk of 3 cylinders with what D88 must keep of a dump: an FM track
// 0 (26 x 128, one sector deleted), MFM 26 x 256 elsewhere, a deliberate
// data CRC error and a deleted sector among them.
Disk Keeping() {
  Disk disk;
  disk.name = "";
  disk.mediaType = 0x20;
  disk.Format(1, 5);
  for (int r = 1; r <= 26; ++r) {
    testimg::Sector s;
    s.c = 0, s.h = 0, s.r = static_cast<uint8_t>(r), s.n = 0, s.density = 0x40;
    s.data = testimg::Filler("FM", 0, r, 128);
    disk.tracks[0].push_back(s);
  }
  disk.tracks[0][4].deleted = disk.tracks[0][4].status = 0x10;
  disk.tracks[3][7].status = 0xB0;
  disk.tracks[4][2].deleted = disk.tracks[4][2].status = 0x10;
  return disk;
}

// Runs d88conv on the dump and returns what it wrote.
Bytes Converted(const Dump& dump, std::string* out) {
  testimg::ScratchDir input, work;
  for (const NamedBytes& f : dump.files) testimg::WriteFile(input / f.name, f.bytes);
  const testimg::ProcessResult p =
      testimg::RunProcess(D88CONV_PATH, {"-o", work / "out.d88", input / dump.open}, work.path());
  EXPECT_EQ(p.status, 0);
  EXPECT_EQ(p.err, "");
  *out = p.out;
  return testimg::ReadFile(work / "out.d88");
}

TEST(FluxConv, EachDumpConvertsToTheD88OfTheDisksOwnSectors) {
  const Disk disk = Keeping();
  const Bytes want = disk.Build();
  for (const Variant& v : Variants()) {
    for (const Dump& dump : Dumps(Encode(disk, v.options), v.hfeRpm)) {
      SCOPED_TRACE(v.what + ", " + dump.what);
      std::string out;
      EXPECT_TRUE(Converted(dump, &out) == want);
    }
  }
  // A whole dump: every cylinder of the drive (82, as dumped without a
  // format), those past the disk's unformatted; and single-sided dumps in
  // both SCP numberings.
  FluxOptions drive;
  drive.cylinders = 82;
  drive.jitter = 0.1;
  Disk side0 = disk;
  for (int t = 1; t < 6; t += 2) side0.tracks.erase(t);
  FluxOptions single;
  single.singleSided = true;
  const FluxTracks side0Flux = testimg::EncodeFlux(side0, single);
  // clang-format off
  const struct {
    std::string what;
    Bytes scp;
    Bytes want;
  } cases[] = {
      {"82 cylinders", testimg::BuildScp(testimg::EncodeFlux(disk, drive)), want},
      {"head 0 only, even entries", testimg::BuildScp(side0Flux, {1, false, 0, true}), side0.Build()},
      {"head 0 only, one entry per cylinder", testimg::BuildScp(side0Flux, {1, true, 0, true}), side0.Build()},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string out;
    EXPECT_TRUE(Converted({"SCP", {{"d.scp", c.scp}}, "d.scp"}, &out) == c.want);
  }
}

TEST(FluxInfo, D88infoNamesTheDumpAndWhatDecodingFound) {
  const Disk disk = Keeping();
  FluxOptions damaged;
  damaged.damage = {{-1, 1, 0.2, 0.35}};
  testimg::ScratchDir dir;
  testimg::WriteFile(dir / "ideal.scp", testimg::BuildScp(Encode(disk, {})));
  testimg::WriteFile(dir / "damaged.scp", testimg::BuildScp(Encode(disk, damaged)));
  testimg::WriteFile(dir / "d.hfe", testimg::BuildHfe(Encode(disk, {})));

  const testimg::ProcessResult text =
      testimg::RunProcess(D88INFO_PATH, {"--sectors", dir / "ideal.scp"}, dir.path());
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.err, "");
  const std::string lines[] = {
      "container SCP, 3 revolutions, 3x2 cylinders/heads, MFM 500 kbit/s, track 0 FM\n",
      "disk 0: offset 0, size 39792, 2HD, writable, name \"\", 6 tracks, 156 sectors; recognised "
      "by none\n",
      "    flux: FM 250 kbit/s, 3 revolutions decoded\n",
      "    recorded: 1/1/8/1 status 0xB0\n"
      "    flux: MFM 500 kbit/s, 3 revolutions decoded; bad CRC: 1/1/8/1 in revolutions 1-3 "
      "(status 0xB0)\n",
  };
  for (const std::string& line : lines) EXPECT_NE(text.out.find(line), std::string::npos) << line;
  const testimg::ProcessResult hfe = testimg::RunProcess(D88INFO_PATH, {dir / "d.hfe"}, dir.path());
  EXPECT_EQ(hfe.out.substr(0, hfe.out.find('\n')),
            "container HFE, 1 revolution, 3x2 cylinders/heads, MFM 500 kbit/s, track 0 FM");

  // A damaged revolution shows as bad copies in it alone, each sector read
  // good from another; the deliberate error stays bad.
  using Json = nlohmann::ordered_json;
  const testimg::ProcessResult json =
      testimg::RunProcess(D88INFO_PATH, {"--json", "--sectors", dir / "damaged.scp"}, dir.path());
  const Json doc = Json::parse(json.out, nullptr, false);
  ASSERT_FALSE(doc.is_discarded());
  EXPECT_EQ(doc["container"]["format"], "SCP");
  EXPECT_EQ(
      doc["container"]["flux"],
      Json::parse(R"({"revolutions": 3, "cylinders": 3, "heads": 2, "doubleStepped": false})"));
  int deliberate = 0, damage = 0;
  for (const Json& track : doc["disks"][0]["tracks"]) {
    SCOPED_TRACE(track["track"].dump());
    EXPECT_EQ(track["flux"]["revolutions"], 3);
    EXPECT_EQ(track["flux"]["encoding"], track["track"] == 0 ? "FM" : "MFM");
    for (const Json& bad : track["flux"]["badCrc"]) {
      if (track["track"] == 3 && bad["r"] == 8) {
        EXPECT_EQ(bad["status"], 0xB0);
        ++deliberate;
      } else {
        EXPECT_EQ(bad["revolutions"], Json::parse("[2]"));
        EXPECT_EQ(bad["status"], 0);
        ++damage;
      }
    }
  }
  EXPECT_EQ(deliberate, 1);
  EXPECT_GT(damage, 0);
  for (const Json& track : doc["disks"][0]["tracks"]) {
    for (const Json& bad : track["flux"]["badCrc"]) {
      EXPECT_EQ(bad["obtained"], bad["status"] == 0 ? "goodCopy" : "badCopy") << bad.dump();
    }
  }
}

// A worn dump: sectors whose every copy was bad come out voted or repaired,
// said in --sectors and drawn in --map, the same sectors in both.
TEST(FluxInfo, WornDumpsSayWhichSectorsWereRebuilt) {
  Disk disk;
  disk.mediaType = 0x20;
  disk.Format(0, 5);
  FluxOptions worn;
  worn.gaussianJitter = 0.055;
  testimg::ScratchDir dir;
  testimg::WriteFile(dir / "worn.scp", testimg::BuildScp(Encode(disk, worn)));
  const testimg::ProcessResult text =
      testimg::RunProcess(D88INFO_PATH, {"--sectors", "--map", dir / "worn.scp"}, dir.path());
  EXPECT_EQ(text.status, 0);
  const auto count = [&](const std::string& what) {
    size_t n = 0;
    for (size_t at = text.out.find(what); at != std::string::npos; at = text.out.find(what, at + 1)) ++n;
    return n;
  };
  size_t marked = 0;
  for (size_t at = text.out.find("  track "); at != std::string::npos; at = text.out.find("  track ", at + 1)) {
    const std::string row = text.out.substr(at, text.out.find('\n', at) - at);
    if (row.find(": ") == std::string::npos || row.find("sector") != std::string::npos) continue;
    for (const char mark : row.substr(row.find(": ") + 2)) marked += mark == 'v' || mark == 'r';
  }
  EXPECT_GT(count("(voted from ") + count("(repaired from "), 0u) << text.out;
  EXPECT_EQ(marked, count("(voted from ") + count("(repaired from ")) << text.out;
  EXPECT_NE(text.out.find("  map: . sound, v voted, r repaired, "), std::string::npos);
}

// Every dump that ever crashed the programs (kept in tests/regression/):
// each program ends by itself, its warning naming the file, with status 0
// or 1, and d88cut writes nothing outside the dump's folder.
TEST(FluxHostile, DumpsThatCrashedTheProgramsEndWithAWarning) {
  const std::vector<std::string> programs = {VORXCUT_PATH, ABCUT_PATH,   OABCUT_PATH,
                                             D88INFO_PATH, D88CONV_PATH, D88CUT_PATH};
  int dumps = 0;
  for (const auto& entry : std::filesystem::directory_iterator(REGRESSION_DIR)) {
    const std::string extension = entry.path().extension().string();
    if (extension != ".scp" && extension != ".hfe" && extension != ".mfi" && extension != ".raw")
      continue;
    ++dumps;
    const std::string name = entry.path().filename().string();
    const Dump dump{name, {{name, testimg::ReadFile(entry.path().string())}}, name};
    for (const std::string& program : programs) {
      SCOPED_TRACE(program + " " + name);
      const testimg::RunOutcome got = RunOnDump(program, dump);
      EXPECT_TRUE(got.process.status == 0 || got.process.status == 1) << got.process.status;
      EXPECT_EQ(got.process.err.rfind("warning: ", 0), 0u) << got.process.err;
      EXPECT_NE(got.process.err.find(name), std::string::npos);
    }
  }
  EXPECT_GE(dumps, 2);
}

// A KryoFlux set held in memory, as from an archive, with files of another
// dump and a note beside it; an SCP past the 16 MB other containers stop
// at; a dump cut short.
TEST(FluxOpen, SetsInMemoryLargeDumpsAndDumpsCutShort) {
  const Disk disk = Keeping();
  const FluxTracks flux = Encode(disk, {});
  std::vector<NamedBytes> set = testimg::BuildKryoFluxSet(flux, "dump/track");
  const Bytes note = {'h', 'i'};
  set.push_back({"dump/other00.0.raw", set[0].bytes});
  set.push_back({"dump/readme.txt", note});
  std::vector<containers::StreamFile> files;
  for (const NamedBytes& f : set) files.push_back({f.name, f.bytes.data(), f.bytes.size()});
  static d88::D88Image image;
  containers::ImageFile file;
  ASSERT_TRUE(file.OpenStreamSet(files.data(), files.size(), image));
  EXPECT_EQ(file.GetKind(), containers::Kind::kKryoFlux);
  EXPECT_EQ(file.Warning(),
            "the set holds 1 stream file of another dump beside trackNN.S.raw; not read");
  EXPECT_TRUE(Bytes(file.D88Data(), file.D88Data() + file.D88Size()) == disk.Build());
  EXPECT_FALSE(file.OpenStreamSet(files.data() + files.size() - 1, 1, image));
  image.Open(nullptr);

  Bytes large = testimg::BuildScp(flux);
  large.resize(17u << 20, 0);  // what follows the tracks is not read
  const Bytes scp = testimg::BuildScp(flux);
  const size_t track3 = scp[0x1C] | scp[0x1D] << 8 | scp[0x1E] << 16;
  Disk held = disk;
  for (int t = 3; t < 6; ++t) held.tracks.erase(t);
  // clang-format off
  const struct {
    std::string what;
    Bytes scp;
    Bytes want;
    std::string warning;
  } cases[] = {
      {"17 MB", large, disk.Build(), ""},
      {"cut inside track 3", Bytes(scp.begin(), scp.begin() + static_cast<long>(track3 + 1000)), held.Build(),
       "SCP track 3 revolution 1 runs past the end of the file; not read (and 4 more problems)"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::ScratchDir dir;
    testimg::WriteFile(dir / "d.scp", c.scp);
    const testimg::ProcessResult p =
        testimg::RunProcess(D88CONV_PATH, {"-o", dir / "out.d88", dir / "d.scp"}, dir.path());
    EXPECT_EQ(p.err,
              c.warning.empty() ? "" : "warning: " + (dir / "d.scp") + ": " + c.warning + "\n");
    EXPECT_TRUE(testimg::ReadFile(dir / "out.d88") == c.want);
  }
}

// Dumps as they travel: a zipped KryoFlux set (in a folder, beside a note),
// two sets in one zip, a zipped SCP, and a set given as its folder, each
// cut as the D88 of its disks; d88info shows a set as one member.
TEST(FluxArchive, ZippedDumpsAndFoldersCutAsTheD88) {
  const cut::DiskRule& rule = vorxcut::kCatalogue.rules.data[0];
  const Disk one = testimg::KindDisk(vorxcut::kCatalogue, rule, {"", true});
  const Disk two = Keeping();
  const FluxTracks flux = Encode(one, {});
  std::vector<testimg::ArchiveEntry> set, sets;
  for (const NamedBytes& f : testimg::BuildKryoFluxSet(flux, "dump/track")) {
    set.push_back({f.name, f.bytes});
    sets.push_back({"a " + f.name, f.bytes});
  }
  for (const NamedBytes& f : testimg::BuildKryoFluxSet(Encode(two, {}), "b dump/track")) {
    sets.push_back({f.name, f.bytes});
  }
  set.push_back({"dump/readme.txt", {'h', 'i'}});
  const Bytes zip = testimg::BuildArchive(testimg::ArchiveKind::kZip, set);
  // clang-format off
  const struct {
    std::string what;
    Bytes archive;  // empty: the set's files in a folder
    Bytes want;     // the D88 the run must match
  } cases[] = {
      {"zipped set", zip, one.Build()},
      {"two sets", testimg::BuildArchive(testimg::ArchiveKind::kZip, sets), testimg::BuildImage({one, two})},
      {"zipped SCP", testimg::BuildArchive(testimg::ArchiveKind::kZip, {{"d.scp", testimg::BuildScp(flux)}}), one.Build()},
      {"folder", {}, one.Build()},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::ScratchDir input, work;
    std::string path = input / "dump.zip";
    if (c.archive.empty()) {
      for (const NamedBytes& f : testimg::BuildKryoFluxSet(flux, "track")) {
        testimg::WriteFile(input / f.name, f.bytes);
      }
      path = input.path();
    } else {
      testimg::WriteFile(path, c.archive);
    }
    const testimg::RunOutcome want = testimg::RunOnImage(VORXCUT_PATH, c.want);
    ASSERT_FALSE(want.files.empty());
    const testimg::ProcessResult got = testimg::RunProcess(VORXCUT_PATH, {path}, work.path());
    EXPECT_EQ(got.status, want.process.status);
    EXPECT_EQ(got.out, want.process.out);
    EXPECT_EQ(got.err, want.process.err);
    EXPECT_TRUE(work.Files() == want.files);
  }
  testimg::ScratchDir dir;
  testimg::WriteFile(dir / "dump.zip", zip);
  const testimg::ProcessResult info = testimg::RunProcess(D88INFO_PATH, {dir / "dump.zip"}, dir.path());
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("\"dump/trackNN.S.raw\" (KryoFlux, 1 disk)"), std::string::npos) << info.out;
}

}  // namespace
