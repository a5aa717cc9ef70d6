// The VT terminal backend: glyphs for every byte, the exact bytes a statement sends, and
// the start-up question for the cursor, over pipes and pseudo-terminals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "console/console_init.h"
#include "console/console_output_posix.h"
#include "console/screen_output.h"
#include "console/screen_writer.h"
#include "console/vt_cursor_moves.h"
#include "console/vt_glyphs.h"
#include "fakes/fake_console_input.h"
#include "fakes/pty_pair.h"
#include "vt_statement_fixture.h"

namespace comterm {
namespace {

using testing::ReadAvailable;
using testing::VtStatementTest;

using namespace std::chrono_literals;

TEST(VtGlyphTest, EachByteHasItsGlyph) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, " "},         {1, "☺"},         {7, "•"},         {8, "◘"},         {9, "○"},
      {10, "◙"},        {13, "♪"},        {27, "←"},        {31, "▼"},        {'A', "A"},
      {127, "⌂"},       {0x80, "€"},      {0x81, "\uFFFD"}, {0x8D, "\uFFFD"}, {0x8F, "\uFFFD"},
      {0x90, "\uFFFD"}, {0x9D, "\uFFFD"}, {0x9B, "›"},      {0x9F, "Ÿ"},      {0xA0, "\u00A0"},
      {0xE9, "é"},      {0xFF, "ÿ"}};
  for (const auto& [byte, glyph] : cases) {
    EXPECT_EQ(VtGlyph(static_cast<std::uint8_t>(byte)), glyph) << byte;
  }
}

TEST(VtGlyphTest, NoGlyphHoldsAControlCharacter) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string_view glyph = VtGlyph(static_cast<std::uint8_t>(byte));
    ASSERT_FALSE(glyph.empty()) << byte;
    for (std::size_t i = 0; i < glyph.size(); ++i) {
      const auto c = static_cast<unsigned char>(glyph[i]);
      EXPECT_TRUE(c >= 0x20 && c != 0x7F) << byte;
      // C1 controls U+0080 to U+009F are C2 80 to C2 9F in UTF-8.
      if (c == 0xC2 && i + 1 < glyph.size()) {
        EXPECT_GE(static_cast<unsigned char>(glyph[i + 1]), 0xA0) << byte;
      }
    }
  }
}

TEST_F(VtStatementTest, CellsFollowingEachOtherNeedNoAddressing) {
  Start({10, 3}, {0, 0});
  EXPECT_EQ(Statement("ab\x1b[2J"), "ab\xe2\x86\x90[2J");
}

TEST_F(VtStatementTest, ControlBytesGoOutAsThemselvesWhereTheyMoveTheCursorAlike) {
  Start({10, 5}, {0, 1});
  EXPECT_EQ(Statement("hi\r\nyo"), "hi\r\nyo");
  EXPECT_EQ(Statement("\b\b"), "\r");
  EXPECT_EQ(Statement("ab\bc"), "ab\bc");
  // Over a pipe a line feed keeps the column.
  Statement("\r");
  EXPECT_EQ(Statement("p\nq"), "p\nq");
}

TEST_F(VtStatementTest, BottomRightCellScrollsWithALineFeed) {
  Start({4, 2}, {0, 1});
  EXPECT_EQ(Statement("abcd"), "abcd\r\n");
}

TEST_F(VtStatementTest, ALongStatementIsOneWriteAtItsEnd) {
  Start({80, 24}, {0, 0});
  PutText(ScreenOutput, std::string(300, 'z'));
  // The first 256 bytes were handed to the writer already, yet nothing is written yet.
  EXPECT_EQ(ReadAvailable(pipe_[0]), "");
  EndWrite(ScreenOutput);
  // A glyph in the last column leaves the terminal waiting to wrap: CR LF goes on.
  const std::string row(80, 'z');
  EXPECT_EQ(ReadAvailable(pipe_[0]), row + "\r\n" + row + "\r\n" + row + "\r\n" + row.substr(20));
}

TEST_F(VtStatementTest, OtherAttributesBecomeColours) {
  Start({4, 2}, {0, 0});
  const std::uint16_t yellow_on_blue = 0x1E;
  std::uint32_t written = 0;
  vt_->WriteConsoleOutputCharacterA(1, "x", 1, {0, 0}, &written);
  vt_->WriteConsoleOutputAttribute(1, &yellow_on_blue, 1, {0, 0}, &written);
  vt_->SetConsoleCursorPosition(1, {1, 0});
  vt_->FlushOutput(1);
  EXPECT_EQ(ReadAvailable(pipe_[0]), "x\b\x1b[0;93;44mx");
}

TEST(VtCursorMoveTest, TheShortestBytesThatMoveTheCursor) {
  constexpr VtLineMode kPipe{};
  constexpr VtLineMode kNewLine{true, false};  // a line feed returns to the left edge
  constexpr VtLineMode kCrIsLf{false, true};
  struct Case {
    Coord from;
    Coord to;
    VtLineMode mode;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {{5, 2}, {0, 2}, kPipe, "\r"},           {{5, 2}, {4, 2}, kPipe, "\b"},
      {{5, 2}, {6, 2}, kPipe, "\x1b[C"},       {{5, 2}, {9, 2}, kPipe, "\x1b[4C"},
      {{9, 2}, {1, 2}, kPipe, "\x1b[8D"},      {{9, 2}, {0, 2}, kPipe, "\r"},
      {{5, 2}, {0, 3}, kPipe, "\r\n"},         {{5, 2}, {5, 3}, kPipe, "\n"},
      {{5, 2}, {5, 3}, kNewLine, "\x1b[4;6H"}, {{5, 2}, {0, 4}, kNewLine, "\x1b[5H"},
      {{5, 2}, {0, 3}, kNewLine, "\r\n"},      {{5, 2}, {0, 2}, kCrIsLf, "\x1b[3H"},
      {{5, 2}, {3, 2}, kCrIsLf, "\x1b[2D"},    {{5, 2}, {0, 3}, kCrIsLf, "\x1b[4H"},
      {{10, 2}, {0, 3}, kPipe, "\r\n"},       // waiting to wrap after the last column
      {{10, 2}, {9, 2}, kPipe, "\r\x1b[9C"},  // no relative move from there
      {{10, 2}, {9, 3}, kPipe, "\r\n\x1b[9C"}, {{10, 2}, {3, 3}, kCrIsLf, "\x1b[4;4H"},
      {{-1, -1}, {0, 0}, kPipe, "\x1b[H"},     {{-1, -1}, {0, 4}, kPipe, "\x1b[5H"},
      {{3, 4}, {3, 1}, kPipe, "\x1b[2;4H"},
  };
  for (const Case& c : cases) {
    std::string out;
    AppendCursorMove(out, c.from, c.to, 10, c.mode);
    EXPECT_EQ(out, c.bytes) << c.from.X << "," << c.from.Y << " -> " << c.to.X << "," << c.to.Y;
  }
}

TEST(CursorReportTest, LastCompleteReplyCounts) {
  struct Case {
    std::string reply;
    std::optional<std::pair<int, int>> cursor;  // column, row; 0-based
  };
  const std::vector<Case> cases = {
      {"\x1b[5;10R", {{9, 4}}},    {"typed\x1b[1;1R", {{0, 0}}}, {"\x1b[2;3R\x1b[4;5R", {{4, 3}}},
      {"\x1b[5;10", std::nullopt}, {"\x1b[0;0R", std::nullopt},  {"\x1b[5R", std::nullopt},
      {"", std::nullopt}};
  for (const Case& c : cases) {
    const std::optional<Coord> found = ParseCursorReport(c.reply);
    ASSERT_EQ(found.has_value(), c.cursor.has_value()) << c.reply.substr(1);
    if (found) {
      EXPECT_EQ(found->X, c.cursor->first);
      EXPECT_EQ(found->Y, c.cursor->second);
    }
  }
}

TEST(QueryTerminalTest, TakesTheWindowSizeAndTheReportedCursor) {
  testing::PtyPair pty;
  winsize size{};
  size.ws_col = 30;
  size.ws_row = 8;
  ioctl(pty.master(), TIOCSWINSZ, &size);
  pty.Write("\x1b[7;12R");
  const VtStartState start = QueryTerminal(pty.slave(), pty.slave(), 5000ms);
  EXPECT_EQ(start.size.X, 30);
  EXPECT_EQ(start.size.Y, 8);
  EXPECT_EQ(start.cursor.X, 11);
  EXPECT_EQ(start.cursor.Y, 6);
  EXPECT_EQ(pty.ReadUntilQuiet(10ms), "\x1b[6n");
}

TEST(QueryTerminalTest, WithoutAReplyStartsAFreshBottomLine) {
  testing::PtyPair pty;
  const VtStartState start = QueryTerminal(pty.slave(), pty.slave(), 1ms);
  EXPECT_EQ(start.cursor.X, 0);
  EXPECT_EQ(start.cursor.Y, start.size.Y - 1);
  EXPECT_EQ(pty.ReadUntilQuiet(10ms), "\x1b[6n\r\n");
}

TEST(VtConsoleOutputTest, LeavesTheTerminalOnAFreshLine) {
  testing::PtyPair pty;
  {
    VtConsoleOutput vt(pty.slave(), VtStartState{{10, 3}, {0, 0}});
    vt.SetConsoleCursorPosition(1, {3, 0});
  }
  EXPECT_EQ(pty.ReadUntilQuiet(10ms), "\x1b[3C\r\n");
}

}  // namespace
}  // namespace comterm
