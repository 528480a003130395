#include "d88info/info.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "containers/container.h"
#include "cut/command_line.h"
#include "cut/disk_files.h"
#include "cut/image_source.h"
#include "cut/run.h"
#include "d88/d88_image.h"
#include "d88info/facts.h"
#include "d88info/json.h"

namespace d88info {

namespace {

constexpr char kUsage[] = "Usage: d88info [--sectors] [--files] [--map] [--disk N] IMAGE\n";
constexpr char kHelp[] =
    "Shows the disks of a floppy-disk image, which program takes each disk\n"
    "for which kind, and the files of a disk that has a file system (MS-DOS\n"
    "FAT12 or FAT16, N88-BASIC); of a hard-disk image (HDI, NHD, THD,\n"
    "Virtual98, or a plain one with a partition table), its partitions and\n"
    "their files.  Reads the image only; writes no files.  It reads\n"
    "{read}.  An image in another container than D88 is shown as the D88 it\n"
    "converts to, after a line naming the container; an archive as the D88\n"
    "of its images, after a line listing its members.\n"
    "\n"
    "  --sectors              also list each track's sectors: C/H/R/N in stored\n"
    "                         order, their data lengths and which of sectors 1\n"
    "                         to 26 are missing; for another container, what it\n"
    "                         recorded (FM, deleted, status); for a flux dump,\n"
    "                         each track's encoding, rate, revolutions decoded\n"
    "                         which sectors had bad CRCs in which revolution\n"
    "                         and how each was obtained (a good copy, voted,\n"
    "                         repaired)\n"
    "  --files                also list every file: its path, size and time\n"
    "  --map                  also draw each disk as a map, a row per track and\n"
    "                         a mark per sector in stored order (the key is\n"
    "                         printed with it)\n"
    "  --disk N               show only disk N (counted from 0)\n"
    "  --json                 print one JSON document instead of the lines\n"
    "                         (README.md names its fields)\n"
    "  -h, --help             show this help and exit\n"
    "  --version              show the version and exit\n"
    "\n"
    "Exit status: 0 when the image was shown; 1 for an image that cannot be\n"
    "read, a disk it does not hold or a listing that cannot be written; 2 for\n"
    "a usage error.\n";

constexpr int kIdsPerLine = 13;

struct Options {
  bool json = false;
  bool sectors = false;
  bool files = false;
  bool map = false;
  bool container = false;  // converted from another container: show its flags
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

// Which program takes the selected disk for which kind; every one that
// would, in the order of `catalogues`.
std::string Recognition(d88::D88Image& image, cut::Span<const cut::Catalogue*> catalogues) {
  std::string text;
  for (const Taker& taker : Takers(image, catalogues)) {
    if (!text.empty()) text += ", ";
    text +=
        std::string(taker.program) + " " + std::to_string(taker.number) + " (" + taker.kind + ")";
  }
  return text.empty() ? "recognised by none" : text;
}

// "3 7-9" for the sector numbers 1..26 that no sector of the track carries.
std::string Missing(const TrackList& list) {
  const std::string text = Ranges(MissingSectors(list));
  return text.empty() ? "none of 1-26 missing" : "missing " + text;
}

// "MFM 500 kbit/s", or "FM" where the rate is the one FM has beside `main`'s
// encoding at the same cells.
std::string EncodingText(const containers::FluxTrackFacts& t,
                         const containers::FluxTrackFacts* main) {
  std::string text = *t.encoding != '\0' ? t.encoding : "nothing";
  if (main != nullptr) {
    const bool fm = std::strcmp(t.encoding, "FM") == 0,
               mainFm = std::strcmp(main->encoding, "FM") == 0;
    const int same = fm == mainFm ? main->rateKbps : fm ? main->rateKbps / 2 : main->rateKbps * 2;
    if (t.rateKbps == same) return text;
  }
  return t.rateKbps > 0 ? text + " " + std::to_string(t.rateKbps) + " kbit/s" : text;
}

// "SCP, 3 revolutions, 77x2 cylinders/heads, MFM 500 kbit/s, track 0 FM":
// the encoding and rate most tracks have, then the tracks that differ.
std::string FluxLine(const cut::ImageSource& source) {
  const containers::FluxFacts& f = source.GetFlux();
  std::string text = std::string(containers::KindName(source.GetKind())) + ", " +
                     Count(f.revolutions, "revolution");
  if (f.cylinders > 0) text += Format(", %lldx%lld cylinders/heads", f.cylinders, f.heads);
  if (f.doubleStepped) text += ", every track dumped twice (read once)";
  if (f.tracks.empty()) return text + ", no sector found";
  // The commonest encoding and rate, the first seen of equals.
  std::vector<std::pair<std::string, int>> tally;
  for (const containers::FluxTrackFacts& t : f.tracks) {
    const std::string kind = EncodingText(t, nullptr);
    auto it =
        std::find_if(tally.begin(), tally.end(), [&](const auto& k) { return k.first == kind; });
    if (it == tally.end()) it = tally.insert(tally.end(), {kind, 0});
    ++it->second;
  }
  const auto commonest = std::max_element(
      tally.begin(), tally.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  const containers::FluxTrackFacts* main =
      &*std::find_if(f.tracks.begin(), f.tracks.end(),
                     [&](const auto& t) { return EncodingText(t, nullptr) == commonest->first; });
  text += ", " + EncodingText(*main, nullptr);
  // The tracks that differ, grouped by what they are.
  std::vector<std::pair<std::string, std::vector<int>>> others;
  for (const containers::FluxTrackFacts& t : f.tracks) {
    if (EncodingText(t, nullptr) == commonest->first) continue;
    const std::string kind = EncodingText(t, main);
    auto group =
        std::find_if(others.begin(), others.end(), [&](const auto& o) { return o.first == kind; });
    if (group == others.end()) group = others.insert(others.end(), {kind, {}});
    group->second.push_back(t.track);
  }
  for (const auto& [kind, tracks] : others) {
    text +=
        std::string(tracks.size() == 1 ? ", track " : ", tracks ") + Ranges(tracks) + " " + kind;
  }
  return text;
}

// "    flux: MFM 500 kbit/s, 3 revolutions decoded; bad CRC: 0/0/3/1 in
// revolutions 1-3 (status 0xB0)"
void PrintFluxTrack(const containers::FluxTrackFacts& t, std::FILE* out) {
  std::string text = "    flux: " + EncodingText(t, nullptr) + ", " +
                     Count(t.revolutions, "revolution") + " decoded";
  for (size_t i = 0; i < t.badCrcs.size(); ++i) {
    const containers::FluxTrackFacts::BadCrc& b = t.badCrcs[i];
    const std::vector<int> revolutions = Revolutions(b.revolutions);
    text += i == 0 ? "; bad CRC: " : ", ";
    text += Format("%lld/%lld/", b.c, b.h) + Format("%lld/%lld in ", b.r, b.n) +
            (revolutions.size() == 1 ? "revolution " : "revolutions ") + Ranges(revolutions);
    if (b.status != 0) text += Format(" (status 0x%02llX)", b.status);
    const std::string obtained = Obtained(b);
    if (!obtained.empty()) text += " (" + obtained + ")";
  }
  std::fprintf(out, "%s\n", text.c_str());
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

// What a container recorded of a sector beside its ID, or "".
std::string Recorded(const uint8_t* flags) {
  std::string text;
  auto add = [&](const std::string& part) { text += (text.empty() ? "" : " ") + part; };
  if (flags[0] == d88::kDensityFm) add("FM");
  else if (flags[0] != 0) add(Format("density 0x%02llX", flags[0]));
  if (flags[1] == d88::kDeletedData) add("deleted");
  else if (flags[1] != 0) add(Format("deleted 0x%02llX", flags[1]));
  if (flags[2] != 0) add(Format("status 0x%02llX", flags[2]));
  return text;
}

// "    recorded: every sector FM", or each sector with something recorded;
// nothing when no sector has.  The list's flags are those of every sector
// it lists (ListTrack keeps only the sectors all its walks know).
void PrintRecorded(const TrackList& list, std::FILE* out) {
  const uint8_t* flags = list.flags;
  std::string first = list.count > 0 ? Recorded(flags) : "";
  bool same = true;
  std::string each;
  for (int i = 0; i < list.count; ++i) {
    const std::string text = Recorded(flags + 3 * i);
    if (text != first) same = false;
    if (text.empty()) continue;
    const uint8_t* id = list.ids + 4 * i;
    each += (each.empty() ? "" : ", ") + Format("%lld/%lld", id[0], id[1]) +
            Format("/%lld/%lld ", id[2], id[3]) + text;
  }
  if (each.empty()) return;
  if (same) {
    std::fprintf(out, "    recorded: every sector %s\n", first.c_str());
  } else {
    std::fprintf(out, "    recorded: %s\n", each.c_str());
  }
}

void PrintTrack(d88::D88Image& image, TrackBuffers& buffers, int track, bool container,
                const containers::FluxTrackFacts* flux, std::FILE* out) {
  const TrackList list = ListTrack(image, track, buffers);
  if (list.count == 0) {
    std::fprintf(out, "  track %d: no sectors\n", track);
    return;
  }
  std::fprintf(out, "  track %d: %s, %s, %s\n", track, Count(list.count, "sector").c_str(),
               Lengths(list.lengths, list.count).c_str(), Missing(list).c_str());
  for (int i = 0; i < list.count; ++i) {
    const uint8_t* id = list.ids + 4 * i;
    std::fprintf(out, "%s%d/%d/%d/%d", i % kIdsPerLine == 0 ? "    " : " ", id[0], id[1], id[2],
                 id[3]);
    if (i % kIdsPerLine == kIdsPerLine - 1 || i == list.count - 1) std::fputc('\n', out);
  }
  if (container) PrintRecorded(list, out);
  if (flux != nullptr) PrintFluxTrack(*flux, out);
}

// "  files: FAT12 ..." and, with --files, a line per file such as
// "disk 0: MUSIC/OPENING.M 5000 1991-04-12 10:20"; the problems of the
// file system as warnings.
void PrintFiles(const fs::Listing& listing, const std::string& where, const Options& options,
                std::FILE* out, std::FILE* err) {
  std::fprintf(out, "  files: %s\n", cut::FilesSummary(listing).c_str());
  for (const std::string& problem : listing.problems) {
    std::fprintf(err, "warning: %s: %s: %s\n", options.image, where.c_str(),
                 cut::ProblemText(problem).c_str());
  }
  if (!options.files) return;
  for (const fs::Entry& entry : listing.entries) {
    if (entry.isDirectory) continue;
    std::string notes;
    if (entry.isTokenised) notes += ", tokenised BASIC";
    if (entry.isMachineCode) notes += ", machine code";
    if (entry.isProtected) notes += ", protected: written as stored";
    std::fprintf(out, "%s: %s %llu %s%s\n", where.c_str(), cut::PathText(entry).c_str(),
                 static_cast<unsigned long long>(entry.size),
                 cut::TimeText(entry.modified, false).c_str(),
                 notes.empty() ? "" : (" (" + notes.substr(2) + ")").c_str());
  }
}

// "hard disk HDI, 512-byte sectors, 40 MB", then a line per partition:
// 'partition 0: name "MS-DOS", offset 69,632, 20,971,520 bytes' and its
// file system.
void PrintHardDisk(cut::HardDiskImage& hardDisk, const Options& options, std::FILE* out,
                   std::FILE* err) {
  const fs::HardDisk& disk = hardDisk.Disk();
  std::fprintf(out, "%s\n", cut::HardDiskLine(disk).c_str());
  if (disk.partitions.empty()) std::fputs("no partition table\n", out);
  for (size_t i = 0; i < disk.partitions.size(); ++i) {
    const fs::Partition& p = disk.partitions[i];
    std::fprintf(out, "partition %d: name \"%s\", offset %s, %s bytes\n", p.index,
                 cut::ProblemText(p.name).c_str(), cut::Thousands(p.offset).c_str(),
                 cut::Thousands(p.size).c_str());
    fs::Listing listing;
    const std::unique_ptr<fs::Volume> volume = hardDisk.Partition(i);
    if (volume != nullptr && fs::ListVolume(*volume, &listing)) {
      PrintFiles(listing, "partition " + std::to_string(p.index), options, out, err);
    } else {
      std::fputs("  no file system\n", out);
    }
  }
}

// One mark per sector: how it came out, from its status and deleted bytes
// (a flux dump's decoder records what it found there too).
char MapMark(const uint8_t* flags) {
  const uint8_t deleted = flags[1], status = flags[2];
  switch (status) {
    case d88::kStatusIdCrc: return 'i';
    case d88::kStatusDataCrc: return 'x';
    case d88::kStatusNoData: return 'n';
    case d88::kStatusSound:
    case d88::kStatusDeleted:
      return deleted == d88::kDeletedData || status == d88::kStatusDeleted ? 'd' : '.';
    default: return '?';
  }
}

// "  map: . sound  d deleted  x data CRC error  ..." and a row per track:
// "  track 12: ......x...................  missing 26".
void PrintMap(d88::D88Image& image, TrackBuffers& buffers, const std::vector<int>& tracks,
              const containers::FluxFacts* flux, std::FILE* out) {
  std::fprintf(out, "  map: . sound, %sd deleted data, x data CRC error, i ID CRC error, n no data, "
               "? other status\n", flux != nullptr ? "v voted, r repaired, " : "");
  // A track misses the sector numbers up to the highest any track carries.
  int highest = 0;
  for (const int t : tracks) {
    const TrackList list = ListTrack(image, t, buffers);
    for (int i = 0; i < list.count; ++i) {
      highest = std::max<int>(highest, list.ids[4 * i + d88::kSectorROffset]);
    }
  }
  for (const int t : tracks) {
    const TrackList list = ListTrack(image, t, buffers);
    std::string row;
    std::vector<bool> present(static_cast<size_t>(highest) + 1, false);
    const containers::FluxTrackFacts* decoded = flux != nullptr ? FluxTrack(*flux, t) : nullptr;
    for (int i = 0; i < list.count; ++i) {
      const uint8_t* id = list.ids + 4 * i;
      char mark = MapMark(list.flags + 3 * i);
      // A dump's sector rebuilt from its bad copies says so.
      for (size_t k = 0; decoded != nullptr && k < decoded->badCrcs.size(); ++k) {
        const containers::FluxTrackFacts::BadCrc& b = decoded->badCrcs[k];
        if (b.c != id[0] || b.h != id[1] || b.r != id[2] || b.n != id[3]) continue;
        if (b.origin == flux::DataOrigin::kVoted) mark = 'v';
        if (b.origin == flux::DataOrigin::kRepaired) mark = 'r';
      }
      row += mark;
      present[id[d88::kSectorROffset]] = true;
    }
    std::vector<int> absent;
    for (int r = 1; r <= highest; ++r) {
      if (!present[static_cast<size_t>(r)]) absent.push_back(r);
    }
    const std::string missing = Ranges(absent);
    std::fprintf(out, "  track %3d: %s%s%s\n", t, row.empty() ? "(no sectors)" : row.c_str(),
                 missing.empty() ? "" : "  missing ", missing.c_str());
  }
}

void PrintDisk(d88::D88Image& image, TrackBuffers& buffers, int index, const Options& options,
               const cut::ImageSource& source, cut::Span<const cut::Catalogue*> catalogues,
               std::FILE* out, std::FILE* err) {
  const long long position = image.DiskPosition(index);
  if (!image.SelectDisk(index)) {
    std::fprintf(out, "disk %d: offset %lld, header cannot be read\n", index, position);
    return;
  }
  image.SetSectorRange(kFirstSector, kLastSector);
  const std::vector<int> tracks = Tracks(image);
  long long sectors = 0;
  for (const int t : tracks) sectors += CountSectors(image, t, buffers);
  // An archive's disk names the member it came from.
  std::string name = "name \"" + Escaped(image.DiskName()) + "\"";
  const int member = source.MemberOf(index);
  if (source.IsArchive() && member >= 0) {
    name += ", member \"" + source.Members()[static_cast<size_t>(member)].name + "\"";
  }
  std::fprintf(out, "disk %d: offset %lld, size %lu, %s, %s, %s, %s, %s; %s\n", index,
               position, static_cast<unsigned long>(image.DiskSize()),
               MediaName(image.MediaType()).c_str(), ProtectName(image.WriteProtect()).c_str(),
               name.c_str(), Count(static_cast<long long>(tracks.size()), "track").c_str(),
               Count(sectors, "sector").c_str(), Recognition(image, catalogues).c_str());
  fs::Listing listing;
  if (cut::ListDiskFiles(image, &listing)) {
    PrintFiles(listing, "disk " + std::to_string(index), options, out, err);
  }
  if (options.map) {
    PrintMap(image, buffers, tracks,
             containers::IsFlux(source.GetKind()) ? &source.GetFlux() : nullptr, out);
  }
  if (!options.sectors) return;
  for (const int t : tracks) {
    PrintTrack(image, buffers, t, options.container, FluxTrack(source.GetFlux(), t), out);
  }
}

// "container FDI, 77x2x26, 256-byte sectors": what the image was read from.
std::string ContainerLine(const cut::ImageSource& source) {
  if (containers::IsFlux(source.GetKind())) return "container " + FluxLine(source);
  const containers::Geometry& g = source.GetGeometry();
  std::string text = std::string("container ") + containers::KindName(source.GetKind());
  if (g.cylinders > 0) {
    text += Format(", %lldx%lld", g.cylinders, g.heads) + Format("x%lld", g.sectors);
  }
  if (g.sectorSize > 0) text += Format(", %lld-byte sectors", g.sectorSize);
  if (g.track0Fm) text += ", track 0 FM 128-byte";
  return text;
}

// "archive zip: "Disk 1.d88" (D88, 1 disk), "readme.txt" (skipped: not a
// disk image)": the archive's members in the order their disks come.
std::string ArchiveLine(const cut::ImageSource& source) {
  std::string text = "archive " + source.ArchiveFormat() + ":";
  const char* separator = " ";
  for (const cut::ArchiveMember& m : source.Members()) {
    text += separator + ("\"" + m.name + "\" (");
    text += m.skipped.empty() ? std::string(containers::KindName(m.kind)) + ", " + Count(m.disks, "disk")
                              : "skipped: " + m.skipped;
    text += ")";
    separator = ", ";
  }
  return source.Members().empty() ? text + " no members" : text;
}

// The exit status once the listing is written: a listing cut short (a full
// disk, a closed pipe) is no listing.
int Finish(std::FILE* out, std::FILE* err) {
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "d88info: cannot write the listing\n");
    return 1;
  }
  return 0;
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

}  // namespace

int Run(cut::Span<const cut::Catalogue*> catalogues, int argc, const char* const* argv,
        std::FILE* out, std::FILE* err) {
  Options options;
  enum OptionId { kJson, kSectors, kFiles, kMap, kDisk };
  static constexpr cut::OptionSpec kOptions[] = {
      {kJson, '\0', "json", false},
      {kSectors, '\0', "sectors", false},
      {kFiles, '\0', "files", false},
      {kMap, '\0', "map", false},
      {kDisk, '\0', "disk", true},
  };
  const cut::CommandLine line = cut::ReadCommandLine(
      kOptions, cut::OptionPlace::kAnywhere, argc, argv,
      [&](int id, const std::string&, const char* value) -> std::string {
        if (id == kJson) options.json = true;
        if (id == kSectors) options.sectors = true;
        if (id == kFiles) options.files = true;
        if (id == kMap) options.map = true;
        if (id != kDisk) return "";
        if (value == nullptr) return "--disk needs a disk number";
        if (!ParseDisk(value, &options.disk)) return std::string("bad disk number '") + value + "'";
        return "";
      },
      [&](const char* name) -> std::string {
        if (options.image != nullptr) return "more than one image given";
        options.image = name;
        return "";
      });
  const auto printHelp = [](std::FILE* to) {
    std::fprintf(to, "%s%s", kUsage, cut::HelpText(kHelp).c_str());
  };
  if (cut::AnswerHelpOrVersion(line.action, "d88info", printHelp, out)) return 0;
  if (line.action == cut::CommandLine::Action::kUsage) {
    return cut::UsageError(err, "d88info", line.problem, kUsage);
  }
  if (options.image == nullptr) return cut::UsageError(err, "d88info", "no image given", kUsage);

  // The run's opener, image and listing buffers, some 1 MB together: on
  // the heap, the image let go before the bytes it reads.
  struct Reading {
    cut::ImageSource source;
    d88::D88Image image;
    TrackBuffers buffers;
  };
  const auto reading = std::make_unique<Reading>();
  cut::ImageSource& source = reading->source;
  d88::D88Image& image = reading->image;
  errno = 0;
  const bool opened = source.Open(options.image, image);
  const int reason = errno;
  source.PrintWarnings(options.image, err);
  if (!opened) {
    std::fprintf(err, "d88info: cannot read %s%s%s\n", options.image, reason != 0 ? ": " : "",
                 reason != 0 ? std::strerror(reason) : "");
    return 1;
  }
  // The JSON document names the container or the archive itself.
  if (source.IsArchive()) {
    options.container = true;
    if (!options.json) std::fprintf(out, "%s\n", ArchiveLine(source).c_str());
  } else if (source.GetKind() != containers::Kind::kD88) {
    options.container = true;
    if (!options.json) std::fprintf(out, "%s\n", ContainerLine(source).c_str());
  }
  if (source.IsHardDisk()) {
    if (options.disk >= 0) {
      std::fprintf(err, "d88info: no disk %d (a hard-disk image holds partitions)\n", options.disk);
      return 1;
    }
    if (options.json) {
      WriteJson({options.image, options.disk, options.sectors}, source, image, reading->buffers,
                catalogues, out);
    } else {
      PrintHardDisk(source.HardDisk(), options, out, err);
    }
    return Finish(out, err);
  }
  const int count = image.DiskCount();
  if (options.disk >= count) {
    std::fprintf(err, "d88info: no disk %d (the image holds %d)\n", options.disk, count);
    return 1;
  }
  if (options.json) {
    WriteJson({options.image, options.disk, options.sectors}, source, image, reading->buffers,
              catalogues, out);
  } else {
    if (count == 0) std::fputs("no disks\n", out);
    for (int i = 0; i < count; ++i) {
      if (options.disk < 0 || options.disk == i) {
        PrintDisk(image, reading->buffers, i, options, source, catalogues, out, err);
      }
    }
  }
  return Finish(out, err);
}

}  // namespace d88info
