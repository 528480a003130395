#include "support/archive_builder.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "d88/d88_format.h"
#include "support/process.h"

namespace fs = std::filesystem;

namespace testimg {

namespace {

[[noreturn]] void Refuse(const char* what) {
  std::fprintf(stderr, "archive builder: %s\n", what);
  std::abort();
}

la_ssize_t Append(struct archive*, void* out, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  static_cast<Bytes*>(out)->insert(static_cast<Bytes*>(out)->end(), bytes, bytes + size);
  return static_cast<la_ssize_t>(size);
}

// libarchive writes a name given as bytes in the locale's charset, and the
// C locale keeps the bytes as they are.  A Unicode name is given as wide
// characters, which libarchive converts through a UTF-8 locale here and
// through code pages on Windows (whose C runtime has no UTF-8 locale).
class Ctype {
 public:
  explicit Ctype(const char* name) : saved(std::setlocale(LC_CTYPE, nullptr)) {
    std::setlocale(LC_CTYPE, name);
  }
  ~Ctype() { std::setlocale(LC_CTYPE, saved.c_str()); }

 private:
  std::string saved;
};

// UTF-8 `text` as wide characters (UTF-16 where wchar_t is 16 bits).
std::wstring Wide(const std::string& text) {
  std::wstring wide;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<uint8_t>(text[i]);
    const int more = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    uint32_t ch = more == 0 ? lead : lead & (0x3F >> more);
    for (int k = 1; k <= more && i + k < text.size(); ++k) ch = ch << 6 | (text[i + k] & 0x3F);
    i += 1 + more;
    if (sizeof(wchar_t) == 2 && ch >= 0x10000) {
      wide += static_cast<wchar_t>(0xD800 + ((ch - 0x10000) >> 10));
      ch = 0xDC00 + (ch & 0x3FF);
    }
    wide += static_cast<wchar_t>(ch);
  }
  return wide;
}

// Raw deflate of `bytes`, ending the stream when `last`, else left on a
// byte boundary (a sync flush) so that more pieces can follow.  Adds their
// CRC-32 to `crc`.
Bytes Deflated(const Bytes& bytes, bool last, uLong* crc) {
  Bytes out(bytes.size() + 1024);
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  z.next_in = const_cast<Bytef*>(bytes.data());
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
  if (status != (last ? Z_STREAM_END : Z_OK)) Refuse("deflate");
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  *crc = crc32(*crc, bytes.data(), static_cast<uInt>(bytes.size()));
  return out;
}

// `count` zero bytes as raw deflate that does not end the stream: one
// megabyte deflated once and repeated.  Adds their CRC-32 to `crc`.
Bytes DeflatedZeros(uint64_t count, uLong* crc) {
  constexpr uint64_t kPiece = 1u << 20;
  uLong pieceCrc = crc32(0, nullptr, 0);
  const Bytes piece = Deflated(Bytes(kPiece), false, &pieceCrc);
  Bytes out;
  for (uint64_t done = 0; done < count; done += kPiece) {
    if (count - done >= kPiece) {
      out.insert(out.end(), piece.begin(), piece.end());
      *crc = crc32_combine(*crc, pieceCrc, static_cast<z_off_t>(kPiece));
    } else {
      const Bytes rest = Deflated(Bytes(static_cast<size_t>(count - done)), false, crc);
      out.insert(out.end(), rest.begin(), rest.end());
    }
  }
  return out;
}

Bytes Le(uint32_t value, int length) {
  uint8_t bytes[4];
  d88::PutU32le(bytes, value);
  return Bytes(bytes, bytes + length);
}

void Put(Bytes* out, std::initializer_list<Bytes> parts) {
  for (const Bytes& part : parts) out->insert(out->end(), part.begin(), part.end());
}

// What an LZH is made of, as a file name: FNV-1a over each entry's name,
// kind and bytes, every part led by its length.
std::string LzhKey(const std::vector<ArchiveEntry>& entries) {
  uint64_t hash = 0xCBF29CE484222325u;
  auto add = [&hash](const uint8_t* bytes, size_t size) {
    uint8_t length[4];
    d88::PutU32le(length, static_cast<uint32_t>(size));
    for (const uint8_t byte : length) hash = (hash ^ byte) * 0x100000001B3u;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3u;
  };
  for (const ArchiveEntry& e : entries) {
    add(reinterpret_cast<const uint8_t*>(e.name.data()), e.name.size());
    const uint8_t folder = e.folder ? 1 : 0;
    add(&folder, 1);
    add(e.bytes.data(), e.bytes.size());
  }
  char key[17];
  std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash));
  return key;
}

Bytes TarHeader(const std::string& name, uint64_t size, bool folder = false) {
  if (name.size() >= 100) Refuse("a tar name of 100 bytes or more");
  Bytes h(512, 0);
  std::snprintf(reinterpret_cast<char*>(h.data()), 100, "%s", name.c_str());
  std::snprintf(reinterpret_cast<char*>(&h[100]), 24, "%07o%c%07o%c%07o", 0644, 0, 0, 0, 0);
  std::snprintf(reinterpret_cast<char*>(&h[124]), 24, "%011llo%c%011o",
                static_cast<unsigned long long>(size), 0, 0);
  h[156] = folder ? '5' : '0';
  std::snprintf(reinterpret_cast<char*>(&h[257]), 9, "ustar%c00", 0);
  unsigned sum = 8 * ' ';
  for (size_t i = 0; i < h.size(); ++i) sum += i >= 148 && i < 156 ? 0 : h[i];
  std::snprintf(reinterpret_cast<char*>(&h[148]), 8, "%06o", sum);
  h[155] = ' ';
  return h;
}

// `entry` as a tar member: its header, its bytes and the zeros that fill
// its last block.
Bytes TarMember(const ArchiveEntry& entry) {
  Bytes member = TarHeader(entry.name, entry.bytes.size(), entry.folder);
  Put(&member, {entry.bytes, Bytes((512 - entry.bytes.size() % 512) % 512, 0)});
  return member;
}

// A gzip file of `deflated`, raw deflate of `size` bytes whose CRC-32 is `crc`.
Bytes Gzip(const Bytes& deflated, uLong crc, uint64_t size) {
  Bytes gz = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
  Put(&gz, {deflated, Le(static_cast<uint32_t>(crc), 4), Le(static_cast<uint32_t>(size), 4)});
  return gz;
}

}  // namespace

Bytes BuildArchive(ArchiveKind kind, const std::vector<ArchiveEntry>& entries,
                   const ArchiveOptions& options) {
  const bool single = kind == ArchiveKind::kGzip || kind == ArchiveKind::kBzip2 || kind == ArchiveKind::kXz;
  const bool unicode = options.utf8Names || kind == ArchiveKind::k7z;
  const Ctype ctype(unicode ? "C.UTF-8" : "C");
  // tar is written here: libarchive's writer on Windows turns every '\' of
  // a name into '/', and the tests keep names as they give them.
  if (kind == ArchiveKind::kTar || kind == ArchiveKind::kTarGz) {
    Bytes tar;
    for (const ArchiveEntry& e : entries) Put(&tar, {TarMember(e)});
    tar.resize(tar.size() + 1024);  // the end: two blocks of zeros
    if (kind == ArchiveKind::kTar) return tar;
    uLong crc = crc32(0, nullptr, 0);
    const Bytes deflated = Deflated(tar, true, &crc);
    return Gzip(deflated, crc, tar.size());
  }
  struct archive* a = archive_write_new();
  switch (kind) {
    case ArchiveKind::kZip: archive_write_set_format_zip(a); break;
    case ArchiveKind::kZipStored:
      archive_write_set_format_zip(a);
      archive_write_set_options(a, "zip:compression=store");
      break;
    case ArchiveKind::k7z: archive_write_set_format_7zip(a); break;
    default:
      archive_write_set_format_raw(a);
      if (kind == ArchiveKind::kGzip) archive_write_add_filter_gzip(a);
      if (kind == ArchiveKind::kBzip2) archive_write_add_filter_bzip2(a);
      if (kind == ArchiveKind::kXz) archive_write_add_filter_xz(a);
      break;
  }
  // Stored as UTF-8, with the zip's flag saying so.
  if (options.utf8Names && archive_write_set_options(a, "zip:hdrcharset=UTF-8") != ARCHIVE_OK) {
    Refuse("no UTF-8 zip names");
  }
  if (!options.passphrase.empty() &&
      (archive_write_set_passphrase(a, options.passphrase.c_str()) != ARCHIVE_OK ||
       archive_write_set_options(a, "zip:encryption=zipcrypt") != ARCHIVE_OK)) {
    Refuse("no zip encryption");
  }
  archive_write_set_bytes_in_last_block(a, 1);
  Bytes out;
  if (archive_write_open(a, &out, nullptr, Append, nullptr) != ARCHIVE_OK) Refuse(archive_error_string(a));
  for (const ArchiveEntry& e : entries) {
    struct archive_entry* entry = archive_entry_new();
    if (unicode) {
      archive_entry_copy_pathname_w(entry, Wide(e.name).c_str());
    } else {
      archive_entry_copy_pathname(entry, e.name.c_str());
    }
    archive_entry_set_filetype(entry, e.folder ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, static_cast<la_int64_t>(e.bytes.size()));
    if (archive_write_header(a, entry) != ARCHIVE_OK ||
        (!e.bytes.empty() && archive_write_data(a, e.bytes.data(), e.bytes.size()) !=
                                 static_cast<la_ssize_t>(e.bytes.size()))) {
      Refuse(archive_error_string(a));
    }
    archive_entry_free(entry);
    if (single) break;
  }
  if (archive_write_close(a) != ARCHIVE_OK) Refuse(archive_error_string(a));
  archive_write_free(a);
  return out;
}

Bytes BuildLzh(const std::vector<ArchiveEntry>& entries) {
  const char* keptDir = std::getenv(kLzhDirVariable);
  const std::string kept =
      keptDir != nullptr && *keptDir != '\0' ? (fs::path(keptDir) / (LzhKey(entries) + ".lzh")).string() : "";
#if defined(_WIN32)
  return kept.empty() ? Bytes() : ReadFile(kept);
#else
  ScratchDir dir;
  // Level 1 headers, whose one-byte checksum a test can mend after a patch.
  std::vector<std::string> args = {"LC_ALL=C.UTF-8", "JAVA_TOOL_OPTIONS=-Dlha.encoding=MS932", "jlha",
                                   "c1", "out.lzh"};
  for (const ArchiveEntry& e : entries) {
    const fs::path path = fs::u8path(dir / e.name);
    fs::create_directories(path.parent_path());
    if (e.folder) continue;
    WriteFile(path.string(), e.bytes);
    args.push_back(e.name);
  }
  if (RunProcess("env", args, dir.path()).status != 0) return Bytes();
  const Bytes lzh = ReadFile(dir / "out.lzh");
  if (!kept.empty() && !lzh.empty()) {
    fs::create_directories(keptDir);
    WriteFile(kept, lzh);
  }
  return lzh;
#endif
}

Bytes ZipOfZeros(const std::string& name, uint32_t zeros) {
  uLong crc = crc32(0, nullptr, 0);
  Bytes data = DeflatedZeros(zeros, &crc);
  Put(&data, {{0x03, 0x00}});  // the final block, empty
  const Bytes crcField = Le(static_cast<uint32_t>(crc), 4);
  const Bytes fields = {20, 0, 0, 0, 8, 0, 0, 0, 0x21, 0};  // version, flags, deflate, time, date
  const Bytes named(name.begin(), name.end());
  Bytes zip;
  Put(&zip, {{'P', 'K', 3, 4}, fields, crcField, Le(static_cast<uint32_t>(data.size()), 4), Le(zeros, 4),
             Le(static_cast<uint32_t>(name.size()), 2), Le(0, 2), named, data});
  const uint32_t directory = static_cast<uint32_t>(zip.size());
  Put(&zip, {{'P', 'K', 1, 2, 20, 0}, fields, crcField, Le(static_cast<uint32_t>(data.size()), 4),
             Le(zeros, 4), Le(static_cast<uint32_t>(name.size()), 2), Bytes(12, 0), Le(0, 4), named});
  const uint32_t directorySize = static_cast<uint32_t>(zip.size()) - directory;
  Put(&zip, {{'P', 'K', 5, 6, 0, 0, 0, 0, 1, 0, 1, 0}, Le(directorySize, 4), Le(directory, 4), Le(0, 2)});
  return zip;
}

Bytes TarGzOfZeros(const std::string& name, uint64_t zeros, const ArchiveEntry& after) {
  if (zeros % 512 != 0) Refuse("the zeros of a tar member fill whole blocks");
  uLong crc = crc32(0, nullptr, 0);
  Bytes tail = TarMember(after);
  tail.resize(tail.size() + 1024);
  Bytes deflated = Deflated(TarHeader(name, zeros), false, &crc);
  Put(&deflated, {DeflatedZeros(zeros, &crc), Deflated(tail, true, &crc)});
  return Gzip(deflated, crc, 512 + zeros + tail.size());
}

}  // namespace testimg
