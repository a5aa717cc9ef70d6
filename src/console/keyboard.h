// Keyboard polling: key events turned into key codes in the PC keyboard BIOS convention.
// A key with a character gives that character's code; a special key gives 0 and, on the
// next call, its extended code. Alt held with keypad digits composes one byte value.
#pragma once

#include <array>
#include <cstdint>

#include "console/console_input_api.h"

namespace comterm {

/// The keyboard state; one instance for the process.
struct KeyboardState {
  /// The code GetKey returns next; 0 means no key is pending.
  std::uint8_t PendingKey = 0;
  /// GetKey must return 0 before it returns PendingKey. Set with PendingKey 0, it holds a
  /// lone 0 byte read from standard input that is not a console.
  bool ExtendedPending = false;
  /// An Alt+keypad number has received at least one digit.
  bool AltNumpadActive = false;
  /// The Alt+keypad number entered so far, modulo 256.
  std::uint8_t AltNumpadValue = 0;
  /// The standard input handle.
  ConsoleHandle InputHandle = 0;
  /// Standard input is a console; otherwise each byte read is one key code.
  bool InputIsConsole = true;
  /// The console input calls in use; set by InitKeyboard.
  ConsoleInputApi* Api = nullptr;
};

/// The process's keyboard state.
extern KeyboardState Keyboard;

/// Extended codes for Ctrl with the scan codes 71 (Home) to 83 (Del).
extern const std::array<std::uint8_t, 13> CtrlKeypadCodes;

/// Binds the keyboard to `input`: clears the Alt+keypad entry, resets StandardInput and
/// opens it for input with the line reader ConsoleRead, and takes the standard input
/// handle. Called by InitConsole before any key is read.
void InitKeyboard(ConsoleInputApi& input);

/// True when a key is ready for GetKey. Never blocks; reads input events one at a time
/// and stops at the first key found.
bool KeyAvailable();

/// The next key code: a character code, or 0 for a special key whose extended code the
/// next call returns. Waits, polling every millisecond, until a key is ready.
std::uint8_t GetKey();

/// The extended code of the key with scan code `scan`, given the low byte of the control
/// key state: Alt wins over Ctrl, Ctrl over Shift.
std::uint8_t TranslateExtendedKey(std::uint8_t scan, std::uint8_t state);

}  // namespace comterm
