#include "cut/disk_alone.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace cut {

namespace {

// The name the one-disk image is opened under: its extension is the only
// part a container reading looks at, and a disk alone is a D88 image.
constexpr char kAloneName[] = "disk.d88";

// Room for `size` bytes in `buffer`, kept from one disk to the next.
bool Reserve(containers::OwnedBytes* buffer, size_t size) {
  if (buffer->Renew(size)) return true;
  errno = ENOMEM;
  return false;
}

// Bytes from `from` to the end of the disk's extent (`to`, or the end of
// the file when `to` is -1) of the D88 file at `path` into `buffer`.  Its
// directory lists no disk beyond 2 GiB, so every position fits a long.
bool ReadExtent(const char* path, long long from, long long to, containers::OwnedBytes* buffer) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  long long end = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) end = std::ftell(file);
  if (to < 0 || to > end) to = end;
  bool ok = end >= 0 && from <= to;
  const size_t length = ok ? static_cast<size_t>(to - from) : 0;
  errno = 0;
  ok = ok && Reserve(buffer, length) && std::fseek(file, static_cast<long>(from), SEEK_SET) == 0 &&
       std::fread(buffer->bytes.get(), 1, length, file) == length;
  if (!ok && errno == 0) errno = EIO;  // the file changed since it was opened
  std::fclose(file);
  if (ok) buffer->size = length;
  return ok;
}

}  // namespace

bool DiskAlone::Open(const char* imagePath, const ImageSource& whole,
                     const d88::D88Image& source, int diskIndex) {
  bytes.size = 0;
  image.Open(nullptr);  // it reads nothing of the last disk from here on
  path = imagePath;
  index = diskIndex;
  if (index < 0 || index >= source.DiskCount()) {
    errno = EINVAL;
    return false;
  }
  const long long from = source.DiskPosition(index);
  const long long to = index + 1 < source.DiskCount() ? source.DiskPosition(index + 1) : -1;
  if (whole.D88Data() == nullptr) {
    if (!ReadExtent(imagePath, from, to, &bytes)) return false;
  } else {
    const long long end = static_cast<long long>(whole.D88Size());
    if (from > end) {
      errno = EIO;
      return false;
    }
    const size_t length = static_cast<size_t>((to < 0 || to > end ? end : to) - from);
    if (!Reserve(&bytes, length)) return false;
    std::memcpy(bytes.bytes.get(), whole.D88Data() + from, length);
    bytes.size = length;
  }
  return file.OpenBytes(bytes.bytes.get(), bytes.size, kAloneName, image);
}

void DiskAlone::PrintWarning(std::FILE* err) const {
  if (file.Warning().empty()) return;
  std::fprintf(err, "warning: %s: disk %d alone: %s\n", path.c_str(), index,
               file.Warning().c_str());
}

const DiskRule* DiskAlone::Recognise(const Catalogue& catalogue) {
  if (image.DiskCount() == 0 || !image.SelectDisk(0)) return nullptr;
  image.SetSectorRange(kFirstSector, kLastSector);
  return cut::Recognise(image, catalogue, 0, g_sectorBuffer);
}

CutResult DiskAlone::Cut(const Catalogue& catalogue, int diskNo, const CutOutput& output) {
  return CutDisks(image, catalogue, diskNo, output);
}

}  // namespace cut
