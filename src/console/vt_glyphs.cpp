#include "console/vt_glyphs.h"

#include <array>
#include <string>

namespace comterm {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Bytes 1 to 31 as the PC character set draws them.
constexpr std::array<char32_t, 32> kLowGlyphs = {
    U' ', U'☺', U'☻', U'♥', U'♦', U'♣', U'♠', U'•', U'◘', U'○', U'◙', U'♂', U'♀', U'♪', U'♫', U'☼',
    U'►', U'◄', U'↕', U'‼', U'¶', U'§', U'▬', U'↨', U'↑', U'↓', U'→', U'←', U'∟', U'↔', U'▲', U'▼'};

// Windows-1252 bytes 0x80 to 0x9F; the rest above 127 are Latin-1.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC,       kReplacement, 0x201A, 0x0192, 0x201E, 0x2026,       0x2020, 0x2021,
    0x02C6,       0x2030,       0x0160, 0x2039, 0x0152, kReplacement, 0x017D, kReplacement,
    kReplacement, 0x2018,       0x2019, 0x201C, 0x201D, 0x2022,       0x2013, 0x2014,
    0x02DC,       0x2122,       0x0161, 0x203A, 0x0153, kReplacement, 0x017E, 0x0178};

char32_t CodePointOf(std::uint8_t byte) {
  if (byte < 32) return kLowGlyphs[byte];
  if (byte == 127) return U'⌂';
  if (byte >= 0x80 && byte <= 0x9F) return kWindows1252High[byte - 0x80];
  return byte;
}

std::string Utf8(char32_t c) {
  std::string text;
  if (c < 0x80) {
    text += static_cast<char>(c);
  } else if (c < 0x800) {
    text += static_cast<char>(0xC0 | (c >> 6));
    text += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    text += static_cast<char>(0xE0 | (c >> 12));
    text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (c & 0x3F));
  }
  return text;
}

std::array<std::string, 256> BuildGlyphs() {
  std::array<std::string, 256> glyphs;
  for (int byte = 0; byte < 256; ++byte) {
    glyphs[static_cast<std::size_t>(byte)] = Utf8(CodePointOf(static_cast<std::uint8_t>(byte)));
  }
  return glyphs;
}

}  // namespace

std::string_view VtGlyph(std::uint8_t byte) {
  static const std::array<std::string, 256> glyphs = BuildGlyphs();
  return glyphs[byte];
}

}  // namespace comterm
