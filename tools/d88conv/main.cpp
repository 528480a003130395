// d88conv: writes images of any container the programs read as D88 files.
#include <cstdio>

#include "d88conv/convert.h"

int main(int argc, char** argv) { return d88conv::Run(argc, argv, stdout, stderr); }
