#include <algorithm>
#include <cstring>
#include <iterator>

#include "containers/nfd_format.h"
#include "d88/d88_format.h"
#include "support/container_builder.h"

namespace testimg {

namespace nfd = containers::nfd;

namespace {

uint8_t Device(uint8_t mediaType) {
  switch (mediaType) {
    case 0x20:
      return 0x90;
    case 0x10:
      return 0x10;
    case 0x00:
      return 0x50;
    default:
      return 0x00;  // "guess from the sector size"
  }
}

// The header both revisions share; `headSize` bytes long, the rest zero.
Bytes CommonHeader(const Disk& disk, const char* magic, size_t headSize) {
  Bytes image(headSize, 0);
  std::memcpy(image.data(), magic, nfd::kMagicLength);
  std::copy_n(disk.name.begin(), std::min<size_t>(disk.name.size(), nfd::kCommentLength - 1),
              image.begin() + nfd::kCommentOffset);
  d88::PutU32le(image.data() + nfd::kHeadSizeOffset, static_cast<uint32_t>(headSize));
  image[nfd::kProtectOffset] = disk.writeProtect != 0 ? 1 : 0;
  image[nfd::kHeadsOffset] = 2;
  return image;
}

// The first 10 bytes both revisions' sector records share.
void PutRecord(uint8_t* rec, const Sector& s, int track) {
  rec[nfd::kRecordC] = s.c;
  rec[nfd::kRecordH] = s.h;
  rec[nfd::kRecordR] = s.r;
  rec[nfd::kRecordN] = s.n;
  rec[nfd::kRecordMfm] = s.density == 0x40 ? 0 : 1;
  rec[nfd::kRecordDeleted] = s.deleted != 0 ? 1 : 0;
  rec[nfd::kRecordStatus] = s.status;
  rec[nfd::kRecordStatus + 1] = track % 2 == 1 ? 0x04 : 0x00;  // ST0: the head read
}

Bytes SectorData(const Sector& s) {
  Bytes data(s.data);
  data.resize(static_cast<size_t>(128) << s.n, 0xE5);
  return data;
}

}  // namespace

Bytes BuildNfdR0(const Disk& disk) {
  Bytes image = CommonHeader(disk, nfd::kMagicR0, nfd::kR0HeadSize);
  for (int t = 0; t < nfd::kR0Tracks; ++t) {
    for (int slot = 0; slot < nfd::kR0Slots; ++slot) {
      uint8_t* rec =
          image.data() + nfd::kR0TableOffset + (t * nfd::kR0Slots + slot) * nfd::kRecordSize;
      std::fill_n(rec, 11, 0xFF);  // an empty slot, as T98-Next leaves it
    }
  }
  for (const auto& [t, sectors] : disk.tracks) {
    if (t < 0 || t >= nfd::kR0Tracks) continue;
    const size_t count = std::min<size_t>(sectors.size(), nfd::kR0Slots);
    for (size_t slot = 0; slot < count; ++slot) {
      uint8_t* rec =
          image.data() + nfd::kR0TableOffset + (t * nfd::kR0Slots + slot) * nfd::kRecordSize;
      std::fill_n(rec, nfd::kRecordSize, 0);
      PutRecord(rec, sectors[slot], t);
      rec[nfd::kR0RecordDevice] = Device(disk.mediaType);
      const Bytes data = SectorData(sectors[slot]);
      image.insert(image.end(), data.begin(), data.end());
    }
  }
  return image;
}

Bytes BuildNfdR1(const Disk& disk, const NfdR1Extras& extras) {
  // The tracks with a block: those with sectors or diagnostic records.
  std::map<int, std::pair<size_t, size_t>> blocks;  // track -> sectors, diags
  for (const auto& [t, sectors] : disk.tracks) {
    if (t >= 0 && t < nfd::kR1Tracks && !sectors.empty()) {
      blocks[t].first = std::min<size_t>(sectors.size(), nfd::kMaxBlockRecords);
    }
  }
  for (const auto& [t, diags] : extras.diags) {
    if (t >= 0 && t < nfd::kR1Tracks) blocks[t].second = diags.size();
  }
  size_t headSize = std::max<size_t>(extras.firstBlock, nfd::kR1TableEnd);
  for (const auto& [t, counts] : blocks) {
    headSize += nfd::kBlockHeaderSize + nfd::kRecordSize * (counts.first + counts.second);
  }
  headSize = std::max<size_t>(headSize, nfd::kR1FixedSize);
  Bytes image = CommonHeader(disk, nfd::kMagicR1, headSize);

  Bytes payload;
  size_t block = extras.firstBlock;
  for (const auto& [t, counts] : blocks) {
    d88::PutU32le(image.data() + nfd::kR1TrackTableOffset + 4 * t, static_cast<uint32_t>(block));
    d88::PutU16le(image.data() + block + nfd::kBlockSectors, static_cast<uint32_t>(counts.first));
    d88::PutU16le(image.data() + block + nfd::kBlockDiags, static_cast<uint32_t>(counts.second));
    uint8_t* rec = image.data() + block + nfd::kBlockHeaderSize;
    const auto track = disk.tracks.find(t);
    for (size_t i = 0; i < counts.first; ++i, rec += nfd::kRecordSize) {
      const Sector& s = track->second[i];
      PutRecord(rec, s, t);
      const auto retries = extras.retries.find({t, s.r});
      const int copies = retries == extras.retries.end() ? 0 : retries->second;
      rec[nfd::kR1RecordRetries] = static_cast<uint8_t>(copies);
      rec[nfd::kR1RecordDevice] = Device(disk.mediaType);
      Bytes data = SectorData(s);
      payload.insert(payload.end(), data.begin(), data.end());
      for (uint8_t& b : data) b = static_cast<uint8_t>(~b);
      for (int copy = 0; copy < copies; ++copy)
        payload.insert(payload.end(), data.begin(), data.end());
    }
    const auto diags = extras.diags.find(t);
    for (size_t i = 0; i < counts.second; ++i, rec += nfd::kRecordSize) {
      const NfdDiag& d = diags->second[i];
      const uint8_t fields[] = {d.command, d.c, d.h, d.r, d.n, d.status};
      std::copy(std::begin(fields), std::end(fields), rec);
      rec[nfd::kDiagRetries] = static_cast<uint8_t>(d.retries);
      const uint32_t length = static_cast<uint32_t>(d.data.size());
      for (int k = 0; k < 4; ++k)
        rec[nfd::kDiagLength + k] = static_cast<uint8_t>(length >> (8 * k));
      rec[nfd::kDiagLength + 4] = Device(disk.mediaType);
      for (int copy = 0; copy <= d.retries; ++copy)
        payload.insert(payload.end(), d.data.begin(), d.data.end());
    }
    block += nfd::kBlockHeaderSize + nfd::kRecordSize * (counts.first + counts.second);
  }
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}

}  // namespace testimg
