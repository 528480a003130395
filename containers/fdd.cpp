#include "containers/readers.h"

namespace containers {

// Not read yet.
bool DetectFdd(const uint8_t*, size_t) { return false; }
bool ConvertFdd(const uint8_t*, size_t, D88Writer&, Conversion*) { return false; }

}  // namespace containers
