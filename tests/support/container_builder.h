// Writes a testimg::Disk in the PC-98 containers other than D88, so that one
// disk can be stored every way the programs read and the readings compared.
//
// Containers without sector IDs store a uniform geometry: every sector of
// every track, in C/H/R order.  Their builders take each sector's data from
// the disk's sector of that R on that track (cut or padded with 0xE5 to the
// sector size) and write 0xE5 bytes where the disk has no such sector;
// Stored() is the disk such a container then holds, as D88 would hold it.
#ifndef TESTS_SUPPORT_CONTAINER_BUILDER_H
#define TESTS_SUPPORT_CONTAINER_BUILDER_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/d88_builder.h"

namespace testimg {

// A uniform geometry as a headerless container stores it.
struct Layout {
  int cylinders = 77;
  int heads = 2;
  int sectors = 26;        // per track
  int sectorSize = 256;    // bytes
  bool track0Fm = false;   // C0 H0 holds 26 FM sectors of 128 bytes (N 0)
};

// The layouts the tests use most.
constexpr Layout k2hd26{77, 2, 26, 256, false};     // every track MFM 26x256
constexpr Layout k2hd26Fm{77, 2, 26, 256, true};    // 8-inch compatible
constexpr Layout k2hd8{77, 2, 8, 1024, false};      // 1.25 MB, 8x1024

// The disk a container of `layout` holds when built from `disk`: every
// sector of the geometry (IDs C = cylinder, H = head, R = 1..spt), track 0
// head 0 in FM (density 0x40) when the layout says so.  With `onlyTracksOf`
// the tracks `disk` lacks stay absent (containers with a track map).
Disk Stored(const Disk& disk, const Layout& layout, bool onlyTracksOf = false);

// Every track of `layout` formatted, each sector filled with
// Filler(tag, t, r, its size).
Disk Formatted(const Layout& layout, const std::string& tag = "D");

// Anex86 FDI: a 4096-byte header stating the geometry, then the sectors.
// FDI has no FM track: a track0Fm layout is refused (abort).
Bytes BuildFdi(const Disk& disk, const Layout& layout = k2hd26);

// DIP: a 256-byte header with its signature and `comment`, then the sectors
// of a 77x2x8x1024 disk.
Bytes BuildDip(const Disk& disk, const std::string& comment = "TEST\r\n");

// DCP/DCU: the media byte of `layout` (0x01, 0x02, 0x03, 0x04, 0x05, 0x08,
// 0x11, 0x19 or 0x21 as the geometry matches), the track map and the tracks.
// `allTracks` stores every track of the geometry and sets the all-tracks
// flag; otherwise only the tracks `disk` has are stored and mapped.
Bytes BuildDcp(const Disk& disk, const Layout& layout = k2hd26Fm, bool allTracks = true);

// A headerless dump: the sectors alone.
Bytes BuildRaw(const Disk& disk, const Layout& layout = k2hd26Fm);

// NFD r0/r1 and Virtual98 FDD builders are declared below this line.

// These keep what the disk says of each sector: its ID, FM (density 0x40)
// or MFM, deleted mark (and, NFD only, status), in stored order.  Data is
// cut or padded with 0xE5 to 128 << N.  The media byte becomes the NFD
// device type (2HD 0x90, 2DD 0x10, 2D 0x50) or the FDD 2HD flag; the name
// becomes the comment.  Tracks and sectors past what a format holds are
// left out (NFD r0: 163 tracks of 26, r1: 164 of 255, FDD: 160 of 26).

// T98-Next NFD r0: the fixed 163 x 26 table, data at 0x10A10.
Bytes BuildNfdR0(const Disk& disk);

// A diagnostic-read record of an NFD r1 track, with its data.
struct NfdDiag {
  uint8_t command = 0x02;  // READ DIAGNOSTIC
  uint8_t c = 0, h = 0, r = 1, n = 3;
  uint8_t status = 0xE0;
  Bytes data;
  int retries = 0;  // extra copies of `data` stored after it
};

// What an NFD r1 may hold beside the sectors.
struct NfdR1Extras {
  // Extra copies of sector R of a track, stored after its data; each copy
  // is the data with every byte inverted, so a reader that takes one shows.
  std::map<std::pair<int, int>, int> retries;  // (track, R) -> copies
  std::map<int, std::vector<NfdDiag>> diags;   // by track
  uint32_t firstBlock = 0x3C0;  // some writers start at 0x3B0
};

// T98-Next NFD r1: a block per track the disk has, in track order.
Bytes BuildNfdR1(const Disk& disk, const NfdR1Extras& extras = {});

struct FddOptions {
  // Stores a sector whose bytes are all one value (other than 0xFF) as
  // that value alone, as Virtual98 does.
  bool fillUniform = true;
  std::string version = "VFD1.00";
};

// Virtual98 FDD: the 160 x 26 table, data from 0xC3FC in track order.
Bytes BuildFdd(const Disk& disk, const FddOptions& options = {});

}  // namespace testimg

#endif  // TESTS_SUPPORT_CONTAINER_BUILDER_H
