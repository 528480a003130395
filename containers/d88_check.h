// Whether bytes are a D88 image, tested before any other container so that
// no sound D88 is ever read as something else.
#ifndef CONTAINERS_D88_CHECK_H
#define CONTAINERS_D88_CHECK_H

#include <cstddef>
#include <cstdint>

namespace containers {

// A chain of sound D88 disks that ends exactly at the end of the bytes:
// each disk's size field within what is left, a known media byte, a track
// table of 160 or 164 entries whose tracks lie inside the disk, and every
// track's sector headers and data inside the disk.  `disks`, when given,
// gets how many disks the chain holds.
bool IsD88(const uint8_t* file, size_t size, int* disks = nullptr);

// The first disk is a sound D88 disk whatever its size field says: its
// media byte, its track table and the first track's first sector header.
// Keeps a D88 with a damaged size field from being read as a headerless
// dump of the same size.
bool LooksLikeD88(const uint8_t* file, size_t size);

}  // namespace containers

#endif  // CONTAINERS_D88_CHECK_H
