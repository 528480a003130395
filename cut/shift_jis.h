// Shift-JIS (code page 932) to UTF-8 for the programs' messages.  The
// catalogues keep each message once, as the Shift-JIS bytes the programs
// have always printed; a terminal that expects UTF-8 is given the same text
// converted here.  The table holds only what the messages use (ASCII, the
// kana, the long vowel mark and two kanji); a catalogue whose messages need
// more fails to compile through MessagesConvert, and the tests check every
// entry against a full CP932 codec.
#ifndef CUT_SHIFT_JIS_H
#define CUT_SHIFT_JIS_H

#include <cstdint>
#include <string>

#include "cut/catalogue.h"

namespace cut {

// Two-byte codes first..last stand for the characters unicode onwards.
struct ShiftJisRange {
  uint16_t first;
  uint16_t last;
  uint16_t unicode;
};

constexpr ShiftJisRange kShiftJisRanges[] = {
    {0x815B, 0x815B, 0x30FC},  // ー
    {0x829F, 0x82F1, 0x3041},  // hiragana ぁ to ん
    {0x8340, 0x837E, 0x30A1},  // katakana ァ to ミ
    {0x8380, 0x8396, 0x30E0},  // katakana ム to ヶ (0x837F is no character)
    {0x8EAF, 0x8EAF, 0x8B58},  // 識
    {0x9446, 0x9446, 0x8A8D},  // 認
};

// The character of a two-byte code, or 0 when the table lacks it.
constexpr uint32_t ShiftJisChar(unsigned code) {
  for (const ShiftJisRange& range : kShiftJisRanges) {
    if (code >= range.first && code <= range.last) return range.unicode + (code - range.first);
  }
  return 0;
}

// Whether every character of `text` is ASCII or in the table.
constexpr bool ShiftJisConverts(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    const auto lead = static_cast<unsigned char>(*p);
    if (lead < 0x80) continue;
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

// `text` in UTF-8; a character the table lacks becomes U+FFFD.
std::string ShiftJisToUtf8(const char* text);

}  // namespace cut

#endif  // CUT_SHIFT_JIS_H
