// Shift-JIS (code page 932) to UTF-8: for the programs' messages, and for
// the names of archive members made on Japanese systems.  The catalogues
// keep each message once, as the Shift-JIS bytes the programs have always
// printed; a terminal that expects UTF-8 is given the same text converted
// here.  The table is the whole code page (cut/cp932_table.h); a catalogue
// message it cannot convert fails to compile through MessagesConvert.
#ifndef CUT_SHIFT_JIS_H
#define CUT_SHIFT_JIS_H

#include <cstdint>
#include <string>

#include "cut/catalogue.h"
#include "cut/cp932_table.h"

namespace cut {

// The character of a one-byte code: ASCII, and the half-width katakana at
// 0xA1-0xDF; 0 for a lead byte or a byte that is no character.
constexpr uint32_t ShiftJisSingle(unsigned byte) {
  if (byte < 0x80) return byte;
  return byte >= 0xA1 && byte <= 0xDF ? 0xFF61 + (byte - 0xA1) : 0;
}

// The character of a two-byte code (lead << 8 | trail), or 0 for none.
constexpr uint32_t ShiftJisChar(unsigned code) {
  const unsigned lead = code >> 8;
  const unsigned trail = code & 0xFF;
  if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return 0;
  const unsigned column = trail - 0x40 - (trail > 0x7F ? 1 : 0);  // 0 to 187
  if (lead >= 0xF0 && lead <= 0xF9) return 0xE000 + (lead - 0xF0) * 188 + column;
  int pair = -1;
  if (lead >= 0x81 && lead <= 0x9F) pair = static_cast<int>(lead - 0x81);
  if (lead >= 0xE0 && lead <= 0xEF) pair = static_cast<int>(31 + lead - 0xE0);
  if (lead >= 0xFA && lead <= 0xFC) pair = static_cast<int>(47 + lead - 0xFA);
  if (pair < 0) return 0;
  const char16_t ch = kCp932Rows[2 * pair + static_cast<int>(column) / kCp932RowLength]
                                [static_cast<int>(column) % kCp932RowLength];
  return ch == u'?' ? 0 : ch;
}

// Whether every character of `text` is in the code page.
constexpr bool ShiftJisConverts(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    const auto lead = static_cast<unsigned char>(*p);
    if (ShiftJisSingle(lead) != 0) continue;
    const auto trail = static_cast<unsigned char>(p[1]);
    if (trail == 0 || ShiftJisChar(lead << 8 | trail) == 0) return false;
    ++p;
  }
  return true;
}

// Whether every message of `catalogue` converts; meant for static_assert.
constexpr bool MessagesConvert(const Catalogue& catalogue) {
  for (const DiskRule& rule : catalogue.rules) {
    if (!ShiftJisConverts(rule.message)) return false;
  }
  return true;
}

// `text` in UTF-8; a code that is no character becomes U+FFFD.
std::string ShiftJisToUtf8(const char* text);

// `bytes` in UTF-8 into `text`; false when they are not CP932 text (a
// code that is no character, a lead byte cut off, a zero byte).
bool Cp932ToUtf8(const std::string& bytes, std::string* text);

// Whether `text` is valid UTF-8.
bool IsUtf8(const std::string& text);

// `text` kept to one unambiguous line inside quotes: control characters,
// '"' and '\' as \xNN, and every byte from 0x7F up too unless `keepUtf8`
// (then `text` is UTF-8, whose characters from U+00A0 up stay).
std::string EscapeText(const std::string& text, bool keepUtf8);

}  // namespace cut

#endif  // CUT_SHIFT_JIS_H
