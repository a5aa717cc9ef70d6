// The console in daily use on a real terminal: a paste arrives at the line at once, each
// key in order and echoed.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "fakes/pty_pair.h"
#include "fakes/terminal_session.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using testing::PtyPair;
using testing::TerminalSession;

std::string AllRows(const TerminalSession& session) {
  std::string text;
  for (const std::string& row : session.Screen()) text += row;
  return text;
}

TEST(ConsoleInputEndToEnd, APasteOf300KeysReachesTheLineInOrderAndIsEchoed) {
  PtyPair serial;
  TerminalSession session(std::string(COMTERM_BINARY) + " --device=" + serial.slave_path());
  ASSERT_TRUE(session.WaitForText("opening device=", 5s)) << session.ScreenText();
  session.Type("~");  // the port is open once a key comes through
  ASSERT_EQ(serial.Read(1, 5s), "~");

  std::string keys;
  const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int i = 0; i < 300; ++i) keys += alphabet[static_cast<std::size_t>(i * 7) % alphabet.size()];
  session.Type(keys);
  // Loose: a keyboard taken at ten keys a second needs half a minute.
  EXPECT_EQ(serial.Read(keys.size(), 4s), keys);
  EXPECT_TRUE(session.WaitForText(keys.substr(keys.size() - 20), 5s));
  EXPECT_NE(AllRows(session).find("~" + keys), std::string::npos) << session.ScreenText();

  session.PressKey("Escape");
  EXPECT_EQ(session.WaitForExit(5s), 0);
  EXPECT_EQ(session.ModesAfter(), session.ModesBefore());
}

}  // namespace
}  // namespace comterm
