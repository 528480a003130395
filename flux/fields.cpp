#include "flux/fields.h"

#include <algorithm>
#include <initializer_list>

#include "flux/crc.h"
#include "flux/marks.h"

namespace flux {

namespace {

constexpr uint32_t kDataWindowBytes = 60;  // from an ID's end to its data mark
constexpr uint32_t kIdFieldBytes = 7;      // mark, C H R N, CRC
constexpr uint32_t kCrcBytes = 2;
constexpr int kLargestSizeCode = 8;     // 32 KiB: more never fits a track
constexpr uint32_t kGapBytesAfter = 2;  // gap bytes that confirm a field's end
constexpr uint32_t kBreakReach = 2;
// A field with more doubtful transitions than one in this many bytes is
// noise (at normal jitter of 6% of the mean interval a 256-byte field has
// about 40, at 7% about 90).
constexpr size_t kBytesPerDoubt = 4;     // cells from a broken clock to the transition that moved

int Log2(uint64_t power) {
  int n = 0;
  while (power >>= 1) ++n;
  return n;
}

uint16_t CrcPreset(Encoding encoding) {
  return encoding == Encoding::kFm ? kCrcPreset : kMfmCrcPreset;
}
uint8_t GapByte(Encoding encoding) { return encoding == Encoding::kFm ? kFmGapByte : kMfmGapByte; }
// The sync cells in front of a mark: three A1 in MFM, one 00 in FM.
uint32_t SyncCells(Encoding encoding) { return encoding == Encoding::kFm ? 32 : 48; }

// Every clock cell in the 64 cells of `w` as the data around it demands:
// MFM, a clock is 1 exactly between two zero data bits (`previous`: the data
// bit before the first cell); doubled FM, clocks are 1 and every other cell
// 0.  `care` masks the cells that count.
constexpr uint64_t kClockCells = 0xAAAAAAAAAAAAAAAAu;  // MFM: cells 0, 2, 4... from the top
constexpr uint64_t kFmFixedCells = 0xDDDDDDDDDDDDDDDDu;
constexpr uint64_t kFmFixedValues = 0x8888888888888888u;
// Returns the cells that break it.
uint64_t OutOfStep(uint64_t w, Encoding encoding, bool previous, uint64_t care) {
  if (encoding == Encoding::kFm) return (w ^ kFmFixedValues) & kFmFixedCells & care;
  const uint64_t data = w & ~kClockCells;
  const uint64_t around = data << 1 | data >> 1 | uint64_t{previous} << 63;
  return (w ^ ~around) & kClockCells & care;
}

class Reader {
 public:
  Reader(const Bitstream& bits, std::vector<Sighting>& out, std::vector<uint8_t>& pool)
      : bits_(bits), out_(out), pool_(pool) {}

  void Run() {
    const std::vector<MarkAt>& marks = bits_.marks;
    for (size_t k = 0; k < marks.size(); ++k) {
      const MarkAt mark = marks[k];
      if (mark.cell < soundUntil_) continue;
      const uint32_t perByte = static_cast<uint32_t>(CellsPerByte(mark.encoding));
      if (bits_.end - mark.cell < perByte) continue;
      const uint64_t cells = bits_.Window(mark.cell);
      if (mark.encoding == Encoding::kFm && FmClock(cells) != kFmMarkClock) continue;
      const uint8_t byte = mark.encoding == Encoding::kFm ? FmByte(cells) : MfmByte(cells);
      switch (KindOfMark(byte)) {
        case MarkKind::kId:
          ReadId(mark, perByte);
          break;
        case MarkKind::kData:
        case MarkKind::kDeleted:
          // (FM IDs with a bad CRC are never pending.)
          if (mark.encoding == Encoding::kMfm &&
              !(pending_ && mark.cell >= pendingEnd_ &&
                mark.cell - pendingEnd_ <= kDataWindowBytes * perByte)) {
            ReadWornId(mark);
          }
          if (pending_ && pendingSighting_.encoding == mark.encoding && mark.cell >= pendingEnd_ &&
              mark.cell - pendingEnd_ <= kDataWindowBytes * perByte) {
            ReadData(mark, k + 1, byte, perByte);
            Flush();
          }
          break;
        case MarkKind::kNone:
          break;
      }
    }
    Flush();
  }

 private:
  // Reads `count` bytes from cell `at` on (all within the stream) into `to`;
  // returns false where their cells break the encoding's clock (MFM:
  // `previous` is the data bit before them).  The clock is checked on the
  // words read for the bytes, so a sound field costs no second pass.
  bool ReadBytes(uint32_t at, Encoding encoding, size_t count, uint8_t* to,
                 bool previous = true) const {
    uint64_t broken = 0;
    if (encoding == Encoding::kMfm) {
      size_t i = 0;
      for (; i + 4 <= count; i += 4, at += 64) {
        const uint64_t w = bits_.Window(at);
        to[i] = MfmByte(w), to[i + 1] = MfmByte(w << 16), to[i + 2] = MfmByte(w << 32),
        to[i + 3] = MfmByte(w << 48);
        broken |= OutOfStep(w, encoding, previous, ~uint64_t{0});
        previous = w & 1;
      }
      for (; i < count; ++i, at += 16) {
        const uint64_t w = bits_.Window(at);
        to[i] = MfmByte(w);
        broken |= OutOfStep(w, encoding, previous, ~uint64_t{0} << 48);
        previous = w >> 48 & 1;
      }
    } else {
      for (size_t i = 0; i < count; ++i, at += 32) {
        const uint64_t w = bits_.Window(at);
        to[i] = FmByte(w);
        broken |= OutOfStep(w, encoding, previous, ~uint64_t{0} << 32);
      }
    }
    return broken == 0;
  }

  // True when the cells of `count` bytes from the mark at `at` on (all
  // within the stream) keep the encoding's clock: a read that slipped a
  // cell, or moved a transition across a clock, breaks it almost always,
  // so a CRC that agrees by chance with such a read is not believed.
  // An FM mark's own clock is another (C7), so there the bytes after it.
  bool InStep(uint32_t at, Encoding encoding, size_t count) const {
    const uint32_t perByte = static_cast<uint32_t>(CellsPerByte(encoding));
    if (encoding == Encoding::kFm) at += perByte, count -= std::min<size_t>(count, 1);
    uint64_t left = static_cast<uint64_t>(count) * perByte;
    bool previous = true;  // the last data bit of the syncs (A1) before the mark
    for (; left > 0; at += 64) {
      const uint64_t w = bits_.Window(at);
      const uint64_t care = left >= 64 ? ~uint64_t{0} : ~(~uint64_t{0} >> left);
      if (OutOfStep(w, encoding, previous, care) != 0) return false;
      previous = w & 1;
      left -= std::min<uint64_t>(left, 64);
    }
    return true;
  }

  // True when the transition `at` cells into an MFM field from `start` on,
  // moved one cell later or earlier, leaves the clocks around it as the
  // encoding demands.
  bool MoveKeepsClock(uint32_t start, uint32_t at, bool later) const {
    // From a clock cell four or five cells before it (the field's mark
    // byte is in the stream before `start`).
    const uint32_t from = start + at - at % 2 - 4;
    const uint32_t cell = at % 2 + 4, to = later ? cell + 1 : cell - 1;
    const uint64_t target = uint64_t{1} << (63 - to);
    uint64_t w = bits_.Window(from);
    if ((w & target) != 0) return false;
    w = (w & ~(uint64_t{1} << (63 - cell))) | target;
    constexpr uint64_t kAround = ~(~uint64_t{0} >> 12);  // the clocks within reach
    return OutOfStep(w, Encoding::kMfm, bits_.Cell(from - 1), kAround) == 0;
  }

  // Where the `count` bytes of an MFM data field from `start` on (after a
  // mark whose last data bit is `previous`) most likely went wrong: see
  // Sighting.
  void LocateErrors(uint32_t start, size_t count, bool previous, Sighting& s) const {
    const uint32_t cells = static_cast<uint32_t>(count * 16);
    // The doubtful transitions in the field, each as the data bit it moves
    // and its error.
    const auto first = std::lower_bound(
        bits_.doubts.begin(), bits_.doubts.end(), start,
        [](const Doubt& d, uint32_t cell) { return d.cell < cell; });
    std::vector<std::pair<uint32_t, float>> moved;  // (cell in the field, |error|)
    std::vector<uint32_t> movedBit;
    std::vector<bool> movedLater;
    for (auto d = first; d != bits_.doubts.end() && d->cell - start < cells; ++d) {
      const uint32_t at = d->cell - start;
      // Of its cell and the one it may belong in, the data cell (odd).
      const int64_t other = d->error > 0 ? int64_t{at} + 1 : int64_t{at} - 1;
      const int64_t data = at % 2 == 1 ? at : other;
      if (data < 1 || data >= cells) continue;
      moved.emplace_back(at, d->error > 0 ? d->error : -d->error);
      movedBit.push_back(static_cast<uint32_t>((data - 1) / 2));
      movedLater.push_back(d->error > 0);
    }
    s.doubts = static_cast<uint32_t>(moved.size());
    // Noise, not a few moved transitions: nothing is located in it.
    if (moved.size() * kBytesPerDoubt > count) s.unexplained = s.noisy = true;
    std::vector<bool> used(moved.size(), false);
    uint64_t left = cells;
    for (uint32_t at = start; left > 0; at += 64) {
      const uint64_t w = bits_.Window(at);
      const uint64_t care = left >= 64 ? ~uint64_t{0} : ~(~uint64_t{0} >> left);
      for (uint64_t broken = OutOfStep(w, Encoding::kMfm, previous, care); broken != 0;
           broken &= broken - 1) {
        // Past kMostBreaks the field is noise, and no more are located:
        // each look scans the field's doubtful transitions.
        if (++s.breaks > Sighting::kMostBreaks) s.unexplained = s.noisy = true;
        if (s.noisy) continue;
        const uint32_t clock = at - start + static_cast<uint32_t>(63 - Log2(broken & (~broken + 1)));
        // The transition within two cells of it placed with the largest
        // error: one that left a data cell for the next clock breaks the
        // clock before that data cell too.
        size_t best = moved.size();
        for (size_t i = 0; i < moved.size(); ++i) {
          if (moved[i].first + kBreakReach >= clock && moved[i].first <= clock + kBreakReach &&
              (best == moved.size() || moved[i].second > moved[best].second))
            best = i;
        }
        if (best == moved.size() || s.locatedCount == Sighting::kMostLocated) {
          s.unexplained = true;
          continue;
        }
        if (!used[best]) s.located[s.locatedCount++] = movedBit[best];
        used[best] = true;
      }
      previous = w & 1;
      left -= std::min<uint64_t>(left, 64);
    }
    // The rest, most doubtful first, where moving them keeps the clock:
    // a read with no break left cannot have one put in.
    std::vector<size_t> order;
    for (size_t i = 0; i < moved.size(); ++i) {
      if (!used[i] && MoveKeepsClock(start, moved[i].first, movedLater[i])) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&moved](size_t a, size_t b) { return moved[a].second > moved[b].second; });
    for (size_t i = 0; i < order.size() && s.looseCount < Sighting::kMostLoose; ++i) {
      s.loose[s.looseCount++] = {movedBit[order[i]],
                                 static_cast<uint32_t>(moved[order[i]].second * 1000)};
    }
  }

  void ReadId(const MarkAt& mark, uint32_t perByte) {
    // IDs past the revolutions are the first revolution's once more.
    if (mark.cell >= bits_.cells || bits_.end - mark.cell < kIdFieldBytes * perByte) return;
    uint8_t field[kIdFieldBytes];
    ReadBytes(mark.cell, mark.encoding, kIdFieldBytes, field);
    const bool good = Crc(CrcPreset(mark.encoding), field, kIdFieldBytes) == 0 &&
                      InStep(mark.cell, mark.encoding, kIdFieldBytes);
    if (mark.encoding == Encoding::kFm && !good) return;  // most likely no ID at all
    Flush();
    Sighting& s = pendingSighting_;
    s = Sighting();
    s.offset = bits_.Offset(mark.cell);
    s.revolution = static_cast<uint8_t>(bits_.Revolution(mark.cell));
    s.encoding = mark.encoding;
    std::copy(field + 1, field + 5, s.id);
    s.idGood = good;
    pending_ = true;
    pendingEnd_ = mark.cell + kIdFieldBytes * perByte;
  }

  // An MFM sync that is the third of three: the first two are taken for a
  // mark's (marks.h), and its syncs begin at the true mark's.
  bool IsThirdSync(const MarkAt& mark) const {
    return mark.encoding == Encoding::kMfm && bits_.end - mark.cell >= 16 &&
           (bits_.Window(mark.cell) >> 48) == kMfmSyncA1;
  }

  // The data field whose mark is `mark`, for the pending ID; marks[next]
  // on are the marks after it.
  void ReadData(const MarkAt& mark, size_t next, uint8_t markByte, uint32_t perByte) {
    const Encoding encoding = mark.encoding;
    const uint32_t start = mark.cell + perByte;
    uint32_t cut = bits_.end;
    for (size_t j = next; j < bits_.marks.size(); ++j) {
      if (bits_.marks[j].encoding != encoding || IsThirdSync(bits_.marks[j])) continue;
      const uint32_t sync =
          bits_.marks[j].cell - std::min(bits_.marks[j].cell, SyncCells(encoding));
      cut = std::min(cut, std::max(sync, start));
      break;
    }
    const size_t available = cut > start ? (cut - start) / perByte : 0;
    const int sizeCode = std::min<int>(pendingSighting_.id[3], kLargestSizeCode);
    const size_t nominal = size_t{128} << sizeCode;
    const uint16_t preset = CrcByte(CrcPreset(encoding), markByte);

    const size_t base = pool_.size();
    size_t read = std::min(nominal + kCrcBytes, available);
    pool_.resize(base + available);
    uint8_t* bytes = pool_.data() + base;
    const bool inStep = ReadBytes(start, encoding, read, bytes, markByte & 1);
    size_t length = 0;
    bool good = read == nominal + kCrcBytes && inStep && Crc(preset, bytes, read) == 0;
    if (good) {
      length = nominal;
    } else {
      ReadBytes(start + static_cast<uint32_t>(read) * perByte, encoding, available - read,
                bytes + read);
      // The first length the CRC agrees with, gap bytes after it.  In a run
      // of gap bytes the CRC walks through every value, so a CRC of two gap
      // bytes is no end.
      const uint8_t gap = GapByte(encoding);
      uint16_t crc = preset;
      for (size_t n = 0; n + kCrcBytes + kGapBytesAfter <= available; ++n) {
        if (n > 0 && crc == (bytes[n] << 8 | bytes[n + 1]) && bytes[n + 2] == gap &&
            bytes[n + 3] == gap && !(bytes[n] == gap && bytes[n + 1] == gap) &&
            InStep(mark.cell, encoding, 1 + n + kCrcBytes)) {
          good = true;
          length = n;
          break;
        }
        crc = CrcByte(crc, bytes[n]);
      }
      if (!good) length = std::min(nominal, available);
    }
    Sighting& s = pendingSighting_;
    // A bad copy of N's length keeps its stored CRC, for a vote or repair.
    s.crcKept = !good && read == nominal + kCrcBytes;
    pool_.resize(base + length + (s.crcKept ? kCrcBytes : 0));
    if (!good && encoding == Encoding::kMfm) LocateErrors(start, read, markByte & 1, s);
    s.dataMark = markByte;
    s.hasData = true;
    s.dataGood = good;
    s.deleted = KindOfMark(markByte) == MarkKind::kDeleted;
    s.dataAt = static_cast<uint32_t>(base);
    s.dataLength = static_cast<uint32_t>(length);
    if (good) soundUntil_ = start + static_cast<uint32_t>(length + kCrcBytes) * perByte;
  }

  void Flush() {
    if (pending_ && !pendingSighting_.hasData && pendingSighting_.idGood &&
        pendingSighting_.encoding == Encoding::kMfm) {
      ReadWornData();
    }
    if (pending_) out_.push_back(pendingSighting_);
    pending_ = false;
  }

  // A mark one of whose transitions moved, in its syncs or its mark byte,
  // which the PLL did not see: the place for a mark byte in cells
  // [from, to] whose cells differ least from three syncs and one of
  // `kinds`, where they differ in no more than the two cells one moved
  // transition gives.  Data bytes A1 A1 A1 written with their clocks differ
  // in three, gap and sync bytes in many more, so none is found where no
  // mark was written.  `byte` is the mark byte as read where it is of the
  // same kind (FA, F9), else the one it is nearest.
  bool FindWornMark(uint32_t from, uint32_t to, std::initializer_list<uint8_t> kinds,
                    uint32_t& cell, uint8_t& byte) const {
    constexpr uint32_t kMarkCells = 64, kSyncCells = 48, kMostDiffering = 2;
    constexpr uint64_t kSyncs = uint64_t{kMfmSyncA1} << 48 | uint64_t{kMfmSyncA1} << 32 |
                                uint64_t{kMfmSyncA1} << 16;
    uint32_t fewest = kMostDiffering + 1;
    for (uint32_t at = std::max(from, kSyncCells); at <= to && at < bits_.end &&
                                                   bits_.end - at >= kMarkCells - kSyncCells;
         ++at) {
      const uint64_t w = bits_.Window(at - kSyncCells);
      for (uint8_t kind : kinds) {
        uint32_t differ = 0;
        for (uint64_t x = w ^ (kSyncs | MfmCells(kind, true)); x != 0; x &= x - 1) ++differ;
        if (differ < fewest) fewest = differ, cell = at, byte = kind;
      }
    }
    if (fewest > kMostDiffering) return false;
    const uint8_t read = MfmByte(bits_.Window(cell));
    if (KindOfMark(read) == KindOfMark(byte)) byte = read;
    return true;
  }

  // The first mark after cell `cell`.
  size_t MarkAfter(uint32_t cell) const {
    return static_cast<size_t>(
        std::upper_bound(bits_.marks.begin(), bits_.marks.end(), cell,
                         [](uint32_t c, const MarkAt& m) { return c < m.cell; }) -
        bits_.marks.begin());
  }

  // The data field after a sound MFM ID whose data mark is worn.
  void ReadWornData() {
    uint32_t cell = 0;
    uint8_t byte = 0;
    if (FindWornMark(pendingEnd_, pendingEnd_ + kDataWindowBytes * 16, {kDataMark, kDeletedMark},
                     cell, byte)) {
      ReadData({cell, Encoding::kMfm}, MarkAfter(cell), byte, 16);
    }
  }

  // The ID in front of an MFM data mark no ID was pending for, where its
  // mark is worn and its CRC agrees.
  void ReadWornId(const MarkAt& data) {
    constexpr uint32_t kIdCells = kIdFieldBytes * 16;
    if (data.cell < kIdCells) return;
    const uint32_t to = data.cell - kIdCells;
    uint32_t from = to - std::min(to, kDataWindowBytes * 16);
    from = std::max(from, soundUntil_);
    if (pending_) from = std::max(from, pendingEnd_);
    uint32_t cell = 0;
    uint8_t byte = 0;
    if (!FindWornMark(from, to, {kIdMark}, cell, byte) || byte != kIdMark ||
        cell >= bits_.cells) {
      return;
    }
    uint8_t field[kIdFieldBytes];
    ReadBytes(cell, Encoding::kMfm, kIdFieldBytes, field);
    if (Crc(kMfmCrcPreset, field, kIdFieldBytes) == 0 &&
        InStep(cell, Encoding::kMfm, kIdFieldBytes)) {
      ReadId({cell, Encoding::kMfm}, 16);
    }
  }

  const Bitstream& bits_;
  std::vector<Sighting>& out_;
  std::vector<uint8_t>& pool_;
  Sighting pendingSighting_;
  bool pending_ = false;
  uint32_t pendingEnd_ = 0;
  uint32_t soundUntil_ = 0;  // marks before this lie inside a sound data field
};

}  // namespace

void ReadFields(const Bitstream& bits, std::vector<Sighting>& out, std::vector<uint8_t>& pool) {
  Reader(bits, out, pool).Run();
}

bool CutAtEnds(const Bitstream& bits) {
  // Marks come in order: the last ones and the first ones are enough.
  for (auto m = bits.marks.rbegin(); m != bits.marks.rend(); ++m) {
    const uint32_t reach = kIdFieldBytes * static_cast<uint32_t>(CellsPerByte(m->encoding));
    if (bits.end - std::min(bits.end, m->cell) >= reach) break;
    if (m->cell < bits.cells) return true;
  }
  constexpr uint32_t kIdReach = (kIdFieldBytes + kDataWindowBytes) * 16;
  for (const MarkAt& m : bits.marks) {
    if (m.cell >= kIdReach) break;
    if (m.encoding != Encoding::kMfm || bits.end - m.cell < 16) continue;
    const MarkKind kind = KindOfMark(MfmByte(bits.Window(m.cell)));
    if (kind == MarkKind::kData || kind == MarkKind::kDeleted) return true;
  }
  return false;
}

}  // namespace flux
