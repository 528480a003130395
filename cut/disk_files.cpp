#include "cut/disk_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>

#include "cut/platform.h"
#include "cut/shift_jis.h"
#include "fs/safe_name.h"

namespace cut {

namespace {

// A plain file (no header) is a hard disk only from this size on: every
// floppy is far smaller, and a table is then not found in a floppy's boot
// code by chance.
constexpr uint64_t kSmallestPlainHardDisk = 4u << 20;

std::string Plural(uint64_t n, const char* noun) {
  return Thousands(n) + " " + noun + (n == 1 ? "" : "s");
}

// CP932 bytes as UTF-8, or escaped where they are no CP932 text.
std::string Cp932Text(const std::string& bytes) {
  std::string text;
  return Cp932ToUtf8(bytes, &text) ? text : EscapeText(bytes, false);
}

void PutUtf8(uint32_t code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | code >> 6);
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | code >> 12);
    *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | code >> 18);
    *out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// UTF-16 as UTF-8; a surrogate without its pair becomes U+FFFD.
std::string Utf16Text(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    PutUtf8(code, &out);
  }
  return out;
}

// The short name with the case an NT system recorded for its base name
// (0x08) and its extension (0x10): ASCII letters only, never the second
// byte of a double-byte character.
std::string WithRecordedCase(const std::string& raw, uint8_t flags) {
  std::string name = raw;
  const size_t dot = name.rfind('.');
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned byte = static_cast<unsigned char>(name[i]);
    if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) {
      ++i;  // a lead byte: its trail byte is no letter
      continue;
    }
    const bool inExtension = dot != std::string::npos && i > dot;
    if ((flags & (inExtension ? 0x10 : 0x08)) != 0) name[i] = d88::AsciiLower(name[i]);
  }
  return name;
}

}  // namespace

bool ListDiskFiles(d88::D88Image& image, fs::Listing* listing) {
  *listing = fs::Listing();
  fs::FloppyGeometry geometry;
  if (!fs::DetectFloppyGeometry(image, &geometry)) return false;
  fs::FloppyVolume volume(image, geometry);
  return fs::ListVolume(volume, listing);
}

std::unique_ptr<fs::Volume> DiskVolume(d88::D88Image& image) {
  fs::FloppyGeometry geometry;
  if (!fs::DetectFloppyGeometry(image, &geometry)) return nullptr;
  return std::make_unique<fs::FloppyVolume>(image, geometry);
}

std::string NameText(const fs::NameComponent& name) {
  if (!name.longName.empty()) return Utf16Text(name.longName);
  return Cp932Text(WithRecordedCase(name.raw, name.caseFlags));
}

std::string PathText(const fs::Entry& entry) {
  std::string path;
  for (const fs::NameComponent& name : entry.path) {
    if (!path.empty()) path += '/';
    path += NameText(name);
  }
  return path;
}

std::string TimeText(const fs::DateTime& time, bool iso) {
  if (!time.valid) return iso ? "" : "-";
  char text[32];
  if (iso) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", time.year, time.month, time.day,
                  time.hour, time.minute);
  }
  return text;
}

std::string Thousands(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string FilesSummary(const fs::Listing& listing) {
  uint64_t folders = 0, files = 0, bytes = 0;
  for (const fs::Entry& entry : listing.entries) {
    if (entry.isDirectory) {
      ++folders;
    } else {
      ++files;
      bytes += entry.size;
    }
  }
  std::string text = listing.type;
  if (!listing.label.empty()) text += " \"" + Cp932Text(listing.label) + "\"";
  return text + ", " + Plural(folders, "folder") + ", " + Plural(files, "file") + ", " +
         Plural(bytes, "byte");
}

std::string ProblemText(const std::string& problem) { return Cp932Text(problem); }

HardDiskImage::~HardDiskImage() { Close(); }

void HardDiskImage::Close() {
  source.reset();
  if (file != nullptr) std::fclose(file);
  file = nullptr;
  disk = fs::HardDisk();
}

bool HardDiskImage::Open(const char* path) {
  Close();
  file = path != nullptr ? std::fopen(path, "rb") : nullptr;
  if (file == nullptr) return false;
  const uint64_t size = platform::SizeOf(file);
  source = std::make_unique<fs::FileByteSource>(file, size);
  if (!fs::ReadHardDisk(*source, &disk) ||
      (disk.format == "plain" && size < kSmallestPlainHardDisk)) {
    Close();
    return false;
  }
  return true;
}

std::unique_ptr<fs::Volume> HardDiskImage::Partition(size_t index) {
  if (source == nullptr || index >= disk.partitions.size()) return nullptr;
  const fs::Partition& p = disk.partitions[index];
  return std::make_unique<fs::ByteRangeVolume>(*source, p.offset, p.size, disk.sectorSize);
}

std::string HardDiskLine(const fs::HardDisk& disk) {
  const uint64_t bytes = disk.sectorCount * static_cast<uint64_t>(disk.sectorSize);
  const uint64_t megabytes = (bytes + (1u << 19)) >> 20;
  return "hard disk " + disk.format + ", " + std::to_string(disk.sectorSize) + "-byte sectors, " +
         Thousands(megabytes) + " MB";
}

FilesWritten WriteFiles(fs::Volume& volume, const fs::Listing& listing, const std::string& folder,
                        const std::function<void(const std::string&)>& warn,
                        std::vector<std::string>* writtenAs) {
  FilesWritten written;
  if (writtenAs != nullptr) writtenAs->assign(listing.entries.size(), std::string());
  for (const std::string& problem : listing.problems) {
    warn(ProblemText(problem));
    written.damaged = true;
  }
  if (!platform::MakeFolders(folder)) {
    warn("cannot make the folder " + folder + ": " + std::strerror(errno));
    written.notWritten = 1;
    return written;
  }
  // Folders before what they hold: by depth, in listed order otherwise.
  std::vector<const fs::Entry*> order;
  for (const fs::Entry& entry : listing.entries) order.push_back(&entry);
  const auto rank = [](const fs::Entry* e) { return e->isDirectory ? e->path.size() : SIZE_MAX; };
  std::stable_sort(order.begin(), order.end(),
                   [&](const fs::Entry* a, const fs::Entry* b) { return rank(a) < rank(b); });
  // Each folder written, by its path on the disk: its path here, and the
  // names taken in it.
  struct Folder {
    std::string path;  // "" for the top
    fs::FolderNames names;
  };
  std::map<std::string, Folder> folders;
  folders[std::string()] = Folder();
  std::vector<std::pair<std::string, fs::DateTime>> folderTimes;
  const auto noteWritten = [&](const fs::Entry* entry, const std::string& inside) {
    if (writtenAs == nullptr) return;
    (*writtenAs)[static_cast<size_t>(entry - listing.entries.data())] = inside;
  };
  std::vector<uint8_t> bytes;
  // Each cluster belongs to one file on a sound volume, so its files come
  // to no more than it holds; files that share clusters on a damaged one
  // could each claim the whole of it, and stop there.
  const uint64_t volumeBytes = volume.SectorCount() * static_cast<uint64_t>(volume.SectorSize());
  uint64_t total = 0;
  bool overrun = false;
  for (const fs::Entry* entry : order) {
    if (entry->path.empty()) continue;
    const std::string shown = PathText(*entry);
    std::string parentKey;
    for (size_t i = 0; i + 1 < entry->path.size(); ++i) parentKey += NameText(entry->path[i]) + "/";
    const auto parent = folders.find(parentKey);
    if (parent == folders.end()) continue;  // inside a folder refused or not written
    const std::string safe = fs::SafeName(NameText(entry->path.back()));
    if (safe.empty()) {
      warn(shown + ": the name cannot be a file's name here; not written");
      written.damaged = true;
      continue;
    }
    const std::string name = parent->second.names.Unique(safe);
    const std::string inside =
        parent->second.path.empty() ? name : parent->second.path + "/" + name;
    if (entry->isDirectory) {
      if (!platform::MakeFoldersIn(folder, inside)) {
        warn(shown + ": cannot make the folder: " + std::strerror(errno));
        ++written.notWritten;
        continue;
      }
      Folder made;
      made.path = inside;
      folders[parentKey + NameText(entry->path.back()) + "/"] = std::move(made);
      folderTimes.emplace_back(inside, entry->modified);
      noteWritten(entry, inside);
      ++written.folders;
      continue;
    }
    if (overrun) continue;
    std::string problem;
    fs::ReadFile(volume, listing, *entry, &bytes, &problem);
    if (bytes.size() > volumeBytes - total) {
      warn(shown + ": the files come to more than the volume holds; it and the rest are not "
           "written");
      written.damaged = true;
      overrun = true;
      continue;
    }
    total += bytes.size();
    // Said once: a chain's fault is found by the listing and met again here.
    if (std::find(listing.problems.begin(), listing.problems.end(), problem) != listing.problems.end()) {
      problem.clear();
    }
    if (!problem.empty()) {
      warn(ProblemText(problem));
      written.damaged = true;
    }
    std::FILE* out = platform::CreateIn(folder, inside);
    const bool sound = out != nullptr &&
                       (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size());
    const int error = errno;
    const bool closed = out != nullptr && std::fclose(out) == 0;
    if (!sound || !closed) {
      warn(shown + ": cannot write it: " + std::strerror(error != 0 ? error : EIO));
      ++written.notWritten;
      continue;
    }
    const fs::DateTime& t = entry->modified;
    if (t.valid) {
      platform::SetModifiedIn(folder, inside, {t.year, t.month, t.day, t.hour, t.minute, t.second});
    }
    noteWritten(entry, inside);
    ++written.files;
  }
  // A folder's time last, once nothing more is written into it.
  for (auto it = folderTimes.rbegin(); it != folderTimes.rend(); ++it) {
    const fs::DateTime& t = it->second;
    if (t.valid) {
      platform::SetModifiedIn(folder, it->first, {t.year, t.month, t.day, t.hour, t.minute, t.second});
    }
  }
  return written;
}

}  // namespace cut
