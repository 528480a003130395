// d88info: shows what a D88 image holds, disk by disk and track by track,
// and which of the programs would take each disk for which kind.  It reads
// the image only; it writes no files and prints none of the programs'
// messages.
#ifndef D88INFO_INFO_H
#define D88INFO_INFO_H

#include <cstdio>

#include "cut/catalogue.h"

namespace d88info {

// The whole run: returns the exit status (0, 1 for an unreadable image or
// a disk it does not hold, 2 for a usage error).  `catalogues` are asked,
// in order, which kind each disk is.
int Run(cut::Span<const cut::Catalogue*> catalogues, int argc,
        const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace d88info

#endif  // D88INFO_INFO_H
