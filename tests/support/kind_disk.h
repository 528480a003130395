// A disk of one kind a catalogue knows, built from the catalogue's own data:
// the tracks its probes and cuts reach are formatted with the builder's
// filler, and the rule's signature is poked into the probe sector it tests.
// Used by tests, the fuzz seeds, the benchmark and the sample-image
// generator; it holds nothing from any real disk.
#ifndef TESTS_SUPPORT_KIND_DISK_H
#define TESTS_SUPPORT_KIND_DISK_H

#include <string>

#include "cut/catalogue.h"
#include "support/d88_builder.h"

namespace testimg {

struct KindDiskOptions {
  // Names the disk in its filler bytes, so that disks of one kind in an
  // image differ; empty for "<program>-<number>".
  std::string tag;
  // Leaves out the probe tracks of the rules after this one: the disk then
  // holds just the tracks a run on it reads.
  bool onlyTracksRead = false;
};

Disk KindDisk(const cut::Catalogue& catalogue, const cut::DiskRule& rule,
              const KindDiskOptions& options = {});

}  // namespace testimg

#endif  // TESTS_SUPPORT_KIND_DISK_H
