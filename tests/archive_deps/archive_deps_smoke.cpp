// Lists archives with the libarchive and zlib this build links and checks
// the listing against the expected one: in each build (the cross builds
// compile both from source) the readers, the decoders and the member-name
// handling the programs rely on must work.
//
//   archive_deps_smoke [--hdrcharset=CHARSET] DIR
//   archive_deps_smoke [--hdrcharset=CHARSET] --list ARCHIVE...
//
// prints "ARCHIVE: NAME SIZE CRC32" per member (NAME's bytes as stored,
// those that are not plain ASCII as \xNN): of the archives in DIR, compared
// with DIR/expected.txt (make_archives.py writes both), or of the archives
// given, only printed.  Names come through hdrcharset=ISO-8859-1
// in a UTF-8 locale, which maps every stored byte to one code point, so a
// Shift-JIS name without the UTF-8 flag comes back byte for byte.
#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The name's code points back to the bytes they stand for; false when one
// lies above U+00FF (the name came back decoded, not as its bytes).
bool name_bytes(const char* utf8, std::string& out) {
  out.clear();
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p != 0;) {
    if (*p < 0x80) {
      out += static_cast<char>(*p++);
    } else if ((p[0] & 0xE0) == 0xC0 && (p[1] & 0xC0) == 0x80 && p[0] <= 0xC3) {
      out += static_cast<char>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
      p += 2;
    } else {
      return false;
    }
  }
  return true;
}

std::string shown(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

const char* base_name(const char* path) {
  const char* base = path;
  for (const char* p = path; *p != 0; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  return base;
}

// Appends one line per member of the archive at path; false on any error.
bool list(const char* path, const std::string& charset, std::vector<std::string>& lines) {
  archive* a = archive_read_new();
  archive_read_support_filter_gzip(a);
  archive_read_support_filter_bzip2(a);
  archive_read_support_filter_xz(a);
  archive_read_support_format_zip(a);
  archive_read_support_format_7zip(a);
  archive_read_support_format_lha(a);
  archive_read_support_format_rar(a);
  archive_read_support_format_rar5(a);
  archive_read_support_format_tar(a);
  archive_read_support_format_raw(a);
  bool ok = archive_read_set_options(a, ("hdrcharset=" + charset).c_str()) == ARCHIVE_OK &&
            archive_read_open_filename(a, path, 1 << 16) == ARCHIVE_OK;
  archive_entry* entry = nullptr;
  while (ok) {
    int status = archive_read_next_header(a, &entry);
    if (status == ARCHIVE_EOF) break;
    const char* utf8 = status == ARCHIVE_OK ? archive_entry_pathname_utf8(entry) : nullptr;
    if (utf8 == nullptr) {
      std::fprintf(stderr, "%s: a member's name is lost: %s\n", path, archive_error_string(a));
      ok = false;
      break;
    }
    // A name decoded to other characters shows as "=" and its UTF-8 (and
    // then differs from the expected bytes).
    std::string name;
    if (!name_bytes(utf8, name)) name = std::string("=") + utf8;
    uLong crc = crc32(0, Z_NULL, 0);
    long long size = 0;
    char buffer[16384];
    la_ssize_t n;
    while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0) {
      crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(n));
      size += n;
    }
    if (n < 0) {
      std::fprintf(stderr, "%s: %s: %s\n", path, shown(name).c_str(), archive_error_string(a));
      ok = false;
      break;
    }
    char tail[48];
    std::snprintf(tail, sizeof tail, " %lld %08lx", size, static_cast<unsigned long>(crc));
    lines.push_back(std::string(base_name(path)) + ": " + shown(name) + tail);
  }
  if (!ok && archive_errno(a) != 0) std::fprintf(stderr, "%s: %s\n", path, archive_error_string(a));
  archive_read_free(a);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C.UTF-8");
  std::string charset = "ISO-8859-1";
  int first = 1;
  if (argc > 1 && std::strncmp(argv[1], "--hdrcharset=", 13) == 0) {
    charset = argv[1] + 13;
    ++first;
  }
  std::vector<std::string> lines;
  if (argc - first >= 2 && std::strcmp(argv[first], "--list") == 0) {
    bool ok = true;
    for (int i = first + 1; i < argc; ++i) ok = list(argv[i], charset, lines) && ok;
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    return ok ? 0 : 1;
  }
  if (argc - first != 1) {
    std::fprintf(stderr, "usage: archive_deps_smoke [--hdrcharset=CHARSET] DIR\n"
                         "       archive_deps_smoke [--hdrcharset=CHARSET] --list ARCHIVE...\n");
    return 2;
  }

  // DIR/expected.txt: the lines to print, whose first fields name the
  // archives in DIR in the order they are read.
  const std::string dir = argv[first];
  std::vector<std::string> expected;
  std::vector<std::string> archives;
  if (std::FILE* f = std::fopen((dir + "/expected.txt").c_str(), "r")) {
    char line[1024];
    while (std::fgets(line, sizeof line, f) != nullptr) {
      expected.emplace_back(line, std::strcspn(line, "\r\n"));
      std::string name = expected.back().substr(0, expected.back().find(": "));
      if (archives.empty() || archives.back() != name) archives.push_back(name);
    }
    std::fclose(f);
  }
  if (expected.empty()) {
    std::fprintf(stderr, "nothing expected in %s/expected.txt\n", dir.c_str());
    return 1;
  }
  bool ok = true;
  for (const std::string& name : archives) ok = list((dir + "/" + name).c_str(), charset, lines) && ok;
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  if (lines != expected) {
    std::fprintf(stderr, "the listing differs from %s/expected.txt, which says:\n", dir.c_str());
    for (const std::string& line : expected) std::fprintf(stderr, "%s\n", line.c_str());
    return 1;
  }
  return ok ? 0 : 1;
}
