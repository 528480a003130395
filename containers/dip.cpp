#include <cstdio>
#include <cstring>

#include "containers/dip_format.h"
#include "containers/headerless.h"
#include "containers/readers.h"

namespace containers {

// The signature makes it a DIP; a file cut short is read as far as it goes
// and one with bytes after the disk is read without them, with a warning.
bool DetectDip(const uint8_t* file, size_t size) {
  return size >= dip::kDataOffset &&
         std::memcmp(file + dip::kSignatureOffset, dip::kSignature, sizeof dip::kSignature) == 0;
}

bool ConvertDip(const uint8_t* file, size_t size, D88Writer& out, Conversion* info) {
  if (!DetectDip(file, size)) return false;
  if (info != nullptr) info->kind = Kind::kDip;
  Geometry geometry;
  geometry.cylinders = dip::kCylinders;
  geometry.heads = dip::kHeads;
  geometry.sectors = dip::kSectors;
  geometry.sectorSize = dip::kSectorSize;
  if (size > dip::kFileSize) {
    char text[120];
    std::snprintf(text, sizeof text, "DIP image has %lu bytes after its disk; ignored",
                  static_cast<unsigned long>(size - dip::kFileSize));
    Warn(info, text);
  }
  return ConvertUniform(file, size < dip::kFileSize ? size : dip::kFileSize, dip::kDataOffset,
                        geometry, "DIP", out, info);
}

}  // namespace containers
