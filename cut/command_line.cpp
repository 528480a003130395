#include "cut/command_line.h"

#include <cstring>

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

}  // namespace cut
