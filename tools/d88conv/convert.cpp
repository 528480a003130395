#include "d88conv/convert.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "containers/container.h"
#include "containers/d88_writer.h"
#include "cut/command_line.h"
#include "cut/image_source.h"
#include "cut/platform.h"
#include "cut/run.h"
#include "d88/d88_format.h"
#include "d88/d88_image.h"

namespace d88conv {

namespace {

constexpr char kUsage[] =
    "Usage: d88conv [-f] [-o OUT.d88] IMAGE...\n"
    "       d88conv [-f] [-o BASE.d88] --split IMAGE\n";
constexpr char kHelp[] =
    "Writes the disks of images in any container the programs read ({read};\n"
    "a flux dump decoded to sectors) into a D88 file: several images give one\n"
    "multi-disk image, their disks in the order given.  An archive gives the\n"
    "disks of its images in the natural order of their names.  The output is named after\n"
    "the first image with .d88 unless -o names it.\n"
    "\n"
    "  -o FILE     the output file; with --split, the base of the names\n"
    "  --split     write each disk of the one image to a file of its own,\n"
    "              named after the image (or -o) and the disk's index from 0:\n"
    "              game.d88 -> game_0.d88, game_1.d88, ...\n"
    "  -f          replace output files that exist (never an input)\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 when every output was written; 1 for an image that cannot\n"
    "be read (or holds no disk) or an output that cannot or may not be\n"
    "written; 2 for a usage error.\n";

// The directory of a D88 image lists no disk that starts beyond 2 GiB (nor
// more than 64): an output holding one could not be read back whole.
constexpr size_t kLargestDiskStart = 0x7FFFFFFF;

// The layout's walk over one track's sector headers (d88::WalkTrack), over
// `size` bytes in memory.  `visit(header, dataPosition, dataLength)` sees
// each sector with the data the bytes hold (cut short at their end).
// Returns where the bytes the walk looked at end.
template <typename Visit>
size_t WalkTrack(const uint8_t* bytes, size_t size, size_t position, Visit visit) {
  const auto readHeader = [&](long long at, d88::SectorHeader* header) {
    const size_t from = static_cast<size_t>(at);
    if (from > size || size - from < static_cast<size_t>(d88::kSectorHeaderSize)) return false;
    std::memcpy(header->bytes, bytes + from, d88::kSectorHeaderSize);
    return true;
  };
  const auto visitHeld = [&](const d88::SectorHeader& header, long long at) {
    const size_t data = static_cast<size_t>(at);
    const size_t length = static_cast<size_t>(header.DataLength());
    visit(header, data, size - data < length ? size - data : length);
    return true;
  };
  return static_cast<size_t>(d88::WalkTrack(static_cast<long long>(position), readHeader, visitHeld));
}

// Whether the disk at `position` can be copied byte for byte: its size
// field covers its header and lies inside the bytes, its table has 164
// entries, and every track walk reads only bytes of the disk, so the copy
// reads the same wherever it stands in the output.  An entry beyond the
// disk's end starts no track the programs read and is kept as it is; one
// at its very end is a track they read, from the bytes after the disk: a
// copy loses it unless it holds no sector there.
bool CopiesWhole(const uint8_t* bytes, size_t size, size_t position, const d88::D88Image& image) {
  const size_t diskSize = image.DiskSize();
  if (diskSize < static_cast<size_t>(d88::kDiskHeaderSize) || diskSize > size - position) {
    return false;
  }
  for (int t = 0; t < d88::kTrackCount; ++t) {
    const uint32_t offset = image.TrackOffset(t);
    if (!d88::ProgramsReadTrack(offset, image.DiskSize())) continue;
    if (offset < static_cast<uint32_t>(d88::kDiskHeaderSize)) return false;
    int sectors = 0;
    const size_t end = WalkTrack(bytes, size, position + offset,
                                 [&](const d88::SectorHeader&, size_t, size_t) { ++sectors; });
    if (offset == diskSize ? sectors > 0 : end > position + diskSize) return false;
  }
  return true;
}

// A damaged disk written afresh through the D88 writer: every sector the
// walks reach, in stored order, duplicate identities included, with its
// C/H/R/N, density, deleted and status bytes and the data the file holds.
// The output is a sound disk whatever its size field and table were.
bool Rewrite(const uint8_t* bytes, size_t size, size_t position, const d88::D88Image& image,
             containers::OwnedBytes* out) {
  std::vector<int> tracks;
  size_t limit = d88::kDiskHeaderSize;
  for (int t = 0; t < d88::kTrackCount; ++t) {
    if (!image.HasTrack(t)) continue;
    tracks.push_back(t);
    WalkTrack(bytes, size, position + image.TrackOffset(t), [&](const d88::SectorHeader&, size_t,
                                                                size_t held) {
      limit += d88::kSectorHeaderSize + held;
    });
  }
  containers::D88Writer writer(limit);
  writer.BeginDisk(static_cast<uint8_t>(image.MediaType()), image.DiskName(),
                   static_cast<uint8_t>(image.WriteProtect()));
  for (int t : tracks) {
    const size_t start = position + image.TrackOffset(t);
    int count = 0;
    WalkTrack(bytes, size, start, [&](const d88::SectorHeader&, size_t, size_t) { ++count; });
    if (count == 0) continue;
    writer.BeginTrack(t, count);
    WalkTrack(bytes, size, start, [&](const d88::SectorHeader& header, size_t data, size_t held) {
      containers::SectorRecord record;
      record.c = header.bytes[d88::kSectorCOffset];
      record.h = header.bytes[d88::kSectorHOffset];
      record.r = header.bytes[d88::kSectorROffset];
      record.n = header.bytes[d88::kSectorNOffset];
      record.density = header.bytes[d88::kDensityOffset];
      record.deleted = header.bytes[d88::kDeletedOffset];
      record.status = header.bytes[d88::kStatusOffset];
      writer.AddSector(record, bytes + data, static_cast<int>(held));
    });
  }
  if (!writer.EndDisk() || writer.Failed()) return false;
  *out = writer.Release();
  return out->bytes != nullptr;
}

// A D88 file is read whole, no further than its directory can reach: its
// last disk starts below 2 GiB and is no larger than a 32-bit size field.
size_t LargestD88File(const uint8_t*, size_t) {
  constexpr uint64_t kLargest = uint64_t{kLargestDiskStart} + 0xFFFFFFFFu;
  return static_cast<size_t>(std::min<uint64_t>(kLargest, SIZE_MAX - 1));
}

// One input image: its disks as D88 bytes, each either a slice of the
// file's or the conversion's bytes or a disk written afresh, one at a time
// (a damaged disk can grow to many times its file when its tracks share
// sectors, so no more than one is held).
class Input {
 public:
  // Opens `path` through the container and archive layers and sorts its
  // disks; prints why not (and what is damaged) to `err`.
  bool Load(const char* path, std::FILE* err) {
    count = 0;
    errno = 0;
    const bool opened = source.Open(path, image);
    const int reason = errno;
    source.PrintWarnings(path, err);
    if (!opened) return CannotRead(path, reason, err);
    if (source.IsHardDisk()) {
      std::fprintf(err,
                   "d88conv: cannot convert %s: a hard-disk image (%s) holds partitions, not "
                   "floppy disks\n",
                   path, source.GetHardDisk().format.c_str());
      source.HardDisk().Close();
      return false;
    }
    bytes = source.D88Data();
    size = source.D88Size();
    if (bytes == nullptr) {
      errno = 0;
      if (!containers::LoadWhole(path, LargestD88File, &read)) return CannotRead(path, errno, err);
      bytes = read.bytes.get();
      size = read.size;
    }
    if (image.DiskCount() == 0) {
      std::fprintf(err, "d88conv: cannot read %s: it holds no disk\n", path);
      return false;
    }
    std::string damaged;
    count = image.DiskCount();
    for (int i = 0; i < count; ++i) {
      const size_t position = static_cast<size_t>(image.DiskPosition(i));
      if (!image.SelectDisk(i) || position > size) return CannotRead(path, EIO, err);
      whole[i] = CopiesWhole(bytes, size, position, image);
      if (!whole[i]) damaged += (damaged.empty() ? "" : ", ") + std::to_string(i);
    }
    if (MoreDisks(size)) {
      std::fprintf(err, "warning: %s: holds more than %d disks; only the first %d are read\n", path,
                   d88::kMaxDisks, d88::kMaxDisks);
    }
    if (!damaged.empty()) {
      std::fprintf(err,
                   "warning: %s: disk %s damaged (size field, track table or a track beyond "
                   "the disk): written afresh from the sectors it holds\n",
                   path, damaged.c_str());
    }
    return true;
  }

  int DiskCount() const { return count; }

  // The D88 bytes of disk `index`, valid until the next call; false when a
  // damaged disk cannot be written afresh (no memory for it).
  bool Disk(int index, const uint8_t** data, size_t* length) {
    if (index < 0 || index >= count || !image.SelectDisk(index)) return false;
    const size_t position = static_cast<size_t>(image.DiskPosition(index));
    if (whole[index]) {
      *data = bytes + position;
      *length = image.DiskSize();
      return true;
    }
    afresh = containers::OwnedBytes();
    if (!Rewrite(bytes, size, position, image, &afresh)) return false;
    *data = afresh.bytes.get();
    *length = afresh.size;
    return true;
  }

 private:
  // Whether the chain of disks goes on after the last one the directory
  // lists: a D88 directory holds 64 disks, and what follows is not read.
  bool MoreDisks(size_t size) {
    const int last = image.DiskCount() - 1;
    if (last + 1 < d88::kMaxDisks || !image.SelectDisk(last)) return false;
    const size_t diskSize = image.DiskSize();
    const size_t next = static_cast<size_t>(image.DiskPosition(last)) + diskSize;
    return diskSize >= static_cast<size_t>(d88::kDiskHeaderSize) && next < size &&
           size - next >= static_cast<size_t>(d88::kDiskHeaderSize);
  }

  static bool CannotRead(const char* path, int reason, std::FILE* err) {
    std::fprintf(err, "d88conv: cannot read %s%s%s\n", path, reason != 0 ? ": " : "",
                 reason != 0 ? std::strerror(reason) : "");
    return false;
  }

  d88::D88Image image;
  cut::ImageSource source;
  containers::OwnedBytes read;  // the file's bytes, for a D88 file
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  int count = 0;
  bool whole[d88::kMaxDisks] = {};  // copied byte for byte, or written afresh
  containers::OwnedBytes afresh;
};

// An output written under a temporary name in its own folder and renamed
// only once complete; removed if it never is.
class Output {
 public:
  explicit Output(std::string name) : name(std::move(name)) {}
  ~Output() { Discard(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  const std::string& Name() const { return name; }
  long long Bytes() const { return bytes; }
  int DiskCount() const { return disks; }

  // The temporary file is made new beside the output, so the rename that
  // finishes it stays in one folder.
  bool Begin() {
    file = cut::platform::CreateTemporary(name, &temp);
    if (file == nullptr) temp.clear();
    return file != nullptr;
  }
  bool Add(const uint8_t* data, size_t size) {
    if (static_cast<unsigned long long>(bytes) > kLargestDiskStart || disks >= d88::kMaxDisks) {
      errno = EFBIG;
      return false;
    }
    ++disks;
    bytes += static_cast<long long>(size);
    return std::fwrite(data, 1, size, file) == size;
  }
  bool Finish() {
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    if (!closed || !cut::platform::Replace(temp, name)) return false;
    temp.clear();
    return true;
  }
  void Discard() {
    if (file != nullptr) std::fclose(file);
    file = nullptr;
    if (!temp.empty()) cut::platform::Remove(temp);
    temp.clear();
  }

 private:
  std::string name;
  std::string temp;
  std::FILE* file = nullptr;
  long long bytes = 0;
  int disks = 0;
};

struct Options {
  bool force = false;
  bool split = false;
  const char* output = nullptr;
  std::vector<const char*> inputs;
};


// Refuses an output that is an input, or exists and -f was not given.
bool MayWrite(const std::string& output, const Options& options, std::FILE* err) {
  for (const char* input : options.inputs) {
    if (cut::platform::SameFile(output, input)) {
      std::fprintf(err, "d88conv: %s is an input; it is never written over\n", output.c_str());
      return false;
    }
  }
  if (!options.force && cut::platform::Exists(output)) {
    std::fprintf(err, "d88conv: %s exists (-f replaces it)\n", output.c_str());
    return false;
  }
  return true;
}

int CannotWrite(const std::string& name, int reason, std::FILE* err) {
  std::fprintf(err, "d88conv: cannot write %s%s%s\n", name.c_str(), reason != 0 ? ": " : "",
               reason != 0 ? std::strerror(reason) : "");
  return 1;
}

int CannotReadDisk(const char* path, int disk, std::FILE* err) {
  std::fprintf(err, "d88conv: cannot read %s: disk %d is too large to write afresh\n", path, disk);
  return 1;
}

void Report(const Output& output, std::FILE* out) {
  const int n = output.DiskCount();
  std::fprintf(out, "wrote %s: %d disk%s, %lld bytes\n", output.Name().c_str(), n,
               n == 1 ? "" : "s", output.Bytes());
}

// The name of the output without -o: the first input's with .d88, or with
// "_conv.d88" where that would be the input itself.
std::string DefaultOutput(const char* input) {
  const std::string base = cut::platform::WithoutExtension(input);
  const std::string name = base + ".d88";
  return cut::platform::SameFile(name, input) ? base + "_conv.d88" : name;
}

int Merge(const Options& options, std::FILE* out, std::FILE* err) {
  const std::string name = options.output != nullptr ? options.output : DefaultOutput(options.inputs[0]);
  if (!MayWrite(name, options, err)) return 1;
  Output output(name);
  errno = 0;
  if (!output.Begin()) return CannotWrite(name, errno, err);
  const auto input = std::make_unique<Input>();  // an image is large: not on the stack
  for (const char* path : options.inputs) {
    if (!input->Load(path, err)) return 1;
    for (int i = 0; i < input->DiskCount(); ++i) {
      const uint8_t* data;
      size_t size;
      if (!input->Disk(i, &data, &size)) return CannotReadDisk(path, i, err);
      errno = 0;
      if (!output.Add(data, size)) {
        if (errno == EFBIG) {
          std::fprintf(err, "d88conv: %s would hold more than %d disks or 2 GiB\n", name.c_str(),
                       d88::kMaxDisks);
          return 1;
        }
        return CannotWrite(name, errno, err);
      }
    }
  }
  errno = 0;
  if (!output.Finish()) return CannotWrite(name, errno, err);
  Report(output, out);
  return 0;
}

int Split(const Options& options, std::FILE* out, std::FILE* err) {
  const char* path = options.inputs[0];
  const auto input = std::make_unique<Input>();
  if (!input->Load(path, err)) return 1;
  const std::string base =
      cut::platform::WithoutExtension(options.output != nullptr ? options.output : path);
  std::vector<std::unique_ptr<Output>> outputs;
  for (int i = 0; i < input->DiskCount(); ++i) {
    outputs.push_back(std::make_unique<Output>(base + "_" + std::to_string(i) + ".d88"));
    if (!MayWrite(outputs.back()->Name(), options, err)) return 1;
  }
  // Every file is written whole before any is renamed, so a failure leaves
  // no output of this run.
  for (int i = 0; i < input->DiskCount(); ++i) {
    Output& output = *outputs[static_cast<size_t>(i)];
    const uint8_t* data;
    size_t size;
    errno = 0;
    if (!output.Begin()) return CannotWrite(output.Name(), errno, err);
    if (!input->Disk(i, &data, &size)) return CannotReadDisk(path, i, err);
    errno = 0;
    if (!output.Add(data, size)) return CannotWrite(output.Name(), errno, err);
  }
  for (const auto& output : outputs) {
    errno = 0;
    if (!output->Finish()) return CannotWrite(output->Name(), errno, err);
    Report(*output, out);
  }
  return 0;
}

}  // namespace

int Run(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  Options options;
  enum OptionId { kForce, kSplit, kOutput };
  static constexpr cut::OptionSpec kOptions[] = {
      {kForce, 'f', nullptr, false},
      {kSplit, '\0', "split", false},
      {kOutput, 'o', nullptr, true},
  };
  const cut::CommandLine line = cut::ReadCommandLine(
      kOptions, cut::OptionPlace::kAnywhere, argc, argv,
      [&](int id, const std::string&, const char* value) -> std::string {
        if (id == kForce) options.force = true;
        if (id == kSplit) options.split = true;
        if (id != kOutput) return "";
        if (value == nullptr || *value == '\0') return "-o needs a file name";
        if (options.output != nullptr) return "more than one -o given";
        options.output = value;
        return "";
      });
  const auto printHelp = [](std::FILE* to) {
    std::fprintf(to, "%s%s", kUsage, cut::HelpText(kHelp).c_str());
  };
  if (cut::AnswerHelpOrVersion(line.action, "d88conv", printHelp, out)) return 0;
  if (line.action == cut::CommandLine::Action::kUsage) {
    return cut::UsageError(err, "d88conv", line.problem, kUsage);
  }
  options.inputs = line.names;
  if (options.inputs.empty()) return cut::UsageError(err, "d88conv", "no image given", kUsage);
  if (options.split && options.inputs.size() > 1) {
    return cut::UsageError(err, "d88conv", "--split takes one image", kUsage);
  }
  const int status = options.split ? Split(options, out, err) : Merge(options, out, err);
  std::fflush(out);
  return status;
}

}  // namespace d88conv
