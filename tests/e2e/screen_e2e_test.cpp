// The built program on a real terminal: where its text lands, how it scrolls, the
// terminal modes it leaves, and the exact bytes it writes to a file or a pipe.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fakes/terminal_session.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using testing::TerminalSession;

const std::string kBinary = COMTERM_BINARY;
const std::string kErrorHead = "exception at 00000000:";
const std::string kErrorMessage = "Invalid option at position 1: \"q\".";

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

// Waits for the end, then checks what every run must leave behind: the status, the
// terminal modes as they were, and the cursor at the start of a line.
void ExpectCleanEnd(const TerminalSession& session, int status) {
  const std::optional<int> exit_status = session.WaitForExit(20s);
  ASSERT_TRUE(exit_status.has_value()) << session.ScreenText();
  EXPECT_EQ(*exit_status, status);
  EXPECT_EQ(session.ModesAfter(), session.ModesBefore());
  EXPECT_EQ(session.Cursor().first, 0) << session.ScreenText();
}

TEST(ScreenEndToEnd, HelpPrintsTheUsageFromTheTopRow) {
  TerminalSession session(Quoted(kBinary) + " -h", 160, 24);
  ExpectCleanEnd(session, 0);
  const std::vector<std::string> rows = session.Screen();
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows[0], "Usage: " + std::filesystem::canonical(kBinary).string() + " -h");
  EXPECT_EQ(rows[1], " -p --port         1, 2, 3 etc.");
}

TEST(ScreenEndToEnd, ErrorLineContinuesBelowTheColonAfterEarlierOutput) {
  TerminalSession session("printf 'one\\ntwo\\n'; " + Quoted(kBinary) + " -q", 80, 24);
  ExpectCleanEnd(session, 1);
  const std::vector<std::string> rows = session.Screen();
  ASSERT_GE(rows.size(), 5u);
  EXPECT_EQ(rows[0], "one");
  EXPECT_EQ(rows[1], "two");
  EXPECT_EQ(rows[2], kErrorHead);
  EXPECT_EQ(rows[3], std::string(22, ' ') + kErrorMessage);
  EXPECT_EQ(session.Cursor().second, 4);
}

TEST(ScreenEndToEnd, OutputOnTheBottomRowScrollsTheScreen) {
  TerminalSession session("seq 1 9; " + Quoted(kBinary) + " -q", 80, 10);
  ExpectCleanEnd(session, 1);
  const std::vector<std::string> rows = session.Screen();
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[0], "3");
  EXPECT_EQ(rows[6], "9");
  EXPECT_EQ(rows[7], kErrorHead);
  EXPECT_EQ(rows[8], std::string(22, ' ') + kErrorMessage);
  EXPECT_EQ(rows[9], "");
  EXPECT_EQ(session.Cursor().second, 9);
}

TEST(ScreenEndToEnd, OutputToAPipeIsTheStatementBytes) {
  EXPECT_EQ(testing::RunAndCapture({kBinary, "-q"}), kErrorHead + "\n" + kErrorMessage + "\r\n");
}

TEST(ScreenEndToEnd, OutputRedirectedToAFileFromATerminalIsTheStatementBytes) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("comterm-e2e-" + std::to_string(getpid()) + ".out");
  TerminalSession session(Quoted(kBinary) + " -q > " + Quoted(file.string()), 80, 24);
  const std::optional<int> status = session.WaitForExit(20s);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 1);
  EXPECT_EQ(session.ModesAfter(), session.ModesBefore());
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), kErrorHead + "\n" + kErrorMessage + "\r\n");
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace comterm
