// The built terminal on tcp:// against a listener of the test's own.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "fakes/tcp_listener.h"
#include "fakes/terminal_session.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using testing::TcpListener;
using testing::TerminalSession;

constexpr auto kPatience = 5000ms;
constexpr int kColumns = 160;  // wide enough for the opening line on one row

std::string Terminal(std::uint16_t port) {
  return std::string(COMTERM_BINARY) + " --device=tcp://127.0.0.1:" + std::to_string(port);
}

TEST(NetworkEndToEnd, TcpKeysOutBytesInEscapeCloses) {
  TcpListener listener;
  TerminalSession session(Terminal(listener.port()), kColumns);
  ASSERT_TRUE(listener.Accept(kPatience));
  session.Type("ab");
  session.PressKey("Enter");
  EXPECT_EQ(listener.Read(3, kPatience), "ab\r");
  listener.Write("\r\nhello\xFF\r\nworld");
  EXPECT_TRUE(session.WaitForText("world", kPatience)) << session.ScreenText();
  const auto rows = session.Screen();
  // The opening line names the device as given.
  EXPECT_EQ(rows.at(0).substr(0, rows.at(0).find(" baud=")),
            "opening device=tcp://127.0.0.1:" + std::to_string(listener.port()));
  EXPECT_EQ(rows.at(2), "hello\u00FF");  // 0xFF is a plain byte on a raw stream
  EXPECT_EQ(rows.at(3), "world");
  session.PressKey("Escape");
  EXPECT_EQ(session.WaitForExit(kPatience), 0);
  EXPECT_TRUE(listener.WaitForClose(kPatience));
  EXPECT_EQ(session.ModesAfter(), session.ModesBefore());
}

TEST(NetworkEndToEnd, ARefusedConnectionEndsWithTheErrorLine) {
  TcpListener listener;
  const std::uint16_t port = listener.port();
  listener.Close();
  TerminalSession session(Terminal(port), kColumns);
  EXPECT_EQ(session.WaitForExit(kPatience), 1);
  const auto rows = session.Screen();
  EXPECT_EQ(rows.at(0).substr(0, 31), "opening device=tcp://127.0.0.1:");
  EXPECT_EQ(rows.at(1).substr(0, 13), "exception at ");
  EXPECT_EQ(rows.at(2).substr(22), "Communication error 111: Connection refused.");
  EXPECT_EQ(session.ModesAfter(), session.ModesBefore());
}

}  // namespace
}  // namespace comterm
