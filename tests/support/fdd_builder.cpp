#include <algorithm>
#include <cstring>

#include "containers/fdd_format.h"
#include "d88/d88_format.h"
#include "support/container_builder.h"

namespace testimg {

namespace fdd = containers::fdd;

namespace {

// The one value every byte of `data` has, or -1.
int Uniform(const Bytes& data) {
  if (data.empty() ||
      std::count(data.begin(), data.end(), data[0]) != static_cast<long>(data.size())) {
    return -1;
  }
  return data[0];
}

}  // namespace

Bytes BuildFdd(const Disk& disk, const FddOptions& options) {
  Bytes image(fdd::kDataStart, 0);
  std::copy_n(options.version.begin(),
              std::min<size_t>(options.version.size(), fdd::kMagicLength - 1), image.begin());
  std::copy_n(disk.name.begin(), std::min<size_t>(disk.name.size(), fdd::kCommentLength - 1),
              image.begin() + fdd::kCommentOffset);
  image[fdd::kProtectOffset] = disk.writeProtect != 0 ? 1 : 0;
  std::fill(image.begin() + fdd::kTableOffset, image.begin() + fdd::kTableEnd, 0xFF);
  for (const auto& [t, sectors] : disk.tracks) {
    if (t < 0 || t >= fdd::kTracks) continue;
    const size_t count = std::min<size_t>(sectors.size(), fdd::kSlots);
    for (size_t slot = 0; slot < count; ++slot) {
      const Sector& s = sectors[slot];
      Bytes data(s.data);
      data.resize(static_cast<size_t>(128) << s.n, 0xE5);
      uint8_t* rec = image.data() + fdd::kTableOffset + (t * fdd::kSlots + slot) * fdd::kRecordSize;
      rec[fdd::kRecordC] = s.c;
      rec[fdd::kRecordH] = s.h;
      rec[fdd::kRecordR] = s.r;
      rec[fdd::kRecordN] = s.n;
      rec[fdd::kRecordDeleted] = s.deleted != 0 ? 1 : 0;
      rec[fdd::kRecordMfm] = s.density == 0x40 ? 0 : 1;
      rec[fdd::kRecordHd] = disk.mediaType == 0x20 ? 1 : 0;
      const int fill = options.fillUniform ? Uniform(data) : -1;
      if (fill >= 0 && fill != fdd::kStored) {
        rec[fdd::kRecordFill] = static_cast<uint8_t>(fill);
        d88::PutU32le(rec + fdd::kRecordData, fdd::kNotStored);
      } else {
        rec[fdd::kRecordFill] = fdd::kStored;
        d88::PutU32le(rec + fdd::kRecordData, static_cast<uint32_t>(image.size()));
        image.insert(image.end(), data.begin(), data.end());  // rec is not used after this
      }
    }
  }
  return image;
}

}  // namespace testimg
