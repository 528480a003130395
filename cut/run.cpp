#include "cut/run.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "cut/command_line.h"
#include "cut/image_source.h"
#include "cut/platform.h"
#include "cut/shift_jis.h"

#ifndef D88CUT_VERSION
#define D88CUT_VERSION "unknown"
#endif

namespace cut {

uint8_t g_sectorBuffer[kSectorBufferSize];

namespace {

constexpr char kUsage[] = "Usage: %s [d88file] (DiskNo.)\n";
// "ファイルをオープンできません.\n"
constexpr char kCannotOpen[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76"
    "\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n";
static_assert(ShiftJisConverts(kCannotOpen), "the message converts to UTF-8");
constexpr char kCutting[] = "cutting ... %s\n";
constexpr char kShortRun[] = "short ... %s: %d of %d bytes found, the rest written as zeros\n";
constexpr char kWriteFailed[] = "failed ... %s: %s\n";
constexpr char kNoFolder[] = "%s: cannot make the output folder %s: %s\n";
constexpr char kHardDisk[] =
    "%s: %s is a hard-disk image (%s): it holds partitions, not floppy disks; d88info and "
    "d88cut read their files\n";

// The help of every program, around what its catalogue knows.
constexpr char kHelpUsage[] = "Usage: %s [-o DIR] [--encoding=sjis|utf-8] IMAGE [DISK]\n";
constexpr char kHelpAbout[] =
    "Recognises the disks of a floppy-disk image ({read}) by their signature\n"
    "bytes and cuts their files out, byte for byte, into the current folder.\n"
    "\n"
    "Disk kinds, by DISK number:\n";
constexpr char kHelpKind[] = "  %d  %s\n";
constexpr char kHelpOptions[] =
    "\n"
    "DISK takes the first disk of the image for that kind, whatever it holds,\n"
    "and ends the run after it.\n"
    "\n"
    "  -o, --output-dir DIR   write the files into DIR, made if missing\n"
    "  --encoding=sjis|utf-8  write the Japanese messages in this encoding\n"
    "                         (default: UTF-8 on a UTF-8 terminal, else Shift-JIS)\n"
    "  -h, --help             show this help and exit\n"
    "  --version              show the version and exit\n"
    "\n"
    "Exit status: 0 when the run finished (also when nothing was recognised);\n"
    "1 for a usage error, an image that cannot be opened, an output folder\n"
    "that cannot be made or an output file that could not be written.\n";

bool Matches(const Signature& signature, const uint8_t* probeBytes) {
  return std::memcmp(probeBytes + signature.offset, signature.bytes.data,
                     static_cast<size_t>(signature.bytes.length)) == 0;
}

struct Options {
  CommandLine::Action action = CommandLine::Action::kRun;
  const char* folder = nullptr;
  Encoding encoding = Encoding::kAuto;
  const char* image = nullptr;
  const char* disk = nullptr;  // null when absent
};

enum OptionId { kFolder, kEncoding };
constexpr OptionSpec kOptions[] = {
    {kFolder, 'o', "output-dir", true},
    {kEncoding, '\0', "encoding", true},
};

// Options, then the image and the disk number.  A lone "-" is a name, and
// "--" ends the options, as "./-x" names a file that starts with a dash.
Options Parse(int argc, const char* const* argv) {
  Options options;
  const CommandLine line = ReadCommandLine(
      kOptions, OptionPlace::kBeforeNames, argc, argv,
      [&](int id, const std::string&, const char* value) -> std::string {
        if (value == nullptr || *value == '\0') return "no value";
        if (id == kFolder) {
          options.folder = value;
        } else if (!TakeEncoding(value, &options.encoding)) {
          return "no encoding";
        }
        return "";
      });
  options.action = line.action;
  if (options.action != CommandLine::Action::kRun) return options;
  if (line.names.empty() || line.names.size() > 2) {
    options.action = CommandLine::Action::kUsage;
    return options;
  }
  options.image = line.names[0];
  options.disk = line.names.size() == 2 ? line.names[1] : nullptr;
  return options;
}

void PrintHelp(const Catalogue& catalogue, std::FILE* out) {
  std::fprintf(out, kHelpUsage, catalogue.program);
  std::fputs(HelpText(kHelpAbout).c_str(), out);
  // By number, the order DISK takes, not the order the rules are tried.
  for (int number = 1; number <= catalogue.rules.count; ++number) {
    for (const DiskRule& rule : catalogue.rules) {
      if (rule.number == number) std::fprintf(out, kHelpKind, number, rule.label);
    }
  }
  std::fputs(kHelpOptions, out);
}

// Writes and closes `file`; errno tells why when it fails.
bool WriteAndClose(std::FILE* file, const uint8_t* data, size_t length) {
  const size_t written = std::fwrite(data, 1, length, file);
  const int writeErrno = errno;
  const bool complete = written == length;
  // A full disk often shows only when the buffered bytes are flushed.
  const bool closed = std::fclose(file) == 0;
  if (!complete) errno = writeErrno;
  return complete && closed;
}

// Writes `length` bytes as the file `path`, whole or not at all: into a
// new file beside it that replaces `path` only once every byte is written
// and the file closed.  A device or a pipe of the name takes the bytes as
// they come, as it cannot be replaced.  errno tells why when it fails.
bool WriteWhole(const std::string& path, const uint8_t* data, size_t length) {
  switch (platform::KindOf(path)) {
    case platform::PathKind::kFolder:
      errno = EISDIR;
      return false;
    case platform::PathKind::kOther: {
      std::FILE* file = std::fopen(path.c_str(), "wb");
      return file != nullptr && WriteAndClose(file, data, length);
    }
    default:
      break;
  }
  const std::string target = platform::WriteTarget(path);
  // A file made read-only stays unwritten, as when it was opened in place.
  if (platform::KindOf(target) == platform::PathKind::kFile && !platform::MayWrite(target)) {
    return false;
  }
  std::string temporary;
  std::FILE* file = platform::CreateTemporary(target, &temporary);
  if (file == nullptr) return false;
  if (WriteAndClose(file, data, length) && platform::Replace(temporary, target)) return true;
  const int error = errno;
  platform::Remove(temporary);
  errno = error;
  return false;
}

}  // namespace

bool TakeEncoding(const std::string& name, Encoding* encoding) {
  if (name == "sjis") {
    *encoding = Encoding::kShiftJis;
  } else if (name == "utf-8") {
    *encoding = Encoding::kUtf8;
  } else {
    return false;
  }
  return true;
}

Encoding EncodingFor(std::FILE* stream, Encoding chosen) {
  if (chosen != Encoding::kAuto) return chosen;
  switch (platform::TerminalOf(stream)) {
    case platform::Terminal::kUtf8: return Encoding::kUtf8;
    case platform::Terminal::kWideConsole: return Encoding::kWide;
    default: return Encoding::kShiftJis;
  }
}

void PrintJapanese(const char* text, Encoding encoding, std::FILE* stream) {
  if (encoding == Encoding::kUtf8) {
    std::fputs(ShiftJisToUtf8(text).c_str(), stream);
  } else if (encoding != Encoding::kWide || !platform::WriteWide(stream, ShiftJisToUtf8(text))) {
    std::fputs(text, stream);
  }
}

const DiskRule* Recognise(d88::D88Image& image, const Catalogue& catalogue,
                          int diskNo, uint8_t* probeBytes) {
  // Bytes a probe did not deliver read as zeros, never as what an earlier
  // probe, cut or disk left behind.  A rule with no probe of its own tests
  // what the last probe of this disk read.
  std::memset(probeBytes, 0, kProbeLength);
  for (const DiskRule& rule : catalogue.rules) {
    if (rule.probe.track >= 0) {
      std::memset(probeBytes, 0, kProbeLength);
      image.ReadSector(rule.probe.track, rule.probe.c, kProbeHead,
                       rule.probe.r, kProbeSizeCode, probeBytes, kProbeLength);
    }
    const bool forced = diskNo != 0 && diskNo == rule.number;
    if (forced || (diskNo == 0 && Matches(rule.signature, probeBytes))) {
      return &rule;
    }
  }
  return nullptr;
}

Cutter::Cutter(d88::D88Image& image, uint8_t* buffer, int bufferSize,
               std::FILE* out, std::FILE* err)
    : image(image), buffer(buffer), bufferSize(bufferSize), out(out), err(err) {}

bool Cutter::CutFile(const char* name, int track, int c, int h, int r, int n,
                     int skip, int length) {
  if (skip < 0 || length < 0 || skip > bufferSize - length) return false;
  const int wanted = skip + length;
  const int got = image.ReadSectors(track, c, h, r, n, buffer, wanted);
  if (got == 0) return false;
  if (out != nullptr) std::fprintf(out, kCutting, name);
  if (got < wanted) {
    // The missing part is zeros, never bytes of another file or disk.
    std::memset(buffer + got, 0, static_cast<size_t>(wanted - got));
    const int found = got > skip ? got - skip : 0;
    std::fprintf(err, kShortRun, name, found, length);
  }

  const std::string path = platform::Join(folder != nullptr ? folder : "", name);
  if (!WriteWhole(path, buffer + skip, static_cast<size_t>(length))) {
    std::fprintf(err, kWriteFailed, name, std::strerror(errno));
    writeFailed = true;
    ++filesFailed;
    return false;
  }
  ++filesWritten;
  return true;
}

void Cutter::CutSeries(const char* format, const SeriesEntry* entries) {
  for (int i = 0; entries[i].sector != 0; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, format, i);
    const int t = entries[i].track;
    CutFile(name, t, t >> 1, t & 1, entries[i].sector, 1, 0,
            entries[i].length);
  }
}

void Cutter::Perform(const DiskRule& rule) {
  for (const CutSpec& c : rule.cuts) {
    CutFile(c.name, c.track, c.c, c.h, c.r, c.n, c.skip, c.length);
  }
  if (rule.series.format != nullptr && rule.series.entries != nullptr) {
    CutSeries(rule.series.format, rule.series.entries);
  }
}

const char* Version() { return D88CUT_VERSION; }

void PrintVersion(const char* program, std::FILE* out) {
  std::fprintf(out, "%s %s\n", program, Version());
}

int RunOn(d88::D88Image& image, const Catalogue& catalogue, int argc, const char* const* argv,
          std::FILE* out, std::FILE* err) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  const Options options = Parse(argc, argv);
  const auto printHelp = [&](std::FILE* to) { PrintHelp(catalogue, to); };
  if (AnswerHelpOrVersion(options.action, catalogue.program, printHelp, out)) return 0;
  if (options.action == CommandLine::Action::kUsage) {
    std::fprintf(err, kUsage, program);
    return 1;
  }
  int diskNo = 0;
  if (options.disk != nullptr) {
    // Only the first character counts: "12" is disk 1.
    diskNo = static_cast<signed char>(options.disk[0]) - '0';
    if (diskNo < 1 || diskNo > catalogue.rules.count) {
      std::fprintf(err, kUsage, program);
      return 1;
    }
  }
  const Encoding encoding = EncodingFor(err, options.encoding);
  static ImageSource source;
  const bool opened = source.Open(options.image, image);
  source.PrintWarnings(options.image, err);
  if (!opened) {
    PrintJapanese(kCannotOpen, encoding, err);
    return 1;
  }
  if (source.IsHardDisk()) {
    std::fprintf(err, kHardDisk, catalogue.program, options.image, source.GetHardDisk().format.c_str());
    return 1;
  }
  // Made once the image is known to open, so a mistyped image name leaves
  // no empty folder behind.
  if (options.folder != nullptr && !platform::MakeFolders(options.folder)) {
    std::fprintf(err, kNoFolder, catalogue.program, options.folder, std::strerror(errno));
    return 1;
  }

  CutOutput output;
  output.program = catalogue.program;
  output.folder = options.folder;
  output.out = out;
  output.err = err;
  output.encoding = encoding;
  const CutResult result = CutDisks(image, catalogue, diskNo, output);
  std::fflush(out);
  return result.failed ? 1 : 0;
}

CutResult CutDisks(d88::D88Image& image, const Catalogue& catalogue, int diskNo,
                   const CutOutput& output) {
  Cutter cutter(image, g_sectorBuffer, kSectorBufferSize, output.out, output.err);
  cutter.SetFolder(output.folder);
  CutResult result;
  const int count = image.DiskCount();
  for (int i = 0; i < count; ++i) {
    image.SelectDisk(i);
    image.SetSectorRange(kFirstSector, kLastSector);
    const DiskRule* rule = Recognise(image, catalogue, diskNo, g_sectorBuffer);
    if (rule == nullptr) continue;
    if (result.rule == nullptr) {
      result.rule = rule;
      if (output.folder != nullptr && !platform::MakeFolders(output.folder)) {
        std::fprintf(output.err, kNoFolder, output.program, output.folder, std::strerror(errno));
        result.failed = true;
        return result;
      }
    }
    if (output.announce) PrintJapanese(rule->message, output.encoding, output.err);
    cutter.Perform(*rule);
    if (diskNo != 0) break;
  }
  result.files = cutter.FilesWritten();
  result.filesFailed = cutter.FilesFailed();
  result.failed = cutter.WriteFailed();
  return result;
}

}  // namespace cut
