// The disk kinds oabcut knows: the Opening Disk (a driver and three music
// files), Disk A (sixteen music files) and Disk B, which it only announces.
#ifndef OABCUT_CATALOGUE_H
#define OABCUT_CATALOGUE_H

#include "cut/catalogue.h"

namespace oabcut {
extern const cut::Catalogue kCatalogue;
}  // namespace oabcut

#endif  // OABCUT_CATALOGUE_H
