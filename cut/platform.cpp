#include "cut/platform.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <sys/utime.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <clocale>
#include <cstdlib>
#endif

namespace cut {
namespace platform {

namespace {

// Names of temporaries made by this process, so that two cuts never race
// for one; the process id keeps apart programs running side by side.
unsigned g_temporaryCount = 0;

#if defined(_WIN32)
constexpr char kSeparators[] = "/\\";

// Narrow names are in the ANSI code page, as the C runtime takes them in
// fopen and hands them over in argv.
std::wstring Wide(const std::string& text, UINT codePage = CP_ACP) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

HANDLE ConsoleOf(std::FILE* stream) {
  const int fd = _fileno(stream);
  if (fd < 0 || !_isatty(fd)) return nullptr;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  DWORD mode = 0;
  // NUL is a character device too; only a console has a console mode.
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
  return handle;
}

void SetErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_NOT_SAME_DEVICE: errno = EXDEV; break;
    default: errno = EIO; break;
  }
}

int MakeFolder(const std::string& path) { return _wmkdir(Wide(path).c_str()); }
int ProcessId() { return _getpid(); }
#else
constexpr char kSeparators[] = "/";

int MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0777); }
int ProcessId() { return static_cast<int>(getpid()); }
#endif

bool IsSeparator(char ch) { return ch != '\0' && std::strchr(kSeparators, ch) != nullptr; }

// Where the separators of `path` stand, in order.  On Windows the second
// byte of a double-byte character is never one: "\x83\x5C" is a katakana
// in code page 932, not a lead byte and a backslash.
std::vector<size_t> Separators(const std::string& path) {
  std::vector<size_t> at;
  for (size_t i = 0; i < path.size(); ++i) {
#if defined(_WIN32)
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
#endif
    if (IsSeparator(path[i])) at.push_back(i);
  }
  return at;
}

bool EndsInSeparator(const std::string& path) {
  const std::vector<size_t> at = Separators(path);
  return !at.empty() && at.back() + 1 == path.size();
}

}  // namespace

Terminal TerminalOf(std::FILE* stream) {
#if defined(_WIN32)
  if (ConsoleOf(stream) == nullptr) return Terminal::kNone;
  return GetConsoleOutputCP() == CP_UTF8 ? Terminal::kUtf8 : Terminal::kWideConsole;
#else
  const int fd = fileno(stream);
  if (fd < 0 || !isatty(fd)) return Terminal::kNone;
  // The user's codeset, asked without leaving the user's locale set: the
  // process (or a program embedding the frame) keeps the one it had.
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = current != nullptr ? current : "C";
  std::string codeset;
  if (std::setlocale(LC_CTYPE, "") != nullptr) {
    const char* name = nl_langinfo(CODESET);
    if (name != nullptr) codeset = name;
  }
  std::setlocale(LC_CTYPE, saved.c_str());
  for (char& ch : codeset) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return codeset == "UTF-8" || codeset == "UTF8" ? Terminal::kUtf8 : Terminal::kOther;
#endif
}

bool WriteWide(std::FILE* stream, const std::string& text) {
#if defined(_WIN32)
  const HANDLE console = ConsoleOf(stream);
  if (console == nullptr) return false;
  const std::wstring wide = Wide(text, CP_UTF8);
  std::fflush(stream);  // what the stream holds goes first
  DWORD written = 0;
  return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) !=
         0;
#else
  (void)stream;
  (void)text;
  return false;
#endif
}

size_t NameStart(const std::string& path) {
  const std::vector<size_t> at = Separators(path);
  size_t start = at.empty() ? 0 : at.back() + 1;
#if defined(_WIN32)
  if (start == 0 && path.size() >= 2 && path[1] == ':') start = 2;
#endif
  return start;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
#if defined(_WIN32)
  if (folder.size() == 2 && folder[1] == ':') return folder + name;  // "C:" is a drive's folder
#endif
  return EndsInSeparator(folder) ? folder + name : folder + "/" + name;
}

PathKind KindOf(const std::string& path) {
#if defined(_WIN32)
  // The C runtime finds no folder by a name that ends in a separator,
  // except a root ("/", "C:/").
  std::string name = path;
  while (name.size() > 1 && EndsInSeparator(name) && name[name.size() - 2] != ':') {
    name.pop_back();
  }
  struct _stat64 info;
  if (_wstat64(Wide(name).c_str(), &info) != 0) return PathKind::kMissing;
  if ((info.st_mode & _S_IFMT) == _S_IFDIR) return PathKind::kFolder;
  if ((info.st_mode & _S_IFMT) == _S_IFREG) return PathKind::kFile;
#else
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return PathKind::kMissing;
  if (S_ISDIR(info.st_mode)) return PathKind::kFolder;
  if (S_ISREG(info.st_mode)) return PathKind::kFile;
#endif
  return PathKind::kOther;
}

bool ListFolder(const std::string& path, std::vector<std::string>* names) {
  names->clear();
#if defined(_WIN32)
  // Narrow names, in the code page every other file name here is in.
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(Join(path, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return false;
  }
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names->push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
#else
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) return false;
  while (const dirent* entry = readdir(folder)) {
    if (KindOf(Join(path, entry->d_name)) == PathKind::kFile) names->push_back(entry->d_name);
  }
  closedir(folder);
#endif
  return true;
}

bool MakeFolders(const std::string& path) {
  // Every parent in turn; one that cannot be made (a drive, a share, a
  // folder that exists) is no failure as long as the last one stands.
  int error = 0;
  std::vector<size_t> ends = Separators(path);
  ends.push_back(path.size());
  for (size_t k = 0; k < ends.size(); ++k) {
    const size_t end = ends[k];
    // A leading separator, or the second of two, ends no folder's name.
    if (end == 0 || (k > 0 && ends[k - 1] + 1 == end)) continue;
    const std::string prefix = path.substr(0, end);
    const PathKind kind = KindOf(prefix);
    if (kind == PathKind::kFolder) continue;
    if (kind != PathKind::kMissing) {
      errno = ENOTDIR;  // a file in the way, told the same on every system
      return false;
    }
    if (MakeFolder(prefix) != 0) error = errno;
  }
  if (KindOf(path) == PathKind::kFolder) return true;
  errno = error != 0 && error != EEXIST ? error : ENOTDIR;
  return false;
}

std::string WriteTarget(const std::string& path) {
#if !defined(_WIN32)
  struct stat info;
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
      KindOf(path) == PathKind::kFile) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved != nullptr) {
      const std::string target = resolved;
      std::free(resolved);
      return target;
    }
  }
#endif
  return path;
}

bool MayWrite(const std::string& path) {
#if defined(_WIN32)
  return _waccess(Wide(path).c_str(), 2) == 0;
#else
  return access(path.c_str(), W_OK) == 0;
#endif
}

std::FILE* CreateTemporary(const std::string& path, std::string* name) {
  const size_t base = NameStart(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = path.substr(0, base) + "." + path.substr(base) + "." + std::to_string(ProcessId()) +
            "-" + std::to_string(++g_temporaryCount) + ".tmp";
    // Created only if new; permissions as fopen would give a new file.
#if defined(_WIN32)
    const int fd = _wopen(Wide(*name).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                          _S_IREAD | _S_IWRITE);
#else
    const int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
#endif
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
#if !defined(_WIN32)
    // A rewritten file keeps its permissions, as it did when truncated.
    struct stat old;
    if (stat(path.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
#endif
#if defined(_WIN32)
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) _close(fd);
#else
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) close(fd);
#endif
    if (file == nullptr) {
      const int error = errno;
      Remove(*name);
      errno = error;
    }
    return file;
  }
  return nullptr;
}

bool Replace(const std::string& from, const std::string& to) {
#if defined(_WIN32)
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
    return true;
  }
  SetErrnoFromLastError();
  return false;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool Remove(const std::string& path) {
#if defined(_WIN32)
  return _wremove(Wide(path).c_str()) == 0;
#else
  return std::remove(path.c_str()) == 0;
#endif
}

bool Exists(const std::string& path) {
#if defined(_WIN32)
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
#endif
}

bool SameFile(const std::string& a, const std::string& b) {
#if defined(_WIN32)
  // A file is its volume and its index there; folders open too.
  const auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    const HANDLE file = CreateFileW(Wide(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return known;
  };
  BY_HANDLE_FILE_INFORMATION first, second;
  return identity(a, &first) && identity(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
#else
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
#endif
}

std::string WithoutExtension(const std::string& path) {
  const size_t start = NameStart(path);
  const std::string name = path.substr(start);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || name == "..") return path;
  return path.substr(0, start + dot);
}

namespace {

// Seconds since the epoch of a local time, or -1 where it has none.
std::time_t ToTimeT(const LocalTime& time) {
  std::tm parts = {};
  parts.tm_year = time.year - 1900;
  parts.tm_mon = time.month - 1;
  parts.tm_mday = time.day;
  parts.tm_hour = time.hour;
  parts.tm_min = time.minute;
  parts.tm_sec = time.second;
  parts.tm_isdst = -1;
  return std::mktime(&parts);
}

#if defined(_WIN32)
// `base` in the ANSI code page, then `inside` from UTF-8, '\\' between.
std::wstring WideIn(const std::string& base, const std::string& inside) {
  std::wstring path = Wide(base);
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  for (const wchar_t ch : Wide(inside, CP_UTF8)) path += ch == L'/' ? L'\\' : ch;
  return path;
}
#endif

}  // namespace

uint64_t SizeOf(std::FILE* file) {
#if defined(_WIN32)
  if (_fseeki64(file, 0, SEEK_END) != 0) return 0;
  const long long end = _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return 0;
  const long long end = ftello(file);
#endif
  std::rewind(file);
  return end > 0 ? static_cast<uint64_t>(end) : 0;
}

bool MakeFoldersIn(const std::string& base, const std::string& inside) {
#if defined(_WIN32)
  if (!MakeFolders(base)) return false;
  size_t end = 0;
  while (end != std::string::npos) {
    end = inside.find('/', end + 1);
    const std::wstring path = WideIn(base, inside.substr(0, end));
    if (_wmkdir(path.c_str()) != 0 && errno != EEXIST) return false;
    struct _stat64 info;
    if (_wstat64(path.c_str(), &info) != 0 || (info.st_mode & _S_IFDIR) == 0) {
      errno = ENOTDIR;
      return false;
    }
  }
  return true;
#else
  return MakeFolders(Join(base, inside));
#endif
}

std::FILE* CreateIn(const std::string& base, const std::string& inside) {
#if defined(_WIN32)
  return _wfopen(WideIn(base, inside).c_str(), L"wb");
#else
  const int fd = open(Join(base, inside).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
  return file;
#endif
}

bool SetModifiedIn(const std::string& base, const std::string& inside, const LocalTime& time) {
  const std::time_t when = ToTimeT(time);
  if (when == static_cast<std::time_t>(-1)) return false;
#if defined(_WIN32)
  struct _utimbuf times = {when, when};
  return _wutime(WideIn(base, inside).c_str(), &times) == 0;
#else
  const struct utimbuf times = {when, when};
  return utime(Join(base, inside).c_str(), &times) == 0;
#endif
}

bool AloneOnConsole() {
#if defined(_WIN32)
  DWORD mode = 0;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
    return false;
  }
  // A console a shell runs in lists the shell too.
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
#else
  return false;
#endif
}

}  // namespace platform
}  // namespace cut
