// Safe host names for what the file systems list, on UTF-8 names the
// caller has already decoded: one component at a time, never a path.
#ifndef FS_SAFE_NAME_H
#define FS_SAFE_NAME_H

#include <set>
#include <string>

namespace fs {

// `name` made safe as one file or folder name on any host: characters
// Windows forbids (< > : " / \ | ? *) and control characters become '_',
// as does a trailing dot or space; reserved device names (CON, PRN, AUX,
// NUL, COM1-9, LPT1-9, with or without an extension) get '_' after the
// device name.  Empty when the name is refused: empty, "." or "..".
std::string SafeName(const std::string& name);

// Keeps names of one folder apart when they differ only in ASCII case:
// the second "A.TXT" of a folder becomes "a (2).TXT" and so on.
class FolderNames {
 public:
  std::string Unique(const std::string& safeName);

 private:
  std::set<std::string> taken;  // ASCII folded to lower case
};

}  // namespace fs

#endif  // FS_SAFE_NAME_H
