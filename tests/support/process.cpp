#include "support/process.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace testimg {

namespace {

std::atomic<int> g_scratchCount{0};

#if defined(_WIN32)
constexpr int kCannotStart = 9009;
#endif

std::string Quote(const std::string& arg) {
#if defined(_WIN32)
  // As the C runtime splits a command line: backslashes are literal except
  // before a quote, so those before an inner quote or the closing one are
  // doubled, and an inner quote is escaped.  Inside quotes cmd.exe takes
  // everything literally but %, which test arguments do not hold.
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char ch : arg) {
    if (ch == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(ch == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += ch;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
#else
  std::string quoted = "'";
  for (char ch : arg) {
    if (ch == '\'') {
      quoted += "'\\''";
    } else {
      quoted += ch;
    }
  }
  return quoted + "'";
#endif
}

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Standard output and standard error are text streams: on Windows their
// lines end in CR LF.  Tests compare them as LF text everywhere.
std::string AsLines(const Bytes& bytes) {
  std::string text = AsText(bytes);
#if defined(_WIN32)
  std::string lf;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lf += text[i];
  }
  text = lf;
#endif
  return text;
}

}  // namespace

ScratchDir::ScratchDir() {
  const fs::path base = fs::temp_directory_path() / "d88cut-tests";
  fs::create_directories(base);
  for (;;) {
    const fs::path candidate = base / (std::to_string(std::rand()) + "-" + std::to_string(++g_scratchCount));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  // Tests may take the write bits away; give them back so removal works.
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string ScratchDir::operator/(const std::string& name) const { return (fs::path(path_) / name).string(); }

std::map<std::string, Bytes> ScratchDir::Files(const std::vector<std::string>& except) const {
  return FilesIn(path_, except);
}

std::map<std::string, Bytes> FilesIn(const std::string& dir, const std::vector<std::string>& except) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    bool skip = !entry.is_regular_file();
    for (const std::string& e : except) skip = skip || e == name;
    if (!skip) files[name] = ReadFile(entry.path().string());
  }
  return files;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& dir) {
  ScratchDir capture;
  const std::string outPath = capture / "stdout";
  const std::string errPath = capture / "stderr";
#if defined(_WIN32)
  // /d: the folder may be on another drive than the current one.
  std::string command = "cd /d " + Quote(dir) + " && " + Quote(program);
#else
  std::string command = "cd " + Quote(dir) + " && " + Quote(program);
#endif
  for (const std::string& a : args) command += " " + Quote(a);
#if defined(_WIN32)
  command += " <NUL";
#else
  command += " </dev/null";
#endif
  command += " >" + Quote(outPath) + " 2>" + Quote(errPath);
#if defined(_WIN32)
  // cmd.exe /c drops the first and the last quote of a command line that
  // holds more than two; these outer ones keep the rest as written.
  command = "\"" + command + "\"";
#endif
  int raw = std::system(command.c_str());
  ProcessResult result;
#if defined(_WIN32)
  // std::system gives -1 when cmd.exe itself could not be started, and
  // cmd.exe 9009 when it could not start the program, which wine now and
  // then does on a busy machine: a second try tells that from a program
  // that is not there.
  if (raw == -1 || raw == kCannotStart) raw = std::system(command.c_str());
  result.status = raw;
#else
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
#endif
  result.out = AsLines(ReadFile(outPath));
  result.err = AsLines(ReadFile(errPath));
  return result;
}

RunOutcome RunOnImage(const std::string& program, const Bytes& image,
                      const std::vector<std::string>& extraArgs) {
  ScratchDir input;
  ScratchDir work;
  const std::string imagePath = input / "image.d88";
  WriteFile(imagePath, image);
  std::vector<std::string> args = {imagePath};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  RunOutcome outcome;
  outcome.process = RunProcess(program, args, work.path());
  outcome.files = work.Files();
  return outcome;
}

}  // namespace testimg
