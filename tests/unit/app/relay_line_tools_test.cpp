// The relay with the line tools: stamps, the log, maps, echo and paced sending.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/received_log.h"
#include "app/relay.h"
#include "app/terminal_settings.h"
#include "runtime/exceptions.h"
#include "unit/app/relay_fixture.h"

namespace comterm {
namespace {

using testing::RelayTest;

const std::string kProgrammingMode("\x08\0\0\0\xD5\xA6\xFD\xE1\xF7\xE2\xC6\x70", 12);
const std::string kStcSync("\x01\0\0\0\x7F", 5);

class RelayLineToolsTest : public RelayTest {
 protected:
  RelayLineToolsTest()
      : log_path_(std::filesystem::temp_directory_path() /
                  ("comterm-relay-log-" +
                   std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    std::filesystem::remove(log_path_);
  }
  ~RelayLineToolsTest() override { std::filesystem::remove(log_path_); }

  std::string LogContents() const {
    std::ifstream in(log_path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void Type(std::uint64_t at, const std::string& keys) {
    for (const char k : keys) keys_.KeyAt(at, 0, 0, k);
  }

  std::filesystem::path log_path_;
};

TEST_F(RelayLineToolsTest, AStampStatesWhenTheLinesFirstByteCame) {
  Settings.Timestamps = TimestampFormat::Elapsed;
  comm_.Arrive(100, "one\r\n");
  comm_.Arrive(300, "tw");
  comm_.Arrive(450, "o\r\n");
  keys_.KeyAt(500, 'K', 37, 'k');  // an echo gets no stamp
  comm_.Arrive(620, "x");
  EscapeAt(700);
  RunRelay(comm_);
  EXPECT_EQ(Row(1), "[0.100] one");
  EXPECT_EQ(Row(2), "[0.300] two");
  EXPECT_EQ(Row(3), "k[0.620] x");
}

TEST_F(RelayLineToolsTest, HexBurstsStartRowsOfTheirOwn) {
  Settings.HexMode = true;
  Settings.Timestamps = TimestampFormat::Delta;
  comm_.Arrive(100, "AB");
  comm_.Arrive(190, "C");  // less than a receive wait after B: the same burst
  comm_.Arrive(400, std::string("\n\0", 2));
  EscapeAt(600);
  RunRelay(comm_);
  EXPECT_EQ(Row(1), "[+0.000] #41 #42 #43");
  EXPECT_EQ(Row(2), "[+0.300] #0A #00");

  // An echo before the first burst leaves that burst a row of its own as well.
  screen_.set_cursor({0, 5});
  keys_.KeyAt(comm_.Now() + 10, 'K', 37, 'k');
  comm_.Arrive(comm_.Now() + 50, "A");
  EscapeAt(comm_.Now() + 200);
  RunRelay(comm_);
  EXPECT_EQ(Row(6), "k");
  EXPECT_EQ(Row(7), "[+0.000] #41");
}

TEST_F(RelayLineToolsTest, MapsChangeWhatIsShownNotWhatIsLoggedOrCounted) {
  Settings.ReceiveMap = {.LfToCrLf = true, .CrToCrLf = false, .IgnoreCr = true};
  const std::string received("one\ntwo\r\n\0", 10);
  comm_.Arrive(50, received);
  EscapeAt(300);
  {
    ReceivedLog log(log_path_.string());
    RunRelay(comm_, &log);
  }
  EXPECT_EQ(Row(1), "one");
  EXPECT_EQ(Row(2), "two");
  EXPECT_EQ(ReceivedCount, 9u);
  EXPECT_EQ(LogContents(), received);

  Settings.HexMode = true;
  screen_.set_cursor({0, 5});
  comm_.Arrive(comm_.Now() + 10, "a\r\n");
  EscapeAt(comm_.Now() + 300);
  {
    ReceivedLog log(log_path_.string());
    RunRelay(comm_, &log);
  }
  EXPECT_EQ(Row(6), "#61 #0D #0A");
  EXPECT_EQ(LogContents(), received + "a\r\n");  // appended
}

TEST_F(RelayLineToolsTest, StcSeesAByteTheMapHides) {
  Settings.StcMode = true;
  Settings.ReceiveMap.IgnoreCr = true;
  comm_.Arrive(250, "\r");
  EscapeAt(700);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), kStcSync + kStcSync);
  EXPECT_EQ(Row(1), "..");
  EXPECT_EQ(ReceivedCount, 1u);
}

TEST_F(RelayLineToolsTest, TheEchoShowsWhatWasSentOrNothing) {
  Settings.SendMap.CrToCrLf = true;
  Type(0, "a\rb");
  EscapeAt(10);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), "a\r\nb");
  EXPECT_EQ(Row(1), "a");
  EXPECT_EQ(Row(2), "b");

  Settings.NoEcho = true;
  screen_.set_cursor({0, 5});
  comm_.Arrive(comm_.Now() + 5, "r");
  Type(comm_.Now(), "cd");
  EscapeAt(comm_.Now() + 50);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), "a\r\nbcd");
  EXPECT_EQ(Row(6), "r");
}

TEST_F(RelayLineToolsTest, PacedKeysGoOutOneADelayApartAndEscapeEndsAtOnce) {
  Settings.CharDelay = 20;
  Type(0, "abcdefghij");
  EscapeAt(95);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), "abcde");  // at 0, 20, 40, 60 and 80 ms
  EXPECT_LT(comm_.Now(), 100u);

  Type(comm_.Now(), "abcdefghij");
  EscapeAt(comm_.Now() + 500);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), "abcdeabcdefghij");
}

TEST_F(RelayLineToolsTest, TheLineDelayFollowsEnterOnly) {
  Settings.LineDelay = 150;
  Type(0, "ab\rcd");
  EscapeAt(140);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), "ab\r");

  Type(comm_.Now(), "ab\rcd");
  EscapeAt(comm_.Now() + 160);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), "ab\rab\rcd");
}

TEST_F(RelayLineToolsTest, ALogThatCannotBeWrittenEndsTheRunAfterTheClosingSteps) {
  Settings.MyAvrMode = true;
  comm_.Arrive(50, "x");
  EscapeAt(300);
  ReceivedLog log("/dev/full");
  try {
    RunRelay(comm_, &log);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot write log file \"/dev/full\": No space left on device");
  }
  EXPECT_EQ(comm_.Wire().substr(12), kProgrammingMode);
  EXPECT_FALSE(comm_.DeviceOpen());
}

TEST(ReceivedLogTest, AFileThatCannotBeOpenedIsNamedWithTheSystemsText) {
  try {
    ReceivedLog log("/nonexistent/dir/log");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "Cannot open log file \"/nonexistent/dir/log\": No such file or directory");
  }
}

}  // namespace
}  // namespace comterm
