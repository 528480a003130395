#include "archives/archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>
#include <string_view>

namespace archives {

namespace {

using namespace std::string_view_literals;

// Read in blocks of this size from a file; a member's buffer starts at it
// when the archive does not state the member's size.
constexpr size_t kBlock = 64u << 10;
// Enough of a file's start for every signature below.
constexpr size_t kMagicBytes = 512;

// Signatures at the start of a file ('*' matches any byte), with the name
// the programs' help gives each; a compressor holds one file or a tar.
struct Magic {
  size_t offset;
  std::string_view bytes;
  const char* shown;
  bool compressor;
};
constexpr Magic kMagics[] = {
    {0, "PK\x03\x04"sv,          "zip",   false},  // a member first
    {0, "PK\x05\x06"sv,          "zip",   false},  // empty
    {0, "7z\xBC\xAF\x27\x1C"sv,  "7z",    false},
    {2, "-l**-"sv,               "LZH",   false},  // the first header's method, -lh5- and the like
    {0, "Rar!\x1A\x07"sv,        "RAR",   false},  // v4 and v5
    {257, "ustar"sv,             "tar",   false},  // POSIX and GNU
    {0, "\x1F\x8B"sv,            "gzip",  true},
    {0, "BZh"sv,                 "bzip2", true},
    {0, "\xFD" "7zXZ\x00"sv,     "xz",    true},
};

// "a, b or c" of the names of the rows that are (or are not) compressors.
std::string Listed(bool compressors) {
  std::vector<const char*> names;
  for (const Magic& magic : kMagics) {
    if (magic.compressor != compressors) continue;
    if (names.empty() || std::strcmp(names.back(), magic.shown) != 0) names.push_back(magic.shown);
  }
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    text += i == 0 ? "" : i + 1 == names.size() ? " or " : ", ";
    text += names[i];
  }
  return text;
}

// libarchive hands names over in the charset of the current locale, and an
// LZH name beyond ASCII fails outright unless it can be converted; names are
// read in a UTF-8 locale.  setlocale is process-wide: the caller's own
// LC_CTYPE is put back as soon as libarchive has been called.  (Where no
// UTF-8 locale of these names exists, as on Windows, libarchive converts
// names through code pages and needs none.)
class Utf8Ctype {
 public:
  Utf8Ctype() {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    saved = current != nullptr ? current : "C";
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      if (std::setlocale(LC_CTYPE, name) != nullptr) break;
    }
  }
  ~Utf8Ctype() { std::setlocale(LC_CTYPE, saved.c_str()); }
  Utf8Ctype(const Utf8Ctype&) = delete;
  Utf8Ctype& operator=(const Utf8Ctype&) = delete;

 private:
  std::string saved;
};

// The name's bytes as stored.  The archive is read with
// hdrcharset=ISO-8859-1, so a name that carries no charset comes from
// libarchive with each byte as the character of that value, while a name
// the archive marks as Unicode (7z and RAR5 always; zip with its UTF-8
// flag, RAR v4 with its Unicode flag, an LZH code page, pax) comes as its
// characters.  `marked` says whether the archive marks this name (-1: not
// known); unknown, a name of characters up to U+00FF alone is taken for
// bytes (a Unicode name of Latin-1 letters alone would be misread, never a
// Japanese one).  Reading wide characters keeps this the same wherever
// libarchive runs.
bool RecoverName(struct archive_entry* entry, bool unicodeFormat, int marked, std::string* name) {
  name->clear();
  const wchar_t* wide = archive_entry_pathname_w(entry);
  if (wide == nullptr) {
    // Not convertible at all: the bytes as libarchive has them.
    const char* bytes = archive_entry_pathname(entry);
    if (bytes != nullptr) *name = bytes;
    return false;
  }
  bool unicode = unicodeFormat || marked == 1;
  for (const wchar_t* p = wide; *p != 0 && !unicode && marked < 0; ++p)
    unicode = static_cast<uint32_t>(*p) > 0xFF;
  for (const wchar_t* p = wide; *p != 0; ++p) {
    uint32_t ch = static_cast<uint32_t>(*p);
    // Windows' wchar_t is UTF-16.
    if (ch >= 0xD800 && ch <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      ch = 0x10000 + ((ch - 0xD800) << 10) + (static_cast<uint32_t>(p[1]) - 0xDC00);
      ++p;
    }
    if (unicode) {
      AppendUtf8(ch, name);
    } else {
      *name += static_cast<char>(ch);
    }
  }
  return unicode;
}

// What libarchive's message says of a member it could not read.
Skip Classify(struct archive* handle, struct archive_entry* entry) {
  const char* text = archive_error_string(handle);
  const std::string message = text != nullptr ? text : "";
  if ((entry != nullptr && archive_entry_is_encrypted(entry)) ||
      message.find("assphrase") != std::string::npos || message.find("ncrypt") != std::string::npos) {
    return Skip::kEncrypted;
  }
  if (message.find("nsupported") != std::string::npos ||
      message.find("not supported") != std::string::npos) {
    return Skip::kUnsupported;
  }
  return Skip::kDamaged;
}

// libarchive's message, its first line alone (some end in a newline).
std::string ErrorOf(struct archive* handle) {
  const char* text = archive_error_string(handle);
  std::string line = text != nullptr ? text : "";
  line.erase(std::min(line.find_first_of("\r\n"), line.size()));
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace

void AppendUtf8(uint32_t ch, std::string* text) {
  if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) ch = 0xFFFD;
  if (ch < 0x80) {
    *text += static_cast<char>(ch);
  } else if (ch < 0x800) {
    *text += static_cast<char>(0xC0 | ch >> 6);
    *text += static_cast<char>(0x80 | (ch & 0x3F));
  } else if (ch < 0x10000) {
    *text += static_cast<char>(0xE0 | ch >> 12);
    *text += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
    *text += static_cast<char>(0x80 | (ch & 0x3F));
  } else {
    *text += static_cast<char>(0xF0 | ch >> 18);
    *text += static_cast<char>(0x80 | (ch >> 12 & 0x3F));
    *text += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
    *text += static_cast<char>(0x80 | (ch & 0x3F));
  }
}

bool HasArchiveMagic(const uint8_t* bytes, size_t size) {
  for (const Magic& magic : kMagics) {
    if (size < magic.offset + magic.bytes.size()) continue;
    bool same = true;
    for (size_t i = 0; i < magic.bytes.size() && same; ++i) {
      same = magic.bytes[i] == '*' || bytes[magic.offset + i] == static_cast<uint8_t>(magic.bytes[i]);
    }
    if (same) return true;
  }
  return false;
}

Reader::Reader(const Limits& limits) : limits(limits) {}

Reader::~Reader() { Close(); }

void Reader::Close() {
  if (handle != nullptr) archive_read_free(handle);
  handle = nullptr;
  DropZipNames();
  source.clear();
  memory = nullptr;
  memorySize = 0;
  entry = nullptr;
  pending = started = ended = broken = unicodeNames = single = cheapSkip = false;
  headerStatus = 0;
  format.clear();
  memberSize = -1;
  read.size = 0;
  work = 0;
  entries = members = 0;
  stop = Stop::kNone;
  stopDetail.clear();
}

namespace {

// A reader of the formats and filters read here, and no others: every
// format libarchive has would bring in libraries (an XML parser for one)
// for archives no disk image comes in.  `rawOnly` reads a compressed file
// as the one file it holds, whatever that holds.
struct archive* NewHandle(bool rawOnly, const char* charset = "hdrcharset=ISO-8859-1") {
  struct archive* handle = archive_read_new();
  if (handle == nullptr) return nullptr;
  if (!rawOnly) {
    archive_read_support_format_zip(handle);
    archive_read_support_format_7zip(handle);
    archive_read_support_format_lha(handle);
    archive_read_support_format_rar(handle);
    archive_read_support_format_rar5(handle);
    archive_read_support_format_tar(handle);
  }
  // One compressed file is an archive of one member of this "format".
  archive_read_support_format_raw(handle);
  archive_read_support_filter_gzip(handle);
  archive_read_support_filter_bzip2(handle);
  archive_read_support_filter_xz(handle);
  archive_read_set_options(handle, charset);
  return handle;
}

}  // namespace

namespace {

// A self-extracting archive is a Windows program with the archive after
// it, which libarchive finds; any other file is taken for an archive only
// by its signature, so that a disk image holding an archive's bytes (an
// LZH file on the disk, the tail of a zip in its last sectors) is never
// read as that archive, however damaged its own header.
bool MayBeArchive(const uint8_t* bytes, size_t size) {
  return HasArchiveMagic(bytes, size) || (size >= 2 && bytes[0] == 'M' && bytes[1] == 'Z');
}

}  // namespace

bool Reader::OpenFile(const char* path) {
  Close();
  uint8_t start[kMagicBytes];
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  const size_t got = std::fread(start, 1, sizeof start, file);
  std::fclose(file);
  if (!MayBeArchive(start, got)) return false;
  source = path;
  memory = nullptr;
  return Start(false, HasArchiveMagic(start, got));
}

bool Reader::OpenMemory(const uint8_t* data, size_t size) {
  Close();
  if (!MayBeArchive(data, size)) return false;
  memory = data;
  memorySize = size;
  return Start(false, HasArchiveMagic(data, size));
}

struct archive* Reader::OpenHandle(bool rawOnly, const char* charset) const {
  struct archive* opened = NewHandle(rawOnly, charset);
  if (opened == nullptr) return nullptr;
  const int status = memory != nullptr ? archive_read_open_memory(opened, memory, memorySize)
                                       : archive_read_open_filename(opened, source.c_str(), kBlock);
  if (status != ARCHIVE_OK) {
    archive_read_free(opened);
    return nullptr;
  }
  return opened;
}

bool Reader::Start(bool rawOnly, bool magic) {
  Utf8Ctype utf8;
  handle = OpenHandle(rawOnly, "hdrcharset=ISO-8859-1");
  if (handle == nullptr) {
    Close();
    return false;
  }
  return Opened(rawOnly, magic);
}

// libarchive reads a zip name flagged UTF-8 as UTF-8 whatever charset it is
// told, and any other as that charset: the names read a second time as
// UTF-8 are the same characters exactly where the flag is set (or the name
// is ASCII).  The second reading goes entry by entry beside the first;
// where it cannot, the flag is not known.
void Reader::OpenZipNames() {
  zipNames = OpenHandle(false, "hdrcharset=UTF-8");
  if (zipNames != nullptr && !NextZipName()) DropZipNames();
}

bool Reader::NextZipName() {
  const int status = archive_read_next_header(zipNames, &zipEntry);
  return status == ARCHIVE_OK || status == ARCHIVE_WARN;
}

void Reader::DropZipNames() {
  if (zipNames != nullptr) archive_read_free(zipNames);
  zipNames = nullptr;
  zipEntry = nullptr;
}

int Reader::ZipNameMarked() const {
  if (zipNames == nullptr) return -1;
  const wchar_t* first = archive_entry_pathname_w(entry);
  const wchar_t* second = archive_entry_pathname_w(zipEntry);
  if (first == nullptr || second == nullptr) return first == nullptr ? -1 : 0;
  return std::wcscmp(first, second) == 0 ? 1 : 0;
}

// Reads the first entry and tells whether the bytes are an archive: any
// format but the raw one (which takes any bytes) with an entry that reads,
// a compressed file, or an archive's signature with no entry read (an
// empty archive, or one damaged from its start).
bool Reader::Opened(bool rawOnly, bool magic) {
  const int status = archive_read_next_header(handle, &entry);
  const int base = archive_format(handle) & ARCHIVE_FORMAT_BASE_MASK;
  const bool compressed = archive_filter_count(handle) > 1;
  if (base == ARCHIVE_FORMAT_RAW && !compressed) {
    Close();
    return false;
  }
  // libarchive takes a block of zeros for an empty tar: a compressed file
  // that starts with one (a dump whose first sector is blank) is the file.
  if (base == ARCHIVE_FORMAT_TAR && compressed && status == ARCHIVE_EOF && !rawOnly) {
    archive_read_free(handle);
    handle = nullptr;
    return Start(true, magic);
  }
  const bool readable = status == ARCHIVE_OK || status == ARCHIVE_WARN || status == ARCHIVE_FAILED;
  if (!readable && !magic) {
    Close();
    return false;
  }
  switch (base) {
    case ARCHIVE_FORMAT_ZIP: format = "zip"; break;
    case ARCHIVE_FORMAT_7ZIP: format = "7z"; break;
    case ARCHIVE_FORMAT_LHA: format = "lzh"; break;
    case ARCHIVE_FORMAT_RAR: format = "rar"; break;
    case ARCHIVE_FORMAT_RAR_V5: format = "rar5"; break;
    case ARCHIVE_FORMAT_TAR: format = "tar"; break;
    default: break;  // raw, or not known before an entry is read
  }
  single = base == ARCHIVE_FORMAT_RAW;
  if (compressed) {
    const char* filter = "";
    switch (archive_filter_code(handle, 0)) {
      case ARCHIVE_FILTER_GZIP: filter = single ? "gzip" : "gz"; break;
      case ARCHIVE_FILTER_BZIP2: filter = single ? "bzip2" : "bz2"; break;
      case ARCHIVE_FILTER_XZ: filter = "xz"; break;
      default: break;
    }
    format += (format.empty() ? "" : ".") + std::string(filter);
  }
  if (format.empty()) format = "archive";
  unicodeNames = base == ARCHIVE_FORMAT_7ZIP || base == ARCHIVE_FORMAT_RAR_V5;
  // zip is read through its central directory and LZH member by member:
  // passing over a member is a seek, as in a tar that is not compressed.
  cheapSkip = base == ARCHIVE_FORMAT_ZIP || base == ARCHIVE_FORMAT_LHA ||
              (base == ARCHIVE_FORMAT_TAR && !compressed);
  if (readable) {
    pending = true;
    entries = 1;
    headerStatus = status;
    if (base == ARCHIVE_FORMAT_ZIP && !compressed) OpenZipNames();
  } else if (status == ARCHIVE_FATAL) {
    stop = Stop::kDamaged;
    stopDetail = ErrorOf(handle);
  } else {
    broken = true;  // an empty archive: nothing to read
  }
  return true;
}

// Reads the next entry's header; what is left of the current member is
// passed over first, which in a compressed stream means decoding it: that
// counts against the total, and a member too long to pass over ends the
// reading instead.
bool Reader::Advance() {
  if (started && !ended && !cheapSkip) {
    const long long rest = memberSize < 0 ? -1 : memberSize - static_cast<long long>(read.size);
    if (rest < 0 || static_cast<unsigned long long>(rest) > limits.totalBytes - work) {
      stop = Stop::kTotal;
      return false;
    }
    work += static_cast<size_t>(rest);
  }
  headerStatus = archive_read_next_header(handle, &entry);
  if (headerStatus == ARCHIVE_EOF) {
    broken = true;  // the end: libarchive is not asked again
    return false;
  }
  if (headerStatus == ARCHIVE_FATAL) {
    stop = Stop::kDamaged;
    stopDetail = ErrorOf(handle);
    return false;
  }
  if (++entries > limits.members) {
    stop = Stop::kMembers;
    return false;
  }
  if (zipNames != nullptr && !NextZipName()) DropZipNames();
  return true;
}

bool Reader::Next(Member* member) {
  *member = Member();
  if (handle == nullptr || stop != Stop::kNone || broken) return false;
  // A single file has one member; after it the stream is not decoded on.
  if (single && started) return false;
  Utf8Ctype utf8;
  for (;;) {
    if (!pending && !Advance()) return false;
    pending = false;
    started = true;
    read.size = 0;
    ended = false;
    memberSize = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
    if (archive_entry_filetype(entry) != AE_IFDIR) break;
  }
  ++members;
  member->utf8 = RecoverName(entry, unicodeNames, ZipNameMarked(), &member->name);
  if (single) member->name.clear();
  member->size = memberSize;
  if (headerStatus == ARCHIVE_FAILED) {
    Fail(member, Classify(handle, entry), ErrorOf(handle).c_str());
  } else if (archive_entry_is_encrypted(entry)) {
    Fail(member, Skip::kEncrypted, "");
  } else if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry) != nullptr) {
    Fail(member, Skip::kNotAFile, "");
  }
  return true;
}

void Reader::Fail(Member* member, Skip skip, const char* detail) {
  member->skip = skip;
  member->detail = detail;
}

// Room for more of the member: doubled, or at once for the whole member
// where the archive states its size, never past `limit` + 1 bytes.
bool Reader::Grow(size_t limit) {
  const size_t most = limit + 1;
  size_t needed = read.capacity + 1;
  if (memberSize >= 0 && static_cast<unsigned long long>(memberSize) >= needed) {
    needed = static_cast<unsigned long long>(memberSize) < most ? static_cast<size_t>(memberSize) + 1 : most;
  }
  return read.Grow(needed < most ? needed : most, most, kBlock < most ? kBlock : most);
}

Reader::Read Reader::ReadOn(Member* member, size_t limit) {
  if (member->skip != Skip::kNone || handle == nullptr || broken) return Read::kFailed;
  while (!ended && read.size <= limit) {
    if (read.size == read.capacity && !Grow(limit)) {
      Fail(member, Skip::kTooLarge, "no memory for it");
      return Read::kFailed;
    }
    size_t want = (read.capacity < limit + 1 ? read.capacity : limit + 1) - read.size;
    // Never more than the total allows, and one byte to tell it is passed.
    if (want > limits.totalBytes - work + 1) want = limits.totalBytes - work + 1;
    const la_ssize_t got = archive_read_data(handle, read.bytes.get() + read.size, want);
    if (got == 0) {
      ended = true;
    } else if (got < 0) {
      Fail(member, Classify(handle, entry), ErrorOf(handle).c_str());
      // After a fatal error nothing more of the archive is read.
      broken = got == ARCHIVE_FATAL;
      return Read::kFailed;
    } else {
      read.size += static_cast<size_t>(got);
      work += static_cast<size_t>(got);
      if (work > limits.totalBytes) {
        Fail(member, Skip::kPastTotal, "");
        stop = Stop::kTotal;
        return Read::kFailed;
      }
    }
  }
  return ended ? Read::kWhole : Read::kLonger;
}

d88::OwnedBytes Reader::Release() {
  d88::OwnedBytes released = std::move(read);
  read = d88::OwnedBytes();
  return released;
}

std::string ArchivesRead() {
  return "a " + Listed(false) + " archive or a " + Listed(true) + " file";
}

}  // namespace archives
