// Every program's catalogue, in the order d88info, d88cut and the page try
// them on a disk.
#ifndef TOOLS_ALL_CATALOGUES_H
#define TOOLS_ALL_CATALOGUES_H

#include "abcut/catalogue.h"
#include "cut/catalogue.h"
#include "oabcut/catalogue.h"
#include "vorxcut/catalogue.h"

namespace tools {

inline constexpr const cut::Catalogue* kAllCatalogues[] = {&vorxcut::kCatalogue,
                                                           &abcut::kCatalogue,
                                                           &oabcut::kCatalogue};

}  // namespace tools

#endif  // TOOLS_ALL_CATALOGUES_H
