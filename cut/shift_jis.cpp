#include "cut/shift_jis.h"

#include <cstdio>

#include "archives/archive.h"

namespace cut {

namespace {

// Decodes `bytes` (`length` of them) into `utf8`; a code that is no
// character becomes U+FFFD, or ends the decoding with false when `strict`.
bool Decode(const char* bytes, size_t length, bool strict, std::string* utf8) {
  constexpr uint32_t kReplacement = 0xFFFD;
  for (size_t i = 0; i < length; ++i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    uint32_t ch = ShiftJisSingle(lead);
    if (ch == 0 && lead != 0) {
      const auto trail = i + 1 < length ? static_cast<unsigned char>(bytes[i + 1]) : 0;
      ch = trail == 0 ? 0 : ShiftJisChar(lead << 8 | trail);
      if (trail != 0) ++i;
    }
    if (ch == 0 && strict) return false;
    archives::AppendUtf8(ch != 0 ? ch : kReplacement, utf8);
  }
  return true;
}

}  // namespace

std::string ShiftJisToUtf8(const char* text) {
  std::string utf8;
  Decode(text, std::char_traits<char>::length(text), false, &utf8);
  return utf8;
}

bool Cp932ToUtf8(const std::string& bytes, std::string* text) {
  text->clear();
  return Decode(bytes.data(), bytes.size(), true, text);
}

bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || text.size() - i < length) return false;
    uint32_t ch = length == 1 ? lead : lead & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      ch = ch << 6 | (next & 0x3Fu);
    }
    // No overlong form, surrogate or code beyond U+10FFFF.
    if ((length == 3 && (ch < 0x800 || (ch >= 0xD800 && ch <= 0xDFFF))) ||
        (length == 4 && (ch < 0x10000 || ch > 0x10FFFF))) {
      return false;
    }
    i += length;
  }
  return true;
}

std::string EscapeText(const std::string& text, bool keepUtf8) {
  std::string escaped;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    // U+0080 to U+009F, the C1 controls, are 0xC2 0x80 to 0xC2 0x9F.
    const bool c1 = keepUtf8 && byte == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (byte < 0x20 || byte == 0x7F || byte == '"' || byte == '\\' || (byte > 0x7F && !keepUtf8) ||
        c1) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      escaped += hex;
      if (c1) {
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(text[++i]));
        escaped += hex;
      }
    } else {
      escaped += static_cast<char>(byte);
    }
  }
  return escaped;
}

}  // namespace cut
