// A burst received in one go, as a real terminal shows it: the same cells the writer
// records, with control bytes, glyph bytes, wraps at the right edge and scrolls at the
// bottom row, in character and in hex mode.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "console/console_init.h"
#include "console/screen_output.h"
#include "console/vt_glyphs.h"
#include "fakes/fake_console_input.h"
#include "fakes/fake_console_output.h"
#include "fakes/pty_pair.h"
#include "fakes/terminal_session.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using testing::FakeConsoleInput;
using testing::FakeConsoleOutput;
using testing::PtyPair;
using testing::TerminalSession;

constexpr int kColumns = 30;
constexpr auto kPatience = 5000ms;

std::string Burst() {
  std::string burst;
  for (int round = 0; round < 3; ++round) {
    burst += "plain text that is longer than one row\r\n";
    for (int b = 1; b < 256; ++b) {
      if (b != 27) burst += static_cast<char>(b);  // Escape in hex mode only
    }
    burst += "over\bwrite\rCR only\nLF only\x07 bell\r\n";
  }
  return burst + "\r\nEND";
}

std::string HexTokens(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string tokens;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    tokens += {'#', kDigits[b >> 4], kDigits[b & 15], ' '};
  }
  return tokens;
}

// The screen the writer records for `shown` on a fresh screen of `rows`, each cell as its
// terminal glyph, trailing blanks removed as the terminal's capture gives them.
std::vector<std::string> WriterScreen(const std::string& shown, std::int16_t rows_count,
                                      std::pair<int, int>* cursor) {
  FakeConsoleInput input;
  FakeConsoleOutput output({kColumns, rows_count},
                           {0, 0, kColumns - 1, static_cast<std::int16_t>(rows_count - 1)});
  InitConsole(output, input);
  PutText(ScreenOutput, shown);
  EndWrite(ScreenOutput);
  std::vector<std::string> rows;
  for (std::int16_t y = 0; y < rows_count; ++y) {
    std::string row;
    for (std::int16_t x = 0; x < kColumns; ++x) {
      row += VtGlyph(static_cast<std::uint8_t>(output.screen().At({x, y}).AsciiChar));
    }
    rows.push_back(row.substr(0, row.find_last_not_of(' ') + 1));
  }
  *cursor = {output.cursor().X, output.cursor().Y};
  return rows;
}

// On a tall screen the burst's moves happen between rows; on a short one at the bottom
// row, where every line feed scrolls.
TEST(ScreenBurstEndToEnd, TheTerminalShowsTheCellsTheWriterRecords) {
  const std::string burst = Burst();
  const std::string short_burst =
      "ab\ncd\r\nxy\bz\rq\n\n\x01\x7f\xe9" + std::string(40, 'w') + "\r\nEND";
  struct Case {
    std::int16_t rows;
    const std::string& bytes;
    bool hex;
  };
  for (const Case& c :
       {Case{8, burst, false}, Case{8, burst, true}, Case{20, short_burst, false}}) {
    SCOPED_TRACE(std::to_string(c.rows) + (c.hex ? " rows, hex" : " rows"));
    PtyPair serial;
    TerminalSession session(
        std::string(COMTERM_BINARY) + " --device=" + serial.slave_path() + (c.hex ? " -x" : ""),
        kColumns, c.rows);
    ASSERT_TRUE(session.WaitForText("opening", kPatience));
    session.Type("~");
    ASSERT_EQ(serial.Read(1, kPatience), "~");
    serial.Write(c.bytes);
    const std::string opening = "opening device=" + serial.slave_path() +
                                " baud=19200 databits=8 parity=N stop=0 softflow=0 hardflow=0 "
                                "hexmode=" +
                                (c.hex ? "1" : "0") + " stcmode=0\r\n~";
    std::pair<int, int> cursor;
    const std::vector<std::string> expected =
        WriterScreen(opening + (c.hex ? HexTokens(c.bytes) : c.bytes), c.rows, &cursor);
    ASSERT_TRUE(session.WaitForText(c.hex ? "#45 #4E #44" : "END", kPatience));
    EXPECT_EQ(session.Screen(), expected) << session.ScreenText();
    EXPECT_EQ(session.Cursor(), cursor);
    session.PressKey("Escape");
    EXPECT_EQ(session.WaitForExit(kPatience), 0);
  }
}

}  // namespace
}  // namespace comterm
