#include <cstdio>
#include <string>

#include "containers/fdi_format.h"
#include "containers/headerless.h"
#include "containers/readers.h"
#include "d88/d88_format.h"

namespace containers {

namespace {

struct FdiHeader {
  uint32_t type, headerSize, dataSize, sectorSize, sectors, surfaces, cylinders;
  unsigned long long Product() const {
    return static_cast<unsigned long long>(sectorSize) * sectors * surfaces * cylinders;
  }
};

bool KnownType(uint32_t type) {
  // The high nibble is odd in every device code; the rest is zero.
  return type <= 0xF0 && (type & 0x0F) == 0 && (type & 0x10) != 0;
}

// A header whose every field is in a floppy's range, whatever the sizes
// say; false for anything else (HDI among them).
bool ReadHeader(const uint8_t* file, size_t size, FdiHeader* h) {
  if (size < fdi::kFieldsSize) return false;
  if (d88::GetU32le(file + fdi::kZeroOffset) != 0) return false;
  h->type = d88::GetU32le(file + fdi::kTypeOffset);
  h->headerSize = d88::GetU32le(file + fdi::kHeaderSizeOffset);
  h->dataSize = d88::GetU32le(file + fdi::kDataSizeOffset);
  h->sectorSize = d88::GetU32le(file + fdi::kSectorSizeOffset);
  h->sectors = d88::GetU32le(file + fdi::kSectorsOffset);
  h->surfaces = d88::GetU32le(file + fdi::kSurfacesOffset);
  h->cylinders = d88::GetU32le(file + fdi::kCylindersOffset);
  return KnownType(h->type) && h->headerSize >= fdi::kFieldsSize && h->headerSize <= size &&
         h->sectorSize <= fdi::kLargestSectorSize && SizeCode(static_cast<int>(h->sectorSize)) >= 0 &&
         h->sectors >= 1 && h->sectors <= fdi::kMostSectors && h->surfaces >= 1 &&
         h->surfaces <= fdi::kMostSurfaces && h->cylinders >= 1 &&
         h->cylinders <= fdi::kMostCylinders;
}

Geometry Stated(const FdiHeader& h) {
  Geometry g;
  g.cylinders = static_cast<int>(h.cylinders);
  g.heads = static_cast<int>(h.surfaces);
  g.sectors = static_cast<int>(h.sectors);
  g.sectorSize = static_cast<int>(h.sectorSize);
  return g;
}

// How the header and the data agree, and so what is read.
enum class Reading {
  kNone,       // not an FDI, or one whose data proves no geometry
  kExact,      // the sizes agree with each other and with the file
  kSizeField,  // the geometry fills the file; the data-size field is wrong
  kShort,      // the sizes agree, the file ends early
  kProved,     // the geometry is wrong; the data size proves another
};

Reading Judge(const uint8_t* file, size_t size, FdiHeader* h, Geometry* proved) {
  if (!ReadHeader(file, size, h)) return Reading::kNone;
  const unsigned long long data = size - h->headerSize;
  const unsigned long long product = h->Product();
  if (product == h->dataSize && data == product) return Reading::kExact;
  if (data == product) return Reading::kSizeField;
  // Data of exactly a known layout's size is that layout, even under a
  // header that claims a larger one in both fields (tools that always
  // write 8x1024 do so); only other data is a file cut short.
  if (GeometryOfSize(static_cast<size_t>(data), static_cast<int>(h->sectorSize), proved) &&
      !proved->track0Fm) {
    return Reading::kProved;
  }
  if (product == h->dataSize && data < product) return Reading::kShort;
  return Reading::kNone;
}

}  // namespace

bool ExplainFdiRefusal(const uint8_t* file, size_t size, std::string* why) {
  FdiHeader h;
  Geometry proved;
  if (Judge(file, size, &h, &proved) != Reading::kNone || !ReadHeader(file, size, &h)) {
    return false;
  }
  char text[200];
  std::snprintf(text, sizeof text,
                "FDI header says %s but its %lu data bytes fit no floppy layout; not read as FDI",
                GeometryText(Stated(h)).c_str(), static_cast<unsigned long>(size - h.headerSize));
  *why = text;
  return true;
}

bool DetectFdi(const uint8_t* file, size_t size) {
  FdiHeader h;
  Geometry proved;
  return Judge(file, size, &h, &proved) != Reading::kNone;
}

bool ConvertFdi(const uint8_t* file, size_t size, D88Writer& out, Conversion* info) {
  FdiHeader h;
  Geometry proved;
  const Reading reading = Judge(file, size, &h, &proved);
  if (reading == Reading::kNone) return false;
  if (info != nullptr) info->kind = Kind::kFdi;
  const Geometry stated = Stated(h);
  char text[200];
  if (reading == Reading::kSizeField) {
    std::snprintf(text, sizeof text,
                  "FDI data-size field says %lu bytes, its %s geometry fills the file; read by "
                  "the geometry",
                  static_cast<unsigned long>(h.dataSize), GeometryText(stated).c_str());
    Warn(info, text);
  }
  if (reading == Reading::kProved) {
    std::snprintf(text, sizeof text,
                  "FDI header says %s but its %lu data bytes are %s; read as the data size shows",
                  GeometryText(stated).c_str(), static_cast<unsigned long>(size - h.headerSize),
                  GeometryText(proved).c_str());
    Warn(info, text);
    return ConvertUniform(file, size, h.headerSize, proved, "FDI", out, info);
  }
  return ConvertUniform(file, size, h.headerSize, stated, "FDI", out, info);
}

}  // namespace containers
