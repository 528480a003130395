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

// What the checks made of an image: a sound D88, a container converted,
// a container known that is read as D88 all the same, or nothing known.
enum class Outcome { kD88, kConverted, kReadAsD88, kRefused };

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
  for (const char* p = dot; *p != '\0'; ++p) extension += d88::AsciiLower(*p);
  return extension;
}


// What a reader is given of a file: its bytes, its name and extension,
// and whether the name is a path (a KryoFlux stream file's siblings are
// read beside it only then).
struct Input {
  const uint8_t* file;
  size_t size;
  const char* name;
  const std::string& extension;
  bool onDisk;
};

// Every container the programs read, in the order they are tried: the
// ones told by a header or signature first, then the headerless dumps
// told by their size, then the flux dumps.  (A sound D88 is taken before
// any of them; archives after, by the caller.)
struct Reader {
  Kind kind;
  const char* shown;  // its name in the programs' help
  bool (*detect)(const Input&);
  bool (*convert)(const Input&, D88Writer&, Conversion*);
};

// The readers' own functions, taking what a row gives them.
template <bool (*Detect)(const uint8_t*, size_t)>
bool BySignature(const Input& in) {
  return Detect(in.file, in.size);
}
template <bool (*Convert)(const uint8_t*, size_t, D88Writer&, Conversion*)>
bool Whole(const Input& in, D88Writer& out, Conversion* info) {
  return Convert(in.file, in.size, out, info);
}
template <Kind kKind>
bool Flux(const Input& in, D88Writer& out, Conversion* info) {
  return ConvertFlux(kKind, in.file, in.size, out, info);
}
// DCP and DCU, and the headerless dumps, are told apart by the extension
// where the size alone does not.
bool DcpByExtension(const Input& in, D88Writer& out, Conversion* info) {
  return ConvertDcp(in.file, in.size, in.extension, out, info);
}
bool RawBySize(const Input& in) { return DetectRaw(in.file, in.size, in.extension); }
bool RawByExtension(const Input& in, D88Writer& out, Conversion* info) {
  return ConvertRaw(in.file, in.size, in.extension, out, info);
}
bool StreamFileByName(const Input& in) { return DetectKryoFlux(in.file, in.size, in.name); }
// A KryoFlux stream file on disk reads the rest of its set from beside it;
// one held in memory is its set alone (an archive hands a set on whole).
bool StreamFileWithSet(const Input& in, D88Writer& out, Conversion* info) {
  if (in.onDisk) return ConvertKryoFluxFile(in.name, in.file, in.size, out, info);
  const StreamFile alone{in.name, in.file, in.size};
  return ConvertKryoFluxSet(&alone, 1, out, info);
}

constexpr Reader kReaders[] = {
    // kind             shown as              detect                     convert
    {Kind::kNfdR0,     "NFD",                BySignature<DetectNfd>,    Whole<ConvertNfd>},
    {Kind::kFdd,       "FDD",                BySignature<DetectFdd>,    Whole<ConvertFdd>},
    {Kind::kDip,       "DIP",                BySignature<DetectDip>,    Whole<ConvertDip>},
    {Kind::kFdi,       "FDI",                BySignature<DetectFdi>,    Whole<ConvertFdi>},
    {Kind::kDcp,       "DCP/DCU",            BySignature<DetectDcp>,    DcpByExtension},
    {Kind::kRaw,       "a headerless dump",  RawBySize,                 RawByExtension},
    {Kind::kScp,       "SCP",                BySignature<DetectScp>,    Flux<Kind::kScp>},
    {Kind::kHfe,       "HFE",                BySignature<DetectHfe>,    Flux<Kind::kHfe>},
    {Kind::kMfi,       "MFI",                BySignature<DetectMfi>,    Flux<Kind::kMfi>},
    {Kind::kKryoFlux,  "KryoFlux",           StreamFileByName,          StreamFileWithSet},
};

// Converts `file` into `converted` when it is a container other than D88.
// A warning for a container read as D88 leaves out what is then done with
// it.  `converted` comes in as a spare buffer and keeps it either way.
// `name` is the file's name; a KryoFlux stream file reads the rest of its
// set from its siblings by that name only where `onDisk` says the name is
// a path (never for bytes from an archive).
Outcome Convert(const uint8_t* file, size_t size, const char* name, bool onDisk, Conversion* info,
                OwnedBytes* converted) {
  converted->size = 0;
  if (IsD88(file, size)) return Outcome::kD88;
  const std::string extension = Extension(name);
  D88Writer out(kLargestConversion, std::move(*converted));
  // A conversion is about the file's size: its sectors, with a 16-byte
  // header for every one (a sector of 128 bytes at the least) and a disk
  // header.  A flux dump is many times the disk it holds.
  out.Expect(LooksLikeFluxDump(file, size)
                 ? kFluxConversion
                 : size + size / 8 + static_cast<size_t>(d88::kDiskHeaderSize));
  const auto keep = [&] {
    const bool sound = !out.Failed();
    *converted = out.Release();
    return sound;
  };
  const Input input{file, size, name, extension, onDisk};
  const Reader* reader = nullptr;
  for (const Reader& r : kReaders) {
    if (r.detect(input)) {
      reader = &r;
      break;
    }
  }
  if (reader == nullptr) ExplainFdiRefusal(file, size, &info->warning);
  // A D88 whose size field is wrong may have a headerless dump's size by
  // chance: it is read as D88, saying so.
  if (reader != nullptr && reader->kind == Kind::kRaw && LooksLikeD88(file, size)) {
    char text[160];
    std::snprintf(text, sizeof text, "D88 disk size field does not match the file's %lu bytes",
                  static_cast<unsigned long>(size));
    info->warning = text;
    keep();
    converted->size = 0;
    return Outcome::kReadAsD88;
  }
  const bool detected = reader != nullptr;
  if (detected && !IsFlux(reader->kind)) info->kind = reader->kind;
  const bool taken = detected && reader->convert(input, out, info);
  const bool sound = keep();
  if (taken && sound) return Outcome::kConverted;
  converted->size = 0;
  if (!detected) return Outcome::kRefused;
  // A flux dump's reader says what it could not read.
  const std::string why = out.Failed() ? " would convert to more than any disk holds"
                          : IsFlux(info->kind) && !info->warning.empty()
                              ? ": " + info->warning
                              : " could not be converted";
  info->warning = std::string(KindName(info->kind)) + " image" + why;
  return Outcome::kReadAsD88;
}

}  // namespace

std::string FormatsRead() {
  std::string sectors = "D88";
  std::string flux;
  for (const Reader& r : kReaders) {
    std::string& list = IsFlux(r.kind) ? flux : sectors;
    list += list.empty() ? "" : ", ";
    list += r.shown;
  }
  return sectors + ", or a flux dump: " + flux;
}

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

size_t LargestImage(const uint8_t* first, size_t size) {
  return LooksLikeFluxDump(first, size) ? kLargestFluxDump : kLargestContainer;
}

bool LoadWhole(const char* path, LargestOf largest, OwnedBytes* into) {
  into->size = 0;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  uint8_t first[kSignatureBytes];
  const size_t got = std::fread(first, 1, sizeof first, file);
  const size_t limit = largest(first, got);
  // Where the file tells its size, a larger file is not read at all and a
  // smaller one gets a buffer its size; one byte more tells a file that
  // grew meanwhile.
  size_t capacity = limit;
  bool fits = true;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end >= 0) {
      fits = static_cast<unsigned long>(end) <= limit;
      capacity = static_cast<size_t>(end);
    }
  }
  if (!fits || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return false;
  }
  bool ok = into->Renew(capacity + 1);
  while (ok && into->size <= capacity) {
    const size_t read = std::fread(into->bytes.get() + into->size, 1, capacity + 1 - into->size, file);
    into->size += read;
    if (read == 0) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  return ok && into->size <= capacity;
}

bool StreamFileName(const std::string& name) {
  size_t length;
  int cylinder, head;
  return StreamFileTrack(name, &length, &cylinder, &head);
}

bool IsStreamFile(const uint8_t* bytes, size_t size, const std::string& name,
                  std::string* prefix) {
  size_t length;
  int cylinder, head;
  if (!StreamFileTrack(name, &length, &cylinder, &head) || !DetectKryoFlux(bytes, size, name)) {
    return false;
  }
  *prefix = name.substr(0, length);
  return true;
}

Taken ConvertStreamSet(const StreamFile* files, size_t count, Conversion* info,
                       OwnedBytes* converted) {
  D88Writer out(kLargestConversion, std::move(*converted));
  out.Expect(kFluxConversion);
  const bool taken = ConvertKryoFluxSet(files, count, out, info);
  const bool sound = !out.Failed();
  *converted = out.Release();
  if (taken && sound) return Taken::kConverted;
  converted->size = 0;
  return Taken::kNone;
}

ImageFile::ImageFile() = default;
ImageFile::~ImageFile() = default;

Taken ConvertImage(const uint8_t* bytes, size_t size, const std::string& name, Conversion* info,
                   OwnedBytes* converted) {
  switch (Convert(bytes, size, name.c_str(), false, info, converted)) {
    case Outcome::kD88: return Taken::kD88;
    case Outcome::kConverted: return Taken::kConverted;
    default: return Taken::kNone;
  }
}

bool ImageFile::Open(const char* path, d88::D88Image& image) {
  return OpenRecognised(path, image) || (refused && OpenAsD88(path, image));
}

bool ImageFile::OpenRecognised(const char* path, d88::D88Image& image) {
  Conversion info;
  refused = false;
  loadedWhole = false;
  refusal.clear();
  // The image may still read the last conversion; it reads nothing of it
  // from here on, whichever way this open goes, so its buffer is reused.
  Outcome outcome = Outcome::kD88;  // a null path closes the image
  if (path != nullptr) {
    // A file that cannot be loaded (missing, unreadable, or larger than any
    // container) is left to the D88 reading, which says what it says today.
    outcome = Outcome::kRefused;
    if (LoadWhole(path, LargestImage, &loaded) && loaded.size > 0) {
      loadedWhole = true;
      outcome = Convert(loaded.bytes.get(), loaded.size, path, true, &info, &converted);
    }
  }
  switch (outcome) {
    case Outcome::kConverted:
      return OpenConverted(&info, image);
    case Outcome::kReadAsD88:
      return OpenD88(path, image, info.warning + "; read as D88");
    case Outcome::kRefused:
      // Nothing is opened: nothing of an earlier image is told either.
      refused = true;
      refusal = info.warning;
      return ReadAsD88(false, std::string());
    default:
      return OpenD88(path, image, info.warning);
  }
}

bool ImageFile::OpenBytes(const uint8_t* data, size_t size, const char* name,
                          d88::D88Image& image) {
  Conversion info;
  refused = false;
  loadedWhole = false;
  refusal.clear();
  // Bytes larger than any container are a D88, as such a file is.
  Outcome outcome = Outcome::kD88;
  if (data != nullptr && size <= kLargestContainer) {
    outcome = Convert(data, size, name != nullptr ? name : "", false, &info, &converted);
  }
  if (outcome == Outcome::kConverted) return OpenConverted(&info, image);
  const std::string why =
      outcome == Outcome::kReadAsD88 ? info.warning + "; read as D88" : info.warning;
  return ReadAsD88(data != nullptr && image.OpenMemory(data, size), why);
}

bool ImageFile::OpenConverted(Conversion* info, d88::D88Image& image) {
  image.OpenMemory(converted.bytes.get(), converted.size);
  kind = info->kind;
  geometry = info->geometry;
  flux = std::move(info->flux);
  warning = std::move(info->warning);
  return true;
}

bool ImageFile::OpenStreamSet(const StreamFile* files, size_t count, d88::D88Image& image) {
  image.Open(nullptr);
  refused = false;
  loadedWhole = false;
  refusal.clear();
  Conversion info;
  if (ConvertStreamSet(files, count, &info, &converted) == Taken::kNone) {
    return ReadAsD88(false, std::string());
  }
  return OpenConverted(&info, image);
}

bool ImageFile::OpenAsD88(const char* path, d88::D88Image& image) {
  return OpenD88(path, image, refusal);
}

bool ImageFile::OpenD88(const char* path, d88::D88Image& image, const std::string& why) {
  return ReadAsD88(image.Open(path), why);
}

bool ImageFile::ReadAsD88(bool opened, const std::string& why) {
  kind = Kind::kD88;
  geometry = Geometry();
  flux = FluxFacts();
  warning = opened ? why : std::string();
  converted.size = 0;
  return opened;
}

}  // namespace containers
