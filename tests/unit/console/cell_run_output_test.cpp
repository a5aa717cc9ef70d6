// Joined cell writes: the screen writer's cells on one row reach the console as one
// character call and one attribute call, and the screen ends up exactly as with a call
// per cell, however the writes jump about.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "console/cell_run_output.h"
#include "console/console_init.h"
#include "console/screen_output.h"
#include "fakes/fake_console_input.h"
#include "fakes/fake_console_output.h"

namespace comterm {
namespace {

using testing::FakeConsoleInput;
using testing::FakeConsoleOutput;

// The in-memory console, with its cell writes and cursor placements listed in order.
class ListingConsole : public FakeConsoleOutput {
 public:
  ListingConsole() : FakeConsoleOutput({6, 5}, {0, 1, 5, 3}, 0x1E) {}

  bool WriteConsoleOutputCharacterA(ConsoleHandle handle, const char* characters,
                                    std::uint32_t length, Coord at,
                                    std::uint32_t* written) override {
    listing.push_back("chars " + Place(at) + " " + std::string(characters, length));
    return FakeConsoleOutput::WriteConsoleOutputCharacterA(handle, characters, length, at, written);
  }
  bool WriteConsoleOutputAttribute(ConsoleHandle handle, const std::uint16_t* attributes,
                                   std::uint32_t length, Coord at,
                                   std::uint32_t* written) override {
    listing.push_back("attributes " + Place(at) + " " + std::to_string(length));
    return FakeConsoleOutput::WriteConsoleOutputAttribute(handle, attributes, length, at, written);
  }
  bool SetConsoleCursorPosition(ConsoleHandle handle, Coord position) override {
    listing.push_back("cursor " + Place(position));
    return FakeConsoleOutput::SetConsoleCursorPosition(handle, position);
  }

  std::vector<std::string> listing;

 private:
  static std::string Place(Coord at) { return std::to_string(at.X) + "," + std::to_string(at.Y); }
};

void Write(const std::string& text) {
  PutText(ScreenOutput, text);
  EndWrite(ScreenOutput);
}

// Every cell and the cursor, after writing `text` with or without joined writes.
std::string ScreenAfter(const std::string& text, bool joined) {
  auto console = std::make_unique<ListingConsole>();
  ListingConsole* screen = console.get();
  std::unique_ptr<ConsoleOutputApi> output = std::move(console);
  if (joined) output = std::make_unique<CellRunOutput>(std::move(output));
  FakeConsoleInput input;
  InitConsole(*output, input);
  Write(text);
  std::string cells;
  for (std::int16_t y = 0; y < 5; ++y) {
    for (std::int16_t x = 0; x < 6; ++x) {
      const CharInfo& cell = screen->screen().At({x, y});
      cells += cell.AsciiChar;
      cells += std::to_string(cell.Attributes);
    }
    cells += '\n';
  }
  return cells + std::to_string(screen->cursor().X) + "," + std::to_string(screen->cursor().Y);
}

TEST(CellRunOutputTest, ARowOfCellsIsOneCallOfEachKind) {
  auto console = std::make_unique<ListingConsole>();
  ListingConsole* screen = console.get();
  CellRunOutput output(std::move(console));
  FakeConsoleInput input;
  screen->set_cursor({0, 1});
  InitConsole(output, input);
  screen->listing.clear();
  Write("abc");
  EXPECT_EQ(screen->listing,
            (std::vector<std::string>{"chars 0,1 abc", "attributes 0,1 3", "cursor 3,1"}));
}

TEST(CellRunOutputTest, AJumpSendsTheRunBeforeTheNextCell) {
  auto console = std::make_unique<ListingConsole>();
  ListingConsole* screen = console.get();
  CellRunOutput output(std::move(console));
  FakeConsoleInput input;
  screen->set_cursor({0, 1});
  InitConsole(output, input);
  screen->listing.clear();
  Write("ab\bc\r\nd");
  EXPECT_EQ(screen->listing,
            (std::vector<std::string>{"chars 0,1 ab", "attributes 0,1 2", "chars 1,1 c",
                                      "attributes 1,1 1", "chars 0,2 d", "attributes 0,2 1",
                                      "cursor 1,2"}));
}

TEST(CellRunOutputTest, TheScreenIsAsWithACallPerCell) {
  const std::string cases[] = {
      "plain",
      "overwrite\rOVER\bx",
      "wraps past the right edge and scrolls the window",
      "\r\n\r\n\r\nbottom\nline feed keeps the column",
      "\x07\b\bbell and backspace at the edge",
  };
  for (const std::string& text : cases) {
    EXPECT_EQ(ScreenAfter(text, true), ScreenAfter(text, false)) << text;
  }
}

}  // namespace
}  // namespace comterm
