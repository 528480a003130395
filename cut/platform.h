// The few services the frame needs beyond standard C and C++: what a stream
// shows its text on, the parts of a path, folders, replacing a file by a
// rename, and whether the program has a console window of its own.  All that
// differs between POSIX and Windows lives in platform.cpp and nowhere else.
// Nothing here throws; failures come back as false or null with errno set.
#ifndef CUT_PLATFORM_H
#define CUT_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace cut {
namespace platform {

// What a stream's text ends up on.
enum class Terminal {
  kNone,         // a file, a pipe or a device: bytes go as they are
  kUtf8,         // a terminal or console that expects UTF-8
  kWideConsole,  // a Windows console of another code page: text goes as UTF-16
  kOther,        // a terminal of another encoding
};
Terminal TerminalOf(std::FILE* stream);

// Writes the UTF-8 `text` to the Windows console behind `stream` as UTF-16,
// so that it shows right whatever the console's code page; false where
// there is no such console (and always on POSIX).
bool WriteWide(std::FILE* stream, const std::string& text);

// Where the last part of `path` (a file's name) starts: after its last
// separator, or on Windows after a drive ("C:game.d88").  On Windows a name
// is in the ANSI code page, where the second byte of a double-byte
// character may be a backslash's byte without being a separator.
size_t NameStart(const std::string& path);
// `name` inside the folder `folder` ("" for the current one).
std::string Join(const std::string& folder, const std::string& name);

enum class PathKind { kMissing, kFile, kFolder, kOther };
// What stands at `path`, a symbolic link taken for what it names.
PathKind KindOf(const std::string& path);

// Makes the folder `path` with every missing parent; true when it is a
// folder at the end.
bool MakeFolders(const std::string& path);

// The names of the files (not folders) in the folder `path`, in no
// particular order; false when it cannot be read.
bool ListFolder(const std::string& path, std::vector<std::string>* names);

// The file a write to `path` should replace: a symbolic link to a file is
// followed, so that the file it names is rewritten and the link kept.
std::string WriteTarget(const std::string& path);

// Whether the file `path` may be written: one made read-only is kept so.
bool MayWrite(const std::string& path);

// Creates a new file of a name no other file has, in the folder of `path`,
// open for binary writing, with the permissions of a file at `path`
// (POSIX); its name goes to `*name`.
std::FILE* CreateTemporary(const std::string& path, std::string* name);

// Renames `from` to `to`, replacing a file of that name.
bool Replace(const std::string& from, const std::string& to);

bool Remove(const std::string& path);

// Whether anything stands at `path`, a symbolic link that names nothing
// included.
bool Exists(const std::string& path);
// Whether `a` and `b` name one file that exists, however each is spelt
// (through links, other folders or "..").
bool SameFile(const std::string& a, const std::string& b);
// `path` without the extension of its last part ("game.nfd" -> "game"); a
// name that starts with its only dot, ".", ".." and a name without a dot
// have none.
std::string WithoutExtension(const std::string& path);

// The size of an open file, past 2 GB too; 0 where it cannot be told.
uint64_t SizeOf(std::FILE* file);

// Folders and files named from a disk's own names, inside `base` (a path
// as the command line gives it, in the system's encoding): `inside` is
// UTF-8, one name or several joined by '/', each already made safe.  On
// Windows the two parts are in different encodings, so they are joined
// only here.
bool MakeFoldersIn(const std::string& base, const std::string& inside);
// Creates or truncates the file for writing; a link in its place is not
// followed.
std::FILE* CreateIn(const std::string& base, const std::string& inside);
// A time as a disk's directory gives it, in local time.
struct LocalTime {
  int year, month, day, hour, minute, second;
};
bool SetModifiedIn(const std::string& base, const std::string& inside, const LocalTime& time);

// Whether the program is the only process on its console and reads its
// input from it: on Windows, a console program started by a double-click
// or a drop in Explorer gets a console window of its own, which closes as
// the program ends.  Never when started from a console or with standard
// input not a console; always false on other systems.
bool AloneOnConsole();

}  // namespace platform
}  // namespace cut

#endif  // CUT_PLATFORM_H
