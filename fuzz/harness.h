// What every fuzz target needs around the checks: a scratch folder of its
// own, made once and removed at exit, and the input written to a file in
// it, since the library opens images by path.
#ifndef FUZZ_HARNESS_H
#define FUZZ_HARNESS_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>  // mkdtemp

namespace fuzzharness {

inline std::string& ScratchRoot() {
  static std::string root;
  return root;
}

inline void RemoveScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(ScratchRoot(), ignored);
}

// Where the scratch folder goes: a RAM disk unless TMPDIR names a place.
// A run rewrites dozens of files per input, and on a disk file system
// truncating a file that holds data makes the system flush it: that left
// the run targets waiting ten times longer than they worked.
inline std::filesystem::path ScratchParent() {
  std::error_code ignored;
  if (std::getenv("TMPDIR") == nullptr && std::filesystem::is_directory("/dev/shm", ignored)) {
    return "/dev/shm";
  }
  return std::filesystem::temp_directory_path();
}

// The folder, with an empty "work" folder inside it for a run's files.
inline const std::string& Scratch() {
  std::string& root = ScratchRoot();
  if (root.empty()) {
    std::string pattern = (ScratchParent() / "d88cut-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    root = pattern;
    std::filesystem::create_directory(root + "/work");
    std::atexit(RemoveScratch);
  }
  return root;
}

inline std::string WriteInput(const uint8_t* data, size_t size) {
  const std::string path = Scratch() + "/input.d88";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
  return path;
}

}  // namespace fuzzharness

#endif  // FUZZ_HARNESS_H
