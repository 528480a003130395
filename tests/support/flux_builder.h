// Writes flux tracks (flux::TrackFlux, from the flux encoder or made up by
// a test) in the four dump layouts the programs read: SCP, a KryoFlux set
// of stream files, HFE (v1 and v3) and MFI.  Times are kept: each writer
// converts the track's ticks to its own clock, rounding positions (not
// intervals) so no error adds up over a revolution.
#ifndef TESTS_SUPPORT_FLUX_BUILDER_H
#define TESTS_SUPPORT_FLUX_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "flux/flux.h"
#include "support/d88_builder.h"

namespace testimg {

using FluxTracks = std::vector<flux::TrackFlux>;

struct ScpOptions {
  uint8_t heads = 0;         // the heads byte: 0 both, 1 head 0 only, 2 head 1 only
  bool consecutive = false;  // single-sided, one table entry per cylinder (older writers)
  uint8_t resolution = 0;    // one tick is 25 ns x (resolution + 1)
  // False: the INDEX flag clear, and every track led by a partial
  // revolution (the second half of its last one), as a capture that did
  // not wait for the index.
  bool indexCued = true;
  // The extension footer after the samples (its flag set), as newer
  // capture software writes it.
  bool footer = false;
};

// Every revolution of every track; tracks of the other head than a
// single-sided `heads` says are left out.
Bytes BuildScp(const FluxTracks& tracks, const ScpOptions& options = {});

struct NamedBytes {
  std::string name;
  Bytes bytes;
};

// One stream file: KFInfo, the flux led by the second half of the last
// revolution and followed by the first 200 intervals of the first (partial
// revolutions around the index pulses), each Index block written some way
// after the flux it marks, as the board sends them, then StreamEnd and EOF.
// With `everyBlock`, as a whole capture comes from the board: a second
// KFInfo (the host's date), a StreamInfo block every few hundred bytes and
// each kind of NOP among the flux.
Bytes BuildKryoFluxStream(const flux::TrackFlux& track, bool everyBlock = false);
// A stream file per track, named <prefix>NN.S.raw.
std::vector<NamedBytes> BuildKryoFluxSet(const FluxTracks& tracks,
                                         const std::string& prefix = "track");

struct HfeOptions {
  int version = 1;  // 1 or 3 (v3: a rate and an index opcode lead each
                    // track, and cells that would read as an opcode
                    // are written behind a skip)
  int rateKbps = 500;
  bool track0Fm = false;  // the header's track 0 head 0 encoding: FM
  // Cells hold one fixed rate: a converting tool writes a read of a
  // 360-rpm disk in a 300-rpm drive with each revolution brought to 60 /
  // `rpm` seconds.  0: as the flux gives it.
  int rpm = 0;
  // v3: every opcode besides, as tools that write variable-rate and
  // copy-protected tracks do: a NOP, a stretch of cells at another rate,
  // and weak cells in place of the last byte of the track.
  bool everyOpcode = false;
};

// The first revolution of each track, sampled to cells.
Bytes BuildHfe(const FluxTracks& tracks, const HfeOptions& options = {});

// The first revolution of each track as angular positions, zlib per track;
// `oldCells` writes the older "MESSFLOPPYIMAGE" cells instead.
Bytes BuildMfi(const FluxTracks& tracks, bool oldCells = false);

}  // namespace testimg

#endif  // TESTS_SUPPORT_FLUX_BUILDER_H
