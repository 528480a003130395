// The three cutting programs' frame: their one image, and the run that
// reads it.  Kept apart from the rest of the run so that the tools that
// hold images of their own (d88info, d88conv, d88cut, the page) do not
// link this one.
#include "cut/run.h"

namespace cut {

d88::D88Image g_image;

int Run(const Catalogue& catalogue, int argc, const char* const* argv, std::FILE* out,
        std::FILE* err) {
  return RunOn(g_image, catalogue, argc, argv, out, err);
}

}  // namespace cut
