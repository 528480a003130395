// One disk of an image as an image of that disk alone.  d88cut and the
// page cut every disk this way, so that what they write for a disk is what
// a program writes when run on an image file that holds that disk only.
#ifndef CUT_DISK_ALONE_H
#define CUT_DISK_ALONE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "containers/container.h"
#include "cut/catalogue.h"
#include "cut/image_source.h"
#include "cut/run.h"
#include "d88/d88_image.h"

namespace cut {

class DiskAlone {
 public:
  // Makes disk `index` of `image`, which `file` opened from `path`, an
  // image of its own: the bytes from where the disk starts to where the
  // next one starts (the last disk: to the end), of the file itself for a
  // D88 file and of the conversion for any other container or an archive;
  // then opens them as a file holding them is opened.  False, with errno telling why,
  // for a disk the image does not list or bytes that cannot be read.
  bool Open(const char* path, const ImageSource& file, const d88::D88Image& image,
            int index);

  const uint8_t* Data() const { return bytes.bytes.get(); }
  size_t Size() const { return bytes.size; }
  // Says what was wrong with those bytes as a container, if anything, in
  // the programs' warning line: "warning: PATH: disk N alone: TEXT".
  void PrintWarning(std::FILE* err) const;

  // The rule of `catalogue` that takes the disk, or null; prints nothing.
  const DiskRule* Recognise(const Catalogue& catalogue);
  // Cuts the one-disk image with `catalogue` as the program run on it does.
  CutResult Cut(const Catalogue& catalogue, int diskNo, const CutOutput& output);

 private:
  std::string path;
  int index = -1;
  containers::OwnedBytes bytes;
  containers::ImageFile file;
  d88::D88Image image;  // some 150 KB: keep a DiskAlone static
};

}  // namespace cut

#endif  // CUT_DISK_ALONE_H
