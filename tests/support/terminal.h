// Runs a program with its standard error on a pseudo-terminal, as a user at
// a terminal would, to see what it prints there.  POSIX only.
#ifndef TESTS_SUPPORT_TERMINAL_H
#define TESTS_SUPPORT_TERMINAL_H

#if !defined(_WIN32)
#include <string>
#include <vector>

#include "support/process.h"

namespace testimg {

// Runs `program` with `args` in `dir` under the locale `locale` (LC_ALL),
// standard error on a terminal, standard input and output on /dev/null.
// `err` holds what the terminal showed, its CR LF line ends taken as LF.
ProcessResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args,
                            const std::string& dir, const std::string& locale);

}  // namespace testimg

#endif
#endif  // TESTS_SUPPORT_TERMINAL_H
