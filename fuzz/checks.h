// The checks every fuzz target runs on one input, shared with the test that
// replays the regression images, so a crash found by fuzzing is replayed
// with exactly the checks that found it.  A broken invariant prints where
// it broke and aborts.
#ifndef FUZZ_CHECKS_H
#define FUZZ_CHECKS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "containers/container.h"
#include "cut/catalogue.h"

namespace fuzzcheck {

// The checks hold what a program holds across inputs, a disk image, its
// buffers and the openers, so that each input reuses them (allocating
// some 600 KB afresh for every input cost more in page faults than the
// reads).  A fuzz target keeps one for its life; a test, one for its run.
class Checks {
 public:
  Checks();
  ~Checks();
  Checks(const Checks&) = delete;
  Checks& operator=(const Checks&) = delete;

  // Opens the image file at `path` and reads every disk every way the
  // library allows: sectors of every listed identity and of absent ones, runs
  // across track ends, identity lists of several sizes.  With `digest`,
  // returns a digest of everything the reads returned (else a constant).
  uint64_t ExerciseImage(const std::string& path, bool digest = false);
  // The same over `size` bytes in memory.
  uint64_t ExerciseImageBytes(const uint8_t* data, size_t size, bool digest = false);

  // Opens the file at `path` through the container layer and checks what it
  // made: a D88 read from the file, or a sound, bounded D88 conversion with
  // at most a one-line warning; then reads it as ExerciseImage does.
  void ExerciseContainer(const std::string& path);

  // Opens the file at `path` as every program does (cut::ImageSource) and,
  // for an archive, checks what it made: warnings of one line each, member
  // names as text, a sound D88 chain within the bounds whose every disk
  // names a member that gave disks; then reads it as ExerciseImage does.
  void ExerciseArchive(const std::string& path);

  // Runs d88conv in-process on the image at `in`, writing `out` (alone in
  // its folder): the run must finish or fail without a usage error, leave
  // the output only when it finished and never a temporary file, and what it
  // wrote must list, flag and read every sector of every track as the image.
  void ExerciseConversion(const std::string& in, const std::string& out, std::FILE* sink);

  // Runs the whole program of `catalogue` in-process on the image at `path`,
  // writing its files into the current directory and its messages to `sink`;
  // checks the exit status and closes the image again.
  void ExerciseRun(const cut::Catalogue& catalogue, const std::string& path,
                   const std::string& diskArgument, std::FILE* sink);

  // Runs d88info in-process on the image at `path` over `catalogues`, listing
  // every sector, as text (to `sink`) and as JSON: with `readBack` the document
  // of every sector must read back, be laid out as the library prints it, and
  // agree with its own counts; without, the document of the disks alone goes
  // to `sink`.
  void ExerciseInfo(cut::Span<const cut::Catalogue*> catalogues, const std::string& path,
                    std::FILE* sink, bool readBack);

  // Runs d88cut in-process on the image at `path` over `catalogues`, its
  // folders going into the empty folder `out`: the run must fail only for an
  // image that holds no disk, make one folder for each disk and catalogue
  // that takes it, and each must hold exactly what the catalogue's program
  // writes when run on a file of that disk's bytes alone (`scratch`, an
  // empty folder, takes that run).
  void ExerciseCutAll(cut::Span<const cut::Catalogue*> catalogues, const std::string& path,
                      const std::string& out, const std::string& scratch, std::FILE* sink);

  // Reads `size` bytes as a dump file of `kind` (SCP, HFE, MFI or a KryoFlux
  // stream file) with its own reader, every track checked as ExerciseFlux
  // checks one, and what it converts to as ExerciseContainer does.
  void ExerciseDump(containers::Kind kind, const uint8_t* data, size_t size);

 private:
  struct Held;
  // Whether the programs' opener refuses the file at `path`.
  bool Refused(const std::string& path);
  std::unique_ptr<Held> held;
};

// Aborts unless the bytes read from memory and from a file gave the same.
void CheckSameReading(uint64_t fromMemory, uint64_t fromFile);

// The disk-number argument an input asks for: the byte at 0x19 of the first
// disk header (reserved, never read by the library), or "" for none.
std::string DiskArgument(const uint8_t* data, size_t size);

// Decodes `size` bytes as one track's flux (fuzz/flux_bytes.h): the
// sectors must be bounded as the decoder promises, their revolutions the
// track's, and the track and a copy of it one cylinder on must make a disk.
void ExerciseFlux(const uint8_t* data, size_t size);

}  // namespace fuzzcheck

#endif  // FUZZ_CHECKS_H
