#include "cut/shift_jis.h"

namespace cut {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

void AppendUtf8(uint32_t ch, std::string* text) {
  // Every character of the table lies below U+10000.
  if (ch < 0x80) {
    *text += static_cast<char>(ch);
  } else if (ch < 0x800) {
    *text += static_cast<char>(0xC0 | ch >> 6);
    *text += static_cast<char>(0x80 | (ch & 0x3F));
  } else {
    *text += static_cast<char>(0xE0 | ch >> 12);
    *text += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
    *text += static_cast<char>(0x80 | (ch & 0x3F));
  }
}

}  // namespace

std::string ShiftJisToUtf8(const char* text) {
  std::string utf8;
  for (const char* p = text; *p != '\0'; ++p) {
    const auto lead = static_cast<unsigned char>(*p);
    if (lead < 0x80) {
      utf8 += static_cast<char>(lead);
      continue;
    }
    const auto trail = static_cast<unsigned char>(p[1]);
    const uint32_t ch = trail == 0 ? 0 : ShiftJisChar(lead << 8 | trail);
    AppendUtf8(ch != 0 ? ch : kReplacement, &utf8);
    if (trail != 0) ++p;
  }
  return utf8;
}

}  // namespace cut
