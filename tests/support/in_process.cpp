#include "support/in_process.h"

#include <cstdio>
#include <filesystem>

#include "cut/run.h"
#include "support/process.h"

namespace fs = std::filesystem;

namespace testimg {

namespace {

std::string Drain(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  std::fclose(f);
  return text;
}

}  // namespace

InProcessRun RunFrameArgs(const cut::Catalogue& catalogue, const std::vector<std::string>& args,
                          const std::vector<std::string>& foldersInTheWay) {
  ScratchDir work;
  for (const std::string& name : foldersInTheWay) fs::create_directory(work / name);
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());

  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const fs::path before = fs::current_path();
  fs::current_path(work.path());
  InProcessRun run;
  run.status = cut::Run(catalogue, static_cast<int>(argv.size()), argv.data(), out, err);
  fs::current_path(before);
  cut::g_image.Open(nullptr);  // let go of the image file before it is removed
  run.out = Drain(out);
  run.err = Drain(err);
  run.files = work.Files(foldersInTheWay);
  return run;
}

InProcessRun RunFrameOn(const cut::Catalogue& catalogue, const Bytes& image,
                        const std::vector<std::string>& extraArgs,
                        const std::vector<std::string>& foldersInTheWay) {
  ScratchDir input;
  const std::string path = input / "image.d88";
  WriteFile(path, image);
  std::vector<std::string> args = {catalogue.program, path};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  return RunFrameArgs(catalogue, args, foldersInTheWay);
}

}  // namespace testimg
