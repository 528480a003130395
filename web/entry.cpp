// The programs' own runs, called from the page's JavaScript.
//
// The page writes an image into the in-memory file system and runs a
// program on it with the command line a console user would type; what the
// run prints to standard output and standard error goes to two files the
// page reads afterwards.  Nothing here decides anything a program would:
// the page sees exactly what the console programs print and write.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "abcut/catalogue.h"
#include "cut/image_source.h"
#include "cut/run.h"
#include "d88/d88_image.h"
#include "d88info/info.h"
#include "oabcut/catalogue.h"
#include "vorxcut/catalogue.h"

#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#define WEB_EXPORT extern "C" EMSCRIPTEN_KEEPALIVE
#else
#define WEB_EXPORT extern "C"
#endif

namespace {

const cut::Catalogue* const kCatalogues[] = {&vorxcut::kCatalogue, &abcut::kCatalogue,
                                             &oabcut::kCatalogue};

const cut::Catalogue* CatalogueOf(const char* program) {
  for (const cut::Catalogue* catalogue : kCatalogues) {
    if (std::strcmp(catalogue->program, program) == 0) return catalogue;
  }
  return nullptr;
}

// Copies bytes [from, to) of `source` into a new file `path`, in one piece
// where memory allows: the in-memory file system grows a file written in
// small pieces by an eighth at a time, copying it each time.
bool CopyRange(std::FILE* source, long long from, long long to, const char* path) {
  constexpr size_t kSmallChunk = 65536;
  const size_t total = static_cast<size_t>(to - from);
  size_t chunkSize = total > 0 ? total : 1;
  std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[chunkSize]);
  if (chunk == nullptr) {
    chunkSize = kSmallChunk;
    chunk.reset(new (std::nothrow) uint8_t[chunkSize]);
  }
  if (chunk == nullptr || std::fseek(source, static_cast<long>(from), SEEK_SET) != 0) {
    return false;
  }
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  bool ok = true;
  for (size_t left = total; ok && left > 0;) {
    const size_t want = left < chunkSize ? left : chunkSize;
    const size_t got = std::fread(chunk.get(), 1, want, source);
    ok = got == want && std::fwrite(chunk.get(), 1, got, out) == got;
    left -= got;
  }
  return std::fclose(out) == 0 && ok;
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
  if (catalogue == nullptr && !info) return -1;
  std::FILE* out = std::fopen(outPath, "wb");
  std::FILE* err = std::fopen(errPath, "wb");
  int status = -1;
  if (out != nullptr && err != nullptr) {
    status = info ? d88info::Run(kCatalogues, argc, argv, out, err)
                  : cut::Run(*catalogue, argc, argv, out, err);
  }
  const bool closed = (out == nullptr || std::fclose(out) == 0) &&
                      (err == nullptr || std::fclose(err) == 0);
  // The program's image stays open until its next run; let it go now, so
  // a dropped image is not held on to.
  cut::g_image.Open(nullptr);
  return closed ? status : -1;
}

// Writes disk `index` of the image at `path` as a one-disk D88 image to
// `outPath`: the bytes from where the disk starts to where the next one
// starts (the last disk: to the end), taken from the file itself for a D88
// file and from its conversion for any other container or an archive.  Running a program
// on that image is running it on that disk alone.  Returns the bytes
// written (an int, which JavaScript takes whole; no disk comes near its
// limit), or -1.
WEB_EXPORT int web_disk(const char* path, int index, const char* outPath) {
  static cut::ImageSource file;
  static d88::D88Image image;
  long long written = -1;
  if (file.Open(path, image) && index >= 0 && index < image.DiskCount()) {
    const long long from = image.DiskPosition(index);
    long long to = index + 1 < image.DiskCount() ? image.DiskPosition(index + 1) : -1;
    if (file.D88Data() != nullptr) {
      const long long size = static_cast<long long>(file.D88Size());
      if (to < 0 || to > size) to = size;
      std::FILE* out = std::fopen(outPath, "wb");
      if (out != nullptr && from <= to) {
        const size_t length = static_cast<size_t>(to - from);
        const bool ok = std::fwrite(file.D88Data() + from, 1, length, out) == length;
        if (std::fclose(out) == 0 && ok) written = to - from;
      } else if (out != nullptr) {
        std::fclose(out);
      }
    } else if (std::FILE* source = std::fopen(path, "rb")) {
      long long size = -1;
      if (std::fseek(source, 0, SEEK_END) == 0) size = std::ftell(source);
      if (to < 0 || to > size) to = size;
      if (size >= 0 && from <= to && CopyRange(source, from, to, outPath)) written = to - from;
      std::fclose(source);
    }
  }
  image.Open(nullptr);
  return written <= INT_MAX ? static_cast<int>(written) : -1;
}
