// A disk of one kind a catalogue knows, built from the catalogue's own data:
// the tracks its probes and cuts reach are formatted with the builder's
// filler, and the rule's signature is poked into the probe sector it tests.
// Used by tests and by the sample-image generator; it holds nothing from
// any real disk.
#ifndef TESTS_SUPPORT_KIND_DISK_H
#define TESTS_SUPPORT_KIND_DISK_H

#include "cut/catalogue.h"
#include "support/d88_builder.h"

namespace testimg {

Disk KindDisk(const cut::Catalogue& catalogue, const cut::DiskRule& rule);

}  // namespace testimg

#endif  // TESTS_SUPPORT_KIND_DISK_H
