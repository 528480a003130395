// The one way every program opens an image: a file of any container the
// container layer reads, or an archive holding such files, which reads as
// the D88 d88conv would write from them.
//
// The order: the strict D88 check and every container check; then an
// archive; then a hard-disk image; then, for a file nothing takes, the D88
// reading of old, whatever the file holds.  So no image is ever read as an archive, and a file read
// before archives were is read as it was.
#ifndef CUT_IMAGE_SOURCE_H
#define CUT_IMAGE_SOURCE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archives/archive.h"
#include "containers/container.h"
#include "cut/disk_files.h"
#include "d88/d88_image.h"

namespace cut {

// An archive's member is read into memory only up to this, an image's
// largest; the bytes read from one archive up to the total; and only so
// many members are looked at.
constexpr size_t kLargestMember = containers::kLargestContainer;
constexpr size_t kArchiveTotal = 128u << 20;
constexpr int kArchiveMembers = 4096;

// One member of an archive, as d88info shows it.
struct ArchiveMember {
  std::string name;  // as text (see NameText)
  containers::Kind kind = containers::Kind::kD88;  // an image's container
  int disks = 0;         // the disks it gives the image; 0 when skipped
  std::string skipped;   // why it gives none; empty for an image
};

// What was wrong with the file, or with one member of an archive.
struct SourceWarning {
  std::string member;  // the member's name as text; empty for the file
  std::string text;    // one English line
  // "MEMBER: TEXT", or the text alone.
  std::string Line() const { return member.empty() ? text : member + ": " + text; }
};

// A member's name as text: UTF-8 where the archive says it is, else its
// bytes as CP932 (Shift-JIS, as Japanese systems write names); a name that
// is not valid text is shown escaped, and control characters always are
// (EscapeText), so no name writes raw bytes to a terminal.
std::string NameText(const std::string& name, bool utf8);

// A file's name without its folder and without the extension of a
// compression read here: "dir/game.d88.gz" -> "game.d88".  A single
// compressed file's member is named so.
std::string BareName(const std::string& path);

// Whether `a` comes before `b` in the natural order of names: runs of
// digits by their value ("Disk 2" before "Disk 10"), letters without case.
bool NaturalLess(const std::string& a, const std::string& b);

class ImageSource {
 public:
  ImageSource();
  ~ImageSource();
  ImageSource(const ImageSource&) = delete;
  ImageSource& operator=(const ImageSource&) = delete;

  // Opens `path` in `image`, held by this object until the next Open.
  // False when the file cannot be opened or read (errno says why), or is an
  // archive with no disk image in it (errno 0).  Warnings() holds what was
  // wrong either way.
  bool Open(const char* path, d88::D88Image& image);

  // The file's container; D88 for an archive, whose members have theirs.
  containers::Kind GetKind() const { return file.GetKind(); }
  const containers::Geometry& GetGeometry() const { return file.GetGeometry(); }
  // What decoding found, for a flux dump.
  const containers::FluxFacts& GetFlux() const { return file.GetFlux(); }
  // The image's bytes where they are not the file's: a container's
  // conversion, an archive's joined disks; null for a D88 file.
  const uint8_t* D88Data() const;
  size_t D88Size() const;

  bool IsArchive() const { return archive; }
  // A hard-disk image holds partitions, not floppy disks: it opens with no
  // disk in `image`, and HardDisk() reads it.
  bool IsHardDisk() const { return hardDisk.IsOpen(); }
  HardDiskImage& HardDisk() { return hardDisk; }
  const fs::HardDisk& GetHardDisk() const { return hardDisk.Disk(); }
  // "zip", "7z", "lzh", "tar.gz", "gzip" and the like (archives::Reader).
  const std::string& ArchiveFormat() const { return format; }
  // Every member looked at, images and skipped ones, in natural order.
  const std::vector<ArchiveMember>& Members() const { return members; }
  // The index in Members() of the member disk `disk` came from, or -1.
  int MemberOf(int disk) const;

  const std::vector<SourceWarning>& Warnings() const { return warnings; }
  // Each warning as a line of its own: "warning: PATH: TEXT", or for a
  // member "warning: PATH:MEMBER: TEXT".
  void PrintWarnings(const char* path, std::FILE* err) const;

 private:
  struct Read;
  bool OpenArchive(const char* path, d88::D88Image& image);
  void ReadMember(archives::Member* member, Read* read);
  void JoinStreamSets(std::vector<Read>* reads);
  bool Join(std::vector<Read>* reads, d88::D88Image& image);

  containers::ImageFile file;
  archives::Reader reader;
  containers::OwnedBytes converted;  // a member's conversion, reused
  bool archive = false;
  std::string format;
  std::vector<ArchiveMember> members;
  std::vector<int> diskMembers;
  containers::OwnedBytes joined;
  HardDiskImage hardDisk;
  std::vector<SourceWarning> warnings;
};

}  // namespace cut

#endif  // CUT_IMAGE_SOURCE_H
