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
#include <vector>

#include "d88/d88_image.h"

namespace containers {

struct Conversion;  // readers.h

enum class Kind { kD88, kNfdR0, kNfdR1, kFdd, kDip, kFdi, kDcp, kDcu, kRaw,
                  kScp, kKryoFlux, kHfe, kMfi };

// Whether `kind` is a flux dump, decoded rather than read.
constexpr bool IsFlux(Kind kind) { return kind >= Kind::kScp; }

// No disk converts to more D88 bytes than this: the largest real floppy
// holds under 2 MB, and every D88 header and sector header fits beside it.
constexpr size_t kLargestConversion = 4u << 20;

// "D88", "NFD r0", "NFD r1", "FDD", "DIP", "FDI", "DCP", "DCU", "raw",
// "SCP", "KryoFlux", "HFE", "MFI".
const char* KindName(Kind kind);

// The geometry a container states or its size proves (all zero for D88).
struct Geometry {
  int cylinders = 0;
  int heads = 0;
  int sectors = 0;     // per track
  int sectorSize = 0;  // bytes
  bool track0Fm = false;  // cylinder 0 head 0 is FM, 26 sectors of 128 bytes
};

// What decoding one track of a flux dump found.
struct FluxTrackFacts {
  int track = 0;                 // D88 track index
  const char* encoding = "";     // "FM", "MFM", "FM+MFM", or "" for none
  int rateKbps = 0;              // data rate at the disk's own speed
  int revolutions = 0;           // revolutions decoded
  // A sector that had a copy with a bad CRC in some revolution: its ID,
  // which revolutions (bit r: revolution r + 1) and the status it got.
  struct BadCrc {
    uint8_t c, h, r, n;
    uint8_t status;
    uint32_t revolutions;
  };
  std::vector<BadCrc> badCrcs;
};

// What decoding a flux dump found, beside the disk it gave.
struct FluxFacts {
  int revolutions = 0;  // the most the file carried for one track
  int cylinders = 0;    // as decoded: logical cylinders and heads
  int heads = 0;
  bool doubleStepped = false;  // every track dumped twice, read once
  std::vector<FluxTrackFacts> tracks;  // every track that holds sectors, in order
};

// One file of a set held in memory (a KryoFlux dump from an archive).
struct StreamFile {
  std::string name;  // as the set names it; folders in it are kept apart
  const uint8_t* bytes = nullptr;
  size_t size = 0;
};

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
  // Opens a KryoFlux dump held in memory as a set of stream files, each
  // named ...NN.S.raw; false when none of them gives a track.  The bytes
  // need not outlive the call.
  bool OpenStreamSet(const StreamFile* files, size_t count, d88::D88Image& image);

  Kind GetKind() const { return kind; }
  const Geometry& GetGeometry() const { return geometry; }
  // For a flux dump, what decoding found; empty otherwise.
  const FluxFacts& GetFlux() const { return flux; }
  // One English line (no file name, no newline) saying what was wrong with
  // a damaged container, or empty.
  const std::string& Warning() const { return warning; }
  // The converted disks as D88 bytes; empty for a file read as D88.
  const uint8_t* D88Data() const {
    return converted.size > 0 ? converted.bytes.get() : nullptr;
  }
  size_t D88Size() const { return converted.size; }

 private:
  // Reads the conversion just written, and what `info` says of it.
  void Adopt(Conversion* info, d88::D88Image& image);

  Kind kind = Kind::kD88;
  Geometry geometry;
  FluxFacts flux;
  std::string warning;
  // Kept from one Open to the next, so that a caller reading image after
  // image reuses them: the file as loaded, and its conversion.
  OwnedBytes loaded;
  OwnedBytes converted;
};

}  // namespace containers

#endif  // CONTAINERS_CONTAINER_H
