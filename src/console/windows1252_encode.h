// Unicode characters as bytes of the Windows-1252 code page.
#pragma once

#include <optional>

namespace comterm {

/// The Windows-1252 byte of the Unicode character `code_point`; nothing when the code
/// page has no such character or the character is a control character.
std::optional<unsigned char> Windows1252Byte(char32_t code_point);

}  // namespace comterm
