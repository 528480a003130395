// d88cut: every disk of every image given, tried with every program's
// catalogue; each disk a program recognises is cut into a folder of its
// own, with the files that program writes for an image of that disk alone.
#ifndef D88CUT_CUT_IMAGES_H
#define D88CUT_CUT_IMAGES_H

#include <cstdio>
#include <string>

#include "cut/catalogue.h"

namespace d88cut {

// The whole run: returns the exit status (0; 1 when an image could not be
// read or a file not written; 2 for a usage error).  `catalogues` are
// tried, in order, on each disk.
int Run(cut::Span<const cut::Catalogue*> catalogues, int argc, const char* const* argv,
        std::FILE* out, std::FILE* err);

// The folder of disk `index` that `program` takes for kind `number`:
// "disk02-vorxcut-3", two digits so that the folders sort in disk order.
std::string DiskFolder(int index, const char* program, int number);

// The help, as --help shows it.
void PrintHelp(cut::Span<const cut::Catalogue*> catalogues, std::FILE* out);

// Asks for Enter and waits for it (or for the end of the input): a window
// that closes with the program stays until its lines have been read.
void KeepWindowOpen(std::FILE* in, std::FILE* out);

}  // namespace d88cut

#endif  // D88CUT_CUT_IMAGES_H
