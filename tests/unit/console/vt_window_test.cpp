// The VT backend after the terminal's window changed: the new size, the cursor asked
// again or clamped, and the keys typed around a cursor answer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>

#include <chrono>
#include <string>

#include "console/console_output_posix.h"
#include "console/terminal_signals_posix.h"
#include "fakes/pty_pair.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;

void ResizeTo(const testing::PtyPair& pty, int columns, int rows) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(columns);
  size.ws_row = static_cast<unsigned short>(rows);
  ioctl(pty.master(), TIOCSWINSZ, &size);
  posix::InstallTerminalSignals();
  raise(SIGWINCH);
}

ConsoleScreenBufferInfo Info(VtConsoleOutput& vt) {
  ConsoleScreenBufferInfo info{};
  vt.GetConsoleScreenBufferInfo(1, &info);
  return info;
}

TEST(VtWindowTest, TakesTheNewSizeAndTheCursorTheTerminalReports) {
  testing::PtyPair pty;
  VtConsoleOutput vt(pty.slave(), VtStartState{{80, 24}, {5, 20}, pty.slave()});
  EXPECT_FALSE(vt.WindowChanged());
  ResizeTo(pty, 30, 8);
  pty.Write("\x1b[3;4R");
  ASSERT_TRUE(vt.WindowChanged());
  EXPECT_FALSE(vt.WindowChanged());  // once per change
  const ConsoleScreenBufferInfo info = Info(vt);
  EXPECT_EQ(info.dwSize.X, 30);
  EXPECT_EQ(info.dwSize.Y, 8);
  EXPECT_EQ(info.srWindow.Right, 29);
  EXPECT_EQ(info.srWindow.Bottom, 7);
  EXPECT_EQ(info.dwCursorPosition.X, 3);
  EXPECT_EQ(info.dwCursorPosition.Y, 2);
  EXPECT_EQ(pty.ReadUntilQuiet(10ms), "\x1b[6n");
  // The terminal's cursor is where it said: no addressing for the cell there.
  std::uint32_t written = 0;
  vt.WriteConsoleOutputCharacterA(1, "x", 1, {3, 2}, &written);
  vt.FlushOutput(1);
  EXPECT_EQ(pty.ReadUntilQuiet(10ms), "x");
}

TEST(VtWindowTest, WithoutAnAnswerTheCursorIsClampedAndAddressedInFull) {
  testing::PtyPair pty;
  VtConsoleOutput vt(pty.slave(), VtStartState{{80, 24}, {70, 20}, -1});
  ResizeTo(pty, 30, 8);
  ASSERT_TRUE(vt.WindowChanged());
  const ConsoleScreenBufferInfo info = Info(vt);
  EXPECT_EQ(info.dwSize.X, 30);
  EXPECT_EQ(info.dwCursorPosition.X, 29);
  EXPECT_EQ(info.dwCursorPosition.Y, 7);
  EXPECT_TRUE(vt.SetConsoleCursorPosition(1, info.dwCursorPosition));
  vt.FlushOutput(1);
  EXPECT_EQ(pty.ReadUntilQuiet(10ms), "\x1b[8;30H");
}

TEST(VtWindowTest, KeysTypedAroundACursorAnswerAreKept) {
  const std::pair<std::string, std::string> cases[] = {
      {"ab\x1b[2;3Rc", "abc"},    {"\x1b[A\x1b[12;40R", "\x1b[A"}, {"\x1b[1;1R\x1b[2;2R", ""},
      {"\x1b[5;10", "\x1b[5;10"}, {"R\x1b[0;0R", "R\x1b[0;0R"},
  };
  for (const auto& [text, keys] : cases) {
    EXPECT_EQ(WithoutCursorReports(text), keys) << text.substr(1);
  }
}

}  // namespace
}  // namespace comterm
