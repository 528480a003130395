// KryoFlux stream files: one track each, read in two passes, the first for
// the out-of-band blocks (index pulses, clocks, the end), the second for
// the intervals, split into revolutions at the index pulses.  The flux
// before the first index and after the last is a partial revolution and
// is dropped.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "containers/container.h"
#include "containers/flux_dump.h"
#include "containers/kryoflux_format.h"
#include "d88/d88_format.h"

namespace containers {

namespace {

using d88::GetU16be;
using d88::GetU16le;
using d88::GetU32le;

struct IndexPulse {
  uint32_t position;      // stream position of the flux block it fell in
  uint32_t indexCounter;  // ick ticks, free-running
};

// What the out-of-band blocks of one file say.
struct OutOfBand {
  std::vector<IndexPulse> pulses;
  double sck = kryoflux::kSampleClock;
  double ick = kryoflux::kIndexClock;
};

// A number such as "24027428.5714285", up to the first byte that is not
// part of it; false when there is none.  (strtod would follow the locale.)
bool ParseClock(const char* text, const char* end, double* value) {
  double whole = 0, scale = 0;
  bool digits = false;
  for (const char* p = text; p < end; ++p) {
    if (*p >= '0' && *p <= '9') {
      digits = true;
      if (scale == 0) {
        whole = whole * 10 + (*p - '0');
      } else {
        whole += (*p - '0') * scale;
        scale /= 10;
      }
    } else if (*p == '.' && scale == 0) {
      scale = 0.1;
    } else {
      break;
    }
  }
  *value = whole;
  return digits;
}

// The "sck=" and "ick=" values of a KFInfo text, where it names them and
// they are believable.
void ReadInfo(const uint8_t* payload, size_t size, OutOfBand* oob, const std::string& name,
              ProblemLog* problems) {
  const char* text = reinterpret_cast<const char*>(payload);
  const char* end = text;
  while (end < text + size && *end != '\0') ++end;  // its own NUL, or the block's end
  for (const char* p = text; p < end; ++p) {
    if (p != text && p[-1] != ',' && p[-1] != ' ') continue;
    double* clock = nullptr;
    double lowest = kryoflux::kLowestSampleClock;
    if (end - p > 4 && std::memcmp(p, "sck=", 4) == 0) clock = &oob->sck;
    if (end - p > 4 && std::memcmp(p, "ick=", 4) == 0) {
      clock = &oob->ick;
      lowest = kryoflux::kLowestIndexClock;
    }
    double value = 0;
    if (clock == nullptr || !ParseClock(p + 4, end, &value)) continue;
    if (value >= lowest && value <= kryoflux::kHighestClock) {
      *clock = value;
    } else {
      // Shown no larger than a long long holds: the text may name any number.
      const double shown = std::min(value, 1e18);
      problems->Add("KryoFlux " + name + " names a clock of " + std::string(p, 3) + "=" +
                    std::to_string(static_cast<long long>(shown)) + " Hz; the usual one taken");
    }
  }
}

// Walks the blocks of a stream: `flux(interval, position)` for every
// interval, with the stream position of the block that ends it, and
// `oob(type, payload, size, position)` for every out-of-band block but the
// end.  Returns false (with the problem) where the file is cut short or
// never reaches its end block.
template <typename Flux, typename Oob>
bool Walk(const uint8_t* file, size_t size, const std::string& name, ProblemLog* problems,
          Flux flux, Oob oob) {
  size_t at = 0;
  uint32_t position = 0;
  uint64_t overflow = 0;
  const auto emit = [&](uint32_t value) {
    const uint64_t interval = overflow + value;
    flux(static_cast<uint32_t>(interval > UINT32_MAX ? UINT32_MAX : interval), position);
    overflow = 0;
  };
  while (at < size) {
    const uint8_t b = file[at];
    if (b >= kryoflux::kFlux1First) {  // nearly every block: one byte, one interval
      emit(b);
      ++position;
      ++at;
      continue;
    }
    size_t length = 1;
    if (b <= kryoflux::kFlux2Last) {
      length = 2;
    } else if (b == kryoflux::kNop2) {
      length = 2;
    } else if (b == kryoflux::kNop3 || b == kryoflux::kFlux3) {
      length = 3;
    } else if (b == kryoflux::kOob) {
      length = kryoflux::kOobHeaderSize;
      if (size - at >= length) {
        if (file[at + kryoflux::kOobTypeOffset] == kryoflux::kEof) return true;
        length += GetU16le(file + at + kryoflux::kOobSizeOffset);
      }
    }
    if (size - at < length) {
      problems->Add("KryoFlux " + name + " ends inside a block at byte " + std::to_string(at) +
                    "; read up to it");
      return false;
    }
    if (b <= kryoflux::kFlux2Last) {
      emit(static_cast<uint32_t>(b) << 8 | file[at + 1]);
    } else if (b == kryoflux::kOvl16) {
      overflow += kryoflux::kOverflow;
    } else if (b == kryoflux::kFlux3) {
      emit(GetU16be(file + at + 1));
    } else if (b == kryoflux::kOob) {
      oob(file[at + kryoflux::kOobTypeOffset], file + at + kryoflux::kOobHeaderSize,
          length - kryoflux::kOobHeaderSize, position);
    }
    if (b != kryoflux::kOob) position += static_cast<uint32_t>(length);
    at += length;
  }
  problems->Add("KryoFlux " + name + " ends without its end block; read up to it");
  return false;
}

// The first pass: index pulses, clocks and the drive's own report.
OutOfBand ReadOutOfBand(const uint8_t* file, size_t size, const std::string& name,
                        ProblemLog* problems) {
  OutOfBand oob;
  bool tooMany = false;
  const auto place = [&](const std::string& what) {
    problems->Add("KryoFlux " + name + " has " + what);
  };
  Walk(
      file, size, name, problems, [](uint32_t, uint32_t) {},
      [&](uint8_t type, const uint8_t* payload, size_t length, uint32_t position) {
        switch (type) {
          case kryoflux::kStreamInfo:
            if (length != kryoflux::kStreamInfoSize) {
              place("a stream-info block of a wrong size; skipped");
            } else if (GetU32le(payload + kryoflux::kPositionOffset) != position) {
              place("a stream-info block out of step with the stream");
            }
            break;
          case kryoflux::kIndex:
            if (length != kryoflux::kIndexSize) {
              place("an index block of a wrong size; skipped");
            } else if (oob.pulses.size() > flux::kMaxRevolutions) {
              tooMany = true;
            } else {
              oob.pulses.push_back({GetU32le(payload + kryoflux::kPositionOffset),
                                    GetU32le(payload + kryoflux::kIndexCounterOffset)});
            }
            break;
          case kryoflux::kStreamEnd:
            if (length != kryoflux::kStreamEndSize) {
              place("a stream-end block of a wrong size; skipped");
            } else if (GetU32le(payload + kryoflux::kResultOffset) != 0) {
              place("a stream end reporting error " +
                    std::to_string(GetU32le(payload + kryoflux::kResultOffset)));
            }
            break;
          case kryoflux::kInfo:
            ReadInfo(payload, length, &oob, name, problems);
            break;
          default:
            place("an out-of-band block of unknown type " + std::to_string(type) + "; skipped");
        }
      });
  if (tooMany) {
    problems->Add("KryoFlux " + name + " has more than " + std::to_string(flux::kMaxRevolutions) +
                  " revolutions; the first read");
  }
  return oob;
}

// The name without its folders, for messages.
std::string BaseName(const std::string& name) {
  const size_t slash = name.find_last_of("/\\");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}


// Reads one stream file of the set into `visit`.
void ReadMember(const uint8_t* bytes, size_t size, int cylinder, int head, const std::string& name,
                flux::TrackFlux* track, const FluxVisitor& visit, ProblemLog* problems) {
  const std::string base = BaseName(name);
  if (!DetectKryoFlux(bytes, size, base)) {
    problems->Add("KryoFlux " + base + " is no stream file; not read");
  } else if (ReadKryoFluxStream(bytes, size, cylinder, head, base, track, problems)) {
    visit(*track);
  }
}

// Two digits: cylinders 00 to 99 are all a name can give.
constexpr int kNamedCylinders = 100;

}  // namespace

bool StreamFileTrack(const std::string& name, size_t* prefixLength, int* cylinder, int* head) {
  const size_t n = name.size();
  if (n < static_cast<size_t>(kryoflux::kNameTailLength)) return false;
  const char* tail = name.c_str() + n - kryoflux::kNameTailLength;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (!digit(tail[0]) || !digit(tail[1]) || tail[2] != '.' || (tail[3] != '0' && tail[3] != '1')) {
    return false;
  }
  for (int i = 0; i < kryoflux::kSuffixLength; ++i) {
    if (d88::AsciiLower(tail[4 + i]) != kryoflux::kSuffix[i]) return false;
  }
  *prefixLength = n - kryoflux::kNameTailLength;
  *cylinder = (tail[0] - '0') * 10 + (tail[1] - '0');
  *head = tail[3] - '0';
  return true;
}

bool DetectKryoFlux(const uint8_t* file, size_t size, const std::string& name) {
  // The first block is an out-of-band one of a known type whose payload
  // fits (KFInfo in every writer's files).
  if (size < static_cast<size_t>(kryoflux::kOobHeaderSize) || file[0] != kryoflux::kOob) {
    return false;
  }
  const uint8_t type = file[kryoflux::kOobTypeOffset];
  if (type < kryoflux::kStreamInfo || type > kryoflux::kInfo ||
      kryoflux::kOobHeaderSize + GetU16le(file + kryoflux::kOobSizeOffset) > size) {
    return false;
  }
  size_t prefix;
  int cylinder, head;
  static const uint8_t kEnd[4] = {kryoflux::kOob, kryoflux::kEof, kryoflux::kEof, kryoflux::kEof};
  return StreamFileTrack(name, &prefix, &cylinder, &head) ||
         (size >= 8 && std::memcmp(file + size - 4, kEnd, 4) == 0);
}

bool ReadKryoFluxStream(const uint8_t* file, size_t size, int cylinder, int head,
                        const std::string& name, flux::TrackFlux* track, ProblemLog* problems) {
  const OutOfBand oob = ReadOutOfBand(file, size, name, problems);
  BeginTrack(track, cylinder, head, 1e9 / oob.sck);
  // Each pulse fell inside the interval whose block starts at (or first
  // after) its stream position: the revolution ends before that interval.
  // `crop` keeps only the intervals between the first pulse and the last.
  std::vector<uint32_t> bounds;
  const size_t pulses = oob.pulses.size();
  const auto collect = [&](bool crop) {
    bounds.clear();
    track->intervals.clear();
    size_t next = 0;
    ProblemLog again;  // the first pass said it all
    Walk(
        file, size, name, &again,
        [&](uint32_t interval, uint32_t position) {
          for (; next < pulses && oob.pulses[next].position <= position; ++next) {
            bounds.push_back(static_cast<uint32_t>(track->intervals.size()));
          }
          if (!crop || (next > 0 && next < pulses)) track->intervals.push_back(interval);
        },
        [](uint8_t, const uint8_t*, size_t, uint32_t) {});
    for (; next < pulses; ++next) bounds.push_back(static_cast<uint32_t>(track->intervals.size()));
    // Two pulses on one boundary make no revolution between them.
    std::vector<uint32_t> distinct(bounds.begin(), bounds.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    return distinct.size();
  };
  track->intervals.reserve(size);  // a byte an interval at the most
  if (pulses < 2 || collect(true) < 2) {
    collect(false);
    problems->Add("KryoFlux " + name +
                  " has no whole revolution between index pulses; read as "
                  "one partial revolution");
    if (track->intervals.empty()) return false;
    track->indexCued = false;
    EndRevolution(track, 0);
    return true;
  }
  const double ticksPerCount = oob.sck / oob.ick;
  for (size_t i = 1; i < pulses; ++i) {
    if (bounds[i] == bounds[i - 1]) continue;
    const size_t from = i - 1;  // the last pulse on the previous boundary
    uint64_t sum = 0;
    for (uint32_t k = bounds[from]; k < bounds[i]; ++k) sum += track->intervals[k];
    // The index counter times the revolution exactly, where it agrees
    // with the intervals.
    const uint32_t counts = oob.pulses[i].indexCounter - oob.pulses[from].indexCounter;
    track->revolutionEnds.push_back(bounds[i]);
    track->revolutionTicks.push_back(Believed(counts * ticksPerCount, sum));
  }
  return true;
}

bool ConvertKryoFluxFile(const char* path, const uint8_t* file, size_t size, D88Writer& out,
                         Conversion* info) {
  const std::string name = path;
  size_t prefix;
  int given, givenHead;
  flux::TrackFlux track;
  if (!StreamFileTrack(name, &prefix, &given, &givenHead)) {
    return WriteFluxDisk(
        Kind::kKryoFlux,
        [&](const FluxVisitor& visit, ProblemLog* problems) {
          problems->Add("KryoFlux " + BaseName(name) +
                        " is not named NN.S.raw; read alone as cylinder 0 head 0");
          ReadMember(file, size, 0, 0, name, &track, visit, problems);
          return true;
        },
        out, info);
  }
  // The siblings by name, one at a time: the set is never held whole.
  OwnedBytes sibling;
  // No stream file is larger than the largest dump.
  const LargestOf largest = [](const uint8_t*, size_t) { return kLargestFluxDump; };
  return WriteFluxDisk(
      Kind::kKryoFlux,
      [&](const FluxVisitor& visit, ProblemLog* problems) {
        for (int c = 0; c < kNamedCylinders; ++c) {
          for (int h = 0; h < 2; ++h) {
            if (c == given && h == givenHead) {
              ReadMember(file, size, c, h, name, &track, visit, problems);
              continue;
            }
            std::string other = name;
            other[prefix] = static_cast<char>('0' + c / 10);
            other[prefix + 1] = static_cast<char>('0' + c % 10);
            other[prefix + 3] = static_cast<char>('0' + h);
            if (LoadWhole(other.c_str(), largest, &sibling)) {
              ReadMember(sibling.bytes.get(), sibling.size, c, h, other, &track, visit, problems);
            }
          }
        }
        return true;
      },
      out, info);
}

bool ConvertKryoFluxSet(const StreamFile* files, size_t count, D88Writer& out, Conversion* info) {
  // The dump is the prefix most files share; a set may hold other files.
  struct Member {
    int cylinder, head;
    const StreamFile* file;
  };
  std::map<std::string, std::vector<Member>> byPrefix;
  for (size_t i = 0; i < count; ++i) {
    size_t prefix;
    int cylinder, head;
    if (StreamFileTrack(files[i].name, &prefix, &cylinder, &head)) {
      byPrefix[files[i].name.substr(0, prefix)].push_back({cylinder, head, &files[i]});
    }
  }
  if (byPrefix.empty()) return false;
  auto chosen = byPrefix.begin();
  size_t others = 0;
  for (auto it = byPrefix.begin(); it != byPrefix.end(); ++it) {
    if (it->second.size() > chosen->second.size()) chosen = it;
    others += it->second.size();
  }
  std::vector<Member>& members = chosen->second;
  others -= members.size();
  std::stable_sort(members.begin(), members.end(), [](const Member& a, const Member& b) {
    return std::make_pair(a.cylinder, a.head) < std::make_pair(b.cylinder, b.head);
  });
  flux::TrackFlux track;
  return WriteFluxDisk(
      Kind::kKryoFlux,
      [&](const FluxVisitor& visit, ProblemLog* problems) {
        if (others > 0) {
          problems->Add("the set holds " + std::to_string(others) +
                        (others == 1 ? " stream file" : " stream files") +
                        " of another dump beside " + BaseName(chosen->first) +
                        "NN.S.raw; not read");
        }
        for (size_t i = 0; i < members.size(); ++i) {
          const Member& m = members[i];
          if (i > 0 && m.cylinder == members[i - 1].cylinder && m.head == members[i - 1].head) {
            problems->Add("the set holds " + BaseName(m.file->name) + " twice; the first read");
            continue;
          }
          ReadMember(m.file->bytes, m.file->size, m.cylinder, m.head, m.file->name, &track, visit,
                     problems);
        }
        return true;
      },
      out, info);
}

}  // namespace containers
