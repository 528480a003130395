// The run every program shares: the command line, the walk over the disks
// of an image, the rules of a catalogue tried on each disk, and the cuts
// that write the files.
#ifndef CUT_RUN_H
#define CUT_RUN_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "cut/catalogue.h"
#include "d88/d88_image.h"

namespace cut {

// The program's one image (cut/frame.cpp, with Run) and the one buffer of
// every probe and cut.
extern d88::D88Image g_image;
extern uint8_t g_sectorBuffer[kSectorBufferSize];

// Tries the rules of `catalogue` in order on the disk selected in `image`
// and returns the first that fires, or null.  Probes are read into
// `probeBytes` (at least kProbeLength bytes) only as their rules are
// reached.  With `diskNo` above 0 the rule of that number fires whatever
// the disk holds.  Reads only; prints nothing.
const DiskRule* Recognise(d88::D88Image& image, const Catalogue& catalogue,
                          int diskNo, uint8_t* probeBytes);

// How the Japanese messages are written.
enum class Encoding { kAuto, kShiftJis, kUtf8, kWide };
// Takes "sjis" or "utf-8" into `*encoding`; false for any other name.
bool TakeEncoding(const std::string& name, Encoding* encoding);
// `chosen`, or for kAuto what the terminal behind `stream` shows right.
Encoding EncodingFor(std::FILE* stream, Encoding chosen);
// A text kept as Shift-JIS bytes, written to `stream` in `encoding`.
void PrintJapanese(const char* text, Encoding encoding, std::FILE* stream);

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
  // `length` of them to `name`, saying so on `out` (when not null).  False
  // when not even the first sector was
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
  // How many files were written whole, and how many failed.
  int FilesWritten() const { return filesWritten; }
  int FilesFailed() const { return filesFailed; }

 private:
  d88::D88Image& image;
  uint8_t* buffer;
  int bufferSize;
  std::FILE* out;
  std::FILE* err;
  const char* folder = nullptr;
  bool writeFailed = false;
  int filesWritten = 0;
  int filesFailed = 0;
};

// Where and how a run over the disks of an image writes.
struct CutOutput {
  const char* program = "";       // names the run in its own messages
  const char* folder = nullptr;   // for the files, made if missing; null: the current one
  std::FILE* out = nullptr;       // the "cutting ... NAME" lines; null for none
  std::FILE* err = nullptr;       // "short" and "failed" lines, the recognition lines
  Encoding encoding = Encoding::kShiftJis;
  bool announce = true;           // print each recognition line to `err`
};

// What a run over the disks of an image did.
struct CutResult {
  const DiskRule* rule = nullptr;  // the first rule that fired, or null
  int files = 0;                   // files written whole
  int filesFailed = 0;             // files that could not be written
  bool failed = false;             // a file or the folder could not be written
};

// Cuts the disks of the open `image` as a program's run does: each disk
// that `catalogue` recognises (with `diskNo` above 0 only the first disk,
// taken for that kind) has its recognition line printed and its files
// written into the output folder, which is made once a disk is recognised.
CutResult CutDisks(d88::D88Image& image, const Catalogue& catalogue, int diskNo,
                   const CutOutput& output);

// The whole run of a program on its one image, g_image: returns its exit
// status.  The options come before the image: -o/--output-dir DIR,
// --encoding=sjis|utf-8, -h/--help and --version; "--" ends them.  (Only
// the three programs link it, and with it g_image.)
int Run(const Catalogue& catalogue, int argc, const char* const* argv,
        std::FILE* out, std::FILE* err);
// The same run with an image of the caller's (the page, the tests).
int RunOn(d88::D88Image& image, const Catalogue& catalogue, int argc, const char* const* argv,
          std::FILE* out, std::FILE* err);

// The project's version, and the line every program prints for --version.
const char* Version();
void PrintVersion(const char* program, std::FILE* out);

}  // namespace cut

#endif  // CUT_RUN_H
