#include "console/console_init.h"

#include "console/keyboard.h"
#include "console/screen_output.h"
#include "console/screen_writer.h"

namespace comterm {
namespace {

// The window (and, at start-up, the attribute) in force; the zeroes stand when the call
// fails.
ConsoleScreenBufferInfo TakeWindow(ConsoleOutputApi& output) {
  ConsoleScreenBufferInfo info{};
  output.GetConsoleScreenBufferInfo(output.GetStdHandle(kStdOutputHandle), &info);
  Console.OutputWindow = {info.srWindow.Left + 1, info.srWindow.Top + 1, info.srWindow.Right + 1,
                          info.srWindow.Bottom + 1};
  return info;
}

void TakeWindowAndAttribute(ConsoleOutputApi& output) {
  const ConsoleScreenBufferInfo info = TakeWindow(output);
  Console.TextAttribute = static_cast<std::uint8_t>(info.wAttributes & 0xFF);
}

void OpenScreenOutput(ConsoleOutputApi& output) {
  ResetStream(ScreenOutput);
  OpenForOutput(ScreenOutput, ConsoleWrite, ConsoleWriteStatement);
  ScreenOutput.Handle = output.GetStdHandle(kStdOutputHandle);
  // Decided once: a file or a pipe takes the text as plain bytes.
  Console.PlainOutput = !output.IsConsole(ScreenOutput.Handle);
}

}  // namespace

void InitConsole(ConsoleOutputApi& output, ConsoleInputApi& input) {
  Console = ConsoleState{};
  Console.Api = &output;
  output.SetActiveWindow();
  TakeWindowAndAttribute(output);
  OpenScreenOutput(output);
  InitKeyboard(input);
}

void FollowWindowChange() {
  if (Console.Api->WindowChanged()) TakeWindow(*Console.Api);
}

}  // namespace comterm
