// d88info --json as a process: the document is read back with the same
// library and every field checked against the disks the test built, its
// layout against the library's own pretty-printing of it, and the sample
// images against the text listing of the same run.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "d88/d88_format.h"
#include "d88info/info.h"
#include "support/d88_builder.h"
#include "support/process.h"
#include "support/test_catalogue.h"

#if defined(D88INFO_PATH) && defined(MAKE_SAMPLES_PATH)
#include "abcut/catalogue.h"
#include "oabcut/catalogue.h"
#include "vorxcut/catalogue.h"
#endif

namespace {

using Json = nlohmann::ordered_json;
using testimg::Bytes;
using testimg::Disk;

const std::string kTool = D88INFO_TESTCUT_PATH;

std::vector<std::string> Keys(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& member : object.items()) keys.push_back(member.key());
  return keys;
}

// The document of a run that succeeded, after checking that it is laid out
// exactly as the library pretty-prints it and that the top level holds the
// fixed fields.
Json Document(const testimg::ProcessResult& run) {
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const Json doc = Json::parse(run.out, nullptr, false);
  if (doc.is_discarded()) {
    ADD_FAILURE() << "not JSON:\n" << run.out;
    return Json::object();
  }
  EXPECT_EQ(run.out, doc.dump(2) + "\n");
  EXPECT_EQ(Keys(doc), (std::vector<std::string>{"program", "version", "image", "container",
                                                 "warnings", "disks"}));
  EXPECT_EQ(doc["program"], "d88info");
  EXPECT_EQ(doc["version"], D88CUT_VERSION);
  EXPECT_EQ(doc["container"], Json::parse(R"({"format": "D88", "geometry": null})"));
  EXPECT_EQ(doc["warnings"], Json::array());
  return doc;
}

Json RunJson(const Bytes& image, const std::vector<std::string>& args) {
  const testimg::RunOutcome run = testimg::RunOnImage(kTool, image, args);
  EXPECT_TRUE(run.files.empty());
  Json doc = Document(run.process);
  const std::string path = doc.value("image", "");
  EXPECT_EQ(path.substr(path.size() - std::min<size_t>(path.size(), 9)), "image.d88");
  return doc;
}

// The fields of one disk that do not depend on --sectors, in their order.
Json DiskFields(int index, long long offset, long long size, const char* media, int mediaByte,
                bool writeProtected, int protectByte, const std::string& name, int tracks,
                int sectors, const Json& recognised) {
  return Json{{"index", index},       {"offset", offset},
              {"size", size},         {"media", media},
              {"mediaByte", mediaByte}, {"writeProtected", writeProtected},
              {"writeProtectByte", protectByte}, {"name", name},
              {"trackCount", tracks}, {"sectorCount", sectors},
              {"recognised", recognised}, {"filesystem", nullptr}};
}

std::string Count(const Json& n, const std::string& noun) {
  return n.dump() + " " + noun + (n == 1 ? "" : "s");
}

Json Taken(const char* program, int number, const char* kind) {
  return Json{{"program", program}, {"number", number}, {"kind", kind}};
}

TEST(D88InfoJson, Disks) {
  Disk first;  // testcut rule 1
  first.Format(0, 0).Poke(0, 1, 0, "AAA");
  Disk odd;  // a name that needs escaping, write-protected, no tracks
  odd.name = std::string("\x82\xA0" "A\"\\\x7F~");
  odd.mediaType = 0x20;
  odd.writeProtect = 0x10;
  Disk second;  // testcut rule 2; bytes no name stands for
  second.name = "";
  second.mediaType = 0x55;
  second.writeProtect = 0x01;
  second.Format(0, 0).Poke(0, 1, 10, "BB");
  const Bytes image = testimg::BuildImage({first, odd, second});

  const Json both = Json::array({Taken("testcut", 1, "first"), Taken("twincut", 1, "first")});
  const Json diskA = DiskFields(0, 0, 7760, "2D", 0, false, 0, "TEST", 1, 26, both);
  const Json diskB = DiskFields(1, 7760, 688, "2HD", 32, true, 16,
                                "\\x82\\xA0A\\x22\\x5C\\x7F~", 0, 0, Json::array());
  const Json diskC = DiskFields(2, 8448, 7760, "media 0x55", 0x55, false, 1, "", 1, 26,
                                Json::array({Taken("testcut", 2, "second"),
                                             Taken("twincut", 2, "second")}));
  const struct {
    std::vector<std::string> args;
    Json disks;
  } cases[] = {
      {{"--json"}, Json::array({diskA, diskB, diskC})},
      {{"--disk", "2", "--json"}, Json::array({diskC})},
      {{"--json", "--disk=0"}, Json::array({diskA})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    EXPECT_EQ(RunJson(image, c.args)["disks"], c.disks);
  }
  EXPECT_EQ(RunJson({}, {"--json"})["disks"], Json::array()) << "an empty file";
}

// Each track of `disk` listed with --sectors, from the sectors it was built of.
Json TrackFields(const Bytes& bytes, const Disk& disk, int track, const std::vector<int>& missing) {
  Json sectors = Json::array();
  const auto found = disk.tracks.find(track);
  if (found != disk.tracks.end()) {
    for (const testimg::Sector& s : found->second) {
      sectors.push_back({{"c", s.c}, {"h", s.h}, {"r", s.r}, {"n", s.n},
                         {"length", s.length >= 0 ? s.length : static_cast<int>(s.data.size())},
                         {"density", s.density}, {"deleted", s.deleted}, {"status", s.status}});
    }
  }
  return Json{{"track", track},
              {"offset", d88::GetU32le(&bytes[d88::kTrackTableOffset + 4 * track])},
              {"sectors", sectors},
              {"missing", missing}};
}

TEST(D88InfoJson, SectorLists) {
  Disk damaged;
  damaged.Format(4, 4).Remove(4, 3).Remove(4, 7).Remove(4, 8).Remove(4, 9);
  damaged.Data(4, 5).resize(128);
  testimg::Sector stray = damaged.tracks[4][0];  // R1 again, as cylinder 9, with every flag
  stray.c = 9;
  stray.density = 0x40;
  stray.deleted = 0x10;
  stray.status = 0xB0;
  damaged.tracks[4].push_back(stray);
  damaged.tracks[4][1].status = 0xA0;
  damaged.Format(6, 6, 2);
  for (testimg::Sector& s : damaged.tracks[6]) s.count = 0;  // states no sectors
  damaged.trackOffsets[8] = 0x7FFFFFF0;  // beyond the disk: not listed
  const Bytes bytes = damaged.Build();

  std::vector<int> all;
  for (int r = 1; r <= 26; ++r) all.push_back(r);
  Json tracks = Json::array({TrackFields(bytes, damaged, 4, {3, 7, 8, 9}),
                             TrackFields(bytes, damaged, 6, all)});
  tracks[1]["sectors"] = Json::array();  // the count field says none
  Json disk = DiskFields(0, 0, 7360, "2D", 0, false, 0, "TEST", 2, 23, Json::array());

  EXPECT_EQ(RunJson(bytes, {"--json"})["disks"], Json::array({disk})) << "no tracks key";
  disk["tracks"] = tracks;
  EXPECT_EQ(RunJson(bytes, {"--json", "--sectors"})["disks"], Json::array({disk}));
}

TEST(D88InfoJson, FailuresKeepTheTextBehaviour) {
  const Bytes image = testimg::BuildImage({Disk()});
  const std::string usage = "Usage: d88info [--sectors] [--files] [--map] [--disk N] IMAGE\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"--json", "--disk", "1"}, 1, "d88info: no disk 1 (the image holds 1)\n"},
      {{"--json", "--disk"}, 2, "d88info: --disk needs a disk number\n" + usage},
      {{"--json", "-j"}, 2, "d88info: unknown option '-j'\n" + usage},
  };
  for (const auto& c : cases) {
    const testimg::RunOutcome run = testimg::RunOnImage(kTool, image, c.args);
    EXPECT_EQ(run.process.status, c.status);
    EXPECT_EQ(run.process.out, "");
    EXPECT_EQ(run.process.err, c.err);
  }
  testimg::ScratchDir dir;
  const testimg::ProcessResult absent = testimg::RunProcess(kTool, {"--json", dir / "no.d88"}, dir.path());
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(absent.out, "");
  EXPECT_EQ(absent.err.rfind("d88info: cannot read ", 0), 0u);
}

#if !defined(_WIN32)
// A file name in another code page is no UTF-8: shown with U+FFFD for the
// bytes that are not, never an abort.
TEST(D88InfoJson, AFileNameThatIsNotUtf8) {
  testimg::ScratchDir dir;
  ASSERT_TRUE(testimg::WriteFile(dir / "\x83\x65.d88", testimg::BuildImage({Disk()})));
  const Json doc = Document(testimg::RunProcess(kTool, {"--json", "\x83\x65.d88"}, dir.path()));
  EXPECT_EQ(doc.value("image", ""), "\xEF\xBF\xBD" "e.d88");
  EXPECT_EQ(doc["disks"].size(), 1u);
}
#endif

// Output that cannot be written ends the run with status 1, in both forms.
TEST(D88InfoJson, AListingThatCannotBeWrittenFails) {
  std::FILE* full = std::fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full here";
  testimg::ScratchDir dir;
  const std::string image = dir / "image.d88";
  ASSERT_TRUE(testimg::WriteFile(image, testimg::BuildImage({Disk()})));
  const cut::Catalogue* const catalogues[] = {&testcat::kCatalogue};
  for (const char* form : {"--sectors", "--json"}) {
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    const char* const argv[] = {"d88info", form, image.c_str()};
    EXPECT_EQ(d88info::Run(catalogues, 3, argv, full, err), 1) << form;
    std::rewind(err);
    char text[100] = {};
    EXPECT_STREQ(std::fgets(text, sizeof text, err), "d88info: cannot write the listing\n");
    std::fclose(err);
    std::clearerr(full);
  }
  std::fclose(full);
}

#if defined(D88INFO_PATH) && defined(MAKE_SAMPLES_PATH)
// The sample images, each disk taken for its own kind by its own program
// only, and the document agreeing with the text listing of the image.
TEST(D88InfoJson, SampleImages) {
  testimg::ScratchDir dir;
  ASSERT_EQ(testimg::RunProcess(MAKE_SAMPLES_PATH, {dir.path()}, dir.path()).status, 0);
  for (const cut::Catalogue* catalogue :
       {&vorxcut::kCatalogue, &abcut::kCatalogue, &oabcut::kCatalogue}) {
    SCOPED_TRACE(catalogue->program);
    const std::string image = dir / (std::string(catalogue->program) + ".d88");
    const Json doc = Document(testimg::RunProcess(D88INFO_PATH, {"--json", "--sectors", image}, dir.path()));
    const std::string text = testimg::RunProcess(D88INFO_PATH, {image}, dir.path()).out;
    ASSERT_EQ(doc["disks"].size(), static_cast<size_t>(catalogue->rules.count));
    for (const Json& disk : doc["disks"]) {
      const int index = disk["index"];
      const cut::DiskRule* rule = catalogue->rules.begin();  // the samples go by number
      while (rule->number != index + 1) ++rule;
      EXPECT_EQ(disk["recognised"],
                Json::array({Taken(catalogue->program, rule->number, rule->label)}));
      const std::string line = "disk " + std::to_string(index) + ": offset " +
                               std::to_string(disk["offset"].get<long long>()) + ", size " +
                               std::to_string(disk["size"].get<long long>()) + ", " +
                               disk["media"].get<std::string>() + ", writable, name \"" +
                               disk["name"].get<std::string>() + "\", " +
                               Count(disk["trackCount"], "track") + ", " +
                               Count(disk["sectorCount"], "sector") + "; ";
      EXPECT_NE(text.find(line), std::string::npos) << line;
      size_t sectors = 0;
      for (const Json& track : disk["tracks"]) sectors += track["sectors"].size();
      EXPECT_EQ(disk["tracks"].size(), disk["trackCount"].get<size_t>());
      EXPECT_EQ(sectors, disk["sectorCount"].get<size_t>());
    }
  }
}
#endif

}  // namespace
