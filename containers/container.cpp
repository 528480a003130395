#include "containers/container.h"

#include <cstdio>
#include <new>
#include <utility>

#include "containers/d88_check.h"
#include "containers/d88_writer.h"
#include "containers/readers.h"
#include "d88/d88_format.h"

namespace containers {

namespace {

// No floppy container is larger: the biggest real layout is under 2 MB,
// but an NFD r1 may keep several retry copies of every sector (a 1.44 MB
// disk with two of each is some 4.4 MB).  A larger file is a D88 and is
// read from the file without being loaded.
constexpr size_t kLargestContainer = 16u << 20;

// The extension of the file name in `path`, lower case with its dot.
std::string Extension(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') name = p + 1;
  }
  const char* dot = nullptr;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '.') dot = p;
  }
  std::string extension;
  if (dot == nullptr) return extension;
  for (const char* p = dot; *p != '\0'; ++p) {
    const char c = *p;
    extension += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return extension;
}

// Reads the whole file into `loaded`, when it can be read and is no larger
// than any container; the buffer is kept from one file to the next.
bool Load(const char* path, OwnedBytes* loaded) {
  loaded->size = 0;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  // Where the file tells its size, a larger file is not read at all, and
  // a smaller one gets a buffer its size; one byte more tells a file that
  // grew meanwhile.
  size_t capacity = kLargestContainer;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end >= 0 && static_cast<unsigned long>(end) <= kLargestContainer) {
      capacity = static_cast<size_t>(end);
    } else if (end >= 0) {
      capacity = 0;
    }
  }
  if (capacity == 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return false;
  }
  if (loaded->capacity < capacity + 1) {
    loaded->bytes.reset(new (std::nothrow) uint8_t[capacity + 1]);
    loaded->capacity = loaded->bytes ? capacity + 1 : 0;
  }
  bool ok = loaded->bytes != nullptr;
  while (ok && loaded->size <= capacity) {
    const size_t got = std::fread(loaded->bytes.get() + loaded->size, 1,
                                  capacity + 1 - loaded->size, file);
    loaded->size += got;
    if (got == 0) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  return ok && loaded->size <= capacity;
}

// Converts `file` into `converted` when it is a container other than D88;
// false (with perhaps a warning in `info`) when it is to be read as D88.
// `converted` comes in as a spare buffer and keeps it either way.
bool Convert(const uint8_t* file, size_t size, const std::string& extension, Conversion* info,
             OwnedBytes* converted) {
  converted->size = 0;
  if (IsD88(file, size)) return false;
  D88Writer out(kLargestConversion, std::move(converted->bytes), converted->capacity);
  // A conversion is about the file's size: its sectors, with a 16-byte
  // header for every one (a sector of 128 bytes at the least) and a disk
  // header.
  out.Expect(size + size / 8 + static_cast<size_t>(d88::kDiskHeaderSize));
  const auto keep = [&] {
    const bool sound = !out.Failed();
    converted->bytes = out.Release(&converted->size, &converted->capacity);
    return sound;
  };
  bool detected = true;
  bool taken = false;
  if (DetectNfd(file, size)) {
    info->kind = Kind::kNfdR0;
    taken = ConvertNfd(file, size, out, info);
  } else if (DetectFdd(file, size)) {
    info->kind = Kind::kFdd;
    taken = ConvertFdd(file, size, out, info);
  } else if (DetectDip(file, size)) {
    info->kind = Kind::kDip;
    taken = ConvertDip(file, size, out, info);
  } else if (DetectFdi(file, size)) {
    info->kind = Kind::kFdi;
    taken = ConvertFdi(file, size, out, info);
  } else if (DetectDcp(file, size)) {
    info->kind = Kind::kDcp;
    taken = ConvertDcp(file, size, extension, out, info);
  } else if (DetectRaw(file, size, extension)) {
    // A D88 whose size field is wrong may have a dump's size by chance.
    if (LooksLikeD88(file, size)) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "D88 disk size field does not match the file's %lu bytes; read as D88",
                    static_cast<unsigned long>(size));
      info->warning = text;
      keep();
      converted->size = 0;
      return false;
    }
    info->kind = Kind::kRaw;
    taken = ConvertRaw(file, size, extension, out, info);
  } else {
    detected = false;
    ExplainFdiRefusal(file, size, &info->warning);
  }
  const bool sound = keep();
  if (taken && sound) return true;
  converted->size = 0;
  if (detected) {
    const std::string why = out.Failed() ? " would convert to more than any disk holds"
                                         : " could not be converted";
    info->warning = std::string(KindName(info->kind)) + " image" + why + "; read as D88";
  }
  return false;
}

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kD88: return "D88";
    case Kind::kNfdR0: return "NFD r0";
    case Kind::kNfdR1: return "NFD r1";
    case Kind::kFdd: return "FDD";
    case Kind::kDip: return "DIP";
    case Kind::kFdi: return "FDI";
    case Kind::kDcp: return "DCP";
    case Kind::kDcu: return "DCU";
    case Kind::kRaw: return "raw";
  }
  return "?";
}

ImageFile::ImageFile() = default;
ImageFile::~ImageFile() = default;

bool ImageFile::Open(const char* path, d88::D88Image& image) {
  Conversion info;
  // The image may still read the last conversion; it reads nothing of it
  // from here on, whichever way this Open goes, so its buffer is reused.
  // A file that cannot be loaded (missing, unreadable, or larger than any
  // container) is left to the D88 reading, which says what it says today.
  const bool isConverted =
      path != nullptr && Load(path, &loaded) &&
      Convert(loaded.bytes.get(), loaded.size, Extension(path), &info, &converted);
  return Settle(isConverted, info, !isConverted && image.Open(path), image);
}

bool ImageFile::OpenBytes(const uint8_t* data, size_t size, const char* name,
                          d88::D88Image& image) {
  Conversion info;
  // Bytes larger than any container are a D88, as such a file is.
  const std::string extension = Extension(name != nullptr ? name : "");
  const bool isConverted = data != nullptr && size <= kLargestContainer &&
                           Convert(data, size, extension, &info, &converted);
  return Settle(isConverted, info, !isConverted && image.OpenMemory(data, size), image);
}

bool ImageFile::Settle(bool isConverted, const Conversion& info, bool openedAsD88,
                       d88::D88Image& image) {
  if (!isConverted) {
    kind = Kind::kD88;
    geometry = Geometry();
    warning = openedAsD88 ? info.warning : std::string();
    converted.size = 0;
    return openedAsD88;
  }
  image.OpenMemory(converted.bytes.get(), converted.size);
  kind = info.kind;
  geometry = info.geometry;
  warning = info.warning;
  return true;
}

}  // namespace containers
