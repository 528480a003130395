// Runs the shared frame in-process, as a program would, in an empty folder
// of its own, and collects what it printed, returned and wrote.
#ifndef TESTS_SUPPORT_IN_PROCESS_H
#define TESTS_SUPPORT_IN_PROCESS_H

#include <map>
#include <string>
#include <vector>

#include "cut/catalogue.h"
#include "support/d88_builder.h"

namespace testimg {

struct InProcessRun {
  int status = -1;
  std::string out, err;
  std::map<std::string, Bytes> files;
};

// cut::Run with `args` (argv[0] included); `foldersInTheWay` are made in the
// working folder first, where output files would go.
InProcessRun RunFrameArgs(const cut::Catalogue& catalogue, const std::vector<std::string>& args,
                          const std::vector<std::string>& foldersInTheWay = {});

// The same on `image`, written to a file outside the working folder, with
// `extraArgs` after its name.
InProcessRun RunFrameOn(const cut::Catalogue& catalogue, const Bytes& image,
                        const std::vector<std::string>& extraArgs = {},
                        const std::vector<std::string>& foldersInTheWay = {});

}  // namespace testimg

#endif  // TESTS_SUPPORT_IN_PROCESS_H
