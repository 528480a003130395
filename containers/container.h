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
#include "d88/owned_bytes.h"
#include "flux/flux.h"

namespace containers {

enum class Kind { kD88, kNfdR0, kNfdR1, kFdd, kDip, kFdi, kDcp, kDcu, kRaw,
                  kScp, kKryoFlux, kHfe, kMfi };

// Whether `kind` is a flux dump, decoded rather than read.
constexpr bool IsFlux(Kind kind) { return kind >= Kind::kScp; }

// No disk converts to more D88 bytes than this: the largest real floppy
// holds under 2 MB, and every D88 header and sector header fits beside it.
constexpr size_t kLargestConversion = 4u << 20;

// No floppy container is larger: the biggest real layout is under 2 MB,
// but an NFD r1 may keep several retry copies of every sector (a 1.44 MB
// disk with two of each is some 4.4 MB).  A larger file is a D88 and is
// read from the file without being loaded.
constexpr size_t kLargestContainer = 16u << 20;

// "D88", "NFD r0", "NFD r1", "FDD", "DIP", "FDI", "DCP", "DCU", "raw",
// "SCP", "KryoFlux", "HFE", "MFI".
const char* KindName(Kind kind);

// What the readers take, in the order they are tried, for the programs'
// help: "D88, NFD, ..., a headerless dump, or a flux dump: SCP, ...".
std::string FormatsRead();

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
  // which revolutions (bit r: revolution r + 1), the status it got and how
  // its data was obtained.
  struct BadCrc {
    uint8_t c, h, r, n;
    uint8_t status;
    uint32_t revolutions;
    flux::DataOrigin origin;
    int votedRevolutions;  // voted or repaired: from how many revolutions
    int flippedBits;       // repaired: the bits set against the copies' vote
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

// What the container layer found in an image.
struct Conversion {
  Kind kind = Kind::kD88;
  Geometry geometry;
  std::string warning;  // empty for a sound container
  FluxFacts flux;       // for a flux dump
};

using d88::OwnedBytes;

// Whether the strict D88 check or a container takes an image held in
// memory, such as an archive's member: kD88 for a sound D88 (its bytes are
// the D88 as they are), kConverted for a container whose disks are then in
// `converted` (a spare buffer coming in, kept either way).  kNone when
// nothing takes them; `info->warning` then says why where a container
// knew them but could not convert them.  `name` is the image's file name,
// whose extension splits layouts of one size.
enum class Taken { kNone, kD88, kConverted };
Taken ConvertImage(const uint8_t* bytes, size_t size, const std::string& name, Conversion* info,
                   OwnedBytes* converted);

// How large an image whose file starts with `first` (its first bytes, up
// to 16) may be: a flux dump's up to 256 MB, any other's kLargestContainer.
size_t LargestImage(const uint8_t* first, size_t size);

// The one way a whole file is read into memory: the file at `path` into
// `into` (its buffer kept where it is large enough), unless it holds more
// than `largest(first, n)` bytes, which its first bytes (up to 16) decide;
// no more than that and one byte is ever read.  False when it cannot be
// opened or read or is larger.
using LargestOf = size_t (*)(const uint8_t* first, size_t size);
bool LoadWhole(const char* path, LargestOf largest, OwnedBytes* into);

// A KryoFlux dump is a set of stream files named <prefix>NN.S.raw, a
// track each: whether `name` is such a file's name, and whether `bytes`
// named `name` are such a file (`prefix` then names its set).
bool StreamFileName(const std::string& name);
bool IsStreamFile(const uint8_t* bytes, size_t size, const std::string& name,
                  std::string* prefix);
// The disk of a KryoFlux set held in memory, as ConvertImage gives an
// image's: kConverted, or kNone when no file of the set gives a track.
Taken ConvertStreamSet(const StreamFile* files, size_t count, Conversion* info,
                       OwnedBytes* converted);

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
  // damaged container opens with what is sound and a Warning().  A file
  // nothing takes is read as D88, whatever it holds.
  bool Open(const char* path, d88::D88Image& image);
  // Opens `size` bytes at `data` as Open opens a file holding them, named
  // `name` (whose extension is the only part that counts).  The caller
  // keeps the bytes unchanged while `image` reads them.  False for null
  // `data`.
  bool OpenBytes(const uint8_t* data, size_t size, const char* name, d88::D88Image& image);

  // Open in two steps, so that a caller may try something else between
  // them: OpenRecognised is Open up to the reading as D88 of a file
  // nothing takes, where it returns false with Refused() and opens
  // nothing (Loaded() then holds the file, when it could be loaded);
  // OpenAsD88 is that reading.
  bool OpenRecognised(const char* path, d88::D88Image& image);
  bool Refused() const { return refused; }
  bool OpenAsD88(const char* path, d88::D88Image& image);
  // The file's bytes, when the last open loaded them (a file no larger
  // than any container); null otherwise.  Valid until the next open.
  const uint8_t* Loaded() const { return loadedWhole ? loaded.bytes.get() : nullptr; }
  size_t LoadedSize() const { return loadedWhole ? loaded.size : 0; }
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
  bool OpenConverted(Conversion* info, d88::D88Image& image);
  bool OpenD88(const char* path, d88::D88Image& image, const std::string& why);
  // Settles on reading the bytes as D88: `opened` tells whether that
  // could be done, `why` is the warning to keep when it could.
  bool ReadAsD88(bool opened, const std::string& why);

  Kind kind = Kind::kD88;
  Geometry geometry;
  FluxFacts flux;
  std::string warning;
  bool refused = false;
  bool loadedWhole = false;
  std::string refusal;  // the warning a file read as D88 after a refusal gets
  // Kept from one Open to the next, so that a caller reading image after
  // image reuses them: the file as loaded, and its conversion.
  OwnedBytes loaded;
  OwnedBytes converted;
};

}  // namespace containers

#endif  // CONTAINERS_CONTAINER_H
