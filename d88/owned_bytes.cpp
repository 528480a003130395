#include "d88/owned_bytes.h"

#include <cstring>
#include <new>
#include <utility>

namespace d88 {

bool OwnedBytes::Grow(size_t needed, size_t limit, size_t first) {
  if (needed > limit) return false;
  if (needed <= capacity && bytes != nullptr) return true;
  size_t next = capacity == 0 ? first : capacity > limit / 2 ? limit : capacity * 2;
  if (next < needed) next = needed;
  if (next > limit) next = limit;
  std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[next]);
  if (!grown) return false;
  if (size > 0) std::memcpy(grown.get(), bytes.get(), size);
  bytes = std::move(grown);
  capacity = next;
  return true;
}

bool OwnedBytes::Renew(size_t needed) {
  size = 0;
  if (needed <= capacity && bytes != nullptr) return true;
  // One byte at the least, so that nothing to hold still has a buffer.
  const size_t room = needed > 0 ? needed : 1;
  bytes.reset(new (std::nothrow) uint8_t[room]);
  capacity = bytes != nullptr ? room : 0;
  return bytes != nullptr;
}

}  // namespace d88
