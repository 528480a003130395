#include "fs/safe_name.h"

#include <cstring>

#include "d88/d88_format.h"

namespace fs {

namespace {

std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = d88::AsciiLower(c);
  return folded;
}

bool ReservedDevice(const std::string& name) {
  static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
  const std::string base = Folded(name.substr(0, name.find('.')));
  for (const char* device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

std::string SafeName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return std::string();
  std::string safe = name;
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || std::strchr("<>:\"/\\|?*", c) != nullptr) c = '_';
  }
  if (safe.back() == '.' || safe.back() == ' ') safe.back() = '_';
  if (ReservedDevice(safe)) {
    const size_t dot = safe.find('.');
    safe.insert(dot == std::string::npos ? safe.size() : dot, "_");
  }
  return safe;
}

std::string FolderNames::Unique(const std::string& safeName) {
  if (taken.insert(Folded(safeName)).second) return safeName;
  const size_t dot = safeName.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0;
  const std::string stem = hasExtension ? safeName.substr(0, dot) : safeName;
  const std::string extension = hasExtension ? safeName.substr(dot) : std::string();
  for (int n = 2;; ++n) {
    const std::string candidate = stem + " (" + std::to_string(n) + ")" + extension;
    if (taken.insert(Folded(candidate)).second) return candidate;
  }
}

}  // namespace fs
