// Every image container the programs read, turned into D88 disks.
//
// A file is recognised by its content (the extension is a hint only where
// content cannot decide).  A D88 file is read from the file exactly as
// before; any other container is converted into D88 disks held in memory,
// bounded by the file's size, and the image reads those bytes.  The frame,
// the catalogues and d88info see D88 only.
#ifndef CONTAINERS_CONTAINER_H
#define CONTAINERS_CONTAINER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "d88/d88_image.h"

namespace containers {

enum class Kind { kD88, kNfdR0, kNfdR1, kFdd, kDip, kFdi, kDcp, kDcu, kRaw };

// No disk converts to more D88 bytes than this: the largest real floppy
// holds under 2 MB, and every D88 header and sector header fits beside it.
constexpr size_t kLargestConversion = 4u << 20;

// "D88", "NFD r0", "NFD r1", "FDD", "DIP", "FDI", "DCP", "DCU", "raw".
const char* KindName(Kind kind);

// The geometry a container states or its size proves (all zero for D88).
struct Geometry {
  int cylinders = 0;
  int heads = 0;
  int sectors = 0;     // per track
  int sectorSize = 0;  // bytes
  bool track0Fm = false;  // cylinder 0 head 0 is FM, 26 sectors of 128 bytes
};

struct Conversion;

// Bytes on the heap: `size` of them used, room for `capacity`.
struct OwnedBytes {
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;
  size_t capacity = 0;
};

// One image file opened for reading, whatever its container.
class ImageFile {
 public:
  ImageFile();
  ~ImageFile();
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // Recognises the container of `path` and opens it in `image`: a D88 from
  // the file, any other container from its conversion, held by this object
  // until the next Open.  False when the file cannot be opened or read; a
  // damaged container opens with what is sound and a Warning().
  bool Open(const char* path, d88::D88Image& image);
  // Opens `size` bytes at `data` as Open opens a file holding them, named
  // `name` (whose extension is the only part that counts).  The caller
  // keeps the bytes unchanged while `image` reads them.  False for null
  // `data`.
  bool OpenBytes(const uint8_t* data, size_t size, const char* name, d88::D88Image& image);

  Kind GetKind() const { return kind; }
  const Geometry& GetGeometry() const { return geometry; }
  // One English line (no file name, no newline) saying what was wrong with
  // a damaged container, or empty.
  const std::string& Warning() const { return warning; }
  // The converted disks as D88 bytes; empty for a file read as D88.
  const uint8_t* D88Data() const {
    return converted.size > 0 ? converted.bytes.get() : nullptr;
  }
  size_t D88Size() const { return converted.size; }

 private:
  // What an Open made of the bytes: their conversion, opened in `image`,
  // or else a D88 that `openedAsD88` says could be read.
  bool Settle(bool isConverted, const Conversion& info, bool openedAsD88, d88::D88Image& image);

  Kind kind = Kind::kD88;
  Geometry geometry;
  std::string warning;
  // Kept from one Open to the next, so that a caller reading image after
  // image reuses them: the file as loaded, and its conversion.
  OwnedBytes loaded;
  OwnedBytes converted;
};

}  // namespace containers

#endif  // CONTAINERS_CONTAINER_H
