// d88info: shows the disks of an image and which program takes each.
#include <cstdio>

#include "all_catalogues.h"
#include "d88info/info.h"

int main(int argc, char** argv) {
  return d88info::Run(tools::kAllCatalogues, argc, argv, stdout, stderr);
}
