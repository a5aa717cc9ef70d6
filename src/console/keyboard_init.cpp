// Binding the keyboard to its input backend at console start-up.
#include "console/console_read.h"
#include "console/keyboard.h"
#include "console/screen_output.h"

namespace comterm {

void InitKeyboard(ConsoleInputApi& input) {
  Keyboard.Api = &input;
  Keyboard.AltNumpadActive = false;
  Keyboard.AltNumpadValue = 0;
  ResetStream(StandardInput);
  OpenForInput(StandardInput, ConsoleRead);
  Keyboard.InputHandle = input.GetStdHandle(kStdInputHandle);
  StandardInput.Handle = Keyboard.InputHandle;
  // Decided once: a file or a pipe gives its bytes as key codes.
  Keyboard.InputIsConsole = input.IsConsole(Keyboard.InputHandle);
}

}  // namespace comterm
