// The built terminal end to end: its console in a real terminal, its serial device a
// pseudo-terminal whose other end the test holds.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "fakes/pty_pair.h"
#include "fakes/terminal_session.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using testing::PtyPair;
using testing::TerminalSession;

constexpr auto kPatience = 5000ms;
constexpr int kColumns = 160;  // wide enough for the opening line on one row
const std::string kDataMode("\x08\0\0\0\xD5\xA6\xFD\xE1\xF7\xE2\xC6\x64", 12);
const std::string kProgrammingMode("\x08\0\0\0\xD5\xA6\xFD\xE1\xF7\xE2\xC6\x70", 12);
const std::string kStcSync("\x01\0\0\0\x7F", 5);

std::string Terminal(const std::string& arguments) {
  return std::string(COMTERM_BINARY) + " " + arguments;
}

class RelayEndToEnd : public ::testing::Test {
 protected:
  // Starts the terminal on the pty and waits for its opening line.
  std::unique_ptr<TerminalSession> Start(const std::string& options) {
    auto session = std::make_unique<TerminalSession>(
        Terminal("--device=" + pty_.slave_path() + " " + options), kColumns);
    EXPECT_TRUE(session->WaitForText("opening device=", kPatience)) << session->ScreenText();
    return session;
  }
  // The port is open (opening purges what was queued before) once a typed key comes through.
  void WaitUntilRelaying(TerminalSession& session) {
    session.Type("~");
    EXPECT_EQ(pty_.Read(1, kPatience), "~");
  }
  PtyPair pty_;
};

TEST_F(RelayEndToEnd, TypedKeysReachTheWireAndAreEchoed) {
  auto session = Start("");
  session->Type("ab");
  session->PressKey("Enter");
  EXPECT_EQ(pty_.Read(3, kPatience), "ab\r");
  session->PressKey("Up");
  EXPECT_EQ(pty_.Read(2, kPatience), std::string("\0\x48", 2));
  EXPECT_TRUE(session->WaitForText("ab", kPatience));
  session->PressKey("Escape");
  EXPECT_EQ(session->WaitForExit(kPatience), 0);
  EXPECT_EQ(pty_.ReadUntilQuiet(100ms), "");  // Escape is not sent
  EXPECT_EQ(session->ModesAfter(), session->ModesBefore());
}

TEST_F(RelayEndToEnd, BytesFromTheWireAppearPlainAndInHex) {
  auto plain = Start("");
  WaitUntilRelaying(*plain);
  pty_.Write("\r\nhello\r\nworld");
  EXPECT_TRUE(plain->WaitForText("world", kPatience)) << plain->ScreenText();
  const auto rows = plain->Screen();
  EXPECT_EQ(rows.at(1), "~");
  EXPECT_EQ(rows.at(2), "hello");
  EXPECT_EQ(rows.at(3), "world");
  plain->PressKey("Escape");
  EXPECT_EQ(plain->WaitForExit(kPatience), 0);

  auto hex = Start("-x");
  WaitUntilRelaying(*hex);
  pty_.Write(std::string("A\n\0", 3));
  EXPECT_TRUE(hex->WaitForText("#41 #0A #00", kPatience)) << hex->ScreenText();
  hex->PressKey("Escape");
  EXPECT_EQ(hex->WaitForExit(kPatience), 0);
}

TEST_F(RelayEndToEnd, MyAvrBlocksAtStartAndAfterEscape) {
  auto session = Start("-m");
  EXPECT_EQ(pty_.Read(12, kPatience), kDataMode);
  EXPECT_TRUE(session->WaitForText("MyAVR: switching to data mode", kPatience));
  session->PressKey("Escape");
  EXPECT_EQ(pty_.Read(12, kPatience), kProgrammingMode);
  EXPECT_EQ(session->WaitForExit(kPatience), 0);
}

TEST_F(RelayEndToEnd, StcSyncsUntilTheTargetAnswers) {
  auto session = Start("-c");
  EXPECT_EQ(pty_.Read(15, kPatience), kStcSync + kStcSync + kStcSync);
  EXPECT_TRUE(session->WaitForText("...", kPatience));
  pty_.Write("K");
  EXPECT_TRUE(session->WaitForText("K", kPatience));
  pty_.ReadUntilQuiet(150ms);  // a block already on its way
  EXPECT_EQ(pty_.ReadUntilQuiet(400ms), "");
  session->PressKey("Escape");
  EXPECT_EQ(session->WaitForExit(kPatience), 0);
}

TEST_F(RelayEndToEnd, AMissingDeviceEndsWithTheSerialErrorLine) {
  TerminalSession session(Terminal("--device=/nonexistent/tty"), kColumns);
  EXPECT_EQ(session.WaitForExit(kPatience), 1);
  const auto rows = session.Screen();
  EXPECT_EQ(rows.at(0),
            "opening device=/nonexistent/tty baud=19200 databits=8 parity=N stop=0 "
            "softflow=0 hardflow=0 hexmode=0 stcmode=0");
  EXPECT_EQ(rows.at(1).substr(0, 13), "exception at ");
  EXPECT_EQ(rows.at(2).substr(22), "Communication error 2: No such file or directory.");
  EXPECT_EQ(session.ModesAfter(), session.ModesBefore());
}

TEST_F(RelayEndToEnd, CommandLineTextsAndStatuses) {
  const std::string path = std::filesystem::canonical(COMTERM_BINARY).string();
  TerminalSession help(Terminal("-h"));
  EXPECT_EQ(help.WaitForExit(kPatience), 0);
  auto rows = help.Screen();
  EXPECT_EQ(rows.at(0), "Usage: " + path + " -h");
  EXPECT_EQ(rows.at(1), " -p --port         1, 2, 3 etc.");
  EXPECT_EQ(rows.at(10), " -x --hex          enable hex mode");
  EXPECT_NE(std::find(rows.begin(), rows.end(), "    --version      print the version and stop"),
            rows.end());

  TerminalSession version(Terminal("--version"));
  EXPECT_EQ(version.WaitForExit(kPatience), 0);
  EXPECT_EQ(version.Screen().at(0), "comterm " COMTERM_VERSION);

  TerminalSession invalid(Terminal("-q"));
  EXPECT_EQ(invalid.WaitForExit(kPatience), 1);
  rows = invalid.Screen();
  EXPECT_EQ(rows.at(0), "exception at 00000000:");
  EXPECT_EQ(rows.at(1), std::string(22, ' ') + "Invalid option at position 1: \"q\".");

  TerminalSession number(Terminal("-p abc"));
  EXPECT_EQ(number.WaitForExit(kPatience), 1);
  rows = number.Screen();
  EXPECT_EQ(rows.at(0).size(), 22u);
  EXPECT_EQ(rows.at(1), std::string(22, ' ') + "\"abc\" is an invalid integer.");
}

TEST_F(RelayEndToEnd, SigtermRestoresTheTerminal) {
  const std::string pid_file =
      (std::filesystem::temp_directory_path() / ("comterm-pid-" + std::to_string(getpid())))
          .string();
  TerminalSession session("sh -c 'echo $$ > " + pid_file + "; exec " +
                          Terminal("--device=loop://") + "'");
  ASSERT_TRUE(session.WaitForText("opening device=loop://", kPatience));
  pid_t pid = 0;
  std::ifstream(pid_file) >> pid;
  std::filesystem::remove(pid_file);
  ASSERT_GT(pid, 0);
  kill(pid, SIGTERM);
  EXPECT_TRUE(session.WaitForExit(kPatience).has_value());
  EXPECT_EQ(session.ModesAfter(), session.ModesBefore());
}

}  // namespace
}  // namespace comterm
