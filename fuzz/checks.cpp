#include "checks.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "containers/container.h"
#include "containers/d88_check.h"
#include "containers/flux_dump.h"
#include "cut/disk_alone.h"
#include "cut/disk_files.h"
#include "cut/image_source.h"
#include "cut/run.h"
#include "cut/shift_jis.h"
#include "d88/d88_image.h"
#include "d88info/info.h"
#include "d88conv/convert.h"
#include "d88cut/cut_images.h"
#include "flux/flux.h"
#include "flux/pll.h"
#include "support/process.h"
#include "flux_bytes.h"

namespace fuzzcheck {

namespace {

[[noreturn]] void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

#define FUZZ_CHECK(cond)                                  \
  do {                                                    \
    if (!(cond)) Fail(#cond, __FILE__, __LINE__);         \
  } while (0)

// The digest loop is the checks' own, no path of the library: traced for
// coverage it took half the time an input took.
#if defined(__clang__)
#define NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define NO_COVERAGE
#endif

constexpr int kGuardSize = 64;
constexpr uint8_t kGuardByte = 0xA5;
// The longest identity list a track can give: 65,535 entries.
constexpr int kFullList = d88::kMaxHeadersPerTrack * 4;
// Sector reads and walks per input: enough to reach every track of a few
// disks, few enough that a hostile image stays quick to check.
constexpr int kWalkBudget = 4000;
// Listed identities read back per track.
constexpr int kIdsPerTrack = 8;

// A buffer with guard bytes just past the part a call may write, and an
// unused first byte before it, so a write out of bounds on either side
// shows even where the sanitizers see a valid object.  Only the guards are
// set before each call: the part a call may write is never checked, and
// filling all 262 KB for every call made the checks a hundred times slower.
class GuardedBuffer {
 public:
  GuardedBuffer() : bytes(1 + kFullList + kGuardSize) {}
  uint8_t* Prepare(int length) {
    length_ = length;
    bytes[0] = kGuardByte;
    std::fill_n(bytes.begin() + 1 + length, kGuardSize, kGuardByte);
    return bytes.data() + 1;
  }
  // One comparison, not one per byte: per-byte checks, each traced for
  // coverage, were most of the time an input took.
  void CheckGuards() const {
    static const std::vector<uint8_t> kGuards(kGuardSize, kGuardByte);
    FUZZ_CHECK(bytes[0] == kGuardByte);
    FUZZ_CHECK(std::memcmp(bytes.data() + 1 + length_, kGuards.data(), kGuardSize) == 0);
  }
  const uint8_t* data() const { return bytes.data() + 1; }

 private:
  std::vector<uint8_t> bytes;
  int length_ = 0;
};

long long FileSize(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  FUZZ_CHECK(f != nullptr);
  long long size = 0;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) size += static_cast<long long>(n);
  std::fclose(f);
  return size;
}

int PieceLength(int n) { return n >= 9 ? 65536 : 128 << n; }

struct Exerciser {
  d88::D88Image& image;
  GuardedBuffer& buffer;
  GuardedBuffer& second;
  int walks = 0;
  std::set<long long> walkedStarts;
  // What the reads returned, folded together when two readings of the same
  // bytes are to be compared (FNV-1a); off otherwise, as it costs.
  bool digesting = false;
  uint64_t digest = 14695981039346656037u;

  NO_COVERAGE void Note(const uint8_t* bytes, int length) {
    if (!digesting) return;
    int i = 0;
    for (; i + 8 <= length; i += 8) {  // a word at a time: the bytes can be many
      uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      digest = (digest ^ word) * 1099511628211u;
    }
    for (; i < length; ++i) digest = (digest ^ bytes[i]) * 1099511628211u;
  }
  void Note(long long value) {
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    Note(bytes, 8);
  }

  // Nothing may be read from a track the guard refuses.
  void CheckRefused(int track) {
    uint8_t* out = buffer.Prepare(256);
    FUZZ_CHECK(image.ReadSector(track, 0, 0, 1, 1, out, 256) == 0);
    FUZZ_CHECK(image.ListSectorIds(track, out, 256) == 0);
    FUZZ_CHECK(image.ReadSectors(track, 0, 0, 1, 1, out, 256) == 0);
    buffer.CheckGuards();
  }

  void CheckUnselected() {
    FUZZ_CHECK(image.CurrentDisk() == -1);
    FUZZ_CHECK(image.MediaType() == -1);
    FUZZ_CHECK(image.DiskName()[0] == '\0');
    for (int track : {0, 1, 40, 163}) CheckRefused(track);
  }

  void ExerciseTrack(int track, long long trackStart) {
    const uint32_t offset = image.TrackOffset(track);
    if (offset == 0 || offset > image.DiskSize() || offset > 0x7FFFFFFFu) {
      CheckRefused(track);
      return;
    }
    // The same headers walked from another disk or track give nothing new.
    if (walks >= kWalkBudget || !walkedStarts.insert(trackStart).second) return;

    uint8_t* ids = buffer.Prepare(kFullList);
    const int listed = image.ListSectorIds(track, ids, kFullList);
    ++walks;
    FUZZ_CHECK(listed >= 0 && listed <= kFullList && listed % 4 == 0);
    buffer.CheckGuards();
    Note(ids, listed);
    std::vector<uint8_t> all(ids, ids + listed);

    // A shorter output lists a prefix of the same entries.
    for (int size : {0, 1, 4, 7, 64}) {
      uint8_t* part = second.Prepare(size);
      const int got = image.ListSectorIds(track, part, size);
      ++walks;
      FUZZ_CHECK(got == std::min(listed, size / 4 * 4));
      FUZZ_CHECK(std::equal(part, part + got, all.begin()));
      second.CheckGuards();
    }

    for (int k = 0; k < listed / 4 && k < kIdsPerTrack; ++k) {
      const int c = all[4 * k], h = all[4 * k + 1], r = all[4 * k + 2], n = all[4 * k + 3];
      ExerciseSector(track, c, h, r, n);
    }
    // Identities no header can hold.
    uint8_t* out = buffer.Prepare(256);
    FUZZ_CHECK(image.ReadSector(track, 256, 0, 1, 1, out, 256) == 0);
    FUZZ_CHECK(image.ReadSector(track, 0, 0, 1, -1, out, 256) == 0);
    FUZZ_CHECK(image.ReadSectors(track, -1, 0, 1, 1, out, 256) == 0);
    buffer.CheckGuards();
    walks += 3;
  }

  void ExerciseSector(int track, int c, int h, int r, int n) {
    // A listed sector is reached; what it delivers is bounded by the data
    // length and by what was asked, and a shorter request reads a prefix.
    uint8_t* whole = buffer.Prepare(65535);
    const int got = image.ReadSector(track, c, h, r, n, whole, 65535);
    FUZZ_CHECK(got >= 0 && got <= 65535);
    buffer.CheckGuards();
    Note(whole, got);
    for (int maxLength : {0, 1, 256}) {
      uint8_t* part = second.Prepare(maxLength);
      const int some = image.ReadSector(track, c, h, r, n, part, maxLength);
      FUZZ_CHECK(some == std::min(got, maxLength));
      FUZZ_CHECK(std::memcmp(part, whole, static_cast<size_t>(some)) == 0);
      second.CheckGuards();
    }
    walks += 4;

    // Runs that step over the track's end, with the range ending at this
    // sector and with the range the programs use.
    const int piece = PieceLength(n);
    for (int last : {r, 26}) {
      image.SetSectorRange(1, last);
      for (int length : {0, piece, 3 * piece + 5}) {
        if (length > kFullList) continue;
        uint8_t* run = buffer.Prepare(length);
        const int total = image.ReadSectors(track, c, h, r, n, run, length);
        FUZZ_CHECK(total >= 0 && total <= length);
        FUZZ_CHECK(total == length || total % piece == 0);
        buffer.CheckGuards();
        Note(total);
        walks += 4;
      }
    }
    image.SetSectorRange(1, 26);
  }
};

// Reads every disk of the image just opened in `image`, `fileSize` bytes,
// every way the library allows, and closes it.
uint64_t ExerciseOpened(d88::D88Image& image, GuardedBuffer& buffer, GuardedBuffer& second,
                        long long fileSize, bool digest) {
  Exerciser ex{image, buffer, second, 0, {}};
  ex.digesting = digest;

  const int count = image.DiskCount();
  FUZZ_CHECK(count >= 0 && count <= d88::kMaxDisks);
  FUZZ_CHECK((count == 0) == (fileSize < d88::kDiskHeaderSize));
  for (int i = 0; i < count; ++i) {
    // The scan lists only headers it read whole.
    const long long at = image.DiskPosition(i);
    FUZZ_CHECK(at >= 0 && at + d88::kDiskHeaderSize <= fileSize);
    ex.Note(at);
  }
  ex.CheckUnselected();

  for (int i = 0; i < count; ++i) {
    FUZZ_CHECK(image.SelectDisk(i));
    FUZZ_CHECK(image.CurrentDisk() == i);
    FUZZ_CHECK(image.MediaType() >= 0 && image.MediaType() <= 255);
    FUZZ_CHECK(std::strlen(image.DiskName()) <= static_cast<size_t>(d88::kDiskNameLength));
    ex.Note(image.MediaType());
    ex.Note(image.DiskSize());
    image.SetSectorRange(1, 26);
    for (int track = 0; track < d88::kTrackCount; ++track) {
      ex.ExerciseTrack(track, image.DiskPosition(i) + image.TrackOffset(track));
    }
    for (int track : {-1, d88::kTrackCount, INT_MIN, INT_MAX}) ex.CheckRefused(track);
  }

  FUZZ_CHECK(!image.SelectDisk(count));
  ex.CheckUnselected();
  FUZZ_CHECK(image.Open(nullptr));
  FUZZ_CHECK(image.DiskCount() == 0);
  return ex.digest;
}

}  // namespace

struct Checks::Held {
  d88::D88Image image;
  GuardedBuffer buffer;
  GuardedBuffer second;
  cut::ImageSource source;     // as every program opens a file
  containers::ImageFile file;  // as the container layer opens one
  d88::D88Image input;         // an image and d88conv's D88 of it
  d88::D88Image output;
  cut::DiskAlone alone;

  uint64_t Exercise(long long fileSize, bool digest) {
    return ExerciseOpened(image, buffer, second, fileSize, digest);
  }
};

Checks::Checks() : held(new Held) {}
Checks::~Checks() = default;

uint64_t Checks::ExerciseImage(const std::string& path, bool digest) {
  const long long fileSize = FileSize(path);
  FUZZ_CHECK(held->image.Open(path.c_str()));
  return held->Exercise(fileSize, digest);
}

uint64_t Checks::ExerciseImageBytes(const uint8_t* data, size_t size, bool digest) {
  static const uint8_t kNoBytes[1] = {0};
  FUZZ_CHECK(held->image.OpenMemory(size == 0 ? kNoBytes : data, size));
  return held->Exercise(static_cast<long long>(size), digest);
}

void CheckSameReading(uint64_t fromMemory, uint64_t fromFile) { FUZZ_CHECK(fromMemory == fromFile); }

// An archive without an image in it is refused: then every program ends
// with its open-failure status.
bool Checks::Refused(const std::string& path) {
  const bool opened = held->source.Open(path.c_str(), held->image);
  held->image.Open(nullptr);
  return !opened;
}

namespace {

bool OneLineOfText(const std::string& text) {
  for (const char ch : text) {
    if (static_cast<unsigned char>(ch) < 0x20) return false;
  }
  return cut::IsUtf8(text);
}

}  // namespace

void Checks::ExerciseArchive(const std::string& path) {
  cut::ImageSource& source = held->source;
  const bool opened = source.Open(path.c_str(), held->image);
  for (const cut::SourceWarning& w : source.Warnings()) {
    FUZZ_CHECK(OneLineOfText(w.member) && w.text.find('\n') == std::string::npos);
  }
  // A file that is there fails to open only as an archive with no image.
  FUZZ_CHECK(opened || source.IsArchive());
  if (!opened || !source.IsArchive()) {
    held->image.Open(nullptr);
    return;
  }
  int disks = 0;
  FUZZ_CHECK(source.D88Data() != nullptr && source.D88Size() <= cut::kArchiveTotal);
  FUZZ_CHECK(containers::IsD88(source.D88Data(), source.D88Size(), &disks));
  const std::vector<cut::ArchiveMember>& members = source.Members();
  FUZZ_CHECK(members.size() <= static_cast<size_t>(cut::kArchiveMembers));
  int given = 0;
  for (const cut::ArchiveMember& m : members) {
    FUZZ_CHECK(OneLineOfText(m.name));
    FUZZ_CHECK((m.disks > 0) == m.skipped.empty());
    given += m.disks;
  }
  FUZZ_CHECK(given == disks);
  for (int i = 0; i < disks; ++i) {
    const int m = source.MemberOf(i);
    FUZZ_CHECK(m >= 0 && static_cast<size_t>(m) < members.size() && members[static_cast<size_t>(m)].disks > 0);
  }
  held->Exercise(static_cast<long long>(source.D88Size()), false);
}

void Checks::ExerciseContainer(const std::string& path) {
  // One for every input, as a program keeps one: its buffers are reused.
  containers::ImageFile& file = held->file;
  FUZZ_CHECK(file.Open(path.c_str(), held->image));
  // One line at most, for the frame to print after the file's name.
  FUZZ_CHECK(file.Warning().find('\n') == std::string::npos);
  if (file.GetKind() == containers::Kind::kD88) {
    FUZZ_CHECK(file.D88Data() == nullptr && file.D88Size() == 0);
    held->Exercise(FileSize(path), false);
    return;
  }
  // A conversion is a sound D88 chain, bounded whatever the input.
  FUZZ_CHECK(file.D88Data() != nullptr);
  FUZZ_CHECK(file.D88Size() <= containers::kLargestConversion);
  FUZZ_CHECK(containers::IsD88(file.D88Data(), file.D88Size()));
  held->Exercise(static_cast<long long>(file.D88Size()), false);
}

std::string DiskArgument(const uint8_t* data, size_t size) {
  constexpr size_t kReservedByte = 0x19;
  if (size <= kReservedByte || data[kReservedByte] == 0) return std::string();
  return std::string(1, static_cast<char>(data[kReservedByte]));
}

void Checks::ExerciseRun(const cut::Catalogue& catalogue, const std::string& path,
                        const std::string& diskArgument, std::FILE* sink) {
  std::vector<const char*> argv = {catalogue.program, path.c_str()};
  if (!diskArgument.empty()) argv.push_back(diskArgument.c_str());
  const auto frame = std::make_unique<d88::D88Image>();  // the run's own, let go with it
  const int status =
      cut::RunOn(*frame, catalogue, static_cast<int>(argv.size()), argv.data(), sink, sink);
  const int diskNo = diskArgument.empty() ? 0 : static_cast<signed char>(diskArgument[0]) - '0';
  const bool validArgument = diskArgument.empty() || (diskNo >= 1 && diskNo <= catalogue.rules.count);
  // The working folder takes every file, so only a bad argument fails, or
  // an archive without an image.
  FUZZ_CHECK(status == (validArgument ? 0 : 1) || (status == 1 && Refused(path)));
}

void Checks::ExerciseInfo(cut::Span<const cut::Catalogue*> catalogues, const std::string& path,
                          std::FILE* sink, bool readBack) {
  const char* const text[] = {"d88info", "--sectors", path.c_str()};
  const int status = d88info::Run(catalogues, 3, text, sink, sink);
  // Only an archive without an image cannot be shown.
  FUZZ_CHECK(status == 0 || (status == 1 && Refused(path)));
  if (status != 0) return;
  const char* const json[] = {"d88info", "--json", "--sectors", path.c_str()};
  if (!readBack) {
    // The document without its sectors: a value per sector is what makes
    // the JSON slow, and the inputs that are read back cover those.
    const char* const disks[] = {"d88info", "--json", path.c_str()};
    FUZZ_CHECK(d88info::Run(catalogues, 3, disks, sink, sink) == 0);
    return;
  }

  std::FILE* out = std::tmpfile();
  FUZZ_CHECK(out != nullptr);
  FUZZ_CHECK(d88info::Run(catalogues, 4, json, out, sink) == 0);
  std::string document;
  std::rewind(out);
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, out)) > 0) document.append(chunk, n);
  std::fclose(out);

  using Json = nlohmann::ordered_json;
  const Json doc = Json::parse(document, nullptr, false);
  FUZZ_CHECK(!doc.is_discarded());
  FUZZ_CHECK(doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n" == document);
  for (const Json& disk : doc.at("disks")) {
    if (disk.contains("error")) continue;
    size_t sectors = 0;
    for (const Json& track : disk.at("tracks")) sectors += track.at("sectors").size();
    FUZZ_CHECK(disk.at("tracks").size() == disk.at("trackCount").get<size_t>());
    FUZZ_CHECK(sectors == disk.at("sectorCount").get<size_t>());
  }
}

namespace {

// Whether disk `track`'s sectors are to read the same from a D88 d88conv
// wrote: every track of the disk (one that holds no sector is left out of
// the D88, and then lists none there either).
bool ComparableTrack(const d88::D88Image& image, int track) { return image.HasTrack(track); }

// Every sector of `track` lists, flags and reads the same in both images.
void CompareTrack(d88::D88Image& input, d88::D88Image& output, int track, GuardedBuffer& buffer,
                  GuardedBuffer& spare) {
  uint8_t* ids = buffer.Prepare(kFullList);
  const int listed = input.ListSectorIds(track, ids, kFullList);
  uint8_t* again = spare.Prepare(kFullList);
  FUZZ_CHECK(output.ListSectorIds(track, again, kFullList) == listed);
  FUZZ_CHECK(std::memcmp(ids, again, static_cast<size_t>(listed)) == 0);
  const std::vector<uint8_t> all(ids, ids + listed);
  const int flags = input.ListSectorFlags(track, ids, kFullList);
  FUZZ_CHECK(output.ListSectorFlags(track, again, kFullList) == flags);
  FUZZ_CHECK(std::memcmp(ids, again, static_cast<size_t>(flags)) == 0);
  for (int k = 0; k < listed / 4 && k < kIdsPerTrack; ++k) {
    const int c = all[4 * k], h = all[4 * k + 1], r = all[4 * k + 2], n = all[4 * k + 3];
    uint8_t* first = buffer.Prepare(65535);
    const int got = input.ReadSector(track, c, h, r, n, first, 65535);
    uint8_t* second = spare.Prepare(65535);
    FUZZ_CHECK(output.ReadSector(track, c, h, r, n, second, 65535) == got);
    FUZZ_CHECK(std::memcmp(first, second, static_cast<size_t>(got)) == 0);
  }
}

}  // namespace

void Checks::ExerciseConversion(const std::string& in, const std::string& out, std::FILE* sink) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  fs::remove(out, ignored);
  const char* argv[] = {"d88conv", "-f", "-o", out.c_str(), in.c_str()};
  const int status = d88conv::Run(5, argv, sink, sink);
  // Nothing is a usage error here, and only a finished run leaves a file:
  // the output, and no temporary beside it.
  FUZZ_CHECK(status == 0 || status == 1);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(out).parent_path(), ignored)) {
    FUZZ_CHECK(entry.path() == fs::path(out));
    ++files;
  }
  FUZZ_CHECK(files == (status == 0 ? 1 : 0));
  if (status != 0) return;

  // What it wrote reads as the image did, disk by disk and track by track.
  d88::D88Image& input = held->input;
  d88::D88Image& output = held->output;
  FUZZ_CHECK(held->source.Open(in.c_str(), input));
  FUZZ_CHECK(output.Open(out.c_str()));
  FUZZ_CHECK(output.DiskCount() == input.DiskCount());
  for (int i = 0; i < input.DiskCount(); ++i) {
    FUZZ_CHECK(input.SelectDisk(i) && output.SelectDisk(i));
    FUZZ_CHECK(output.MediaType() == input.MediaType());
    FUZZ_CHECK(output.WriteProtect() == input.WriteProtect());
    FUZZ_CHECK(std::strcmp(output.DiskName(), input.DiskName()) == 0);
    for (int t = 0; t < d88::kTrackCount; ++t) {
      if (ComparableTrack(input, t)) CompareTrack(input, output, t, held->buffer, held->second);
    }
  }
  input.Open(nullptr);
  output.Open(nullptr);
  fs::remove(out, ignored);
}

void Checks::ExerciseCutAll(cut::Span<const cut::Catalogue*> catalogues, const std::string& path,
                            const std::string& out, const std::string& scratch, std::FILE* sink) {
  namespace fs = std::filesystem;
  const char* const argv[] = {"d88cut", "-o", out.c_str(), path.c_str()};
  const int status = d88cut::Run(catalogues, 4, argv, sink, sink);
  cut::ImageSource& file = held->source;
  d88::D88Image& image = held->image;
  cut::DiskAlone& alone = held->alone;
  const bool opened = file.Open(path.c_str(), image);
  const bool read = opened && (image.DiskCount() > 0 || file.IsHardDisk());
  std::set<std::string> folders;
  for (const auto& entry : fs::directory_iterator(out)) {
    folders.insert(entry.path().filename().string());
  }
  // A file system's files go to a folder of their own; a damaged one (or a
  // file of it that cannot be written) is the only other failure.
  bool files = file.IsHardDisk();
  for (int i = 0; opened && i < image.DiskCount(); ++i) {
    const std::string name = "disk" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "-files";
    ::fs::Listing listing;
    if (!image.SelectDisk(i) || !cut::ListDiskFiles(image, &listing)) continue;
    files = true;
    FUZZ_CHECK(folders.erase(name) == 1);
  }
  image.SelectDisk(-1);  // as it was opened
  if (file.IsHardDisk()) {
    for (const ::fs::Partition& p : file.GetHardDisk().partitions) {
      folders.erase("part" + std::to_string(p.index) + "-files");
    }
    file.HardDisk().Close();
  }
  FUZZ_CHECK(read ? status == 0 || (files && status == 1) : status == 1);
  const std::string aloneFile = scratch + "/alone.d88";
  const std::string expected = scratch + "/expected";
  for (int i = 0; opened && i < image.DiskCount(); ++i) {
    FUZZ_CHECK(alone.Open(path.c_str(), file, image, i));
    std::FILE* f = std::fopen(aloneFile.c_str(), "wb");
    FUZZ_CHECK(f != nullptr && std::fwrite(alone.Data(), 1, alone.Size(), f) == alone.Size());
    FUZZ_CHECK(std::fclose(f) == 0);
    for (const cut::Catalogue* catalogue : catalogues) {
      const cut::DiskRule* rule = alone.Recognise(*catalogue);
      if (rule == nullptr) continue;
      const std::string name = d88cut::DiskFolder(i, catalogue->program, rule->number);
      FUZZ_CHECK(folders.erase(name) == 1);
      fs::remove_all(expected);
      const char* const run[] = {catalogue->program, "-o", expected.c_str(), aloneFile.c_str()};
      const auto frame = std::make_unique<d88::D88Image>();
      FUZZ_CHECK(cut::RunOn(*frame, *catalogue, 4, run, sink, sink) == 0);
      FUZZ_CHECK(testimg::FilesIn((fs::path(out) / name).string()) == testimg::FilesIn(expected));
    }
  }
  FUZZ_CHECK(folders.empty());  // no folder of a disk no catalogue takes
  image.Open(nullptr);
}

namespace {

// A decoded track is bounded as the decoder promises: its sectors' data,
// their revolutions among the `given` ones, their statuses those it gives.
void CheckTrack(const flux::Track& track, size_t given) {
  FUZZ_CHECK(track.revolutions <= static_cast<int>(std::min<size_t>(given, flux::kMaxRevolutions)));
  FUZZ_CHECK(track.attempts <= static_cast<int>(std::size(flux::kPllSettings)));
  FUZZ_CHECK((track.encoding == flux::Encoding::kNone) == track.sectors.empty());
  const uint32_t revolutions = given >= 32 ? ~0u : (1u << given) - 1;
  for (const flux::Sector& s : track.sectors) {
    FUZZ_CHECK(s.data.size() <= 128u << 8);  // N is never an allocation size
    FUZZ_CHECK(s.seenIn != 0 && (s.seenIn & ~revolutions) == 0 && (s.badCopies & ~s.seenIn) == 0);
    FUZZ_CHECK(s.Sound() || s.status == flux::kStatusIdCrc || s.status == flux::kStatusDataCrc ||
               s.status == flux::kStatusNoData);
    FUZZ_CHECK(s.status != flux::kStatusNoData || s.data.empty());
    FUZZ_CHECK(!s.Sound() || s.deleted == (s.status == flux::kStatusDeleted));
    // Sound only where a copy, a vote or a repair agreed with the CRC, and
    // always where a vote or repair did, from revolutions that carried it.
    const bool rebuilt =
        s.origin == flux::DataOrigin::kVoted || s.origin == flux::DataOrigin::kRepaired;
    FUZZ_CHECK(!s.Sound() || s.origin == flux::DataOrigin::kGoodCopy || rebuilt);
    FUZZ_CHECK(!rebuilt || s.Sound());
    FUZZ_CHECK(!rebuilt || (s.votedCopies != 0 && (s.votedRevolutions & ~s.seenIn) == 0));
    FUZZ_CHECK((s.origin == flux::DataOrigin::kRepaired) == (s.flippedBits != 0));
  }
}

void CheckDisk(const flux::Disk& disk) {
  FUZZ_CHECK(disk.tracks.size() == static_cast<size_t>(disk.cylinders) * 2);
  FUZZ_CHECK(disk.heads >= 0 && disk.heads <= 2);
  FUZZ_CHECK(disk.mediaType == flux::kMedia2D || disk.mediaType == flux::kMedia2DD ||
             disk.mediaType == flux::kMedia2HD);
}

}  // namespace

void ExerciseFlux(const uint8_t* data, size_t size) {
  const flux::TrackFlux input = fuzzflux::FluxFromBytes(data, size);
  flux::Track track = flux::DecodeTrack(input);
  CheckTrack(track, input.revolutionEnds.size());
  flux::Track next = track;
  next.cylinder = 1, next.head = 1;
  const flux::Disk disk = flux::AssembleDisk({std::move(track), std::move(next)});
  CheckDisk(disk);
  FUZZ_CHECK(disk.cylinders <= 2);
}

void Checks::ExerciseDump(containers::Kind kind, const uint8_t* data, size_t size) {
  containers::D88Writer out(containers::kLargestConversion);
  containers::Conversion info;
  bool taken = false;
  if (kind == containers::Kind::kKryoFlux) {
    const containers::StreamFile alone{"flux00.0.raw", data, size};
    taken = containers::ConvertKryoFluxSet(&alone, 1, out, &info);
  } else {
    using Read = bool (*)(const uint8_t*, size_t, const containers::FluxVisitor&,
                          containers::ProblemLog*);
    const Read read = kind == containers::Kind::kScp   ? containers::ReadScp
                      : kind == containers::Kind::kHfe ? containers::ReadHfe
                                                       : containers::ReadMfi;
    flux::Disk decoded;
    size_t given = 0;  // the most revolutions a track gave
    taken = containers::WriteFluxDisk(
        kind,
        [&](const containers::FluxVisitor& visit, containers::ProblemLog* problems) {
          return read(data, size, [&](const flux::TrackFlux& track) {
            given = std::max(given, track.revolutionEnds.size());
            visit(track);
          }, problems);
        },
        out, &info, &decoded);
    if (taken) {
      CheckDisk(decoded);
      for (const flux::Track& track : decoded.tracks) CheckTrack(track, given);
    }
  }
  // One line at most, for the frame to print after the file's name.
  FUZZ_CHECK(info.warning.find('\n') == std::string::npos);
  if (!taken || out.Failed()) return;
  FUZZ_CHECK(out.Size() <= containers::kLargestConversion);
  FUZZ_CHECK(containers::IsD88(out.Data(), out.Size()));
  ExerciseImageBytes(out.Data(), out.Size());
}

}  // namespace fuzzcheck
