#include "console/windows1252_encode.h"

#include <array>

namespace comterm {

namespace {

// The characters of the bytes 0x80 to 0x9F; 0 where the code page leaves the byte unused.
constexpr std::array<char32_t, 32> kHighControlRange = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::optional<unsigned char> Windows1252Byte(char32_t code_point) {
  if (code_point >= 0x20 && code_point < 0x7F) return static_cast<unsigned char>(code_point);
  if (code_point >= 0xA0 && code_point <= 0xFF) return static_cast<unsigned char>(code_point);
  for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
    if (kHighControlRange[i] != 0 && kHighControlRange[i] == code_point) {
      return static_cast<unsigned char>(0x80 + i);
    }
  }
  return std::nullopt;
}

}  // namespace comterm
