// The disk kinds abcut knows: Disk A, from which it cuts a driver and 22
// music files, and Disk B, which it only announces.
#ifndef ABCUT_CATALOGUE_H
#define ABCUT_CATALOGUE_H

#include "cut/catalogue.h"

namespace abcut {
extern const cut::Catalogue kCatalogue;
}  // namespace abcut

#endif  // ABCUT_CATALOGUE_H
