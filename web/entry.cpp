// The programs' own runs, called from the page's JavaScript.
//
// The page writes an image into the in-memory file system and runs a
// program on it with the command line a console user would type, or cuts
// one disk of it as d88cut does; what the run prints to standard output and
// standard error goes to two files the page reads afterwards.  Nothing here
// decides anything a program would: the page sees exactly what the console
// programs print and write.
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include <nlohmann/json.hpp>
#include <string>

#include "all_catalogues.h"
#include "containers/container.h"
#include "containers/flux_dump.h"
#include "cut/disk_alone.h"
#include "cut/disk_files.h"
#include "cut/image_source.h"
#include "cut/run.h"
#include "cut/shift_jis.h"
#include "d88/d88_image.h"
#include "d88info/info.h"
#include "fs/listing.h"

#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#define WEB_EXPORT extern "C" EMSCRIPTEN_KEEPALIVE
#else
#define WEB_EXPORT extern "C"
#endif

namespace {

const cut::Catalogue* CatalogueOf(const char* program) {
  for (const cut::Catalogue* catalogue : tools::kAllCatalogues) {
    if (std::strcmp(catalogue->program, program) == 0) return catalogue;
  }
  return nullptr;
}

// An image a call opens, and its disk made an image of its own: held for
// the call alone, on the heap.
struct OpenedDisk {
  cut::ImageSource file;
  d88::D88Image whole;
  cut::DiskAlone alone;

  // Opens the image at `path` and makes disk `index` of it an image alone.
  bool Open(const char* path, int index) {
    return file.Open(path, whole) && alone.Open(path, file, whole, index);
  }
};

// Opens the files a run prints to; false (both closed) when one cannot be.
bool OpenOutputs(const char* outPath, const char* errPath, std::FILE** out, std::FILE** err) {
  *out = std::fopen(outPath, "wb");
  *err = std::fopen(errPath, "wb");
  if (*out != nullptr && *err != nullptr) return true;
  if (*out != nullptr) std::fclose(*out);
  if (*err != nullptr) std::fclose(*err);
  return false;
}

bool CloseOutputs(std::FILE* out, std::FILE* err) {
  const bool outClosed = std::fclose(out) == 0;
  return std::fclose(err) == 0 && outClosed;
}

// An image a call opens for a file system: a floppy disk's or a hard-disk
// partition's, found as d88cut finds it.
struct OpenedImage {
  cut::ImageSource file;
  d88::D88Image image;
  std::unique_ptr<fs::Volume> volume;
  fs::Listing listing;
  std::string what;  // "disk 2", "partition 1", as d88cut's lines name it

  // The file system of disk `index` of the image at `path`, or of the
  // partition whose table slot is `index`; false when there is none.
  bool Open(const char* path, int index, bool partition) {
    if (index < 0 || !file.Open(path, image)) return false;
    if (partition != file.IsHardDisk()) return false;
    if (partition) {
      const std::vector<fs::Partition>& all = file.GetHardDisk().partitions;
      for (size_t i = 0; i < all.size() && volume == nullptr; ++i) {
        if (all[i].index == index) volume = file.HardDisk().Partition(i);
      }
      what = "partition " + std::to_string(index);
    } else {
      if (!image.SelectDisk(index) || !cut::ListDiskFiles(image, &listing)) return false;
      volume = cut::DiskVolume(image);
      what = "disk " + std::to_string(index);
    }
    return volume != nullptr && (!partition || fs::ListVolume(*volume, &listing));
  }
};

}  // namespace

// Runs `program` ("d88info" or one of the cutting programs) with argv[1..]
// as its command line (argv[0] is the program's name), writing what it
// prints to the files `outPath` and `errPath`.  Returns the exit status, or
// -1 for a program this build does not hold or output that cannot be kept.
WEB_EXPORT int web_run(const char* program, int argc, const char* const* argv,
                       const char* outPath, const char* errPath) {
  const cut::Catalogue* catalogue = CatalogueOf(program);
  const bool info = std::strcmp(program, "d88info") == 0;
  std::FILE* out;
  std::FILE* err;
  if ((catalogue == nullptr && !info) || !OpenOutputs(outPath, errPath, &out, &err)) return -1;
  // An image of the run's own, let go with it, so a dropped image is not
  // held on to.
  const auto image = std::make_unique<d88::D88Image>();
  const int status = info ? d88info::Run(tools::kAllCatalogues, argc, argv, out, err)
                          : cut::RunOn(*image, *catalogue, argc, argv, out, err);
  return CloseOutputs(out, err) ? status : -1;
}

// Cuts disk `index` of the image at `path` with `program` into `folder` as
// d88cut does: as the program run on an image of that disk alone (with
// `diskNo` above 0, given that disk number) writes it and prints it to the
// files `outPath` and `errPath`, its Japanese lines in Shift-JIS.  Returns
// the program's exit status, or -1 for a program this build does not hold,
// a disk the image does not hold or output that cannot be kept.
WEB_EXPORT int web_cut(const char* path, int index, const char* program, int diskNo,
                       const char* folder, const char* outPath, const char* errPath) {
  const cut::Catalogue* catalogue = CatalogueOf(program);
  std::FILE* out;
  std::FILE* err;
  if (catalogue == nullptr || diskNo < 0 || diskNo > catalogue->rules.count ||
      !OpenOutputs(outPath, errPath, &out, &err)) {
    return -1;
  }
  int status = -1;
  const auto disk = std::make_unique<OpenedDisk>();
  if (disk->Open(path, index)) {
    disk->alone.PrintWarning(err);
    cut::CutOutput output;
    output.program = catalogue->program;
    output.folder = folder;
    output.out = out;
    output.err = err;
    status = disk->alone.Cut(*catalogue, diskNo, output).failed ? 1 : 0;
  }
  return CloseOutputs(out, err) ? status : -1;
}

// Writes disk `index` of the image at `path` as the image of that disk
// alone that web_cut cuts, to `outPath`.  Returns the bytes written (an
// int, which JavaScript takes whole; no disk comes near its limit), or -1.
WEB_EXPORT int web_disk(const char* path, int index, const char* outPath) {
  long long written = -1;
  const auto disk = std::make_unique<OpenedDisk>();
  if (disk->Open(path, index)) {
    const cut::DiskAlone& alone = disk->alone;
    if (std::FILE* out = std::fopen(outPath, "wb")) {
      const bool ok = std::fwrite(alone.Data(), 1, alone.Size(), out) == alone.Size();
      if (std::fclose(out) == 0 && ok) written = static_cast<long long>(alone.Size());
    }
  }
  return written <= INT_MAX ? static_cast<int>(written) : -1;
}

// Writes to `outPath` what the page shows of the programs without running
// one, as JSON: every cutting program's kinds by DISK number (the label and
// the recognition line, in UTF-8), and the largest files the programs
// read (an image or dump, a container, an archive's total).  0, or -1 when
// it cannot be written.
WEB_EXPORT int web_facts(const char* outPath) {
  nlohmann::json programs = nlohmann::json::array();
  for (const cut::Catalogue* catalogue : tools::kAllCatalogues) {
    nlohmann::json kinds = nlohmann::json::array();
    for (int number = 1; number <= catalogue->rules.count; ++number) {
      for (const cut::DiskRule& rule : catalogue->rules) {
        if (rule.number != number) continue;
        kinds.push_back({{"number", number},
                         {"kind", rule.label},
                         {"message", cut::ShiftJisToUtf8(rule.message)}});
      }
    }
    programs.push_back({{"program", catalogue->program}, {"kinds", std::move(kinds)}});
  }
  const nlohmann::json facts = {{"programs", std::move(programs)},
                                {"largestImage", containers::kLargestFluxDump},
                                {"largestContainer", containers::kLargestContainer},
                                {"archiveTotal", cut::kArchiveTotal}};
  std::FILE* out = std::fopen(outPath, "wb");
  if (out == nullptr) return -1;
  const std::string text = facts.dump();
  const bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  return std::fclose(out) == 0 && ok ? 0 : -1;
}

// How many bytes end `name` (UTF-8) after the prefix that names its
// KryoFlux set, when it is a stream file's name (<prefix>NN.S.raw); -1
// when it is not.  The page reads the files of one set together by it.
WEB_EXPORT int web_stream_file(const char* name) {
  const std::string given = name;
  size_t prefix = 0;
  int cylinder = 0, head = 0;
  if (!containers::StreamFileTrack(given, &prefix, &cylinder, &head)) return -1;
  return static_cast<int>(given.size() - prefix);
}

// Writes the files of the file system on disk `index` of the image at
// `path` (with `partition`, of the hard-disk partition in table slot
// `index`) into `folder` as d88cut writes them into its disk<NN>-files or
// part<N>-files folder, its warnings to `errPath` as d88cut prints them.
// Writes to `outPath` where each entry of the listing went, as JSON:
// {"entries": [{"path", "folder", "written"}]}, in the order of d88info's
// listing, "path" as d88info gives it and "written" the path inside
// `folder` (null for one not written).  Returns 0, 1 when the file system
// was damaged or a file not written, or -1 when there is no such file
// system or the outputs cannot be kept.
WEB_EXPORT int web_files(const char* path, int index, int partition, const char* folder,
                         const char* outPath, const char* errPath) {
  std::FILE* out;
  std::FILE* err;
  if (!OpenOutputs(outPath, errPath, &out, &err)) return -1;
  int status = -1;
  const auto opened = std::make_unique<OpenedImage>();
  if (opened->Open(path, index, partition != 0)) {
    std::vector<std::string> writtenAs;
    const cut::FilesWritten written = cut::WriteFiles(
        *opened->volume, opened->listing, folder,
        [&](const std::string& problem) {
          std::fprintf(err, "warning: %s: %s: %s\n", path, opened->what.c_str(), problem.c_str());
        },
        &writtenAs);
    nlohmann::json entries = nlohmann::json::array();
    for (size_t i = 0; i < opened->listing.entries.size(); ++i) {
      const fs::Entry& entry = opened->listing.entries[i];
      entries.push_back({{"path", cut::PathText(entry)},
                         {"folder", entry.isDirectory},
                         {"written", writtenAs[i].empty() ? nlohmann::json(nullptr)
                                                          : nlohmann::json(writtenAs[i])}});
    }
    const std::string text = nlohmann::json{{"entries", std::move(entries)}}.dump();
    const bool kept = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    status = !kept ? -1 : written.damaged || written.notWritten > 0 ? 1 : 0;
  }
  return CloseOutputs(out, err) ? status : -1;
}
