// The CRC of ID and data fields: CRC-16 with polynomial 0x1021, preset
// 0xFFFF, most significant bit first, no final inversion, stored high byte
// first after the field.  Run over a field and its stored CRC it leaves 0.
#ifndef FLUX_CRC_H
#define FLUX_CRC_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace flux {

constexpr uint16_t kCrcPreset = 0xFFFF;

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    uint16_t crc = static_cast<uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
    }
    table[static_cast<size_t>(byte)] = crc;
  }
  return table;
}

inline constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

constexpr uint16_t CrcByte(uint16_t crc, uint8_t byte) {
  return static_cast<uint16_t>(crc << 8 ^ kCrcTable[(crc >> 8 ^ byte) & 0xFF]);
}

constexpr uint16_t Crc(uint16_t crc, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) crc = CrcByte(crc, bytes[i]);
  return crc;
}

// An MFM field's CRC covers the three 0xA1 sync bytes before its mark.
constexpr uint8_t kSyncA1[] = {0xA1, 0xA1, 0xA1};
constexpr uint16_t kMfmCrcPreset = Crc(kCrcPreset, kSyncA1, 3);
static_assert(kMfmCrcPreset == 0xCDB4, "CRC after A1 A1 A1");

}  // namespace flux

#endif  // FLUX_CRC_H
