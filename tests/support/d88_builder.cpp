#include "support/d88_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "d88/d88_format.h"

namespace testimg {

namespace {

}  // namespace

Sector MakeSector(int c, int h, int r, int n, Bytes data, uint8_t density) {
  Sector s;
  s.c = static_cast<uint8_t>(c), s.h = static_cast<uint8_t>(h), s.r = static_cast<uint8_t>(r),
  s.n = static_cast<uint8_t>(n);
  s.data = std::move(data);
  s.density = density;
  return s;
}

Bytes Filler(const std::string& tag, int track, int r, int length) {
  char place[32];
  std::snprintf(place, sizeof place, "%s T%03d R%02d ", tag.c_str(), track, r);
  Bytes bytes(static_cast<size_t>(length));
  const size_t n = std::strlen(place);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(place[i % n]);
  }
  return bytes;
}

Disk& Disk::Format(int first, int last, int count) {
  for (int t = first; t <= last; ++t) {
    std::vector<Sector>& track = tracks[t];
    track.clear();
    for (int r = 1; r <= count; ++r) {
      Sector s;
      s.c = static_cast<uint8_t>(t / 2);
      s.h = static_cast<uint8_t>(t % 2);
      s.r = static_cast<uint8_t>(r);
      s.data = Filler(tag, t, r);
      track.push_back(s);
    }
  }
  return *this;
}

Bytes& Disk::Data(int track, int r) {
  for (Sector& s : tracks.at(track)) {
    if (s.r == r) return s.data;
  }
  std::fprintf(stderr, "builder: no sector %d on track %d\n", r, track);
  std::abort();
}

Disk& Disk::Poke(int track, int r, int offset, const std::string& bytes) {
  Bytes& data = Data(track, r);
  if (data.size() < offset + bytes.size()) data.resize(offset + bytes.size());
  std::memcpy(data.data() + offset, bytes.data(), bytes.size());
  return *this;
}

Disk& Disk::Prepend(int track, const Sector& sector, int copies) {
  std::vector<Sector>& sectors = tracks[track];
  sectors.insert(sectors.begin(), static_cast<size_t>(copies), sector);
  return *this;
}

Disk& Disk::Remove(int track, int r) {
  std::vector<Sector>& sectors = tracks[track];
  for (auto it = sectors.begin(); it != sectors.end(); ++it) {
    if (it->r == r) {
      sectors.erase(it);
      break;
    }
  }
  return *this;
}

Disk& Disk::RemoveTrack(int track) {
  tracks.erase(track);
  return *this;
}

Bytes Disk::Build() const {
  using namespace d88;
  Bytes image(kDiskHeaderSize, 0);
  for (size_t i = 0; i < kDiskNameLength && i < name.size(); ++i) {
    image[kDiskNameOffset + i] = static_cast<uint8_t>(name[i]);
  }
  image[kWriteProtectOffset] = writeProtect;
  image[kMediaTypeOffset] = mediaType;
  for (const auto& [index, sectors] : tracks) {
    if (sectors.empty()) continue;
    if (index >= 0 && index < kTrackCount) {
      d88::PutU32le(image.data() + kTrackTableOffset + 4 * index,
                    static_cast<uint32_t>(image.size()));
    }
    for (const Sector& s : sectors) {
      Bytes header(kSectorHeaderSize, 0);
      header[kSectorCOffset] = s.c;
      header[kSectorHOffset] = s.h;
      header[kSectorROffset] = s.r;
      header[kSectorNOffset] = s.n;
      const int count = s.count >= 0 ? s.count : static_cast<int>(sectors.size());
      d88::PutU16le(header.data() + kSectorCountOffset, static_cast<uint32_t>(count));
      header[kDensityOffset] = s.density;
      header[kDeletedOffset] = s.deleted;
      header[kStatusOffset] = s.status;
      const int length = s.length >= 0 ? s.length : static_cast<int>(s.data.size());
      d88::PutU16le(header.data() + kDataLengthOffset, static_cast<uint32_t>(length));
      image.insert(image.end(), header.begin(), header.end());
      image.insert(image.end(), s.data.begin(), s.data.end());
    }
  }
  for (const auto& [index, offset] : trackOffsets) {
    d88::PutU32le(image.data() + kTrackTableOffset + 4 * index, offset);
  }
  const int64_t size = sizeField >= 0 ? sizeField : static_cast<int64_t>(image.size());
  d88::PutU32le(image.data() + kDiskSizeOffset, static_cast<uint32_t>(size));
  return image;
}

Bytes Disk::Run(int track, int r, int length) const {
  Bytes run;
  for (int k = track * kSectorsPerTrack + r - 1; static_cast<int>(run.size()) < length; ++k) {
    const int t = k / kSectorsPerTrack;
    const int rr = k % kSectorsPerTrack + 1;
    const auto found = tracks.find(t);
    if (found == tracks.end()) break;
    const Bytes* data = nullptr;
    for (const Sector& s : found->second) {
      if (s.r == rr) {
        data = &s.data;
        break;
      }
    }
    if (data == nullptr) break;
    const size_t take = std::min(data->size(), static_cast<size_t>(length) - run.size());
    run.insert(run.end(), data->begin(), data->begin() + static_cast<long>(take));
  }
  return run;
}

Bytes WithShortTrackTable(const Bytes& disk) {
  using namespace d88;
  const int end = static_cast<int>(kShortHeaderSize);
  Bytes bytes = disk;
  bytes.erase(bytes.begin() + end, bytes.begin() + kDiskHeaderSize);
  auto shift = [&](int at) {
    uint32_t value = d88::GetU32le(&bytes[static_cast<size_t>(at)]);
    if (value != 0) value -= kDiskHeaderSize - end;
    d88::PutU32le(&bytes[static_cast<size_t>(at)], value);
  };
  shift(kDiskSizeOffset);
  for (int t = 0; t < kShortTrackCount; ++t) shift(kTrackTableOffset + 4 * t);
  return bytes;
}

Bytes BuildImage(const std::vector<Disk>& disks) {
  Bytes image;
  for (const Disk& d : disks) image = Concat(image, d.Build());
  return image;
}

Bytes Concat(const Bytes& a, const Bytes& b) {
  Bytes joined(a);
  joined.insert(joined.end(), b.begin(), b.end());
  return joined;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  // An empty vector may hold a null pointer, which fwrite must not get.
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

Bytes ReadFile(const std::string& path, bool* exists) {
  Bytes bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (exists != nullptr) *exists = f != nullptr;
  if (f == nullptr) return bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  return bytes;
}

}  // namespace testimg
