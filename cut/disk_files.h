// The files of a disk's file system as the programs show and write them:
// found on a floppy disk of an image or a partition of a hard-disk image,
// named in UTF-8, listed, and written into a folder under names that are
// safe on every system.
#ifndef CUT_DISK_FILES_H
#define CUT_DISK_FILES_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "d88/d88_image.h"
#include "fs/hard_disk.h"
#include "fs/listing.h"
#include "fs/volume.h"

namespace cut {

// The file system of the selected disk of `image`, found from its
// content; false (and an empty listing) when it has none.
bool ListDiskFiles(d88::D88Image& image, fs::Listing* listing);
// The selected disk of `image` as a volume, valid while it stays selected;
// null when its tracks show no regular shape.
std::unique_ptr<fs::Volume> DiskVolume(d88::D88Image& image);

// One name as UTF-8: the long name where the disk keeps one, else the
// short name from CP932 (with the case an NT system recorded); bytes that
// are no CP932 text are shown escaped, as \xNN.
std::string NameText(const fs::NameComponent& name);
// An entry's path from the root as UTF-8, '/' between its names.
std::string PathText(const fs::Entry& entry);
// "1991-04-12 10:20", or "-" where the disk keeps no time; with `iso`,
// "1991-04-12T10:20:00", or "" for none.
std::string TimeText(const fs::DateTime& time, bool iso);
// 1023456 -> "1,023,456".
std::string Thousands(uint64_t n);

// A problem the file systems report, its names as UTF-8.
std::string ProblemText(const std::string& problem);

// `FAT12 "LABEL", 3 folders, 42 files, 1,023,456 bytes`.
std::string FilesSummary(const fs::Listing& listing);

// A hard-disk image opened for its partitions: the header and table, and
// each partition as a volume read from the file.
class HardDiskImage {
 public:
  HardDiskImage() = default;
  ~HardDiskImage();
  HardDiskImage(const HardDiskImage&) = delete;
  HardDiskImage& operator=(const HardDiskImage&) = delete;

  // Whether the file at `path` is a hard-disk image; the file is kept
  // open for its partitions while it is.  `size` is the file's.
  bool Open(const char* path);
  void Close();
  bool IsOpen() const { return file != nullptr; }
  const fs::HardDisk& Disk() const { return disk; }
  // Partition `index` of Disk().partitions as a volume, valid while open.
  std::unique_ptr<fs::Volume> Partition(size_t index);

 private:
  std::FILE* file = nullptr;
  std::unique_ptr<fs::FileByteSource> source;
  fs::HardDisk disk;
};

// `hard disk HDI, 512-byte sectors, 40 MB`.
std::string HardDiskLine(const fs::HardDisk& disk);

// What writing a file system's files gave.
struct FilesWritten {
  int files = 0;      // written whole or as far as the disk is sound
  int folders = 0;
  int notWritten = 0;  // could not be written at all
  bool damaged = false;  // the listing or a file had a problem
};

// Writes every file and folder of `listing`, read from `volume`, into the
// folder `folder` (made when missing): names made safe (fs::SafeName,
// case twins kept apart), each file's time set from the disk.  Every
// problem, the listing's and those met while reading, goes to `warn` as one
// line naming the file.  Nothing is written outside `folder`.  With
// `writtenAs`, also says where each entry of listing.entries went: its
// path inside `folder` ('/' between names), empty for one not written.
FilesWritten WriteFiles(fs::Volume& volume, const fs::Listing& listing, const std::string& folder,
                        const std::function<void(const std::string&)>& warn,
                        std::vector<std::string>* writtenAs = nullptr);

}  // namespace cut

#endif  // CUT_DISK_FILES_H
