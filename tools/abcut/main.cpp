#include <cstdio>

#include "abcut/catalogue.h"
#include "cut/run.h"

int main(int argc, char** argv) { return cut::Run(abcut::kCatalogue, argc, argv, stdout, stderr); }
