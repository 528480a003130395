// The values are built and escaped by nlohmann::json; the document is
// written a piece at a time, because a damaged image can list millions of
// sector headers (every track table entry may point at the same 65,535
// headers) and the whole of them as one value would not fit in memory.
// The pieces are laid out exactly as the library pretty-prints the whole
// (2 spaces a level), which the tests check by printing it again.
#include "d88info/json.h"

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cut/disk_files.h"
#include "cut/run.h"
#include "d88info/facts.h"

namespace d88info {

namespace {

// Keys in the order they are set, as the document lists them.
using Json = nlohmann::ordered_json;

constexpr int kIndent = 2;

// Writes nested objects and arrays whose members come one by one.
class Stream {
 public:
  explicit Stream(std::FILE* out) : out(out) {}

  // A member whose value is complete (`key` null inside an array).
  void Put(const char* key, const Json& value) {
    Begin(key);
    // Bytes that are not UTF-8 (a path in another code page) become U+FFFD
    // rather than an exception.
    const std::string text = value.dump(kIndent, ' ', false, Json::error_handler_t::replace);
    const std::string indent(static_cast<size_t>(kIndent) * open.size(), ' ');
    for (const char c : text) {
      std::fputc(c, out);
      // No string holds a raw newline, so each one starts a nested line.
      if (c == '\n') std::fputs(indent.c_str(), out);
    }
  }
  // A member whose value is an object ('{') or array ('[') written next.
  void Open(const char* key, char bracket) {
    Begin(key);
    std::fputc(bracket, out);
    open.push_back(false);
  }
  void Close(char bracket) {
    const bool hadMembers = open.back();
    open.pop_back();
    if (hadMembers) NewLine();
    std::fputc(bracket, out);
    if (open.empty()) std::fputc('\n', out);
  }

 private:
  void NewLine() {
    std::fputc('\n', out);
    for (size_t i = 0; i < kIndent * open.size(); ++i) std::fputc(' ', out);
  }
  void Begin(const char* key) {
    if (open.empty()) return;  // the document itself
    if (open.back()) std::fputc(',', out);
    open.back() = true;
    NewLine();
    if (key != nullptr) std::fprintf(out, "%s: ", Json(key).dump().c_str());
  }

  std::FILE* out;
  std::vector<bool> open;  // per open level: whether it has members yet
};

// A file system's listing: its files (folders are in their paths), each
// path with '/' and its time as "YYYY-MM-DDTHH:MM:SS" or null.
Json FileSystemOf(const fs::Listing& listing) {
  Json files = Json::array();
  for (const fs::Entry& entry : listing.entries) {
    if (entry.isDirectory) continue;
    const std::string time = cut::TimeText(entry.modified, true);
    files.push_back({{"path", cut::PathText(entry)},
                     {"size", entry.size},
                     {"modified", time.empty() ? Json(nullptr) : Json(time)},
                     {"attributes", entry.attributes}});
  }
  Json problems = Json::array();
  for (const std::string& p : listing.problems) problems.push_back(cut::ProblemText(p));
  return {{"type", listing.type},
          {"label", cut::ProblemText(listing.label)},
          {"files", std::move(files)},
          {"problems", std::move(problems)}};
}

// "hardDisk": the image's header and each partition with its file system.
Json HardDiskOf(cut::HardDiskImage& hardDisk) {
  const fs::HardDisk& disk = hardDisk.Disk();
  Json partitions = Json::array();
  for (size_t i = 0; i < disk.partitions.size(); ++i) {
    const fs::Partition& p = disk.partitions[i];
    fs::Listing listing;
    const std::unique_ptr<fs::Volume> volume = hardDisk.Partition(i);
    const bool found = volume != nullptr && fs::ListVolume(*volume, &listing);
    partitions.push_back({{"index", p.index},
                          {"name", cut::ProblemText(p.name)},
                          {"offset", p.offset},
                          {"size", p.size},
                          {"filesystem", found ? FileSystemOf(listing) : Json(nullptr)}});
  }
  return {{"format", disk.format},
          {"sectorSize", disk.sectorSize},
          {"sectors", disk.sectorCount},
          {"partitions", std::move(partitions)}};
}

Json GeometryOf(const cut::ImageSource& source) {
  if (source.GetKind() == containers::Kind::kD88) return nullptr;
  const containers::Geometry& g = source.GetGeometry();
  return Json{{"cylinders", g.cylinders},
              {"heads", g.heads},
              {"sectors", g.sectors},
              {"sectorSize", g.sectorSize},
              {"track0Fm", g.track0Fm}};
}

// What decoding a flux dump found, for the container.
Json FluxOf(const containers::FluxFacts& f) {
  return Json{{"revolutions", f.revolutions},
              {"cylinders", f.cylinders},
              {"heads", f.heads},
              {"doubleStepped", f.doubleStepped}};
}

// What decoding found on one track of a flux dump.
Json FluxTrackOf(const containers::FluxTrackFacts& t) {
  Json bad = Json::array();
  for (const containers::FluxTrackFacts::BadCrc& b : t.badCrcs) {
    bad.push_back({{"c", b.c},
                   {"h", b.h},
                   {"r", b.r},
                   {"n", b.n},
                   {"revolutions", Revolutions(b.revolutions)},
                   {"status", b.status},
                   {"obtained", ObtainedKey(b.origin)},
                   {"votedRevolutions", b.votedRevolutions},
                   {"flippedBits", b.flippedBits}});
  }
  return Json{{"encoding", t.encoding},
              {"rateKbps", t.rateKbps},
              {"revolutions", t.revolutions},
              {"badCrc", std::move(bad)}};
}

// `flux`: what decoding found, for a flux dump; null otherwise.
void PutTrack(Stream& stream, d88::D88Image& image, TrackBuffers& buffers, int track,
              const containers::FluxFacts* flux) {
  const TrackList list = ListTrack(image, track, buffers);
  Json sectors = Json::array();
  for (int i = 0; i < list.count; ++i) {
    const uint8_t* id = list.ids + 4 * i;
    const uint8_t* flags = list.flags + 3 * i;
    sectors.push_back({{"c", id[0]},
                       {"h", id[1]},
                       {"r", id[2]},
                       {"n", id[3]},
                       {"length", list.lengths[i]},
                       {"density", flags[0]},
                       {"deleted", flags[1]},
                       {"status", flags[2]}});
  }
  Json entry = {{"track", track},
                {"offset", image.TrackOffset(track)},
                {"sectors", std::move(sectors)},
                {"missing", MissingSectors(list)}};
  const containers::FluxTrackFacts* facts = flux != nullptr ? FluxTrack(*flux, track) : nullptr;
  if (facts != nullptr) entry["flux"] = FluxTrackOf(*facts);
  stream.Put(nullptr, entry);
}

// Each member of an archive: an image's container and disk count, or why
// it was skipped.
Json ArchiveOf(const cut::ImageSource& source) {
  Json members = Json::array();
  for (const cut::ArchiveMember& m : source.Members()) {
    const bool image = m.skipped.empty();
    members.push_back({{"name", m.name},
                       {"container", image ? Json(containers::KindName(m.kind)) : Json(nullptr)},
                       {"disks", m.disks},
                       {"skipped", image ? Json(nullptr) : Json(m.skipped)}});
  }
  return Json{{"format", source.ArchiveFormat()}, {"members", std::move(members)}};
}

void PutDisk(Stream& stream, const JsonRequest& request, const cut::ImageSource& source,
             d88::D88Image& image, TrackBuffers& buffers, int index,
             const containers::FluxFacts* flux, cut::Span<const cut::Catalogue*> catalogues) {
  Json disk = {{"index", index}, {"offset", image.DiskPosition(index)}};
  const int member = source.MemberOf(index);
  if (source.IsArchive() && member >= 0) {
    disk["member"] = source.Members()[static_cast<size_t>(member)].name;
  }
  if (!image.SelectDisk(index)) {
    disk["error"] = "header cannot be read";
    stream.Put(nullptr, disk);
    return;
  }
  image.SetSectorRange(kFirstSector, kLastSector);
  const std::vector<int> tracks = Tracks(image);
  long long sectorCount = 0;
  for (const int t : tracks) sectorCount += CountSectors(image, t, buffers);
  Json recognised = Json::array();
  for (const Taker& taker : Takers(image, catalogues)) {
    recognised.push_back(
        {{"program", taker.program}, {"number", taker.number}, {"kind", taker.kind}});
  }
  disk["size"] = image.DiskSize();
  disk["media"] = MediaName(image.MediaType());
  disk["mediaByte"] = image.MediaType();
  disk["writeProtected"] = image.WriteProtect() == d88::kWriteProtected;
  disk["writeProtectByte"] = image.WriteProtect();
  disk["name"] = Escaped(image.DiskName());
  disk["trackCount"] = tracks.size();
  disk["sectorCount"] = sectorCount;
  disk["recognised"] = std::move(recognised);
  fs::Listing listing;
  disk["filesystem"] = cut::ListDiskFiles(image, &listing) ? FileSystemOf(listing) : Json(nullptr);

  stream.Open(nullptr, '{');
  for (const auto& member : disk.items()) stream.Put(member.key().c_str(), member.value());
  if (request.sectors) {
    stream.Open("tracks", '[');
    for (const int t : tracks) PutTrack(stream, image, buffers, t, flux);
    stream.Close(']');
  }
  stream.Close('}');
}

}  // namespace

void WriteJson(const JsonRequest& request, cut::ImageSource& source,
               d88::D88Image& image, TrackBuffers& buffers,
               cut::Span<const cut::Catalogue*> catalogues, std::FILE* out) {
  Stream stream(out);
  stream.Open(nullptr, '{');
  stream.Put("program", "d88info");
  stream.Put("version", cut::Version());
  stream.Put("image", request.imagePath);
  // An archive is the container of the joined disks; its members name
  // their own.
  const std::string format =
      source.IsArchive()    ? source.ArchiveFormat()
      : source.IsHardDisk() ? source.GetHardDisk().format
                            : std::string(containers::KindName(source.GetKind()));
  const bool isFlux = containers::IsFlux(source.GetKind());
  Json container = {{"format", format}, {"geometry", GeometryOf(source)}};
  if (isFlux) container["flux"] = FluxOf(source.GetFlux());
  stream.Put("container", container);
  if (source.IsArchive()) stream.Put("archive", ArchiveOf(source));
  if (source.IsHardDisk()) stream.Put("hardDisk", HardDiskOf(source.HardDisk()));
  Json warnings = Json::array();
  for (const cut::SourceWarning& w : source.Warnings()) warnings.push_back(w.Line());
  stream.Put("warnings", warnings);
  stream.Open("disks", '[');
  for (int i = 0; i < image.DiskCount(); ++i) {
    if (request.disk < 0 || request.disk == i) {
      PutDisk(stream, request, source, image, buffers, i, isFlux ? &source.GetFlux() : nullptr,
              catalogues);
    }
  }
  stream.Close(']');
  stream.Close('}');
}

}  // namespace d88info
