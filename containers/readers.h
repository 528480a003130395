// The container readers behind ImageFile, one pair per container: Detect
// says whether the bytes surely are that container (its magic or exact size
// equation and structure checks); Convert writes its disks through the
// writer and says what it found.  Both read only the `size` bytes given.
#ifndef CONTAINERS_READERS_H
#define CONTAINERS_READERS_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "containers/container.h"
#include "containers/d88_writer.h"

namespace containers {

struct Conversion {
  Kind kind = Kind::kD88;
  Geometry geometry;
  std::string warning;  // empty for a sound container
  FluxFacts flux;       // for a flux dump
};

bool DetectNfd(const uint8_t* file, size_t size);
bool ConvertNfd(const uint8_t* file, size_t size, D88Writer& out, Conversion* info);

bool DetectFdd(const uint8_t* file, size_t size);
bool ConvertFdd(const uint8_t* file, size_t size, D88Writer& out, Conversion* info);

bool DetectDip(const uint8_t* file, size_t size);
bool ConvertDip(const uint8_t* file, size_t size, D88Writer& out, Conversion* info);

bool DetectFdi(const uint8_t* file, size_t size);
bool ConvertFdi(const uint8_t* file, size_t size, D88Writer& out, Conversion* info);

// A file whose FDI header is sound but matches neither its own sizes nor
// any layout its data size proves is refused; this says why, for the
// warning, and is false for any other file.
bool ExplainFdiRefusal(const uint8_t* file, size_t size, std::string* why);

// DCP and DCU differ in name only; `extension` ".dcu" names it DCU.
bool DetectDcp(const uint8_t* file, size_t size);
bool ConvertDcp(const uint8_t* file, size_t size, const std::string& extension, D88Writer& out,
                Conversion* info);

// Headerless dumps are known by their exact size alone; `extension` (lower
// case, with its dot, or empty) splits the sizes two layouts share.
bool DetectRaw(const uint8_t* file, size_t size, const std::string& extension);
bool ConvertRaw(const uint8_t* file, size_t size, const std::string& extension,
                D88Writer& out, Conversion* info);

}  // namespace containers

#endif  // CONTAINERS_READERS_H
