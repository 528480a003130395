#include "support/kind_disk.h"

#include <string>

namespace testimg {

namespace {

constexpr int kSectorSize = 256;

// Formats every track a run of `length` bytes from track/r reaches, the
// sectors counted as track * 26 + r - 1 as the programs step over them.
void FormatRun(Disk& disk, int track, int r, int length) {
  if (r < 1 || r > kSectorsPerTrack || length <= 0) return;
  const int first = track * kSectorsPerTrack + r - 1;
  const int last = first + (length + kSectorSize - 1) / kSectorSize - 1;
  for (int t = first / kSectorsPerTrack; t <= last / kSectorsPerTrack; ++t) {
    if (disk.tracks.count(t) == 0) disk.Format(t, t);
  }
}

}  // namespace

Disk KindDisk(const cut::Catalogue& catalogue, const cut::DiskRule& rule,
              const KindDiskOptions& options) {
  Disk disk;
  disk.name = std::string(catalogue.program) + " " + std::to_string(rule.number);
  disk.tag = options.tag.empty() ? std::string(catalogue.program) + "-" + std::to_string(rule.number)
                                 : options.tag;
  disk.mediaType = 0x10;  // 2DD: room for the highest tracks any catalogue reads

  // The probe this rule tests: its own, or the last one read before it.
  cut::Probe probe = cut::kNoProbe;
  for (const cut::DiskRule& r : catalogue.rules) {
    if (r.probe.track >= 0) probe = r.probe;
    if (&r == &rule) break;
  }
  for (const cut::DiskRule& r : catalogue.rules) {
    if (r.probe.track >= 0) FormatRun(disk, r.probe.track, r.probe.r, kSectorSize);
    if (options.onlyTracksRead && &r == &rule) break;
  }
  for (const cut::CutSpec& c : rule.cuts) FormatRun(disk, c.track, c.r, c.skip + c.length);
  if (rule.series.entries != nullptr) {
    for (const cut::SeriesEntry* e = rule.series.entries; e->sector != 0; ++e) {
      FormatRun(disk, e->track, e->sector, e->length);
    }
  }
  if (probe.track >= 0) {
    const cut::Bytes& s = rule.signature.bytes;
    disk.Poke(probe.track, probe.r, rule.signature.offset, std::string(s.data, s.data + s.length));
  }
  return disk;
}

}  // namespace testimg
