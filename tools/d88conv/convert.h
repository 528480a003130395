// d88conv: writes the disks of images in any container the programs read
// into D88 files: several inputs into one multi-disk image, in order, or
// one image's disks into a file each.  An output never replaces an input,
// an existing file only with -f, and appears under its name only once it
// is complete.
#ifndef D88CONV_CONVERT_H
#define D88CONV_CONVERT_H

#include <cstdio>

namespace d88conv {

// The whole run: returns the exit status (0, 1 for an input that cannot be
// read or an output that cannot or may not be written, 2 for a usage
// error).
int Run(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace d88conv

#endif  // D88CONV_CONVERT_H
