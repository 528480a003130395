// The flux dump writers of the test support: SCP, KryoFlux streams, HFE
// and MFI, from flux::TrackFlux tracks, with the layout constants of the
// readers' own format headers.
#include "support/flux_builder.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "containers/hfe_format.h"
#include "containers/kryoflux_format.h"
#include "containers/mfi_format.h"
#include "containers/scp_format.h"
#include "d88/d88_format.h"

namespace testimg {

namespace scp = containers::scp;
namespace kf = containers::kryoflux;
namespace hfe = containers::hfe;
namespace mfi = containers::mfi;

namespace {

[[noreturn]] void Refuse(const char* what) {
  std::fprintf(stderr, "flux builder: %s\n", what);
  std::abort();
}

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Set32(Bytes& b, size_t at, uint32_t v) { d88::PutU32le(b.data() + at, v); }

uint32_t Begin(const flux::TrackFlux& t, size_t r) { return r == 0 ? 0 : t.revolutionEnds[r - 1]; }

// A revolution's intervals, in nanoseconds.
std::vector<double> RevolutionNs(const flux::TrackFlux& t, size_t r) {
  std::vector<double> ns;
  for (uint32_t i = Begin(t, r); i < t.revolutionEnds[r]; ++i)
    ns.push_back(t.intervals[i] * t.tickNs);
  return ns;
}

// How long revolution r lasted, in nanoseconds.
double DurationNs(const flux::TrackFlux& t, size_t r) {
  if (r < t.revolutionTicks.size() && t.revolutionTicks[r] != 0) {
    return static_cast<double>(t.revolutionTicks[r]) * t.tickNs;
  }
  double sum = 0;
  for (const double ns : RevolutionNs(t, r)) sum += ns;
  return sum;
}

// Intervals in nanoseconds as whole ticks of `tickNs`, each at least one:
// positions are rounded, so the total keeps its length.
std::vector<uint64_t> InTicks(const std::vector<double>& ns, double tickNs) {
  std::vector<uint64_t> ticks;
  double at = 0;
  int64_t last = 0;
  for (const double interval : ns) {
    at += interval;
    const int64_t position = std::max<int64_t>(last + 1, std::llround(at / tickNs));
    ticks.push_back(static_cast<uint64_t>(position - last));
    last = position;
  }
  return ticks;
}

// The second half of the last revolution: the partial revolution a
// capture that starts anywhere begins with.
std::vector<double> LeadIn(const flux::TrackFlux& t) {
  const std::vector<double> last = RevolutionNs(t, t.revolutionEnds.size() - 1);
  return std::vector<double>(last.begin() + static_cast<long>(last.size() / 2), last.end());
}

// SCP samples: zero words for each 65,536 ticks, then the rest.
void PutScpInterval(Bytes& out, uint64_t ticks, uint32_t* words) {
  const uint64_t zeros = (ticks - 1) / scp::kOverflow;
  uint64_t rest = ticks - zeros * scp::kOverflow;
  if (rest > 0xFFFF) rest = 0xFFFF;  // exactly a multiple: a tick short
  for (uint64_t z = 0; z < zeros; ++z) {
    out.push_back(0);
    out.push_back(0);
  }
  out.push_back(static_cast<uint8_t>(rest >> 8));
  out.push_back(static_cast<uint8_t>(rest));
  *words += static_cast<uint32_t>(zeros + 1);
}

}  // namespace

Bytes BuildScp(const FluxTracks& tracks, const ScpOptions& options) {
  const double tickNs = scp::kBaseTickNs * (options.resolution + 1);
  size_t revolutions = 0;
  std::map<int, const flux::TrackFlux*> byEntry;
  for (const flux::TrackFlux& t : tracks) {
    if (options.heads != 0 && t.head != options.heads - 1) continue;
    revolutions = std::max(revolutions, t.revolutionEnds.size());
    byEntry[options.consecutive ? t.cylinder : t.cylinder * 2 + t.head] = &t;
  }
  const size_t stored = revolutions + (options.indexCued ? 0 : 1);
  if (byEntry.empty() || stored > 255 || byEntry.rbegin()->first >= scp::kMaxEntries) {
    Refuse("SCP: no tracks, too many revolutions or tracks");
  }
  Bytes file(scp::kTableOffset + 4 * scp::kMaxEntries, 0);
  std::copy(scp::kMagic, scp::kMagic + scp::kMagicLength, file.begin());
  file[0x03] = 0x19;  // version
  file[0x04] = 0x80;  // disk type: other
  file[scp::kRevolutionsOffset] = static_cast<uint8_t>(stored);
  file[0x06] = static_cast<uint8_t>(byEntry.begin()->first);
  file[0x07] = static_cast<uint8_t>(byEntry.rbegin()->first);
  file[scp::kFlagsOffset] = options.indexCued ? scp::kFlagIndex : 0;
  file[scp::kHeadsOffset] = options.heads;
  file[scp::kResolutionOffset] = options.resolution;
  for (const auto& [entry, track] : byEntry) {
    const size_t header = file.size();
    Set32(file, scp::kTableOffset + 4 * static_cast<size_t>(entry), static_cast<uint32_t>(header));
    file.insert(file.end(), scp::kTrackMagic, scp::kTrackMagic + 3);
    file.push_back(static_cast<uint8_t>(entry));
    file.resize(file.size() + scp::kRevolutionEntrySize * stored, 0);
    std::vector<std::vector<double>> revs;
    if (!options.indexCued) revs.push_back(LeadIn(*track));
    for (size_t r = 0; r < track->revolutionEnds.size(); ++r)
      revs.push_back(RevolutionNs(*track, r));
    for (size_t r = 0; r < revs.size(); ++r) {
      const size_t entryAt = header + scp::kRevolutionTableOffset + scp::kRevolutionEntrySize * r;
      const uint32_t offset = static_cast<uint32_t>(file.size() - header);
      uint32_t words = 0;
      uint64_t ticks = 0;
      for (const uint64_t interval : InTicks(revs[r], tickNs)) {
        PutScpInterval(file, interval, &words);
        ticks += interval;
      }
      const size_t own = r - (options.indexCued ? 0 : 1);
      if (options.indexCued || r > 0) ticks = std::llround(DurationNs(*track, own) / tickNs);
      Set32(file, entryAt + scp::kIndexTimeOffset, static_cast<uint32_t>(ticks));
      Set32(file, entryAt + scp::kSampleCountOffset, words);
      Set32(file, entryAt + scp::kDataOffsetOffset, offset);
    }
  }
  if (options.footer) {
    // Strings (a 16-bit length, the text, a zero) then the footer: six
    // string offsets, two 64-bit times, four version bytes and "FPCS".
    const std::string application = "d88cut test";
    const uint32_t text = static_cast<uint32_t>(file.size());
    Put16(file, static_cast<uint32_t>(application.size()));
    file.insert(file.end(), application.begin(), application.end());
    file.push_back(0);
    for (int field = 0; field < 6; ++field) Put32(file, field == 4 ? text : 0);
    for (int time = 0; time < 4; ++time) Put32(file, time % 2 == 0 ? 1700000000u : 0);
    file.insert(file.end(), {0x10, 0x00, 0x00, 0x16, 'F', 'P', 'C', 'S'});
    file[scp::kFlagsOffset] |= scp::kFlagFooter;
  }
  uint32_t checksum = 0;
  for (size_t i = scp::kTableOffset; i < file.size(); ++i) checksum += file[i];
  Set32(file, scp::kChecksumOffset, checksum);
  return file;
}

Bytes BuildKryoFluxStream(const flux::TrackFlux& track, bool everyBlock) {
  constexpr size_t kStreamInfoEvery = 400;  // stream bytes between StreamInfo blocks
  constexpr size_t kIndexLag = 50;  // intervals between a pulse and its block
  constexpr size_t kLeadOut = 200;  // intervals after the last pulse
  const double tickNs = 1e9 / kf::kSampleClock;
  // The whole capture, with where each revolution starts in it.
  std::vector<double> ns = LeadIn(track);
  std::vector<size_t> pulses{ns.size()};
  std::vector<double> pulseNs;
  for (size_t r = 0; r < track.revolutionEnds.size(); ++r) {
    const std::vector<double> rev = RevolutionNs(track, r);
    ns.insert(ns.end(), rev.begin(), rev.end());
    pulses.push_back(ns.size());
  }
  const std::vector<double> first = RevolutionNs(track, 0);
  ns.insert(ns.end(), first.begin(),
            first.begin() + static_cast<long>(std::min(kLeadOut, first.size())));
  const std::vector<uint64_t> ticks = InTicks(ns, tickNs);

  Bytes file;
  const auto oob = [&](uint8_t type, const Bytes& payload) {
    file.push_back(kf::kOob);
    file.push_back(type);
    Put16(file, static_cast<uint32_t>(payload.size()));
    file.insert(file.end(), payload.begin(), payload.end());
  };
  const std::string info = "name=d88cut test, sck=24027428.5714285, ick=3003428.5714285625";
  Bytes text(info.begin(), info.end());
  text.push_back(0);
  oob(kf::kInfo, text);
  if (everyBlock) {
    const std::string host = "host_date=2026.01.02, host_time=03:04:05";
    Bytes second(host.begin(), host.end());
    second.push_back(0);
    oob(kf::kInfo, second);
  }
  const auto streamInfo = [&](uint32_t at) {
    Bytes payload;
    Put32(payload, at);
    Put32(payload, 0);  // transfer time, in milliseconds
    oob(kf::kStreamInfo, payload);
  };
  streamInfo(0);

  uint32_t position = 0;
  uint32_t lastInfo = 0;
  uint64_t elapsed = 0;
  std::vector<Bytes> waiting;  // Index blocks not yet sent
  std::vector<size_t> sendAfter;
  size_t next = 0;
  for (size_t i = 0; i <= ticks.size(); ++i) {
    if (next < pulses.size() && pulses[next] == i) {
      Bytes index;
      Put32(index, position);
      Put32(index, 0);
      Put32(index, static_cast<uint32_t>(std::llround(elapsed / 8.0)));
      waiting.push_back(index);
      sendAfter.push_back(i + kIndexLag);
      ++next;
    }
    while (!waiting.empty() && (sendAfter.front() <= i || i == ticks.size())) {
      oob(kf::kIndex, waiting.front());
      waiting.erase(waiting.begin());
      sendAfter.erase(sendAfter.begin());
    }
    if (i == ticks.size()) break;
    if (everyBlock && position - lastInfo >= kStreamInfoEvery) {
      // A NOP of each length, then where the stream stands.
      file.insert(file.end(), {kf::kNop1, kf::kNop2, 0, kf::kNop3, 0, 0});
      position += 6;
      streamInfo(position);
      lastInfo = position;
    }
    uint64_t t = ticks[i];
    elapsed += t;
    for (; t > 0xFFFF; t -= kf::kOverflow) {
      file.push_back(kf::kOvl16);
      ++position;
    }
    if (t >= kf::kFlux1First && t <= 0xFF) {
      file.push_back(static_cast<uint8_t>(t));
      position += 1;
    } else if (t <= 0x7FF) {
      file.push_back(static_cast<uint8_t>(t >> 8));
      file.push_back(static_cast<uint8_t>(t));
      position += 2;
    } else {
      file.push_back(kf::kFlux3);
      file.push_back(static_cast<uint8_t>(t >> 8));
      file.push_back(static_cast<uint8_t>(t));
      position += 3;
    }
  }
  Bytes end;
  Put32(end, position);
  Put32(end, 0);
  oob(kf::kStreamEnd, end);
  for (int i = 0; i < 4; ++i) file.push_back(kf::kOob);  // EOF: type and size all 0x0D
  return file;
}

std::vector<NamedBytes> BuildKryoFluxSet(const FluxTracks& tracks, const std::string& prefix) {
  std::vector<NamedBytes> set;
  for (const flux::TrackFlux& t : tracks) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "%02d.%d.raw", t.cylinder, t.head);
    set.push_back({prefix + tail, BuildKryoFluxStream(t)});
  }
  return set;
}

namespace {

uint8_t Reversed(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r << 1 | (b >> i & 1));
  return r;
}

// The first revolution as cells of `cellNs`, a 1 where a transition falls;
// with `rpm`, the revolution brought to 60 / rpm seconds first.
std::vector<bool> Cells(const flux::TrackFlux& t, double cellNs, int rpm) {
  const double scale = rpm > 0 ? 60e9 / rpm / DurationNs(t, 0) : 1.0;
  std::vector<bool> cells(static_cast<size_t>(std::llround(DurationNs(t, 0) * scale / cellNs)),
                          false);
  int64_t at = 0;
  for (const uint64_t interval : InTicks(RevolutionNs(t, 0), cellNs / scale)) {
    at += static_cast<int64_t>(interval);
    if (at - 1 < static_cast<int64_t>(cells.size())) cells[static_cast<size_t>(at - 1)] = true;
  }
  return cells;
}

// Cells as v1 bytes: eight a byte, the earliest in bit 0.
Bytes CellBytesV1(const std::vector<bool>& cells) {
  Bytes bytes((cells.size() + 7) / 8, 0);
  for (size_t i = 0; i < cells.size(); ++i) {
    if (cells[i]) bytes[i / 8] = static_cast<uint8_t>(bytes[i / 8] | 1u << (i % 8));
  }
  return bytes;
}

// The same with v3's opcodes: the index and the rate first, and any eight
// cells that would read as an opcode written as seven behind a skip.
Bytes CellBytesV3(const std::vector<bool>& cells, int rateKbps, bool everyOpcode) {
  constexpr size_t kRateEvery = 4096;  // cells between stretches at another rate
  const auto op = [](uint8_t code) { return Reversed(code); };
  const uint8_t ticks = static_cast<uint8_t>(std::lround(hfe::kOpcodeClock / 2e3 / rateKbps));
  Bytes bytes{op(hfe::kSetIndex), op(hfe::kSetRate), Reversed(ticks)};
  if (everyOpcode) bytes.push_back(op(hfe::kNop));
  for (size_t i = 0; i < cells.size();) {
    if (everyOpcode && i + 8 >= cells.size()) {  // weak cells end the track
      bytes.push_back(op(hfe::kRandom));
      break;
    }
    uint8_t msbFirst = 0;
    for (size_t j = 0; j < 8; ++j)
      msbFirst = static_cast<uint8_t>(msbFirst << 1 | (i + j < cells.size() && cells[i + j]));
    if ((msbFirst & hfe::kOpcodeMask) != hfe::kOpcodeMask) {
      if (everyOpcode && i % kRateEvery < 8 && i > 0) {
        // These eight cells a tick longer each, then the rate again.
        bytes.insert(bytes.end(), {op(hfe::kSetRate), Reversed(static_cast<uint8_t>(ticks + 1)),
                                   Reversed(msbFirst), op(hfe::kSetRate), Reversed(ticks)});
      } else {
        bytes.push_back(Reversed(msbFirst));
      }
      i += 8;
      continue;
    }
    bytes.push_back(op(hfe::kSkipBits));
    bytes.push_back(Reversed(1));
    bytes.push_back(Reversed(static_cast<uint8_t>(msbFirst >> 1)));
    i += 7;
  }
  return bytes;
}

}  // namespace

Bytes BuildHfe(const FluxTracks& tracks, const HfeOptions& options) {
  const double cellNs = 500000.0 / options.rateKbps;
  int cylinders = 0, heads = 1;
  std::map<std::pair<int, int>, Bytes> sides;
  for (const flux::TrackFlux& t : tracks) {
    const std::vector<bool> cells = Cells(t, cellNs, options.rpm);
    sides[{t.cylinder, t.head}] =
        options.version == 3 ? CellBytesV3(cells, options.rateKbps, options.everyOpcode)
                             : CellBytesV1(cells);
    cylinders = std::max(cylinders, t.cylinder + 1);
    if (t.head == 1) heads = 2;
  }
  if (cylinders == 0 || cylinders > 255) Refuse("HFE: no tracks or too many cylinders");
  Bytes file(2 * hfe::kBlockSize, hfe::kUnused);
  const char* magic = options.version == 3 ? hfe::kMagicV3 : hfe::kMagicV1;
  std::copy(magic, magic + hfe::kMagicLength, file.begin());
  file[hfe::kRevisionOffset] = 0;
  file[hfe::kCylindersOffset] = static_cast<uint8_t>(cylinders);
  file[hfe::kHeadsOffset] = static_cast<uint8_t>(heads);
  file[hfe::kEncodingOffset] = hfe::kEncodingMfm;
  d88::PutU16le(file.data() + hfe::kRateOffset, static_cast<uint32_t>(options.rateKbps));
  d88::PutU16le(file.data() + hfe::kRpmOffset, 0);
  file[hfe::kInterfaceOffset] = 0x07;  // generic Shugart
  d88::PutU16le(file.data() + hfe::kTrackListOffset, 1);
  file[hfe::kWriteAllowedOffset] = 0xFF;
  file[hfe::kSingleStepOffset] = 0xFF;
  file[hfe::kTrack0Head0AltOffset] = options.track0Fm ? hfe::kAltEncodingUsed : hfe::kUnused;
  file[hfe::kTrack0Head0EncodingOffset] = options.track0Fm ? hfe::kEncodingFm : hfe::kUnused;
  for (int c = 0; c < cylinders; ++c) {
    size_t perHead = 0;
    for (int h = 0; h < heads; ++h) perHead = std::max(perHead, sides[{c, h}].size());
    // v3 pads the shorter head with opcodes that hold no cells.
    for (int h = 0; h < heads && options.version == 3; ++h) {
      sides[{c, h}].resize(perHead, Reversed(hfe::kNop));
    }
    const size_t blocks = (perHead + hfe::kHeadBytes - 1) / hfe::kHeadBytes;
    if (2 * perHead > 0xFFFF) Refuse("HFE: a track too long for its length field");
    const size_t start = file.size();
    d88::PutU16le(file.data() + hfe::kBlockSize + hfe::kTrackEntrySize * c + hfe::kTrackBlockOffset,
                  static_cast<uint32_t>(start / hfe::kBlockSize));
    d88::PutU16le(
        file.data() + hfe::kBlockSize + hfe::kTrackEntrySize * c + hfe::kTrackLengthOffset,
        static_cast<uint32_t>(2 * perHead));
    file.resize(start + blocks * hfe::kBlockSize, 0);
    for (int h = 0; h < heads; ++h) {
      const Bytes& side = sides[{c, h}];
      for (size_t i = 0; i < side.size(); ++i) {
        file[start + i / hfe::kHeadBytes * hfe::kBlockSize + h * hfe::kHeadBytes +
             i % hfe::kHeadBytes] = side[i];
      }
    }
  }
  return file;
}

Bytes BuildMfi(const FluxTracks& tracks, bool oldCells) {
  int cylinders = 0, heads = 1;
  std::map<std::pair<int, int>, Bytes> words;
  for (const flux::TrackFlux& t : tracks) {
    const double unitNs = DurationNs(t, 0) / mfi::kTurn;
    Bytes w;
    uint64_t last = 0;
    uint32_t orientation = mfi::kOrientationA;
    for (const uint64_t interval : InTicks(RevolutionNs(t, 0), unitNs)) {
      if (last + interval >= mfi::kTurn) break;
      if (oldCells) {
        Put32(w, orientation << mfi::kTypeShift | static_cast<uint32_t>(interval));
        orientation ^= 1;
      } else {
        Put32(w, mfi::kFlux << mfi::kTypeShift | static_cast<uint32_t>(interval));
      }
      last += interval;
    }
    if (oldCells)
      Put32(w, orientation << mfi::kTypeShift | static_cast<uint32_t>(mfi::kTurn - last));
    words[{t.cylinder, t.head}] = w;
    cylinders = std::max(cylinders, t.cylinder + 1);
    if (t.head == 1) heads = 2;
  }
  // Made from the magic, not inserted into an empty vector: GCC 12's
  // optimised build takes that insert for an overflow.
  const char* magic = oldCells ? mfi::kMagicOld : mfi::kMagicNew;
  Bytes file(magic, magic + mfi::kMagicLength);
  Put32(file, static_cast<uint32_t>(cylinders));
  Put32(file, static_cast<uint32_t>(heads));
  Put32(file, 0x20353235);  // "525 "
  Put32(file, 0x44485344);  // "DSHD"
  const size_t table = file.size();
  file.resize(table + mfi::kEntrySize * static_cast<size_t>(cylinders * heads), 0);
  for (int c = 0; c < cylinders; ++c) {
    for (int h = 0; h < heads; ++h) {
      const auto found = words.find({c, h});
      if (found == words.end()) continue;
      const Bytes& w = found->second;
      uLongf packed = compressBound(static_cast<uLong>(w.size()));
      Bytes z(packed);
      if (compress(z.data(), &packed, w.data(), static_cast<uLong>(w.size())) != Z_OK) {
        Refuse("MFI: zlib failed");
      }
      const size_t entry = table + mfi::kEntrySize * static_cast<size_t>(c * heads + h);
      Set32(file, entry + mfi::kEntryOffset, static_cast<uint32_t>(file.size()));
      Set32(file, entry + mfi::kEntryCompressed, static_cast<uint32_t>(packed));
      Set32(file, entry + mfi::kEntryInflated, static_cast<uint32_t>(w.size()));
      file.insert(file.end(), z.begin(), z.begin() + static_cast<long>(packed));
    }
  }
  return file;
}

}  // namespace testimg
