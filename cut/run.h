// The run every program shares: the command line, the walk over the disks
// of an image, the rules of a catalogue tried on each disk, and the cuts
// that write the files.
#ifndef CUT_RUN_H
#define CUT_RUN_H

#include <cstdint>
#include <cstdio>

#include "cut/catalogue.h"
#include "d88/d88_image.h"

namespace cut {

// The program's one image and the one buffer of every probe and cut.
extern d88::D88Image g_image;
extern uint8_t g_sectorBuffer[kSectorBufferSize];

// Tries the rules of `catalogue` in order on the disk selected in `image`
// and returns the first that fires, or null.  Probes are read into
// `probeBytes` (at least kProbeLength bytes) only as their rules are
// reached.  With `diskNo` above 0 the rule of that number fires whatever
// the disk holds.  Reads only; prints nothing.
const DiskRule* Recognise(d88::D88Image& image, const Catalogue& catalogue,
                          int diskNo, uint8_t* probeBytes);

// Writes the files of one disk into the current directory, or into the
// folder given to SetFolder.
class Cutter {
 public:
  Cutter(d88::D88Image& image, uint8_t* buffer, int bufferSize,
         std::FILE* out, std::FILE* err);

  // Where the files go from now on; null or "" for the current directory.
  // The messages keep naming a file by its name alone.
  void SetFolder(const char* path) { folder = path; }

  // Reads skip + length bytes from track/c/h/r/n on and writes the last
  // `length` of them to `name`.  False when not even the first sector was
  // found (no file, nothing printed) or the file could not be written.
  // The file is written whole or not at all: an old file of the name stays
  // as it was when the new one fails.
  bool CutFile(const char* name, int track, int c, int h, int r, int n,
               int skip, int length);
  // One CutFile per row, named by `format` with the row's index.
  void CutSeries(const char* format, const SeriesEntry* entries);
  // A fired rule's single cuts, then its series.
  void Perform(const DiskRule& rule);

  // Whether any output file failed to be written.
  bool WriteFailed() const { return writeFailed; }

 private:
  d88::D88Image& image;
  uint8_t* buffer;
  int bufferSize;
  std::FILE* out;
  std::FILE* err;
  const char* folder = nullptr;
  bool writeFailed = false;
};

// The whole run of a program: returns its exit status.  The options come
// before the image: -o/--output-dir DIR, --encoding=sjis|utf-8, -h/--help
// and --version; "--" ends them.
int Run(const Catalogue& catalogue, int argc, const char* const* argv,
        std::FILE* out, std::FILE* err);

// The project's version, and the line every program prints for --version.
const char* Version();
void PrintVersion(const char* program, std::FILE* out);

}  // namespace cut

#endif  // CUT_RUN_H
