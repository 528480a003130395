// Reads the members of an archive into memory, one at a time: zip, 7z, LZH,
// RAR (v4 and v5) and tar, plain or compressed with gzip, bzip2 or xz, and
// a single file compressed with one of those.  It knows nothing of disk
// images: the caller decides what a member is.
//
// Every read is bounded: a member is read only up to the bound the caller
// gives it, the bytes read from one archive (and those a compressed stream
// must be decoded through to pass over a member) up to a total, and only so
// many members are looked at; reading stops at a bound, so an archive that
// unpacks to far more costs no more than the bounds.  Nothing is written
// to disk, and no name from an archive is ever used as a file name.
#ifndef ARCHIVES_ARCHIVE_H
#define ARCHIVES_ARCHIVE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "d88/owned_bytes.h"

struct archive;
struct archive_entry;

namespace archives {

// Why a member's bytes were not read.
enum class Skip {
  kNone,
  kNotAFile,     // a link or a device, no bytes of its own
  kEncrypted,
  kUnsupported,  // a compression method libarchive does not read
  kDamaged,
  kTooLarge,     // longer than the bound its reader gave
  kPastTotal,    // the archive's total bound was reached
};

struct Member {
  // The name's bytes as the archive stores them, folders included; for a
  // single compressed file, empty (it has no name of its own).
  std::string name;
  // The archive says the name is Unicode, and `name` holds it as UTF-8;
  // otherwise its bytes are in whatever code page the archive was made in.
  bool utf8 = false;
  long long size = -1;  // as the archive states it; -1 when it does not
  Skip skip = Skip::kNone;
  std::string detail;  // what libarchive said, for a damaged or unsupported one
};

struct Limits {
  size_t totalBytes;  // read from all members, and decoded to pass over them
  int members;        // entries looked at, folders included
};

// Why reading an archive stopped before its end.
enum class Stop { kNone, kMembers, kTotal, kDamaged };

// Appends the character `ch` to `text` in UTF-8 (U+FFFD for a code that
// is no character): the encoding of every name and text the layers above
// show.
void AppendUtf8(uint32_t ch, std::string* text);

// Whether the first bytes of a file carry the signature of an archive or a
// compressed file read here (at least 262 bytes tell every one).
bool HasArchiveMagic(const uint8_t* bytes, size_t size);

class Reader {
 public:
  explicit Reader(const Limits& limits);
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // Opens an archive, streaming from the file, or from `size` bytes the
  // caller keeps until Close.  False (and closed) unless the bytes are an
  // archive of a format read here: one that starts with an archive's
  // signature (an empty or damaged one too), or a self-extracting program
  // whose first entry reads.
  bool OpenFile(const char* path);
  bool OpenMemory(const uint8_t* data, size_t size);
  void Close();

  // "zip", "7z", "lzh", "rar", "rar5", "tar", "tar.gz", "tar.bz2",
  // "tar.xz", or "gzip", "bzip2", "xz" for a single compressed file.
  const std::string& Format() const { return format; }
  bool Single() const { return single; }

  // The next member, folders passed over; false at the end or where
  // reading stopped (Stopped() says why).
  bool Next(Member* member);

  enum class Read { kWhole, kLonger, kFailed };
  // Reads the current member on until it ends (kWhole) or more than
  // `limit` bytes are held (kLonger: the first limit + 1).  A caller may
  // read a little first, look at it and then allow more.  kFailed sets
  // the member's skip and detail.
  Read ReadOn(Member* member, size_t limit);
  // The bytes of the current member read so far.
  const uint8_t* Data() const { return read.bytes.get(); }
  size_t Size() const { return read.size; }
  // Hands the bytes over to the caller; the next member gets a new buffer.
  d88::OwnedBytes Release();

  Stop Stopped() const { return stop; }
  const std::string& StopDetail() const { return stopDetail; }
  int MembersSeen() const { return members; }

 private:
  struct archive* OpenHandle(bool rawOnly, const char* charset) const;
  bool Start(bool rawOnly, bool magic);
  void OpenZipNames();
  bool NextZipName();
  void DropZipNames();
  // 1 where the current zip member's name is flagged UTF-8, 0 where not,
  // -1 where that is not known.
  int ZipNameMarked() const;
  bool Opened(bool rawOnly, bool magic);
  bool Advance();
  bool Grow(size_t limit);
  void Fail(Member* member, Skip skip, const char* detail);

  Limits limits;
  // What is open: a file by its path, or bytes in memory.
  std::string source;
  const uint8_t* memory = nullptr;
  size_t memorySize = 0;
  struct archive* handle = nullptr;
  struct archive_entry* entry = nullptr;
  // A zip read a second time, its names as UTF-8, to tell flagged names.
  struct archive* zipNames = nullptr;
  struct archive_entry* zipEntry = nullptr;
  int headerStatus = 0;     // what reading the current entry's header gave
  bool pending = false;     // the entry Open read is not handed out yet
  bool started = false;     // a member was handed out
  bool ended = false;       // the current member's bytes end where held
  bool broken = false;      // the end or a fatal error: nothing more is read
  bool unicodeNames = false;
  bool single = false;
  bool cheapSkip = false;   // passing over a member is a seek, not a decode
  std::string format;
  long long memberSize = -1;
  d88::OwnedBytes read;  // the current member's bytes so far
  size_t work = 0;
  int entries = 0;
  int members = 0;
  Stop stop = Stop::kNone;
  std::string stopDetail;
};

// The archives read, for the programs' help: "a zip, 7z, ... or tar
// archive or a gzip, bzip2 or xz file".
std::string ArchivesRead();

}  // namespace archives

#endif  // ARCHIVES_ARCHIVE_H
