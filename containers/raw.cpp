// Headerless dumps: the sectors alone in C/H/R order, known by the exact
// size of the file.  The extension only splits sizes two layouts share.
#include <cstring>

#include "containers/headerless.h"
#include "containers/readers.h"

namespace containers {

namespace {

struct RawSize {
  size_t bytes;           // the file's exact size
  const char* extension;  // required ("" = any); rows needing one come first
  size_t skip;            // header bytes skipped (unknown headers)
  Geometry geometry;      // cylinders, heads, sectors, size, FM track 0
  const char* warning;    // said whenever the row is taken, or null
};

constexpr char kEither640[] =
    "655,360 bytes may also be 80x2x16 256-byte (named .ddb); read as 80x2x8 512-byte";
constexpr char kNoDipSignature[] =
    "DIP header without its signature; its 256 bytes skipped, read as 77x2x8 1024-byte";

// Every layout known by size.  1,261,824 and 1,025,280 are a 256-byte
// header of unknown content before a 2HD image (DIP without its signature,
// FIM); they are taken only with their extension.
constexpr RawSize kSizes[] = {
    {1261568, "", 0, {77, 2, 8, 1024, false}, nullptr},    // 2HD 1.25 MB (.hdm .xdf .2hd ...)
    {1277952, "", 0, {78, 2, 8, 1024, false}, nullptr},    // the same written to 78 cylinders
    {1294336, "", 0, {79, 2, 8, 1024, false}, nullptr},    // ... 79
    {1310720, "", 0, {80, 2, 8, 1024, false}, nullptr},    // ... 80
    {1228800, "", 0, {80, 2, 15, 512, false}, nullptr},    // 2HC 1.21 MB (.hd5)
    {1474560, "", 0, {80, 2, 18, 512, false}, nullptr},    // 2HQ 1.44 MB (.hd4)
    {1419264, "", 0, {77, 2, 9, 1024, false}, nullptr},    // 2HD 9 sectors (.hd9)
    {1720320, "", 0, {80, 2, 21, 512, false}, nullptr},    // DMF
    {1025024, "", 0, {77, 2, 26, 256, false}, nullptr},    // 26x256, all MFM (.h01)
    {1021696, "", 0, {77, 2, 26, 256, true}, nullptr},     // 8-inch compatible (.hdb)
    {655360, ".ddb", 0, {80, 2, 16, 256, false}, nullptr}, // N88-BASIC 2DD
    {655360, ".dd6", 0, {80, 2, 8, 512, false}, nullptr},  // 2DD 640 KB
    {655360, "", 0, {80, 2, 8, 512, false}, kEither640},      // either, by another name
    {737280, "", 0, {80, 2, 9, 512, false}, nullptr},      // 2DD 720 KB (.dd9)
    {1261824, ".dip", 256, {77, 2, 8, 1024, false}, kNoDipSignature},
    {1261824, ".fim", 256, {77, 2, 8, 1024, false}, nullptr},
    {1025280, ".fim", 256, {77, 2, 26, 256, false}, nullptr},
};

constexpr bool SizesAddUp() {
  for (const RawSize& row : kSizes) {
    const Geometry& g = row.geometry;
    size_t data = static_cast<size_t>(g.cylinders) * g.heads * g.sectors * g.sectorSize;
    if (g.track0Fm) data -= static_cast<size_t>(g.sectors) * (g.sectorSize - 128);
    if (row.skip + data != row.bytes) return false;
  }
  return true;
}
static_assert(SizesAddUp(), "every row's geometry fills its size exactly");

const RawSize* Find(size_t size, const std::string& extension) {
  for (const RawSize& row : kSizes) {
    if (row.bytes != size) continue;
    if (row.extension[0] != '\0' && extension != row.extension) continue;
    return &row;
  }
  return nullptr;
}

}  // namespace

bool GeometryOfSize(size_t dataSize, int sectorSize, Geometry* geometry) {
  const RawSize* found = nullptr;
  for (const RawSize& row : kSizes) {
    if (row.skip != 0 || row.bytes != dataSize) continue;
    if (found == nullptr || (found->geometry.sectorSize != sectorSize &&
                             row.geometry.sectorSize == sectorSize)) {
      found = &row;
    }
  }
  if (found == nullptr) return false;
  *geometry = found->geometry;
  return true;
}

bool DetectRaw(const uint8_t*, size_t size, const std::string& extension) {
  return Find(size, extension) != nullptr;
}

bool ConvertRaw(const uint8_t* file, size_t size, const std::string& extension,
                D88Writer& out, Conversion* info) {
  const RawSize* row = Find(size, extension);
  if (row == nullptr) return false;
  if (info != nullptr) info->kind = row->warning == kNoDipSignature ? Kind::kDip : Kind::kRaw;
  if (row->warning != nullptr) Warn(info, row->warning);
  return ConvertUniform(file, size, row->skip, row->geometry, "raw", out, info);
}

}  // namespace containers
