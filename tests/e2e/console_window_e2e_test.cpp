// Where the console's output goes on a terminal: at the cursor the terminal reports, also
// with standard input a pipe, and after a resize wrapped at the new right edge with
// nothing overwritten.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "fakes/pty_pair.h"
#include "fakes/terminal_session.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using testing::PtyPair;
using testing::TerminalSession;

std::string Letters(std::size_t count, int seed) {
  const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string letters;
  for (std::size_t i = 0; i < count; ++i) {
    letters += alphabet[(i + static_cast<std::size_t>(seed)) % alphabet.size()];
  }
  return letters;
}

// The rows of `screen` that hold `text` wrapped at `columns`, one after the other.
bool ShowsWrapped(const std::vector<std::string>& screen, const std::string& text,
                  std::size_t columns) {
  std::vector<std::string> expected;
  for (std::size_t at = 0; at < text.size(); at += columns) {
    expected.push_back(text.substr(at, columns));
  }
  for (std::size_t first = 0; first + expected.size() <= screen.size(); ++first) {
    bool all = true;
    for (std::size_t i = 0; i < expected.size() && all; ++i) {
      all = screen[first + i] == expected[i];
    }
    if (all) return true;
  }
  return false;
}

TEST(ConsoleWindowEndToEnd, ReceivedTextWrapsAtTheNewWidthAfterEachResize) {
  PtyPair serial;
  TerminalSession session(std::string(COMTERM_BINARY) + " --device=" + serial.slave_path(), 80, 24);
  ASSERT_TRUE(session.WaitForText("opening device=", 5s)) << session.ScreenText();
  session.Type("~");  // the port is open once a key comes through
  ASSERT_EQ(serial.Read(1, 5s), "~");

  struct Size {
    int columns;
    int rows;
  };
  int seed = 0;
  for (const Size size : {Size{60, 20}, Size{100, 30}}) {
    SCOPED_TRACE(size.columns);
    session.Resize(size.columns, size.rows);
    const std::string letters = Letters(150, seed++);
    serial.Write("\r\n" + letters);
    ASSERT_TRUE(session.WaitForText(letters.substr(140), 5s)) << session.ScreenText();
    const std::vector<std::string> screen = session.Screen();
    EXPECT_EQ(screen.size(), static_cast<std::size_t>(size.rows));
    EXPECT_TRUE(ShowsWrapped(screen, letters, static_cast<std::size_t>(size.columns)))
        << session.ScreenText();
  }
  session.PressKey("Escape");
  EXPECT_EQ(session.WaitForExit(5s), 0);
  EXPECT_EQ(session.ModesAfter(), session.ModesBefore());
}

TEST(ConsoleWindowEndToEnd, WithInputFromAPipeTheOutputStartsAtTheTerminalsCursor) {
  TerminalSession session(
      "printf 'one\\ntwo\\n'; printf '' | " + std::string(COMTERM_BINARY) + " --device=loop://", 80,
      24);
  EXPECT_EQ(session.WaitForExit(5s), 0);  // the end of the input is Escape
  const std::vector<std::string> screen = session.Screen();
  ASSERT_GE(screen.size(), 3u);
  EXPECT_EQ(screen[1], "two");
  EXPECT_EQ(screen[2].rfind("opening device=loop://", 0), 0u) << session.ScreenText();
  EXPECT_EQ(session.ModesAfter(), session.ModesBefore());
}

}  // namespace
}  // namespace comterm
