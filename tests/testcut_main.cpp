// A program built from the frame with the tests' own catalogue.
#include <cstdio>

#include "cut/run.h"
#include "support/test_catalogue.h"

int main(int argc, char** argv) { return cut::Run(testcat::kCatalogue, argc, argv, stdout, stderr); }
