// vorxcut: cuts the driver and music files of eight disk kinds of one game
// family out of a D88 image.
#include <cstdio>

#include "cut/run.h"
#include "vorxcut/catalogue.h"

int main(int argc, char** argv) { return cut::Run(vorxcut::kCatalogue, argc, argv, stdout, stderr); }
