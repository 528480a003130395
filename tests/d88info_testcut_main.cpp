// d88info over the tests' own catalogue, listed twice so that a disk two
// programs recognise can be shown.
#include <cstdio>

#include "d88info/info.h"
#include "support/test_catalogue.h"

namespace {
constexpr cut::Catalogue kTwin = {"twincut", testcat::kRules};
const cut::Catalogue* const kCatalogues[] = {&testcat::kCatalogue, &kTwin};
}  // namespace

int main(int argc, char** argv) { return d88info::Run(kCatalogues, argc, argv, stdout, stderr); }
