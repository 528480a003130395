#include "containers/container.h"

namespace containers {

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kD88: return "D88";
    case Kind::kNfdR0: return "NFD r0";
    case Kind::kNfdR1: return "NFD r1";
    case Kind::kFdd: return "FDD";
    case Kind::kDip: return "DIP";
    case Kind::kFdi: return "FDI";
    case Kind::kDcp: return "DCP";
    case Kind::kDcu: return "DCU";
    case Kind::kRaw: return "raw";
  }
  return "?";
}

ImageFile::ImageFile() = default;
ImageFile::~ImageFile() = default;

bool ImageFile::Open(const char* path, d88::D88Image& image) {
  kind = Kind::kD88;
  geometry = Geometry();
  warning.clear();
  if (!image.Open(path)) return false;
  d88.reset();
  d88Size = 0;
  return true;
}

}  // namespace containers
