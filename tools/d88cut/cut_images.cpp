#include "d88cut/cut_images.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cut/command_line.h"
#include "cut/disk_alone.h"
#include "cut/disk_files.h"
#include "cut/image_source.h"
#include "cut/platform.h"
#include "cut/run.h"
#include "d88/d88_format.h"
#include "d88/d88_image.h"

namespace d88cut {

namespace {

constexpr char kProgram[] = "d88cut";
constexpr char kUsage[] = "Usage: d88cut [-o DIR] [--no-files] [--encoding=sjis|utf-8] IMAGE...\n";
constexpr char kHelp[] =
    "Tries every disk of each image ({read}) with every program's catalogue,\n"
    "and cuts each disk a program recognises into\n"
    "a folder of its own: the files that program writes for an image of that\n"
    "disk alone, byte for byte.  A disk's folder is named after its index\n"
    "(from 0), the program and the kind, as disk02-vorxcut-3, inside a folder\n"
    "named after the image, beside it (game.d88 or game.zip -> game),\n"
    "wherever d88cut is started.  The files of a disk with a file system\n"
    "(MS-DOS FAT12 or FAT16, N88-BASIC) go into disk02-files, folders kept,\n"
    "and those of each partition of a hard-disk image (HDI, NHD, THD,\n"
    "Virtual98, plain) into part0-files, part1-files, ...; a name that is no\n"
    "file name on every system is written with '_' for what is not, and a\n"
    "damaged file system gives what is sound of it, with a warning.\n"
    "\n"
    "  -o, --output-dir DIR   put the disks' folders into DIR for one image,\n"
    "                         into DIR/<image name> for several; made if missing\n"
    "  --no-files             leave the files of file systems out\n"
    "  --encoding=sjis|utf-8  write the Japanese messages in this encoding\n"
    "                         (default: UTF-8 on a UTF-8 terminal, else Shift-JIS)\n"
    "  -h, --help             show this help and exit\n"
    "  --version              show the version and exit\n"
    "\n"
    "Exit status: 0 when every image was read and every file written; 1 when\n"
    "an image could not be read, a file not written or a file system was\n"
    "damaged (the other images are still cut); 2 for a usage error.\n";
constexpr char kPressEnter[] = "Press Enter to close this window.\n";

// An image opened here alone, so that another way of opening images comes
// in at this one place.
struct Source {
  cut::ImageSource file;
  d88::D88Image image;
  bool Open(const char* path) { return file.Open(path, image); }
};

struct Options {
  const char* folder = nullptr;
  bool files = true;  // write the files of file systems
  cut::Encoding encoding = cut::Encoding::kAuto;
  std::vector<const char*> images;
};

// What the run did, for the closing line.
struct Totals {
  int images = 0;
  int unread = 0;  // images that could not be read
  int disks = 0;
  int folders = 0;
  int files = 0;
  int failed = 0;  // files that could not be written
  int fileSystems = 0;   // whose files were written
  int systemFiles = 0;
};

std::string Count(int n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string Lower(std::string text) {
  for (char& ch : text) ch = d88::AsciiLower(ch);
  return text;
}

// The folder an image's disks go into: DIR for one image with -o, else a
// folder named after the image (its name without the extension, and
// without a compression's before it: "game.d88.gz" -> "game"; "NAME_cut"
// for a name that has none) in DIR or beside the image.  One another image
// of the run took, on a system that may not tell case apart either, gets
// "-2", "-3", ... after its name.
std::string ImageFolder(const std::string& image, const Options& options,
                        std::vector<std::string>* taken) {
  if (options.folder != nullptr && options.images.size() == 1) return options.folder;
  const size_t nameStart = cut::platform::NameStart(image);
  std::string name = cut::BareName(image);
  const size_t dot = name.rfind('.');
  name = dot != std::string::npos && dot > 0 ? name.substr(0, dot) : name + "_cut";
  const std::string parent =
      options.folder != nullptr ? options.folder : image.substr(0, nameStart);
  std::string folder = cut::platform::Join(parent, name);
  for (int n = 2;; ++n) {
    bool used = false;
    for (const std::string& other : *taken) used = used || Lower(other) == Lower(folder);
    if (!used) break;
    folder = cut::platform::Join(parent, name + "-" + std::to_string(n));
  }
  taken->push_back(folder);
  return folder;
}

// "disk 2: <recognition line> -> disk02-vorxcut-3 (16 files)", in Shift-JIS
// as the recognition line is.
std::string DiskLine(int index, const cut::DiskRule& rule, const std::string& folder,
                     const cut::CutResult& result) {
  std::string message = rule.message;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  std::string line = "disk " + std::to_string(index) + ": " + message + " -> " + folder + " (" +
                     Count(result.files, "file");
  if (result.filesFailed > 0) line += ", " + std::to_string(result.filesFailed) + " not written";
  return line + ")\n";
}

// Writes the files of `listing` on `volume` into `folder`/`name` and says
// so in a line `what: <summary> -> name (N files)`; false when a file
// system was damaged or a file not written.
bool WriteFileSystem(fs::Volume& volume, const fs::Listing& listing, const std::string& what,
                     const std::string& folder, const std::string& name, const char* path,
                     std::FILE* out, std::FILE* err, Totals* totals) {
  const cut::FilesWritten written =
      cut::WriteFiles(volume, listing, cut::platform::Join(folder, name), [&](const std::string& problem) {
        std::fprintf(err, "warning: %s: %s: %s\n", path, what.c_str(), problem.c_str());
      });
  std::string line = what + ": " + cut::FilesSummary(listing) + " -> " + name + " (" +
                     Count(written.files, "file");
  if (written.notWritten > 0) line += ", " + std::to_string(written.notWritten) + " not written";
  std::fprintf(out, "%s)\n", line.c_str());
  std::fflush(out);
  ++totals->fileSystems;
  totals->systemFiles += written.files;
  totals->failed += written.notWritten;
  return !written.damaged && written.notWritten == 0;
}

// The partitions of a hard-disk image, each with a file system into a
// folder part<N>-files; false when one was damaged or a file not written.
bool CutHardDisk(cut::HardDiskImage& hardDisk, const char* path, const std::string& folder,
                 const Options& options, std::FILE* out, std::FILE* err, Totals* totals) {
  const fs::HardDisk& disk = hardDisk.Disk();
  std::fprintf(out, "%s: %s, %s -> %s\n", path, cut::HardDiskLine(disk).c_str(),
               Count(static_cast<int>(disk.partitions.size()), "partition").c_str(), folder.c_str());
  bool sound = true;
  for (size_t i = 0; i < disk.partitions.size(); ++i) {
    const std::string what = "partition " + std::to_string(disk.partitions[i].index);
    fs::Listing listing;
    const std::unique_ptr<fs::Volume> volume = hardDisk.Partition(i);
    if (volume == nullptr || !fs::ListVolume(*volume, &listing)) {
      std::fprintf(out, "%s: no file system\n", what.c_str());
      continue;
    }
    if (!options.files) {
      std::fprintf(out, "%s: %s (not written: --no-files)\n", what.c_str(),
                   cut::FilesSummary(listing).c_str());
      continue;
    }
    const std::string name = "part" + std::to_string(disk.partitions[i].index) + "-files";
    sound = WriteFileSystem(*volume, listing, what, folder, name, path, out, err, totals) && sound;
  }
  return sound;
}

// Cuts every disk of the image at `path` that a catalogue recognises;
// false when the image, a disk of it or a file could not be read or written.
bool CutImage(cut::Span<const cut::Catalogue*> catalogues, const char* path,
              const std::string& folder, const Options& options, std::FILE* out, std::FILE* err,
              Totals* totals) {
  // An image is large: on the heap, not the stack, and let go with the image.
  const auto source = std::make_unique<Source>();
  const auto alone = std::make_unique<cut::DiskAlone>();
  std::fflush(out);  // its lines so far before any error of this image
  errno = 0;
  const bool opened = source->Open(path);
  const int reason = errno;
  source->file.PrintWarnings(path, err);
  // A file that cannot be read, or holds no disk, is said and passed over.
  if (!opened || (source->image.DiskCount() == 0 && !source->file.IsHardDisk())) {
    const char* why = opened ? "it holds no disk" : reason != 0 ? std::strerror(reason) : nullptr;
    std::fprintf(err, "%s: cannot read %s%s%s\n", kProgram, path, why != nullptr ? ": " : "",
                 why != nullptr ? why : "");
    source->image.Open(nullptr);
    ++totals->unread;
    return false;
  }
  if (source->file.IsHardDisk()) {
    const bool sound = CutHardDisk(source->file.HardDisk(), path, folder, options, out, err, totals);
    source->file.HardDisk().Close();
    return sound;
  }
  const int count = source->image.DiskCount();
  std::fprintf(out, "%s: %s -> %s\n", path, Count(count, "disk").c_str(), folder.c_str());
  totals->disks += count;
  const cut::Encoding encoding = cut::EncodingFor(out, options.encoding);
  bool sound = true;
  for (int i = 0; i < count; ++i) {
    errno = 0;
    if (!alone->Open(path, source->file, source->image, i)) {
      std::fprintf(err, "%s: cannot read %s: disk %d: %s\n", kProgram, path, i,
                   std::strerror(errno != 0 ? errno : EIO));
      sound = false;
      continue;
    }
    alone->PrintWarning(err);
    bool recognised = false;
    for (const cut::Catalogue* catalogue : catalogues) {
      const cut::DiskRule* rule = alone->Recognise(*catalogue);
      if (rule == nullptr) continue;
      recognised = true;
      const std::string name = DiskFolder(i, catalogue->program, rule->number);
      const std::string diskFolder = cut::platform::Join(folder, name);
      cut::CutOutput output;
      output.program = kProgram;
      output.folder = diskFolder.c_str();
      output.err = err;
      output.announce = false;
      const cut::CutResult result = alone->Cut(*catalogue, 0, output);
      cut::PrintJapanese(DiskLine(i, *rule, name, result).c_str(), encoding, out);
      std::fflush(out);  // in order with the lines on standard error
      ++totals->folders;
      totals->files += result.files;
      totals->failed += result.filesFailed;
      sound = sound && !result.failed;
    }
    fs::Listing listing;
    const bool hasFiles = source->image.SelectDisk(i) && cut::ListDiskFiles(source->image, &listing);
    if (!recognised && !hasFiles) std::fprintf(out, "disk %d: recognised by no program\n", i);
    if (!hasFiles) continue;
    const std::string what = "disk " + std::to_string(i);
    if (!options.files) {
      std::fprintf(out, "%s: %s (not written: --no-files)\n", what.c_str(),
                   cut::FilesSummary(listing).c_str());
      continue;
    }
    char name[32];
    std::snprintf(name, sizeof name, "disk%02d-files", i);
    const std::unique_ptr<fs::Volume> volume = cut::DiskVolume(source->image);
    sound = volume != nullptr &&
            WriteFileSystem(*volume, listing, what, folder, name, path, out, err, totals) && sound;
  }
  source->image.Open(nullptr);  // the file is not held open once it is cut
  return sound;
}

}  // namespace

std::string DiskFolder(int index, const char* program, int number) {
  char index2[16];
  std::snprintf(index2, sizeof index2, "%02d", index);
  return std::string("disk") + index2 + "-" + program + "-" + std::to_string(number);
}

void PrintHelp(cut::Span<const cut::Catalogue*> catalogues, std::FILE* out) {
  std::fputs(kUsage, out);
  std::fputs(cut::HelpText(kHelp).c_str(), out);
  std::fputs("\nPrograms tried, in order:", out);
  for (const cut::Catalogue* catalogue : catalogues) {
    const std::string kinds = Count(catalogue->rules.count, "kind");
    std::fprintf(out, " %s (%s)", catalogue->program, kinds.c_str());
  }
  std::fputs("\n", out);
}

void KeepWindowOpen(std::FILE* in, std::FILE* out) {
  std::fputs(kPressEnter, out);
  std::fflush(out);
  for (int ch = std::fgetc(in); ch != EOF && ch != '\n';) ch = std::fgetc(in);
}

int Run(cut::Span<const cut::Catalogue*> catalogues, int argc, const char* const* argv,
        std::FILE* out, std::FILE* err) {
  Options options;
  enum OptionId { kFolder, kNoFiles, kEncoding };
  static constexpr cut::OptionSpec kOptions[] = {
      {kFolder, 'o', "output-dir", true},
      {kNoFiles, '\0', "no-files", false},
      {kEncoding, '\0', "encoding", true},
  };
  const cut::CommandLine line = cut::ReadCommandLine(
      kOptions, cut::OptionPlace::kAnywhere, argc, argv,
      [&](int id, const std::string& spelt, const char* value) -> std::string {
        if (id == kNoFiles) {
          options.files = false;
          return "";
        }
        if (id == kEncoding) {
          return cut::TakeEncoding(value != nullptr ? value : "", &options.encoding)
                     ? ""
                     : "--encoding takes sjis or utf-8";
        }
        if (value == nullptr || *value == '\0') return spelt + " needs a folder";
        if (options.folder != nullptr) return "more than one output folder given";
        options.folder = value;
        return "";
      });
  const auto printHelp = [&](std::FILE* to) { PrintHelp(catalogues, to); };
  if (cut::AnswerHelpOrVersion(line.action, kProgram, printHelp, out)) return 0;
  if (line.action == cut::CommandLine::Action::kUsage) {
    return cut::UsageError(err, kProgram, line.problem, kUsage);
  }
  options.images = line.names;
  if (options.images.empty()) return cut::UsageError(err, kProgram, "no image given", kUsage);

  Totals totals;
  std::vector<std::string> taken;
  bool sound = true;
  for (const char* image : options.images) {
    ++totals.images;
    const std::string folder = ImageFolder(image, options, &taken);
    sound = CutImage(catalogues, image, folder, options, out, err, &totals) && sound;
  }
  std::string summary = Count(totals.images, "image") + ", " + Count(totals.disks, "disk") +
                        ": " + Count(totals.folders, "folder") + ", " +
                        Count(totals.files, "file") + " written";
  if (totals.fileSystems > 0) {
    summary += "; " + Count(totals.systemFiles, "file") + " of " +
               Count(totals.fileSystems, "file system");
  }
  if (totals.unread > 0) summary += "; " + Count(totals.unread, "image") + " could not be read";
  if (totals.failed > 0) summary += "; " + Count(totals.failed, "file") + " could not be written";
  std::fprintf(out, "%s\n", summary.c_str());
  std::fflush(out);
  return sound ? 0 : 1;
}

}  // namespace d88cut
