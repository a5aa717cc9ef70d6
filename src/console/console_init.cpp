#include "console/console_init.h"

#include "console/keyboard.h"
#include "console/screen_output.h"
#include "console/screen_writer.h"

namespace comterm {
namespace {

// The window and attribute in force at start-up; the zeroes stand when the call fails.
void TakeWindowAndAttribute(ConsoleOutputApi& output) {
  ConsoleScreenBufferInfo info{};
  output.GetConsoleScreenBufferInfo(output.GetStdHandle(kStdOutputHandle), &info);
  Console.TextAttribute = static_cast<std::uint8_t>(info.wAttributes & 0xFF);
  Console.OutputWindow = {info.srWindow.Left + 1, info.srWindow.Top + 1, info.srWindow.Right + 1,
                          info.srWindow.Bottom + 1};
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

}  // namespace comterm
