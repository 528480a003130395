// The command line every program reads, by a table of the options it
// takes: -h and --help, --version and "--" (which ends the options) mean
// the same in all of them; an option's value follows it ("-o DIR",
// "--output-dir DIR") or its long form after "=" ("--output-dir=DIR"); a
// lone "-" is a name.  What an option means, and what a wrong value is
// called, is the program's.
#ifndef CUT_COMMAND_LINE_H
#define CUT_COMMAND_LINE_H

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cut/catalogue.h"

namespace cut {

struct OptionSpec {
  int id;
  char shortName;        // '\0': none
  const char* longName;  // without its "--"; null: none
  bool takesValue;
};

// Where a program's options may stand: before the first name (the three
// cutting programs, whose image may be followed by a disk number), or
// anywhere before "--".
enum class OptionPlace { kBeforeNames, kAnywhere };

// Takes option `id`, spelt `spelt` on the command line, with its value
// (null where it takes one and the command line ends); a problem it
// returns ends the reading there as a usage error.
using TakeOption =
    std::function<std::string(int id, const std::string& spelt, const char* value)>;

// Takes a name; a problem it returns ends the reading as a usage error.
using TakeName = std::function<std::string(const char* name)>;

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsage } action = Action::kRun;
  std::vector<const char*> names;  // in the order given
  std::string problem;             // for kUsage: what was wrong
};

// Reads argv[1..argc) in order; help and version end the reading as soon
// as they are met, as does the first problem of an option or (where
// `takeName` is given) of a name.
CommandLine ReadCommandLine(Span<OptionSpec> options, OptionPlace place, int argc,
                            const char* const* argv, const TakeOption& take,
                            const TakeName& takeName = nullptr);

// What every program does for help and version: `printHelp` writes its
// help, or the version line names `program`, to `out` (flushed).  False,
// having done nothing, for any other action.
bool AnswerHelpOrVersion(CommandLine::Action action, const char* program,
                         const std::function<void(std::FILE*)>& printHelp, std::FILE* out);

// A usage error of d88info, d88conv or d88cut: "<program>: <problem>"
// and the usage lines to `err`; returns their exit status for it, 2.
int UsageError(std::FILE* err, const char* program, const std::string& problem,
               const char* usage);

// Everything the programs read, made from the reader tables: "D88, ...,
// or a flux dump: ...; also inside a zip, ... archive or a gzip, ... file".
std::string WhatIsRead();

// A help text as printed: "{read}" stands for WhatIsRead(), and each
// paragraph (lines that do not start with a blank, up to an empty line or
// an indented one) is filled to 72 columns; indented lines stay as written.
std::string HelpText(const char* text);

}  // namespace cut

#endif  // CUT_COMMAND_LINE_H
