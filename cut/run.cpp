#include "cut/run.h"

#include <cerrno>
#include <cstring>

#include "containers/container.h"

namespace cut {

d88::D88Image g_image;
uint8_t g_sectorBuffer[kSectorBufferSize];

namespace {

constexpr char kUsage[] = "Usage: %s [d88file] (DiskNo.)\n";
// "ファイルをオープンできません.\n"
constexpr char kCannotOpen[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76"
    "\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n";
constexpr char kCutting[] = "cutting ... %s\n";
constexpr char kShortRun[] = "short ... %s: %d of %d bytes found, the rest written as zeros\n";
constexpr char kWriteFailed[] = "failed ... %s: %s\n";
constexpr char kContainerWarning[] = "warning: %s: %s\n";

// The disk sectors are numbered 1 to 26 on every track the programs read.
constexpr int kFirstSector = 1;
constexpr int kLastSector = 26;

bool Matches(const Signature& signature, const uint8_t* probeBytes) {
  return std::memcmp(probeBytes + signature.offset, signature.bytes.data,
                     static_cast<size_t>(signature.bytes.length)) == 0;
}

}  // namespace

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
  std::fprintf(out, kCutting, name);
  if (got < wanted) {
    // The missing part is zeros, never bytes of another file or disk.
    std::memset(buffer + got, 0, static_cast<size_t>(wanted - got));
    const int found = got > skip ? got - skip : 0;
    std::fprintf(err, kShortRun, name, found, length);
  }

  std::FILE* file = std::fopen(name, "wb");
  if (file == nullptr) {
    std::fprintf(err, kWriteFailed, name, std::strerror(errno));
    writeFailed = true;
    return false;
  }
  const size_t written =
      std::fwrite(buffer + skip, 1, static_cast<size_t>(length), file);
  const int writeErrno = errno;
  const bool complete = written == static_cast<size_t>(length);
  // A full disk often shows only when the buffered bytes are flushed.
  const bool closed = std::fclose(file) == 0;
  if (!complete || !closed) {
    std::fprintf(err, kWriteFailed, name,
                 std::strerror(complete ? errno : writeErrno));
    writeFailed = true;
    return false;
  }
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

int Run(const Catalogue& catalogue, int argc, const char* const* argv,
        std::FILE* out, std::FILE* err) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  if (argc < 2 || argc > 3) {
    std::fprintf(err, kUsage, program);
    return 1;
  }
  int diskNo = 0;
  if (argc == 3) {
    // Only the first character counts: "12" is disk 1.
    diskNo = static_cast<signed char>(argv[2][0]) - '0';
    if (diskNo < 1 || diskNo > catalogue.rules.count) {
      std::fprintf(err, kUsage, program);
      return 1;
    }
  }
  static containers::ImageFile file;
  if (!file.Open(argv[1], g_image)) {
    std::fputs(kCannotOpen, err);
    return 1;
  }
  if (!file.Warning().empty()) {
    std::fprintf(err, kContainerWarning, argv[1], file.Warning().c_str());
  }

  Cutter cutter(g_image, g_sectorBuffer, kSectorBufferSize, out, err);
  const int count = g_image.DiskCount();
  for (int i = 0; i < count; ++i) {
    g_image.SelectDisk(i);
    g_image.SetSectorRange(kFirstSector, kLastSector);
    const DiskRule* rule = Recognise(g_image, catalogue, diskNo, g_sectorBuffer);
    if (rule == nullptr) continue;
    std::fputs(rule->message, err);
    cutter.Perform(*rule);
    if (diskNo != 0) break;
  }
  std::fflush(out);
  return cutter.WriteFailed() ? 1 : 0;
}

}  // namespace cut
