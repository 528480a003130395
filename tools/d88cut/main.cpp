// d88cut: cuts every disk any program recognises, each into a folder of its
// own beside its image; also made for a drop on its icon in Explorer.
#include <cstdio>

#include "all_catalogues.h"
#include "cut/platform.h"
#include "d88cut/cut_images.h"

int main(int argc, char** argv) {
  // Started by a double-click or a drop, the program has a console window
  // of its own, which would close before anyone could read it.
  const bool ownWindow = cut::platform::AloneOnConsole();
  int status = 0;
  if (ownWindow && argc < 2) {
    d88cut::PrintHelp(tools::kAllCatalogues, stdout);
  } else {
    status = d88cut::Run(tools::kAllCatalogues, argc, argv, stdout, stderr);
  }
  if (ownWindow) d88cut::KeepWindowOpen(stdin, stdout);
  return status;
}
