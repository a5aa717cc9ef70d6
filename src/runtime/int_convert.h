// Conversion of a text to a signed 32-bit integer.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace comterm {

/// The integer a text stands for, or nothing when the text is not accepted.
/// Accepted: leading blanks and tabs, one sign, an optional base prefix ('$', 'x', 'X',
/// "0x", "0X" hexadecimal; '%' binary; '&' octal), then digits of that base and nothing
/// else. Decimal must fit 32 signed bits; other bases may use all 32 bits.
std::optional<std::int32_t> ParseInteger(std::string_view text);

/// Strict form: raises EConvertError "\"<text>\" is an invalid integer".
std::int32_t StrToInt(std::string_view text);

/// Form with a default, returned for a text that is not accepted.
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);

}  // namespace comterm
