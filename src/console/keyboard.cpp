// KeyAvailable and GetKey: console input events, or bytes of standard input that is not a
// console, turned into key codes.
#include "console/keyboard.h"

#include <optional>

namespace comterm {

KeyboardState Keyboard;

namespace {

constexpr std::uint16_t kVkShift = 16;
constexpr std::uint16_t kVkControl = 17;
constexpr std::uint16_t kVkMenu = 18;  // Alt
constexpr std::uint16_t kVkCapital = 20;
constexpr std::uint16_t kVkNumLock = 144;
constexpr std::uint16_t kVkScroll = 145;
constexpr std::uint8_t kEscape = 27;

bool IsModifierOrLock(std::uint16_t vk) {
  return vk == kVkShift || vk == kVkControl || vk == kVkMenu || vk == kVkCapital ||
         vk == kVkNumLock || vk == kVkScroll;
}

// The keypad digit of a whole scan code, as the keypad keys report them with Num Lock off.
std::optional<std::uint8_t> KeypadDigit(std::uint16_t scan) {
  switch (scan) {
    case 82:
      return 0;
    case 79:
      return 1;
    case 80:
      return 2;
    case 81:
      return 3;
    case 75:
      return 4;
    case 76:
      return 5;
    case 77:
      return 6;
    case 71:
      return 7;
    case 72:
      return 8;
    case 73:
      return 9;
    default:
      return std::nullopt;
  }
}

std::uint32_t WaitingEvents() {
  std::uint32_t count = 0;
  if (!Keyboard.Api->GetNumberOfConsoleInputEvents(Keyboard.InputHandle, &count)) return 0;
  return count;
}

// Makes the key of a key-down event pending.
void TakeKey(const KeyEventRecord& key) {
  const auto c = static_cast<std::uint8_t>(key.AsciiChar);
  const std::uint32_t s = key.dwControlKeyState;
  if (c == 0 || (s & (kEnhancedKey | kLeftAltPressed))) {
    Keyboard.ExtendedPending = true;
    Keyboard.PendingKey = TranslateExtendedKey(static_cast<std::uint8_t>(key.wVirtualScanCode),
                                               static_cast<std::uint8_t>(s));
  } else if (c == 9 && (s & kShiftPressed)) {
    Keyboard.ExtendedPending = true;
    Keyboard.PendingKey = 15;
  } else {
    Keyboard.ExtendedPending = false;
    Keyboard.PendingKey = c;
  }
}

// A key-down event; true when it leaves a key pending for the caller.
bool KeyDown(const KeyEventRecord& key) {
  if (IsModifierOrLock(key.wVirtualKeyCode)) return false;
  TakeKey(key);
  // A key without a character whose extended code is 0 (character 0, scan code 0) has no
  // code to deliver; counting it as a key would leave GetKey waiting for the next one.
  if (Keyboard.PendingKey == 0) {
    Keyboard.ExtendedPending = false;
    return false;
  }
  if ((key.dwControlKeyState & (kLeftAltPressed | kRightAltPressed)) == 0) return true;
  const std::optional<std::uint8_t> digit = KeypadDigit(key.wVirtualScanCode);
  if (!digit) return true;
  Keyboard.AltNumpadActive = true;
  Keyboard.AltNumpadValue = static_cast<std::uint8_t>(Keyboard.AltNumpadValue * 10 + *digit);
  Keyboard.PendingKey = 0;
  Keyboard.ExtendedPending = false;
  return false;
}

// A key-up event; true when releasing Alt ends an Alt+keypad entry with a value.
bool KeyUp(const KeyEventRecord& key) {
  if (key.wVirtualKeyCode != kVkMenu || !Keyboard.AltNumpadActive || Keyboard.AltNumpadValue == 0) {
    return false;
  }
  Keyboard.PendingKey = Keyboard.AltNumpadValue;
  Keyboard.AltNumpadActive = false;
  Keyboard.AltNumpadValue = 0;
  return true;
}

bool ConsoleKeyAvailable() {
  std::uint32_t count = WaitingEvents();
  while (count > 0) {
    InputRecord event;
    std::uint32_t read = 0;
    Keyboard.Api->ReadConsoleInputA(Keyboard.InputHandle, &event, 1, &read);
    if (read == 1 && event.EventType == kKeyEvent) {
      const bool found =
          event.KeyEvent.bKeyDown != 0 ? KeyDown(event.KeyEvent) : KeyUp(event.KeyEvent);
      if (found) return true;
    }
    count = WaitingEvents();
  }
  return false;
}

// Standard input that is not a console: each byte is one key code, and the end of the
// input (or a failed read) is Escape, so that piped input ends the program. A 0 byte is
// held as ExtendedPending with PendingKey 0: GetKey returns the 0 and nothing after it.
bool StreamKeyAvailable() {
  if (!Keyboard.Api->InputWaiting(Keyboard.InputHandle)) return false;
  char byte = 0;
  std::uint32_t read = 0;
  if (!Keyboard.Api->ReadFile(Keyboard.InputHandle, &byte, 1, &read) || read == 0) {
    Keyboard.PendingKey = kEscape;
    Keyboard.ExtendedPending = false;
    return true;
  }
  Keyboard.PendingKey = static_cast<std::uint8_t>(byte);
  Keyboard.ExtendedPending = Keyboard.PendingKey == 0;
  return true;
}

}  // namespace

bool KeyAvailable() {
  if (Keyboard.PendingKey != 0 || Keyboard.ExtendedPending) return true;
  return Keyboard.InputIsConsole ? ConsoleKeyAvailable() : StreamKeyAvailable();
}

std::uint8_t GetKey() {
  while (!KeyAvailable()) Keyboard.Api->Sleep(1);
  if (Keyboard.ExtendedPending) {
    Keyboard.ExtendedPending = false;
    return 0;
  }
  const std::uint8_t key = Keyboard.PendingKey;
  Keyboard.PendingKey = 0;
  return key;
}

}  // namespace comterm
