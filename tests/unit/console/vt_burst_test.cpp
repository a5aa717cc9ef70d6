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

namespace comterm {
namespace {

std::string ReadAvailable(int fd) {
  std::string bytes;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

// The writer over a VT terminal whose output is a pipe the test reads.
class VtBurstTest : public ::testing::Test {
 protected:
  void Start(Coord size, Coord cursor) {
    ASSERT_EQ(pipe(pipe_), 0);
    fcntl(pipe_[0], F_SETFL, O_NONBLOCK);
    vt_ = std::make_unique<VtConsoleOutput>(pipe_[1], VtStartState{size, cursor});
    InitConsole(*vt_, input_);
    Console.PlainOutput = false;
  }
  ~VtBurstTest() override {
    vt_.reset();
    close(pipe_[0]);
    close(pipe_[1]);
  }
  std::string Statement(const std::string& text) {
    PutText(ScreenOutput, text);
    EndWrite(ScreenOutput);
    return ReadAvailable(pipe_[0]);
  }

  int pipe_[2] = {-1, -1};
  testing::FakeConsoleInput input_;
  std::unique_ptr<VtConsoleOutput> vt_;
};

TEST_F(VtBurstTest, LinesOnTheBottomRowScrollWithCrLfAlone) {
  Start({10, 2}, {0, 1});
  EXPECT_EQ(Statement("ab\r\ncd\r\nef"), "ab\r\ncd\r\nef");
}

TEST_F(VtBurstTest, ScrolledRowsKeepTheirCellsForLaterRedraws) {
  Start({4, 2}, {0, 1});
  Statement("ab\r\n");
  // The row moved up holds "ab"; giving it a colour redraws those very glyphs there.
  const std::uint16_t colours[2] = {0x1E, 0x1E};
  std::uint32_t written = 0;
  vt_->WriteConsoleOutputAttribute(1, colours, 2, {0, 0}, &written);
  vt_->SetConsoleCursorPosition(1, {0, 1});
  vt_->FlushOutput(1);
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(ReadAvailable(pipe_[0]), "\x1b[1;1H\x1b[0;93;44mab\x1b[2;1H");
}

TEST_F(VtBurstTest, UnchangedColoursDrawNothing) {
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
