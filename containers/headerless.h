// What the containers without sector IDs share: a uniform geometry stored
// in C/H/R order, turned into one D88 disk with the IDs synthesised
// (C = cylinder, H = head, R = 1..sectors, N from the sector size).
#ifndef CONTAINERS_HEADERLESS_H
#define CONTAINERS_HEADERLESS_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "containers/d88_writer.h"
#include "containers/readers.h"

namespace containers {

// The FM track 0 of 8-inch-compatible disks: 26 sectors of 128 bytes.
constexpr int kFmSectors = 26;
constexpr int kFmSectorSize = 128;

// N for 128, 256, ... 16384 bytes; -1 for any other size.
int SizeCode(int sectorSize);

// 2HD (0x20) for tracks of 5 KB or more, else 2DD (0x10).
uint8_t MediaFor(const Geometry& geometry);

// The bytes one track of `geometry` takes in the container.
size_t TrackBytes(const Geometry& geometry, int cylinder, int head);

// Keeps the first problem found as the image's one warning.
void Warn(Conversion* info, const std::string& text);

// Writes the track of `cylinder` and `head` from `offset` on, as D88 track
// cylinder * 2 + head; sectors the file does not hold whole are absent.
// Returns the offset after the track as the container lays it out.
size_t AddTrack(const uint8_t* file, size_t size, size_t offset, int cylinder, int head,
                const Geometry& geometry, D88Writer& out);

// Writes every track of `geometry` from `base` on as one disk, and warns
// (naming the container `what`) when the file ends before the last track.
bool ConvertUniform(const uint8_t* file, size_t size, size_t base, const Geometry& geometry,
                    const char* what, D88Writer& out, Conversion* info);

// The geometry a headerless dump of exactly `dataSize` bytes has, from the
// size table; where two share a size, the one of `sectorSize` if any.
bool GeometryOfSize(size_t dataSize, int sectorSize, Geometry* geometry);

// "77x2x26 256-byte" style text for warnings.
std::string GeometryText(const Geometry& geometry);

}  // namespace containers

#endif  // CONTAINERS_HEADERLESS_H
