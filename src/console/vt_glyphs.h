// How a byte of the screen becomes one visible glyph on a VT terminal.
#pragma once

#include <cstdint>
#include <string_view>

namespace comterm {

/// The UTF-8 text of the one glyph that shows `byte`: printable ASCII as itself, bytes
/// above 127 as their Windows-1252 character (a replacement mark for the five that have
/// none), bytes 1 to 31 and 127 as the classic PC glyphs, byte 0 as a blank. No result
/// holds a control character.
std::string_view VtGlyph(std::uint8_t byte);

}  // namespace comterm
