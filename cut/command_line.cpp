#include "cut/command_line.h"

#include <cstring>

#include "archives/archive.h"
#include "containers/container.h"
#include "cut/run.h"

namespace cut {

namespace {

// The option `arg` names and where its value starts in it ("--name=value"),
// or null.
const OptionSpec* Find(Span<OptionSpec> options, const std::string& arg, size_t* joinedAt) {
  *joinedAt = std::string::npos;
  for (const OptionSpec& option : options) {
    if (option.shortName != '\0' && arg.size() == 2 && arg[1] == option.shortName) return &option;
    if (option.longName == nullptr || arg.compare(0, 2, "--") != 0) continue;
    const size_t length = std::strlen(option.longName);
    if (arg.compare(2, length, option.longName) != 0) continue;
    if (arg.size() == 2 + length) return &option;
    if (option.takesValue && arg[2 + length] == '=') {
      *joinedAt = 3 + length;
      return &option;
    }
  }
  return nullptr;
}

}  // namespace

CommandLine ReadCommandLine(Span<OptionSpec> options, OptionPlace place, int argc,
                            const char* const* argv, const TakeOption& take,
                            const TakeName& takeName) {
  CommandLine line;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool isOption = !optionsEnd && arg.size() > 1 && arg[0] == '-';
    if (!isOption) {
      line.problem = takeName ? takeName(argv[i]) : "";
      if (!line.problem.empty()) {
        line.action = CommandLine::Action::kUsage;
        return line;
      }
      line.names.push_back(argv[i]);
      if (place == OptionPlace::kBeforeNames) optionsEnd = true;
      continue;
    }
    if (arg == "--") {
      optionsEnd = true;
    } else if (arg == "-h" || arg == "--help") {
      line.action = CommandLine::Action::kHelp;
      return line;
    } else if (arg == "--version") {
      line.action = CommandLine::Action::kVersion;
      return line;
    } else {
      size_t joinedAt;
      const OptionSpec* option = Find(options, arg, &joinedAt);
      const char* value = nullptr;
      if (option != nullptr && option->takesValue) {
        value = joinedAt != std::string::npos ? argv[i] + joinedAt : i + 1 < argc ? argv[++i] : nullptr;
      }
      line.problem = option == nullptr ? "unknown option '" + arg + "'" : take(option->id, arg, value);
      if (!line.problem.empty()) {
        line.action = CommandLine::Action::kUsage;
        return line;
      }
    }
  }
  return line;
}

bool AnswerHelpOrVersion(CommandLine::Action action, const char* program,
                         const std::function<void(std::FILE*)>& printHelp, std::FILE* out) {
  if (action == CommandLine::Action::kHelp) {
    printHelp(out);
  } else if (action == CommandLine::Action::kVersion) {
    PrintVersion(program, out);
  } else {
    return false;
  }
  std::fflush(out);
  return true;
}

int UsageError(std::FILE* err, const char* program, const std::string& problem,
               const char* usage) {
  std::fprintf(err, "%s: %s\n%s", program, problem.c_str(), usage);
  return 2;
}

std::string WhatIsRead() {
  return containers::FormatsRead() + "; also inside " + archives::ArchivesRead();
}

std::string HelpText(const char* text) {
  constexpr size_t kColumns = 72;
  std::string source = text;
  const std::string mark = "{read}";
  for (size_t at = source.find(mark); at != std::string::npos; at = source.find(mark, at)) {
    source.replace(at, mark.size(), WhatIsRead());
  }
  std::string out;
  std::string line;  // the paragraph's line being filled
  const auto endParagraph = [&] {
    if (!line.empty()) out += line + "\n";
    line.clear();
  };
  size_t start = 0;
  while (start < source.size()) {
    size_t end = source.find('\n', start);
    if (end == std::string::npos) end = source.size();
    const std::string row = source.substr(start, end - start);
    start = end + 1;
    if (row.empty() || row[0] == ' ') {
      endParagraph();
      out += row + "\n";
      continue;
    }
    size_t from = 0;
    while (from < row.size()) {
      size_t to = row.find(' ', from);
      if (to == std::string::npos) to = row.size();
      const std::string word = row.substr(from, to - from);
      from = to + 1;
      if (word.empty()) continue;
      if (!line.empty() && line.size() + 1 + word.size() > kColumns) endParagraph();
      line += line.empty() ? word : " " + word;
    }
  }
  endParagraph();
  return out;
}

}  // namespace cut
