// The one growable byte buffer: the writer of converted disks, the archive
// reader, the whole-file loader and the disk-alone copy all hold their
// bytes in it.  Nothing throws: a buffer that cannot grow says so and is
// left as it was.
#ifndef D88_OWNED_BYTES_H
#define D88_OWNED_BYTES_H

#include <cstddef>
#include <cstdint>
#include <memory>

namespace d88 {

// Bytes on the heap: `size` of them used, room for `capacity`.
struct OwnedBytes {
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;
  size_t capacity = 0;

  // Room for `needed` bytes in all, the `size` in use kept: the capacity
  // at least doubles (or starts at `first`), so a buffer filled a piece at
  // a time is copied a handful of times, and takes `needed` at once where
  // that is more; never past `limit`.  False when `needed` passes `limit`
  // or there is no memory for it.
  bool Grow(size_t needed, size_t limit, size_t first);
  // Room for `needed` bytes, nothing kept (`size` 0); the bytes already
  // held are reused when there are enough of them.
  bool Renew(size_t needed);
};

}  // namespace d88

#endif  // D88_OWNED_BYTES_H
