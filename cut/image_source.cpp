#include "cut/image_source.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <utility>

#include "containers/d88_check.h"
#include "cut/platform.h"
#include "cut/shift_jis.h"
#include "d88/d88_format.h"

namespace cut {

namespace {

// The first bytes of a member, enough for a look at what it is.
constexpr size_t kPeek = 4096;
constexpr size_t kMegabyte = 1u << 20;

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

unsigned char Folded(char ch) { return static_cast<unsigned char>(d88::AsciiLower(ch)); }

// libarchive turns a backslash in a name into '/' where the archiver may have
// meant a DOS folder separator (a zip made on DOS or Windows, RAR, an LZH
// of level 0).  In a CP932 name that byte may be the second of a character
// (ソ is 83 5C), and a '/' never is: such a '/' is put back.
void MendSecondBytes(std::string* name) {
  for (size_t i = 0; i + 1 < name->size(); ++i) {
    const auto lead = static_cast<unsigned char>((*name)[i]);
    if (ShiftJisSingle(lead) != 0) continue;
    if ((*name)[i + 1] == '/' && ShiftJisChar(lead << 8 | '\\') != 0) (*name)[i + 1] = '\\';
    ++i;  // the character's second byte
  }
}

std::string Megabytes(size_t bytes) { return std::to_string(bytes / kMegabyte) + " MB"; }

// Why a member libarchive could not hand over is skipped.
std::string Reason(const archives::Member& member) {
  // libarchive's words, kept to plain text: they may quote the archive.
  const std::string detail = member.detail.empty() ? "" : " (" + EscapeText(member.detail, false) + ")";
  switch (member.skip) {
    case archives::Skip::kNotAFile: return "not a file";
    case archives::Skip::kEncrypted: return "encrypted";
    case archives::Skip::kUnsupported: return "compression method not supported" + detail;
    case archives::Skip::kDamaged: return "damaged" + detail;
    case archives::Skip::kTooLarge: return "larger than " + Megabytes(kLargestMember) + detail;
    case archives::Skip::kPastTotal:
      return "past the first " + Megabytes(kArchiveTotal) + " read from the archive";
    case archives::Skip::kNone: break;
  }
  return std::string();
}

constexpr char kNotAnImage[] = "not a disk image";
std::string PastTheImages() { return "past the first " + Megabytes(kArchiveTotal) + " of disk images"; }
constexpr char kNested[] = "an archive inside an archive is not opened";

// How large a member may be, decided from its first bytes: no larger than
// an image file of that kind (a flux dump far larger than a sector image),
// nor than the archive's total.
size_t MemberBound(const uint8_t* first, size_t size) {
  return std::min(containers::LargestImage(first, size), kArchiveTotal);
}

// A KryoFlux dump given as its folder is read as its first stream file,
// which finds the rest of its set beside it by name; "" when the folder
// holds none.
std::string FirstStreamFile(const std::string& folder) {
  std::vector<std::string> names;
  if (!platform::ListFolder(folder, &names)) return std::string();
  std::string first;
  for (const std::string& name : names) {
    if (containers::StreamFileName(name) && (first.empty() || NaturalLess(name, first))) {
      first = name;
    }
  }
  return first.empty() ? first : platform::Join(folder, first);
}

}  // namespace

std::string BareName(const std::string& path) {
  std::string name = path.substr(platform::NameStart(path));
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    std::string extension;
    for (size_t i = dot; i < name.size(); ++i) extension += static_cast<char>(Folded(name[i]));
    if (extension == ".gz" || extension == ".bz2" || extension == ".xz") name.erase(dot);
  }
  return name;
}

std::string NameText(const std::string& name, bool utf8) {
  if (utf8 && IsUtf8(name)) return EscapeText(name, true);
  std::string text;
  if (!utf8 && Cp932ToUtf8(name, &text)) return EscapeText(text, true);
  return EscapeText(name, false);
}

bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Leading zeros aside, a longer run is a larger number.
      while (i < a.size() && a[i] == '0') ++i;
      while (j < b.size() && b[j] == '0') ++j;
      size_t endA = i;
      size_t endB = j;
      while (endA < a.size() && IsDigit(a[endA])) ++endA;
      while (endB < b.size() && IsDigit(b[endB])) ++endB;
      if (endA - i != endB - j) return endA - i < endB - j;
      const int order = a.compare(i, endA - i, b, j, endB - j);
      if (order != 0) return order < 0;
      i = endA;
      j = endB;
      continue;
    }
    if (Folded(a[i]) != Folded(b[j])) return Folded(a[i]) < Folded(b[j]);
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return j < b.size();
  return a < b;  // the same but for case or zeros: one order all the same
}

// One member as read: its place in the order, what d88info shows of it,
// and its disks as D88 bytes.
struct ImageSource::Read {
  std::string key;  // the name's bytes
  std::string set;  // a KryoFlux stream file's set, read with the others
  ArchiveMember shown;
  std::string warning;
  containers::OwnedBytes image;  // null where it gave no disk or was joined
};

ImageSource::ImageSource() : reader({kArchiveTotal, kArchiveMembers}) {}
ImageSource::~ImageSource() = default;

const uint8_t* ImageSource::D88Data() const { return archive ? joined.bytes.get() : file.D88Data(); }
size_t ImageSource::D88Size() const { return archive ? joined.size : file.D88Size(); }

int ImageSource::MemberOf(int disk) const {
  return disk >= 0 && static_cast<size_t>(disk) < diskMembers.size()
             ? diskMembers[static_cast<size_t>(disk)]
             : -1;
}

void ImageSource::PrintWarnings(const char* path, std::FILE* err) const {
  for (const SourceWarning& w : warnings) {
    std::fprintf(err, "warning: %s:%s%s %s\n", path, w.member.c_str(), w.member.empty() ? "" : ":",
                 w.text.c_str());
  }
}

bool ImageSource::Open(const char* path, d88::D88Image& image) {
  archive = false;
  format.clear();
  members.clear();
  diskMembers.clear();
  warnings.clear();
  joined.size = 0;
  hardDisk.Close();
  // A folder holding a KryoFlux dump is that dump.
  std::string stream;
  if (path != nullptr && platform::KindOf(path) == platform::PathKind::kFolder) {
    stream = FirstStreamFile(path);
  }
  bool opened = file.OpenRecognised(stream.empty() ? path : stream.c_str(), image);
  if (!opened && file.Refused()) {
    // A file the container layer holds is read from its bytes; a larger
    // one streams from the file when it starts with an archive's signature.
    const bool isArchive = file.Loaded() != nullptr
                               ? reader.OpenMemory(file.Loaded(), file.LoadedSize())
                               : reader.OpenFile(path);
    if (isArchive) {
      opened = OpenArchive(path, image);
      reader.Close();
      return opened;
    }
    if (hardDisk.Open(path)) {
      image.Open(nullptr);
      for (const std::string& problem : hardDisk.Disk().problems) warnings.push_back({std::string(), problem});
      return true;
    }
    opened = file.OpenAsD88(path, image);
  }
  if (!file.Warning().empty()) warnings.push_back({std::string(), file.Warning()});
  return opened;
}

void ImageSource::ReadMember(archives::Member* member, Read* read) {
  using archives::Reader;
  Reader::Read got = Reader::Read::kFailed;
  if (member->skip == archives::Skip::kNone) {
    got = reader.ReadOn(member, kPeek);
    if (got == Reader::Read::kLonger) {
      got = reader.ReadOn(member, MemberBound(reader.Data(), reader.Size()));
    }
    if (got == Reader::Read::kLonger) member->skip = archives::Skip::kTooLarge;
  }
  const bool nested = archives::HasArchiveMagic(reader.Data(), reader.Size());
  if (got != Reader::Read::kWhole) {
    read->shown.skipped = member->skip == archives::Skip::kTooLarge && nested ? kNested : Reason(*member);
    // A member past the total is said once, for the archive.
    if (member->skip != archives::Skip::kNotAFile && member->skip != archives::Skip::kPastTotal) {
      read->warning = "skipped, " + read->shown.skipped;
    }
    return;
  }
  // The stream files of a KryoFlux dump make one image together.
  if (containers::IsStreamFile(reader.Data(), reader.Size(), read->key, &read->set)) {
    read->image = reader.Release();
    return;
  }
  containers::Conversion info;
  const containers::Taken taken =
      containers::ConvertImage(reader.Data(), reader.Size(), read->key, &info, &converted);
  if (taken == containers::Taken::kNone) {
    read->shown.skipped = !info.warning.empty() ? info.warning : nested ? kNested : kNotAnImage;
    if (read->shown.skipped != kNotAnImage) read->warning = "skipped, " + read->shown.skipped;
    return;
  }
  if (taken == containers::Taken::kD88) {
    read->image = reader.Release();
  } else {
    read->image = std::move(converted);
    converted = containers::OwnedBytes();
  }
  // Both are sound D88 chains: the strict check's, or the writer's.
  containers::IsD88(read->image.bytes.get(), read->image.size, &read->shown.disks);
  read->shown.kind = info.kind;
  read->warning = info.warning;
}

bool ImageSource::OpenArchive(const char* path, d88::D88Image& image) {
  archive = true;
  format = reader.Format();
  std::vector<Read> reads;
  archives::Member member;
  // What the members' images come to once converted: a small member may
  // convert to megabytes of D88 (a sector stored as one byte), so their
  // sum is bounded as the bytes read are, and nothing past it is held.
  size_t held = 0;
  bool full = false;
  while (!full && reader.Next(&member)) {
    Read read;
    read.key = reader.Single() ? BareName(path) : member.name;
    if (!reader.Single() && !member.utf8) MendSecondBytes(&read.key);
    const bool utf8 = reader.Single() ? IsUtf8(read.key) : member.utf8;
    read.shown.name = NameText(read.key, utf8);
    ReadMember(&member, &read);
    if (read.image.size > kArchiveTotal - held) {
      read.image.bytes.reset();
      read.image.size = 0;
      read.shown.disks = 0;
      read.shown.skipped = PastTheImages();
      read.warning.clear();
      full = true;
    }
    held += read.image.size;
    reads.push_back(std::move(read));
  }
  std::stable_sort(reads.begin(), reads.end(),
                   [](const Read& a, const Read& b) { return NaturalLess(a.key, b.key); });
  JoinStreamSets(&reads);
  for (const Read& read : reads) {
    members.push_back(read.shown);
    if (!read.warning.empty()) warnings.push_back({read.shown.name, read.warning});
  }
  if (full) {
    warnings.push_back({std::string(), "its disk images come to more than " +
                                           Megabytes(kArchiveTotal) + "; the rest are not read"});
  }
  switch (full ? archives::Stop::kNone : reader.Stopped()) {
    case archives::Stop::kMembers:
      warnings.push_back({std::string(), "holds more than " + std::to_string(kArchiveMembers) +
                                             " members; the rest are not looked at"});
      break;
    case archives::Stop::kTotal:
      warnings.push_back({std::string(), "its members come to more than " +
                                             Megabytes(kArchiveTotal) + "; the rest are not read"});
      break;
    case archives::Stop::kDamaged:
      warnings.push_back({std::string(), "damaged (" + EscapeText(reader.StopDetail(), false) +
                                             "); the members after those listed are not read"});
      break;
    case archives::Stop::kNone:
      break;
  }
  return Join(&reads, image);
}

// Each KryoFlux set's stream files, read one by one, become one image in
// the place of the set's first file; the set is shown as one member.
void ImageSource::JoinStreamSets(std::vector<Read>* reads) {
  std::vector<Read> kept;
  std::vector<containers::StreamFile> files;
  size_t held = 0;  // the images and stream files held: bounded as the members are
  for (const Read& r : *reads) held += r.image.bytes != nullptr ? r.image.size : 0;
  for (size_t i = 0; i < reads->size(); ++i) {
    Read& first = (*reads)[i];
    if (first.set.empty()) {
      kept.push_back(std::move(first));
      continue;
    }
    if (first.image.bytes == nullptr) continue;  // read with an earlier file of its set
    files.clear();
    size_t raw = 0;
    for (size_t j = i; j < reads->size(); ++j) {
      const Read& r = (*reads)[j];
      if (r.set == first.set && r.image.bytes != nullptr) {
        files.push_back({r.key, r.image.bytes.get(), r.image.size});
        raw += r.image.size;
      }
    }
    containers::Conversion info;
    const containers::Taken taken =
        containers::ConvertStreamSet(files.data(), files.size(), &info, &converted);
    Read set;
    set.key = first.key;
    set.shown.name = NameText(first.set, IsUtf8(first.set)) + "NN.S.raw";
    set.shown.kind = containers::Kind::kKryoFlux;
    if (taken == containers::Taken::kNone) {
      set.shown.skipped = info.warning.empty() ? kNotAnImage : info.warning;
      set.warning = "skipped, " + set.shown.skipped;
    } else if (converted.size > kArchiveTotal - (held - raw)) {
      set.shown.skipped = PastTheImages();
      set.warning = "skipped, " + set.shown.skipped;
      converted.size = 0;
    } else {
      set.image = std::move(converted);
      converted = containers::OwnedBytes();
      containers::IsD88(set.image.bytes.get(), set.image.size, &set.shown.disks);
      set.warning = EscapeText(info.warning, false);
    }
    for (size_t j = i; j < reads->size(); ++j) {
      if ((*reads)[j].set == first.set) (*reads)[j].image.bytes.reset();
    }
    held = held - raw + set.image.size;
    kept.push_back(std::move(set));
  }
  *reads = std::move(kept);
}

// The images' disks one after the other, each image's buffer let go as
// soon as it is copied, so that the joining holds the disks about once.
bool ImageSource::Join(std::vector<Read>* reads, d88::D88Image& image) {
  size_t total = 0;
  const Read* only = nullptr;
  int images = 0;
  for (const Read& read : *reads) {
    if (read.image.bytes == nullptr) continue;
    total += read.image.size;
    only = &read;
    ++images;
  }
  if (images == 0) {
    const int seen = reader.MembersSeen();
    warnings.push_back({std::string(), "an archive with no disk image in it (" + std::to_string(seen) +
                                           (seen == 1 ? " member)" : " members)")});
    errno = 0;
    return false;
  }
  if (images == 1) {
    joined = std::move((*reads)[static_cast<size_t>(only - reads->data())].image);
  } else if (!joined.Renew(total)) {
    errno = ENOMEM;
    return false;
  }
  size_t at = 0;
  for (size_t m = 0; m < reads->size(); ++m) {
    Read& read = (*reads)[m];
    for (int d = 0; d < read.shown.disks; ++d) diskMembers.push_back(static_cast<int>(m));
    if (read.image.bytes == nullptr) continue;
    std::copy(read.image.bytes.get(), read.image.bytes.get() + read.image.size, joined.bytes.get() + at);
    at += read.image.size;
    read.image.bytes.reset();
  }
  joined.size = total;
  image.OpenMemory(joined.bytes.get(), joined.size);
  return true;
}

}  // namespace cut
