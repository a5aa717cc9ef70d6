// A burst of received text costs the VT terminal few bytes: a line feed on the bottom row
// is CR LF with no cursor addressing around it, and a cell whose colour stays is not
// drawn twice. The cell record stays what the general scroll would make of it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "console/cell_buffer.h"
#include "console/console_init.h"
#include "console/console_output_posix.h"
#include "console/screen_output.h"
#include "console/screen_writer.h"
#include "fakes/fake_console_input.h"
#include "vt_statement_fixture.h"

namespace comterm {
namespace {

using testing::ReadAvailable;
using testing::VtStatementTest;

TEST_F(VtStatementTest, LinesOnTheBottomRowScrollWithCrLfAlone) {
  Start({10, 2}, {0, 1});
  EXPECT_EQ(Statement("ab\r\ncd\r\nef"), "ab\r\ncd\r\nef");
}

TEST_F(VtStatementTest, ScrolledRowsKeepTheirCellsForLaterRedraws) {
  Start({4, 2}, {0, 1});
  Statement("ab\r\n");
  // The row moved up holds "ab"; giving it a colour redraws those very glyphs there.
  const std::uint16_t colours[2] = {0x1E, 0x1E};
  std::uint32_t written = 0;
  vt_->WriteConsoleOutputAttribute(1, colours, 2, {0, 0}, &written);
  vt_->SetConsoleCursorPosition(1, {0, 1});
  vt_->FlushOutput(1);
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(ReadAvailable(pipe_[0]), "\x1b[H\x1b[0;93;44mab\r\n");
}

TEST_F(VtStatementTest, UnchangedColoursDrawNothing) {
  Start({4, 2}, {0, 0});
  Statement("xy");
  const std::uint16_t same[2] = {7, 7};
  std::uint32_t written = 0;
  EXPECT_TRUE(vt_->WriteConsoleOutputAttribute(1, same, 2, {0, 0}, &written));
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(ReadAvailable(pipe_[0]), "");
}

TEST(CellBufferScrollTest, WholeBufferUpMatchesTheGeneralScroll) {
  CellBuffer general({3, 3}, 7);
  const char text[] = "abcdefghi";
  general.WriteCharacters(text, 9, {0, 0});
  CellBuffer whole = general;
  const CharInfo fill{' ', 0x1E};
  const SmallRect screen{0, 0, 2, 2};
  general.Scroll({0, 1, 2, 2}, &screen, {0, 0}, fill);
  whole.ScrollWholeBufferUp(fill);
  for (std::int16_t y = 0; y < 3; ++y) {
    for (std::int16_t x = 0; x < 3; ++x) {
      EXPECT_EQ(whole.At({x, y}).AsciiChar, general.At({x, y}).AsciiChar) << x << "," << y;
      EXPECT_EQ(whole.At({x, y}).Attributes, general.At({x, y}).Attributes) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace comterm
