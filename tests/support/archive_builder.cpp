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

// libarchive writes names in the locale's charset: the C locale keeps a
// name's bytes as they are, a UTF-8 one flags zip names as UTF-8 and lets
// 7z store them as Unicode.
class Ctype {
 public:
  explicit Ctype(const char* name) : saved(std::setlocale(LC_CTYPE, nullptr)) {
    std::setlocale(LC_CTYPE, name);
  }
  ~Ctype() { std::setlocale(LC_CTYPE, saved.c_str()); }

 private:
  std::string saved;
};

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

Bytes TarHeader(const std::string& name, uint64_t size) {
  Bytes h(512, 0);
  std::snprintf(reinterpret_cast<char*>(h.data()), 100, "%s", name.c_str());
  std::snprintf(reinterpret_cast<char*>(&h[100]), 24, "%07o%c%07o%c%07o", 0644, 0, 0, 0, 0);
  std::snprintf(reinterpret_cast<char*>(&h[124]), 24, "%011llo%c%011o",
                static_cast<unsigned long long>(size), 0, 0);
  h[156] = '0';
  std::snprintf(reinterpret_cast<char*>(&h[257]), 9, "ustar%c00", 0);
  unsigned sum = 8 * ' ';
  for (size_t i = 0; i < h.size(); ++i) sum += i >= 148 && i < 156 ? 0 : h[i];
  std::snprintf(reinterpret_cast<char*>(&h[148]), 8, "%06o", sum);
  h[155] = ' ';
  return h;
}

}  // namespace

Bytes BuildArchive(ArchiveKind kind, const std::vector<ArchiveEntry>& entries,
                   const ArchiveOptions& options) {
  const bool single = kind == ArchiveKind::kGzip || kind == ArchiveKind::kBzip2 || kind == ArchiveKind::kXz;
  const Ctype ctype(options.utf8Names || kind == ArchiveKind::k7z ? "C.UTF-8" : "C");
  struct archive* a = archive_write_new();
  switch (kind) {
    case ArchiveKind::kZip: archive_write_set_format_zip(a); break;
    case ArchiveKind::kZipStored:
      archive_write_set_format_zip(a);
      archive_write_set_options(a, "zip:compression=store");
      break;
    case ArchiveKind::k7z: archive_write_set_format_7zip(a); break;
    case ArchiveKind::kTar: archive_write_set_format_ustar(a); break;
    case ArchiveKind::kTarGz:
      archive_write_set_format_ustar(a);
      archive_write_add_filter_gzip(a);
      break;
    default:
      archive_write_set_format_raw(a);
      if (kind == ArchiveKind::kGzip) archive_write_add_filter_gzip(a);
      if (kind == ArchiveKind::kBzip2) archive_write_add_filter_bzip2(a);
      if (kind == ArchiveKind::kXz) archive_write_add_filter_xz(a);
      break;
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
    archive_entry_copy_pathname(entry, e.name.c_str());
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
  return ReadFile(dir / "out.lzh");
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
  Bytes tail = TarHeader(after.name, after.bytes.size());
  Put(&tail, {after.bytes, Bytes((512 - after.bytes.size() % 512) % 512 + 1024, 0)});
  Bytes gz = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
  Put(&gz, {Deflated(TarHeader(name, zeros), false, &crc), DeflatedZeros(zeros, &crc),
            Deflated(tail, true, &crc)});
  const uint64_t size = 512 + zeros + tail.size();
  Put(&gz, {Le(static_cast<uint32_t>(crc), 4), Le(static_cast<uint32_t>(size), 4)});
  return gz;
}

}  // namespace testimg
