#include "d88info/info.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "containers/container.h"
#include "cut/run.h"
#include "d88/d88_format.h"
#include "d88/d88_image.h"

namespace d88info {

namespace {

constexpr char kUsage[] = "Usage: d88info [--sectors] [--disk N] IMAGE\n";
constexpr char kHelp[] =
    "Shows the disks of a D88 image and which program takes each disk for\n"
    "which kind.  Reads the image only; writes no files.\n"
    "\n"
    "  --sectors              also list each track's sectors: C/H/R/N in stored\n"
    "                         order, their data lengths and which of sectors 1\n"
    "                         to 26 are missing\n"
    "  --disk N               show only disk N (counted from 0)\n"
    "  -h, --help             show this help and exit\n"
    "  --version              show the version and exit\n"
    "\n"
    "Exit status: 0 when the image was shown; 1 for an image that cannot be\n"
    "read or a disk it does not hold; 2 for a usage error.\n";

// The programs read sectors 1 to 26 of every track.
constexpr int kFirstSector = 1;
constexpr int kLastSector = 26;
constexpr int kIdsPerLine = 13;

// A walk never lists more headers than a 16-bit count can name, so these
// hold any track.  Static: a track can list far more than a stack should.
uint8_t g_ids[d88::kMaxHeadersPerTrack * 4];
int g_lengths[d88::kMaxHeadersPerTrack];
uint8_t g_probe[cut::kProbeLength];
d88::D88Image g_image;

struct Options {
  bool sectors = false;
  int disk = -1;  // all
  const char* image = nullptr;
};

std::string Format(const char* format, long long a, long long b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

std::string Count(long long n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string MediaName(int media) {
  switch (media) {
    case 0x00: return "2D";
    case 0x10: return "2DD";
    case 0x20: return "2HD";
    case 0x30: return "1D";
    case 0x40: return "1DD";
    default: return Format("media 0x%02llX", media);
  }
}

std::string ProtectName(int flag) {
  if (flag == 0x00) return "writable";
  if (flag == 0x10) return "write-protected";
  return Format("write-protect 0x%02llX", flag);
}

// The name as stored, kept plain ASCII and unambiguous inside its quotes.
std::string Escaped(const char* name) {
  std::string text;
  for (const char* p = name; *p != '\0'; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte < 0x20 || byte >= 0x7F || byte == '"' || byte == '\\') {
      text += Format("\\x%02llX", byte);
    } else {
      text += static_cast<char>(byte);
    }
  }
  return text;
}

// Some writers keep a track table of only 160 entries and start the first
// track right after it, at 0x2A0, so the last four entries hold that
// track's first sector header.  The table is taken to end where the first
// track starts; an entry pointing back into the table is no track either.
bool IsTrack(const d88::D88Image& image, int track, int* tableEnd) {
  const uint32_t entryEnd = d88::kTrackTableOffset + 4 * (track + 1);
  if (entryEnd > static_cast<uint32_t>(*tableEnd)) return false;
  const uint32_t offset = image.TrackOffset(track);
  if (offset < entryEnd) return false;  // 0 (absent) among them
  if (offset < static_cast<uint32_t>(*tableEnd)) *tableEnd = static_cast<int>(offset);
  return true;
}

// Which program takes the selected disk for which kind; every one that
// would, in the order of `catalogues`.
std::string Recognition(d88::D88Image& image, cut::Span<const cut::Catalogue*> catalogues) {
  std::string text;
  for (const cut::Catalogue* catalogue : catalogues) {
    const cut::DiskRule* rule = cut::Recognise(image, *catalogue, 0, g_probe);
    if (rule == nullptr) continue;
    if (!text.empty()) text += ", ";
    text += std::string(catalogue->program) + " " + std::to_string(rule->number) + " (" +
            rule->label + ")";
  }
  return text.empty() ? "recognised by none" : text;
}

// "3 7-9" for the sector numbers 1..26 that no sector of the track carries.
std::string Missing(const uint8_t* ids, int count) {
  bool present[kLastSector + 1] = {};
  for (int i = 0; i < count; ++i) {
    const int r = ids[4 * i + d88::kSectorROffset];
    if (r >= kFirstSector && r <= kLastSector) present[r] = true;
  }
  std::string text;
  for (int r = kFirstSector; r <= kLastSector; ++r) {
    if (present[r]) continue;
    int last = r;
    while (last < kLastSector && !present[last + 1]) ++last;
    if (!text.empty()) text += " ";
    text += last == r ? std::to_string(r) : Format("%lld-%lld", r, last);
    r = last;
  }
  return text.empty() ? "none of 1-26 missing" : "missing " + text;
}

// "256 bytes each", or each length with how many sectors have it, in the
// order they first appear.
std::string Lengths(const int* lengths, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    bool seen = false;
    int times = 0;
    for (int j = 0; j < count; ++j) {
      if (lengths[j] != lengths[i]) continue;
      if (j < i) seen = true;
      ++times;
    }
    if (seen) continue;
    if (times == count) return Format("%lld bytes each", lengths[i]);
    if (!text.empty()) text += ", ";
    text += Format("%lld bytes x%lld", lengths[i], times);
  }
  return text;
}

void PrintTrack(d88::D88Image& image, int track, std::FILE* out) {
  const int count = image.ListSectorIds(track, g_ids, static_cast<int>(sizeof g_ids)) / 4;
  if (count == 0) {
    std::fprintf(out, "  track %d: no sectors\n", track);
    return;
  }
  const int lengthCount = image.ListDataLengths(track, g_lengths, count);
  std::fprintf(out, "  track %d: %s, %s, %s\n", track, Count(count, "sector").c_str(),
               Lengths(g_lengths, lengthCount).c_str(), Missing(g_ids, count).c_str());
  for (int i = 0; i < count; ++i) {
    const uint8_t* id = g_ids + 4 * i;
    std::fprintf(out, "%s%d/%d/%d/%d", i % kIdsPerLine == 0 ? "    " : " ", id[0], id[1], id[2],
                 id[3]);
    if (i % kIdsPerLine == kIdsPerLine - 1 || i == count - 1) std::fputc('\n', out);
  }
}

void PrintDisk(d88::D88Image& image, int index, const Options& options,
               cut::Span<const cut::Catalogue*> catalogues, std::FILE* out) {
  const long long position = image.DiskPosition(index);
  if (!image.SelectDisk(index)) {
    std::fprintf(out, "disk %d: offset %lld, header cannot be read\n", index, position);
    return;
  }
  image.SetSectorRange(kFirstSector, kLastSector);
  int tracks = 0;
  long long sectors = 0;
  int tableEnd = d88::kDiskHeaderSize;
  for (int t = 0; t < d88::kTrackCount; ++t) {
    if (!IsTrack(image, t, &tableEnd)) continue;
    ++tracks;
    sectors += image.ListSectorIds(t, g_ids, static_cast<int>(sizeof g_ids)) / 4;
  }
  const std::string name = Escaped(image.DiskName());
  std::fprintf(out, "disk %d: offset %lld, size %lu, %s, %s, name \"%s\", %s, %s; %s\n", index,
               position, static_cast<unsigned long>(image.DiskSize()),
               MediaName(image.MediaType()).c_str(), ProtectName(image.WriteProtect()).c_str(),
               name.c_str(), Count(tracks, "track").c_str(), Count(sectors, "sector").c_str(),
               Recognition(image, catalogues).c_str());
  if (!options.sectors) return;
  tableEnd = d88::kDiskHeaderSize;
  for (int t = 0; t < d88::kTrackCount; ++t) {
    if (IsTrack(image, t, &tableEnd)) PrintTrack(image, t, out);
  }
}

// A disk number: decimal digits only, small enough to be an index.
bool ParseDisk(const char* text, int* disk) {
  if (text == nullptr || *text == '\0') return false;
  long value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
    if (value > 1000000) return false;
  }
  *disk = static_cast<int>(value);
  return true;
}

int UsageError(std::FILE* err, const std::string& problem) {
  std::fprintf(err, "d88info: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

}  // namespace

int Run(cut::Span<const cut::Catalogue*> catalogues, int argc, const char* const* argv,
        std::FILE* out, std::FILE* err) {
  Options options;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnd && (arg == "--help" || arg == "-h")) {
      std::fputs(kUsage, out);
      std::fputs(kHelp, out);
      return 0;
    } else if (!optionsEnd && arg == "--version") {
      cut::PrintVersion("d88info", out);
      return 0;
    } else if (!optionsEnd && arg == "--sectors") {
      options.sectors = true;
    } else if (!optionsEnd && (arg == "--disk" || arg.rfind("--disk=", 0) == 0)) {
      const char* number = arg == "--disk" ? (i + 1 < argc ? argv[++i] : nullptr)
                                           : argv[i] + std::strlen("--disk=");
      if (number == nullptr) return UsageError(err, "--disk needs a disk number");
      if (!ParseDisk(number, &options.disk)) {
        return UsageError(err, std::string("bad disk number '") + number + "'");
      }
    } else if (!optionsEnd && arg == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && arg.size() > 1 && arg[0] == '-') {
      return UsageError(err, "unknown option '" + arg + "'");
    } else if (options.image != nullptr) {
      return UsageError(err, "more than one image given");
    } else {
      options.image = argv[i];
    }
  }
  if (options.image == nullptr) return UsageError(err, "no image given");

  d88::D88Image& image = g_image;
  errno = 0;
  static containers::ImageFile file;
  if (!file.Open(options.image, image)) {
    const int reason = errno;
    std::fprintf(err, "d88info: cannot read %s%s%s\n", options.image, reason != 0 ? ": " : "",
                 reason != 0 ? std::strerror(reason) : "");
    return 1;
  }
  if (!file.Warning().empty()) {
    std::fprintf(err, "warning: %s: %s\n", options.image, file.Warning().c_str());
  }
  const int count = image.DiskCount();
  if (options.disk >= count) {
    std::fprintf(err, "d88info: no disk %d (the image holds %d)\n", options.disk, count);
    return 1;
  }
  if (count == 0) std::fputs("no disks\n", out);
  for (int i = 0; i < count; ++i) {
    if (options.disk < 0 || options.disk == i) PrintDisk(image, i, options, catalogues, out);
  }
  std::fflush(out);
  return 0;
}

}  // namespace d88info
