#include "containers/readers.h"

namespace containers {

// Not read yet.
bool DetectNfd(const uint8_t*, size_t) { return false; }
bool ConvertNfd(const uint8_t*, size_t, D88Writer&, Conversion*) { return false; }

}  // namespace containers
