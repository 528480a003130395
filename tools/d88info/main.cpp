// d88info: the one program that knows all three catalogues.
#include <cstdio>

#include "abcut/catalogue.h"
#include "d88info/info.h"
#include "oabcut/catalogue.h"
#include "vorxcut/catalogue.h"

namespace {
const cut::Catalogue* const kCatalogues[] = {&vorxcut::kCatalogue, &abcut::kCatalogue,
                                             &oabcut::kCatalogue};
}  // namespace

int main(int argc, char** argv) { return d88info::Run(kCatalogues, argc, argv, stdout, stderr); }
