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

#include "all_catalogues.h"
#include "cut/disk_alone.h"
#include "cut/image_source.h"
#include "cut/run.h"
#include "d88/d88_image.h"
#include "d88info/info.h"

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

// The image the last call opened, and its disk made an image of its own.
cut::ImageSource g_file;
d88::D88Image g_whole;
cut::DiskAlone g_alone;

// Opens the image at `path` and makes disk `index` of it an image alone.
bool OpenDisk(const char* path, int index) {
  return g_file.Open(path, g_whole) && g_alone.Open(path, g_file, g_whole, index);
}

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
  if (OpenDisk(path, index)) {
    g_alone.PrintWarning(err);
    cut::CutOutput output;
    output.program = catalogue->program;
    output.folder = folder;
    output.out = out;
    output.err = err;
    status = g_alone.Cut(*catalogue, diskNo, output).failed ? 1 : 0;
  }
  g_whole.Open(nullptr);
  return CloseOutputs(out, err) ? status : -1;
}

// Writes disk `index` of the image at `path` as the image of that disk
// alone that web_cut cuts, to `outPath`.  Returns the bytes written (an
// int, which JavaScript takes whole; no disk comes near its limit), or -1.
WEB_EXPORT int web_disk(const char* path, int index, const char* outPath) {
  long long written = -1;
  if (OpenDisk(path, index)) {
    if (std::FILE* out = std::fopen(outPath, "wb")) {
      const bool ok = std::fwrite(g_alone.Data(), 1, g_alone.Size(), out) == g_alone.Size();
      if (std::fclose(out) == 0 && ok) written = static_cast<long long>(g_alone.Size());
    }
  }
  g_whole.Open(nullptr);
  return written <= INT_MAX ? static_cast<int>(written) : -1;
}
