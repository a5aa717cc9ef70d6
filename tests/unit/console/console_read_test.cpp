// The line reader over the in-memory console: editing keys, echo and the finished line.
#include <gtest/gtest.h>

#include <string>

#include "console/console_init.h"
#include "console/keyboard.h"
#include "console/screen_output.h"
#include "fakes/fake_console_input.h"
#include "fakes/fake_console_output.h"

namespace comterm {
namespace {

using testing::FakeConsoleInput;
using testing::FakeConsoleOutput;

enum Special : std::uint16_t { kHome = 71, kLeft = 75, kRight = 77, kEnd = 79, kF1 = 59 };

class ConsoleReadTest : public ::testing::Test {
 protected:
  ConsoleReadTest() : output_({20, 3}, {0, 0, 19, 2}) {
    output_.set_cursor({2, 0});
    InitConsole(output_, input_);
  }

  void Type(const std::string& text) {
    for (char c : text) input_.PressKey(0, 0, c);
  }
  void Press(std::uint16_t scan) { input_.PressKey(0, scan, 0, kEnhancedKey); }

  // Runs StandardInput's read hook and returns the line it read.
  std::string ReadLine() {
    StandardInput.Read(StandardInput);
    return std::string(StandardInput.Buffer.data(), StandardInput.Count);
  }
  std::string Row(int y) { return output_.Row(y, 0, 19); }

  FakeConsoleOutput output_;
  FakeConsoleInput input_;
};

TEST_F(ConsoleReadTest, TypedLineIsEchoedAndEndsWithCrLf) {
  Type("abc\r");
  EXPECT_EQ(ReadLine(), "abc\r\n");
  EXPECT_EQ(StandardInput.Position, 0u);
  EXPECT_EQ(Row(0), "  abc               ");
  EXPECT_EQ(output_.cursor().X, 0);
  EXPECT_EQ(output_.cursor().Y, 1);
  EXPECT_EQ(output_.output_code_page(), 437u);  // restored
}

TEST_F(ConsoleReadTest, CursorKeysMoveAndTypingOverwrites) {
  Type("abcd");
  Press(kLeft);
  Press(kLeft);
  Type("X");
  Press(kHome);
  Type("Y");
  Press(kRight);
  Press(kEnd);
  Type("e");
  input_.PressKey(13, 28, 13, kEnhancedKey);  // keypad Enter
  EXPECT_EQ(ReadLine(), "YbXde\r\n");
  EXPECT_EQ(Row(0), "  YbXde             ");
}

TEST_F(ConsoleReadTest, BackspaceAndCtrlSEraseOnlyAtTheEnd) {
  Type("abc\b");
  Press(kLeft);
  Type("\x13");  // Ctrl+S away from the end: nothing
  Press(kEnd);
  Type("\x13\r");
  EXPECT_EQ(ReadLine(), "a\r\n");
  EXPECT_EQ(Row(0), "  a                 ");
}

TEST_F(ConsoleReadTest, EscapeAndCtrlYEraseTheWholeLine) {
  Type("abc");
  Press(kHome);
  Type(
      "\x1b"
      "de\x19"
      "f\r");
  EXPECT_EQ(ReadLine(), "f\r\n");
  EXPECT_EQ(Row(0), "  f                 ");
}

TEST_F(ConsoleReadTest, KeypadSlashIsASlashAndOtherSpecialKeysAreIgnored) {
  Type("a\x1a");  // Ctrl+Z: ignored
  input_.PressKey(111, 53, '/', kEnhancedKey);
  Press(kF1);
  Type("b\r");
  EXPECT_EQ(ReadLine(), "a/b\r\n");
}

TEST_F(ConsoleReadTest, LineHoldsAtMost254BytesBeforeItsEnd) {
  Type(std::string(300, 'x') + "\r");
  EXPECT_EQ(ReadLine(), std::string(254, 'x') + "\r\n");
}

}  // namespace
}  // namespace comterm
