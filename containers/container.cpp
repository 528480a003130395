#include "containers/container.h"

#include <cstdio>
#include <new>
#include <utility>

#include "containers/d88_check.h"
#include "containers/d88_writer.h"
#include "containers/flux_dump.h"
#include "containers/readers.h"
#include "d88/d88_format.h"

namespace containers {

namespace {

// No floppy container is larger: the biggest real layout is under 2 MB,
// but an NFD r1 may keep several retry copies of every sector (a 1.44 MB
// disk with two of each is some 4.4 MB).  A larger file is a D88 and is
// read from the file without being loaded, unless its first bytes are a
// flux dump's (kLargestFluxDump).
constexpr size_t kLargestContainer = 16u << 20;
// Enough of a file's start to tell a flux dump by its signature.
constexpr size_t kSignatureBytes = 16;
// The D88 a flux dump decodes to: a 2HD disk's is some 1.3 MB.
constexpr size_t kFluxConversion = 2u << 20;

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
    if (end >= 0) {
      uint8_t first[kSignatureBytes];
      size_t largest = kLargestContainer;
      if (static_cast<unsigned long>(end) > kLargestContainer &&
          std::fseek(file, 0, SEEK_SET) == 0 &&
          LooksLikeFluxDump(first, std::fread(first, 1, sizeof first, file))) {
        largest = kLargestFluxDump;
      }
      capacity = static_cast<unsigned long>(end) <= largest ? static_cast<size_t>(end) : 0;
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
bool Convert(const uint8_t* file, size_t size, const char* path, Conversion* info,
             OwnedBytes* converted) {
  converted->size = 0;
  if (IsD88(file, size)) return false;
  const std::string extension = Extension(path);
  D88Writer out(kLargestConversion, std::move(converted->bytes), converted->capacity);
  // A conversion is about the file's size: its sectors, with a 16-byte
  // header for every one (a sector of 128 bytes at the least) and a disk
  // header.  A flux dump is many times the disk it holds.
  out.Expect(LooksLikeFluxDump(file, size)
                 ? kFluxConversion
                 : size + size / 8 + static_cast<size_t>(d88::kDiskHeaderSize));
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
  } else if (DetectScp(file, size)) {
    taken = ConvertFlux(Kind::kScp, file, size, out, info);
  } else if (DetectHfe(file, size)) {
    taken = ConvertFlux(Kind::kHfe, file, size, out, info);
  } else if (DetectMfi(file, size)) {
    taken = ConvertFlux(Kind::kMfi, file, size, out, info);
  } else if (DetectKryoFlux(file, size, path)) {
    taken = ConvertKryoFluxFile(path, file, size, out, info);
  } else {
    detected = false;
    ExplainFdiRefusal(file, size, &info->warning);
  }
  const bool sound = keep();
  if (taken && sound) return true;
  converted->size = 0;
  if (detected) {
    // A flux dump's reader says what it could not read.
    const std::string why = out.Failed() ? " would convert to more than any disk holds"
                            : IsFlux(info->kind) && !info->warning.empty()
                                ? ": " + info->warning
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
    case Kind::kScp: return "SCP";
    case Kind::kKryoFlux: return "KryoFlux";
    case Kind::kHfe: return "HFE";
    case Kind::kMfi: return "MFI";
  }
  return "?";
}

ImageFile::ImageFile() = default;
ImageFile::~ImageFile() = default;

bool ImageFile::Open(const char* path, d88::D88Image& image) {
  Conversion info;
  bool isConverted = false;
  // The image may still read the last conversion; it reads nothing of it
  // from here on, whichever way this Open goes, so its buffer is reused.
  if (path != nullptr) {
    // A file that cannot be loaded (missing, unreadable, or larger than any
    // container) is left to the D88 reading, which says what it says today.
    if (Load(path, &loaded)) {
      isConverted = Convert(loaded.bytes.get(), loaded.size, path, &info, &converted);
    }
  }
  if (!isConverted) {
    const bool opened = image.Open(path);
    kind = Kind::kD88;
    geometry = Geometry();
    flux = FluxFacts();
    warning = opened ? info.warning : std::string();
    converted.size = 0;
    return opened;
  }
  Adopt(&info, image);
  return true;
}

bool ImageFile::OpenStreamSet(const StreamFile* files, size_t count, d88::D88Image& image) {
  image.Open(nullptr);
  Conversion info;
  D88Writer out(kLargestConversion, std::move(converted.bytes), converted.capacity);
  out.Expect(kFluxConversion);
  const bool taken = ConvertKryoFluxSet(files, count, out, &info);
  const bool sound = !out.Failed();
  converted.bytes = out.Release(&converted.size, &converted.capacity);
  if (!taken || !sound) {
    converted.size = 0;
    kind = Kind::kD88;
    geometry = Geometry();
    flux = FluxFacts();
    warning.clear();
    return false;
  }
  Adopt(&info, image);
  return true;
}

void ImageFile::Adopt(Conversion* info, d88::D88Image& image) {
  image.OpenMemory(converted.bytes.get(), converted.size);
  kind = info->kind;
  geometry = info->geometry;
  flux = std::move(info->flux);
  warning = std::move(info->warning);
}

}  // namespace containers
