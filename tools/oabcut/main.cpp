#include <cstdio>

#include "oabcut/catalogue.h"
#include "cut/run.h"

int main(int argc, char** argv) { return cut::Run(oabcut::kCatalogue, argc, argv, stdout, stderr); }
