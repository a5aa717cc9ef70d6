#include "runtime/int_convert.h"

#include <string>

#include "runtime/exceptions.h"
#include "runtime/format.h"

namespace comterm {
namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// Reads the base prefix at `pos`, advancing past it; 10 when there is none.
int TakeBase(std::string_view text, std::size_t& pos) {
  if (pos >= text.size()) return 10;
  switch (text[pos]) {
    case '$': case 'x': case 'X': ++pos; return 16;
    case '%': ++pos; return 2;
    case '&': ++pos; return 8;
    case '0':
      if (pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        pos += 2;
        return 16;
      }
      return 10;
    default: return 10;
  }
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  if (text.size() >= 256) return std::nullopt;
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  const int base = TakeBase(text, pos);
  if (pos >= text.size()) return std::nullopt;

  // Decimal allows up to 2^31 (for the minus sign); the other bases all 32 bits.
  const std::uint64_t limit = base == 10 ? (negative ? 0x80000000ull : 0x7FFFFFFFull)
                                         : 0xFFFFFFFFull;
  std::uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    int digit = DigitValue(text[pos]);
    if (digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  std::uint32_t bits = static_cast<std::uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<std::int32_t>(bits);
}

std::int32_t StrToInt(std::string_view text) {
  if (auto value = ParseInteger(text)) return *value;
  throw EConvertError(Format("\"%s\" is an invalid integer", {text}));
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback) {
  return ParseInteger(text).value_or(fallback);
}

}  // namespace comterm
