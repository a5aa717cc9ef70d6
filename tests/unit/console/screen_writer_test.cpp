// The console writer over the in-memory console: cells, cursor, wrapping, scrolling,
// code page switching and the plain byte stream for standard output that is not a console.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console_init.h"
#include "console/screen_output.h"
#include "console/screen_writer.h"
#include "fakes/fake_console_input.h"
#include "fakes/fake_console_output.h"
#include "runtime/exceptions.h"

namespace comterm {
namespace {

using testing::FakeConsoleInput;
using testing::FakeConsoleOutput;

constexpr std::uint16_t kAttribute = 0x1E;

// A 10 x 7 buffer showing rows 1 to 4: row 0 above the window and rows 5 and 6 below
// it hold marks that no write inside the window may touch.
class ScreenWriterTest : public ::testing::Test {
 protected:
  ScreenWriterTest() : output_({10, 7}, {0, 1, 9, 4}, kAttribute) {
    for (std::int16_t y : {0, 5, 6}) {
      output_.screen().WriteCharacters("##########", 10, {0, y});
    }
    output_.set_cursor({0, 1});
    InitConsole(output_, input_);
  }

  void Write(const std::string& text) {
    PutText(ScreenOutput, text);
    EndWrite(ScreenOutput);
  }
  std::string Row(int y) { return output_.Row(y, 0, 9); }
  std::uint16_t AttributeAt(int x, int y) {
    return output_.screen()
        .At({static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)})
        .Attributes;
  }

  FakeConsoleOutput output_;
  FakeConsoleInput input_;
};

TEST_F(ScreenWriterTest, InitConsoleTakesWindowAttributeAndHandle) {
  EXPECT_EQ(Console.OutputWindow.Left, 1);
  EXPECT_EQ(Console.OutputWindow.Top, 2);
  EXPECT_EQ(Console.OutputWindow.Right, 10);
  EXPECT_EQ(Console.OutputWindow.Bottom, 5);
  EXPECT_EQ(Console.TextAttribute, kAttribute);
  EXPECT_EQ(ScreenOutput.State, StreamState::OpenForOutput);
  EXPECT_EQ(ScreenOutput.Count, 0u);
  EXPECT_EQ(ScreenOutput.Handle, FakeConsoleOutput::kOutputHandle);
  EXPECT_EQ(StandardInput.State, StreamState::OpenForInput);
  ASSERT_FALSE(output_.calls().empty());
  EXPECT_EQ(output_.calls().front(), "SetActiveWindow");
}

struct CursorCase {
  const char* name;
  std::string text;
  std::vector<std::string> rows;  // window rows 1 to 4 after the write
  Coord cursor;
};

TEST_F(ScreenWriterTest, ControlBytesAndWrapping) {
  const std::string blank(10, ' ');
  const std::vector<CursorCase> cases = {
      {"line as wide as the window, then CR LF, leaves an empty row",
       "0123456789\r\nX",
       {"0123456789", blank, "X         ", blank},
       {1, 3}},
      {"LF keeps the column", "ab\nc", {"ab        ", "  c       ", blank, blank}, {3, 2}},
      {"CR alone overwrites from the left edge",
       "abcd\rxy",
       {"xycd      ", blank, blank, blank},
       {2, 1}},
      {"BS in the leftmost column does nothing",
       "\bab",
       {"ab        ", blank, blank, blank},
       {2, 1}},
      {"BS moves back without erasing", "abc\b\bX", {"aXc       ", blank, blank, blank}, {2, 1}},
      {"BS after a wrap stays on the new row",
       "0123456789\bX",
       {"0123456789", "X         ", blank, blank},
       {1, 2}},
      {"BEL gives no cell and no move", "a\ab", {"ab        ", blank, blank, blank}, {2, 1}},
      {"bytes 0 and 9 fill one cell each",
       std::string("a\0\tb", 4),
       {std::string("a\0\tb      ", 10), blank, blank, blank},
       {4, 1}},
  };
  for (const CursorCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::int16_t y = 1; y <= 4; ++y)
      output_.screen().WriteCharacters(blank.data(), 10, {0, y});
    output_.set_cursor({0, 1});
    Write(c.text);
    for (int y = 1; y <= 4; ++y) EXPECT_EQ(Row(y), c.rows[static_cast<std::size_t>(y - 1)]) << y;
    EXPECT_EQ(output_.cursor().X, c.cursor.X);
    EXPECT_EQ(output_.cursor().Y, c.cursor.Y);
  }
  EXPECT_EQ(AttributeAt(1, 1), kAttribute);
}

TEST_F(ScreenWriterTest, BottomRightCellScrollsOnlyTheWindow) {
  output_.screen().WriteAttributes(std::vector<std::uint16_t>(40, 0x07).data(), 40, {0, 1});
  Write("1111111111222222222233333333334444444444");
  EXPECT_EQ(Row(0), "##########");
  EXPECT_EQ(Row(1), "2222222222");
  EXPECT_EQ(Row(3), "4444444444");
  EXPECT_EQ(Row(4), std::string(10, ' '));
  EXPECT_EQ(Row(5), "##########");
  EXPECT_EQ(Row(6), "##########");
  EXPECT_EQ(AttributeAt(0, 4), kAttribute);
  EXPECT_EQ(AttributeAt(9, 4), kAttribute);
  EXPECT_EQ(output_.cursor().X, 0);
  EXPECT_EQ(output_.cursor().Y, 4);
}

TEST_F(ScreenWriterTest, CursorBelowWindowWritesThereThenScrollsBack) {
  output_.screen().WriteCharacters("top       ", 10, {0, 1});
  output_.set_cursor({0, 6});
  Write("ab\r\nc");
  EXPECT_EQ(Row(6), "ab########");
  EXPECT_EQ(Row(5), "##########");
  // Row 7 of the window's numbering is three rows below its bottom: three scrolls.
  EXPECT_EQ(Row(4), "c         ");
  EXPECT_EQ(Row(1), std::string(10, ' '));
  EXPECT_EQ(output_.cursor().X, 1);
  EXPECT_EQ(output_.cursor().Y, 4);
}

TEST_F(ScreenWriterTest, SingleCharacterWriterScrollsAfterAnyOrdinaryByte) {
  Console.CursorColumn = 1;
  Console.CursorRow = 7;
  ConsoleWriteChar('x');
  EXPECT_EQ(Console.CursorRow, 5);
  EXPECT_EQ(Console.CursorColumn, 2);
  EXPECT_EQ(Row(6), "x#########");
}

TEST_F(ScreenWriterTest, CodePageIsSwitchedAroundEachWrite) {
  output_.set_cursor({3, 2});
  const std::size_t before = output_.calls().size();
  EndWrite(ScreenOutput);
  const std::vector<std::string> calls(output_.calls().begin() + static_cast<long>(before),
                                       output_.calls().end());
  const std::vector<std::string> expected = {
      "GetConsoleOutputCP",           "GetACP",
      "SetConsoleOutputCP 1252",      "GetConsoleScreenBufferInfo",
      "SetConsoleCursorPosition 3,2", "SetConsoleOutputCP 437"};
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(output_.cells_written(), 0);
  EXPECT_EQ(output_.output_code_page(), 437u);
}

// Records the count of every buffer handed to the writer.
struct HandOverRecorder {
  std::vector<std::size_t> counts;
  void Install() {
    auto record = [this](TextStream& stream) {
      counts.push_back(stream.Count);
      ConsoleWrite(stream);
    };
    ScreenOutput.WriteOut = record;
    ScreenOutput.Flush = record;
  }
};

TEST(ScreenOutputBufferTest, FullBufferIsHandedOverOnlyWhenAnotherByteFollows) {
  struct Case {
    std::size_t length;
    std::vector<std::size_t> counts;
  };
  const std::vector<Case> cases = {{0, {0}},        {255, {255}},     {256, {256}},
                                   {257, {256, 1}}, {300, {256, 44}}, {512, {256, 256}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    FakeConsoleOutput output({40, 20}, {0, 0, 39, 19});
    FakeConsoleInput input;
    InitConsole(output, input);
    HandOverRecorder recorder;
    recorder.Install();
    std::string text;
    for (std::size_t i = 0; i < c.length; ++i) text += static_cast<char>('A' + i % 26);
    for (std::size_t i = 0; i < c.length; i += 100) {
      PutText(ScreenOutput, std::string_view(text).substr(i, 100));
    }
    EndWrite(ScreenOutput);
    EXPECT_EQ(recorder.counts, c.counts);
    std::string shown;
    for (int y = 0; y < 20 && shown.size() < c.length; ++y) shown += output.Row(y, 0, 39);
    EXPECT_EQ(shown.substr(0, c.length), text);
  }
}

TEST(ScreenOutputStateTest, WritesOnAStreamNotOpenForOutputRaise) {
  TextStream stream;
  auto expect_error = [&](auto statement, int code, const std::string& message) {
    try {
      statement();
      ADD_FAILURE() << "no error raised";
    } catch (const EInOutError& error) {
      EXPECT_EQ(error.Code(), code);
      EXPECT_EQ(error.Message(), message);
    }
  };
  expect_error([&] { PutText(stream, "a"); }, 103, "File not open");
  expect_error([&] { PutChar(stream, 'a'); }, 103, "File not open");
  expect_error([&] { EndLine(stream); }, 103, "File not open");
  EXPECT_NO_THROW(EndWrite(stream));
  OpenForInput(stream, [](TextStream&) {});
  expect_error([&] { PutText(stream, "a"); }, 105, "File not open for output");
  expect_error([&] { EndLine(stream); }, 105, "File not open for output");
  EXPECT_EQ(stream.Count, 0u);
}

TEST(PlainOutputTest, StandardOutputNotAConsoleGetsTheStatementBytes) {
  FakeConsoleOutput output({10, 5}, {0, 0, 9, 4});
  output.MakeNonConsole();
  FakeConsoleInput input;
  InitConsole(output, input);
  std::string long_text(300, 'x');
  long_text[299] = 'y';
  PutText(ScreenOutput, "exception at 00000000:\nbad\a\b");
  PutChar(ScreenOutput, '\0');
  EndLine(ScreenOutput);
  PutText(ScreenOutput, long_text);
  EndWrite(ScreenOutput);
  EXPECT_EQ(output.file_bytes(),
            std::string("exception at 00000000:\nbad\a\b\0\r\n", 31) + long_text);
  EXPECT_EQ(output.cells_written(), 0);
  for (const std::string& call : output.calls()) {
    EXPECT_EQ(call.find("SetConsoleOutputCP"), std::string::npos) << call;
  }
}

// Runs of cells: a statement shows exactly what the same bytes show written one by one,
// in a window narrower and lower than the buffer, with wraps at its right edge, scrolls
// at its bottom, control bytes and bytes of every value; each run on a row is one call.
TEST(ScreenWriterRunTest, AStatementShowsWhatByteByByteWritesShow) {
  std::string burst = "abcdefghijk\r\nxy\bZ\x07q";
  for (int b = 0; b < 256; ++b) burst += static_cast<char>(b);
  burst += "tail\n\n\nend";
  const SmallRect window{2, 1, 8, 4};
  FakeConsoleInput input;
  FakeConsoleOutput by_byte({12, 7}, window, kAttribute);
  by_byte.set_cursor({5, 2});
  InitConsole(by_byte, input);
  for (char byte : burst) {
    PutChar(ScreenOutput, byte);
    EndWrite(ScreenOutput);
  }
  FakeConsoleOutput by_run({12, 7}, window, kAttribute);
  by_run.set_cursor({5, 2});
  InitConsole(by_run, input);
  PutText(ScreenOutput, burst);
  EndWrite(ScreenOutput);

  for (int y = 0; y < 7; ++y) {
    EXPECT_EQ(by_run.Row(y, 0, 11), by_byte.Row(y, 0, 11)) << "row " << y;
    for (std::int16_t x = 0; x < 12; ++x) {
      const Coord at{x, static_cast<std::int16_t>(y)};
      EXPECT_EQ(by_run.screen().At(at).Attributes, by_byte.screen().At(at).Attributes);
    }
  }
  EXPECT_EQ(by_run.cursor().X, by_byte.cursor().X);
  EXPECT_EQ(by_run.cursor().Y, by_byte.cursor().Y);
  EXPECT_EQ(by_run.cells_written(), by_byte.cells_written());
  // 7 columns a row: far fewer calls than cells.
  EXPECT_LT(by_run.character_calls() * 4, by_byte.character_calls());
}

}  // namespace
}  // namespace comterm
