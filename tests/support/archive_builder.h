// Builds archives of built images for the tests, the fuzz seeds and the
// samples: zip, 7z and compressed files with libarchive's own writer, LZH
// with jlha (Debian: jlha-utils), and tar and archives that unpack to
// gigabytes of zeros written by hand (those so that they stay a few
// kilobytes).
#ifndef TESTS_SUPPORT_ARCHIVE_BUILDER_H
#define TESTS_SUPPORT_ARCHIVE_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "support/d88_builder.h"

namespace testimg {

// One entry: its name as the archive stores it (CP932 or UTF-8 bytes,
// folders before a '/'), and its bytes; a folder's own entry when `folder`.
struct ArchiveEntry {
  std::string name;
  Bytes bytes;
  bool folder = false;
};

enum class ArchiveKind { kZip, kZipStored, k7z, kTar, kTarGz, kGzip, kBzip2, kXz };

struct ArchiveOptions {
  bool utf8Names = false;  // zip: names are UTF-8 and flagged so
  std::string passphrase;  // zip: encrypted with it (traditional PKWARE)
};

// zip names are written as their bytes without the UTF-8 flag unless
// `utf8Names`; 7z names must be UTF-8.  kGzip, kBzip2 and kXz compress the
// first entry alone.
Bytes BuildArchive(ArchiveKind kind, const std::vector<ArchiveEntry>& entries,
                   const ArchiveOptions& options = {});

// LZH made by jlha (level 1 headers: the header's size, then the sum of
// its bytes), each name given in UTF-8 stored in CP932; empty where jlha
// cannot be run.  A Windows test cannot start jlha: there the archive is
// the one a run of the same test on Linux kept in the folder the variable
// D88CUT_LZH_DIR names (a file per set of entries), and empty without it.
constexpr char kLzhDirVariable[] = "D88CUT_LZH_DIR";
Bytes BuildLzh(const std::vector<ArchiveEntry>& entries);

// A zip of one member `name` holding `zeros` zero bytes, deflated.
Bytes ZipOfZeros(const std::string& name, uint32_t zeros);
// A gzip-compressed tar: the member `name` of `zeros` zero bytes, then `after`.
Bytes TarGzOfZeros(const std::string& name, uint64_t zeros, const ArchiveEntry& after);

}  // namespace testimg

#endif  // TESTS_SUPPORT_ARCHIVE_BUILDER_H
