// Where a character sits on a US PC keyboard: the key events a PC console reports for
// characters and control characters typed on a terminal.
#pragma once

#include <cstdint>

#include "console/console_input_api.h"

namespace comterm {

/// The key-down event for an ASCII byte typed on a terminal: a printable character with
/// its key's virtual key code, scan code and Shift state; a control character as Ctrl
/// with its letter's key (Backspace for 8 and 127, Tab for 9, Enter for 13, Escape for 27).
KeyEventRecord AsciiKeyEvent(std::uint8_t byte);

/// The key-down event for a character outside ASCII, given as its Windows-1252 byte; it
/// has no key of its own on the layout, so the virtual key and scan codes are 0.
KeyEventRecord ForeignCharacterKeyEvent(std::uint8_t byte);

}  // namespace comterm
