// The disks vorxcut knows: eight kinds of one game family in three sets,
// their probes, signatures, messages and the files cut from each.
#ifndef VORXCUT_CATALOGUE_H
#define VORXCUT_CATALOGUE_H

#include "cut/catalogue.h"

namespace vorxcut {

extern const cut::Catalogue kCatalogue;

}  // namespace vorxcut

#endif  // VORXCUT_CATALOGUE_H
