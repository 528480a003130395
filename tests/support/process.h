// Runs a program as a process in a folder of its own and collects what it
// printed, its exit status and the files it left there.
#ifndef TESTS_SUPPORT_PROCESS_H
#define TESTS_SUPPORT_PROCESS_H

#include <map>
#include <string>
#include <vector>

#include "support/d88_builder.h"

namespace testimg {

// A fresh empty folder, removed with everything in it at the end of scope.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const;
  // Every plain file in the folder by name, except those in `except`.
  std::map<std::string, Bytes> Files(const std::vector<std::string>& except = {}) const;

 private:
  std::string path_;
};

// Every plain file in `dir` by name, except those in `except`.
std::map<std::string, Bytes> FilesIn(const std::string& dir,
                                     const std::vector<std::string>& except = {});

struct ProcessResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `program` with `args` in `dir`; output goes to files outside it.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& dir);

// What one run of a program on an image left: its output, its status and
// every file it wrote into its (otherwise empty) working folder.
struct RunOutcome {
  ProcessResult process;
  std::map<std::string, Bytes> files;
};

// Writes `image` to a file outside the working folder, runs `program` on it
// with `extraArgs` after the image name, and collects the outcome.
RunOutcome RunOnImage(const std::string& program, const Bytes& image,
                      const std::vector<std::string>& extraArgs = {});

}  // namespace testimg

#endif  // TESTS_SUPPORT_PROCESS_H
