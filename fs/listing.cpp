#include "fs/listing.h"

#include "fs/fat.h"
#include "fs/n88.h"

namespace fs {

bool ListVolume(Volume& volume, Listing* listing) {
  if (ListFat(volume, listing)) return true;
  if (ListN88(volume, listing)) return true;
  *listing = Listing();
  return false;
}

size_t ReadFile(Volume& volume, const Listing& listing, const Entry& entry,
                std::vector<uint8_t>* out, std::string* problem) {
  switch (listing.layout.kind) {
    case FsKind::kFat12:
    case FsKind::kFat16:
      return ReadFatFile(volume, listing, entry, out, problem);
    case FsKind::kN88:
      return ReadN88File(volume, listing, entry, out, problem);
    case FsKind::kNone:
      break;
  }
  out->clear();
  if (problem != nullptr) *problem = JoinedPath(entry.path) + ": no file system was listed";
  return 0;
}

std::string JoinedPath(const std::vector<NameComponent>& path) {
  std::string joined;
  for (const NameComponent& c : path) {
    if (!joined.empty()) joined += '/';
    joined += c.raw;
  }
  return joined;
}

}  // namespace fs
