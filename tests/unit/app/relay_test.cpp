#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/relay.h"
#include "app/terminal_settings.h"
#include "console/screen_output.h"
#include "fakes/fake_comm.h"
#include "fakes/fake_console_output.h"
#include "serial/serial_errors.h"
#include "unit/app/relay_fixture.h"

namespace comterm {
namespace {

using testing::FakeComm;
using testing::FakeConsoleOutput;
using testing::kColumns;
using testing::RelayTest;
using testing::TimedKeys;

const std::string kDataMode("\x08\0\0\0\xD5\xA6\xFD\xE1\xF7\xE2\xC6\x64", 12);
const std::string kProgrammingMode("\x08\0\0\0\xD5\xA6\xFD\xE1\xF7\xE2\xC6\x70", 12);
const std::string kStcSync("\x01\0\0\0\x7F", 5);

TEST_F(RelayTest, OpeningLineStatesTheSettings) {
  EscapeAt(0);
  RunRelay(comm_);
  EXPECT_EQ(Row(0),
            "opening com=1 baud=19200 databits=8 parity=N stop=0 softflow=0 hardflow=0 "
            "hexmode=0 stcmode=0");

  Settings = TerminalSettings{};
  Settings.PortNumber = -5;
  Settings.BaudRate = 115200;
  Settings.MyAvrMode = Settings.StcMode = Settings.HexMode = true;
  Settings.SoftFlow = Settings.HardFlow = true;
  Settings.DataBits = 7;
  Settings.ParityLetter = 'e';
  Settings.StopBitsCode = 2;
  comm_.AddDevice("\\\\.\\COM-5");
  screen_.set_cursor({0, 5});
  EscapeAt(0);
  RunRelay(comm_);
  EXPECT_EQ(Row(5),
            "opening com=-5 baud=115200 databits=7 parity=e stop=2 softflow=1 hardflow=1 "
            "hexmode=1 stcmode=1");
  EXPECT_EQ(comm_.CallsNamed("CreateFileA").back().find("\\\\.\\COM-5") != std::string::npos, true);
}

TEST_F(RelayTest, OpensTheNamedDeviceWithTheSettings) {
  Settings.DeviceName = "/dev/pts/7";
  Settings.BaudRate = 9600;
  Settings.ParityLetter = 'E';
  comm_.AddDevice("/dev/pts/7");
  EscapeAt(0);
  RunRelay(comm_);
  EXPECT_EQ(Row(0).substr(0, 35), "opening device=/dev/pts/7 baud=9600");
  EXPECT_EQ(comm_.DeviceDcb().BaudRate, 9600u);
  EXPECT_EQ(comm_.DeviceDcb().Parity, 2);
  EXPECT_FALSE(comm_.DeviceOpen());
}

TEST_F(RelayTest, MyAvrCommandsAroundTheSession) {
  Settings.MyAvrMode = true;
  EscapeAt(250);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), kDataMode + kProgrammingMode);
  EXPECT_EQ(Row(1), "MyAVR: switching to data mode");
  EXPECT_EQ(Row(2), "MyAVR: switching to programming mode");
  EXPECT_FALSE(comm_.DeviceOpen());
}

TEST_F(RelayTest, StcSyncsOncePerSilentWaitUntilTheFirstByte) {
  Settings.StcMode = true;
  comm_.Arrive(250, "K");
  EscapeAt(700);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), kStcSync + kStcSync);
  EXPECT_EQ(Row(1), "..K");
  EXPECT_EQ(ReceivedCount, 1u);
}

TEST_F(RelayTest, ReceivedBytesAsCharactersOrHexTokens) {
  comm_.Arrive(10, std::string("ab\rX\0", 5));
  EscapeAt(400);
  RunRelay(comm_);
  // CR returns to the left edge; X and the 0x00 byte overwrite a and b.
  EXPECT_EQ(screen_.Row(1, 0, 2), std::string("X\0 ", 3));
  EXPECT_EQ(ReceivedCount, 4u);

  Settings.HexMode = true;
  screen_.set_cursor({0, 5});
  comm_.Arrive(comm_.Now() + 10, std::string("A\n\0\xFF", 4));
  EscapeAt(comm_.Now() + 400);
  RunRelay(comm_);
  EXPECT_EQ(Row(6), "#41 #0A #00 #FF");
}

TEST_F(RelayTest, KeysAreEchoedAndSentEscapeIsNeither) {
  keys_.KeyAt(0, 'A', 30, 'a');
  keys_.KeyAt(0, 13, 28, 13);
  keys_.KeyAt(0, 38, 72, 0, 0x100);  // Up
  keys_.KeyAt(0, 112, 59, 0, 0x10);  // Shift+F1
  EscapeAt(0);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), std::string("a\r\0\x48\0\x54", 6));
  // 'a', then CR returns to the left edge: the extended codes overwrite from column 0.
  EXPECT_EQ(screen_.Row(1, 0, 3), std::string("\0H\0T", 4));
}

TEST_F(RelayTest, AnExtendedKeyTakesTwoPasses) {
  comm_.Arrive(0, "yz");
  keys_.KeyAt(0, 39, 77, 0, 0x100);  // Right
  EscapeAt(10);
  RunRelay(comm_);
  // Within a burst the keyboard is looked at when the burst ends; the extended code
  // follows in the very next pass.
  EXPECT_EQ(comm_.Wire(), std::string("\0\x4D", 2));
  EXPECT_EQ(screen_.Row(1, 0, 3), std::string("yz\0M", 4));
}

TEST_F(RelayTest, AKeyTypedDuringAFloodReachesTheLineBeforeTheFloodEnds) {
  for (std::uint64_t t = 0; t < 50; ++t) comm_.Arrive(t, std::string(4096, 'r'));
  keys_.KeyAt(20, 'A', 30, 'a');
  std::string wire_at_30;
  std::uint64_t received_at_30 = 0;
  keys_.At(30, [&](TimedKeys&) {
    wire_at_30 = comm_.Wire();
    received_at_30 = ReceivedCount;
  });
  EscapeAt(60);
  RunRelay(comm_);
  EXPECT_EQ(wire_at_30, "a");
  EXPECT_LT(received_at_30, 40u * 4096);
  EXPECT_EQ(comm_.Wire(), "a");
  EXPECT_EQ(ReceivedCount, 50u * 4096);
}

TEST_F(RelayTest, ABurstShowsWhatTheSameBytesShowOneAtATime) {
  std::string burst;
  for (int i = 0; i < 3; ++i) {
    for (int b = 1; b < 256; ++b) burst += static_cast<char>(b);  // controls, glyphs, 8-bit
    burst += std::string(150, 'w') + "\r\n";                      // wraps at the right edge
  }
  for (const bool hex : {false, true}) {
    SCOPED_TRACE(hex ? "hex" : "characters");
    std::vector<std::string> screens;
    for (const bool at_once : {true, false}) {
      FakeComm comm;
      FakeConsoleOutput screen({kColumns, 30}, {0, 0, kColumns - 1, 29});
      TimedKeys keys(comm);
      InitConsole(screen, keys);
      Settings = TerminalSettings{};
      Settings.HexMode = hex;
      ReceivedCount = 0;
      comm.AddDevice("\\\\.\\COM1");
      for (std::size_t i = 0; i < burst.size(); ++i) {
        if (at_once) {
          comm.Arrive(10, burst);
          break;
        }
        comm.Arrive(10 + i, burst.substr(i, 1));
      }
      keys.KeyAt(10 + burst.size() + 10, 27, 1, 27);
      RunRelay(comm);
      EXPECT_EQ(ReceivedCount, burst.size());
      std::string cells;
      for (int y = 0; y < 30; ++y) cells += screen.Row(y, 0, kColumns - 1);
      screens.push_back(cells + ";" + std::to_string(screen.cursor().X) + "," +
                        std::to_string(screen.cursor().Y));
    }
    // Both scrolled at the bottom row many times over and ended on the same screen.
    EXPECT_EQ(screens[0], screens[1]);
  }
}

TEST_F(RelayTest, APasteGoesOutInOrderEchoedAndInFewWrites) {
  std::string typed;
  for (int i = 0; i < 300; ++i) {
    const char c = static_cast<char>('a' + i % 26);
    keys_.PressKey(c, 30, c);
    typed += c;
  }
  EscapeAt(0);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), typed);
  EXPECT_EQ(Row(1) + Row(2) + Row(3), typed);
  EXPECT_LE(comm_.CallsNamed("WriteFile").size(), 4u);
}

TEST_F(RelayTest, AnIdleLineIsOneWaitWithoutTimeout) {
  EscapeAt(60000);
  RunRelay(comm_);
  const auto waits = comm_.CallsNamed("WaitForMultipleObjects");
  ASSERT_EQ(waits.size(), 1u);
  EXPECT_NE(waits[0].find("4294967295"), std::string::npos) << waits[0];
}

TEST_F(RelayTest, TheSecondCodeOfAnExtendedKeyDoesNotWaitForInput) {
  keys_.KeyAt(0, 39, 77, 0, 0x100);  // Right
  std::string wire_at_100;
  keys_.At(100, [&](TimedKeys&) { wire_at_100 = comm_.Wire(); });
  EscapeAt(60000);
  RunRelay(comm_);
  EXPECT_EQ(wire_at_100, std::string("\0\x4D", 2));
}

TEST_F(RelayTest, AKeyOnASilentLineGoesOutAtOnce) {
  keys_.KeyAt(30, 'A', 30, 'a');
  EscapeAt(45);
  RunRelay(comm_);
  EXPECT_EQ(comm_.Wire(), "a");
  EXPECT_LT(comm_.Now(), 100u);  // neither key waited for the end of a receive wait
}

TEST_F(RelayTest, StcKeepsItsPaceWhileTyping) {
  Settings.StcMode = true;
  for (std::uint64_t t = 30; t < 450; t += 40) keys_.KeyAt(t, 'A', 30, 'a');
  EscapeAt(450);
  RunRelay(comm_);
  std::string wire = comm_.Wire();
  int syncs = 0;
  for (std::size_t at = wire.find(kStcSync); at != std::string::npos;
       at = wire.find(kStcSync, at + 1)) {
    ++syncs;
  }
  EXPECT_EQ(syncs, 4);  // at 100, 200, 300 and 400 ms
  EXPECT_EQ(std::count(wire.begin(), wire.end(), 'a'), 11);
}

TEST_F(RelayTest, ABurstReachesTheConsoleInOneWriteAndLooksTheSame) {
  std::string burst;
  for (int i = 0; i < 300; ++i) burst += static_cast<char>(i % 7 == 6 ? 0 : 'a' + i % 26);
  comm_.Arrive(50, burst);
  EscapeAt(300);
  RunRelay(comm_);
  std::string shown;
  for (int y = 1; y <= 3; ++y) shown += screen_.Row(y, 0, kColumns - 1);
  EXPECT_EQ(shown.substr(0, 300), burst);
  auto writes = std::count(screen_.calls().begin(), screen_.calls().end(),
                           std::string("SetConsoleOutputCP 1252"));
  // The opening line, the burst (handed over at 256 bytes and at its end), the last flush.
  EXPECT_EQ(writes, 4);
}

TEST_F(RelayTest, APortThatDoesNotOpenEndsWithTheSerialError) {
  Settings.PortNumber = 9;
  Settings.MyAvrMode = true;
  try {
    RunRelay(comm_);
    FAIL() << "no exception";
  } catch (const EDorvaneError& e) {
    EXPECT_EQ(e.Code, 2);
    EXPECT_EQ(e.Message(), "Communication error 2: System message 2");
  }
  EXPECT_EQ(Row(1), "");  // no myAVR lines
  EXPECT_EQ(comm_.Wire(), "");
}

TEST_F(RelayTest, RefusedSettingsEndWithTheSerialErrorAndClose) {
  comm_.Fail("SetCommState", 87);
  EXPECT_THROW(RunRelay(comm_), EDorvaneError);
  EXPECT_FALSE(comm_.DeviceOpen());
}

TEST_F(RelayTest, AConsoleFailureStillSwitchesTheBoardBackAndCloses) {
  Settings.MyAvrMode = true;
  keys_.At(150, [](TimedKeys& keys) {
    ScreenOutput.State = StreamState::Closed;
    keys.PressKey('A', 30, 'a');
  });
  EXPECT_THROW(RunRelay(comm_), EInOutError);
  EXPECT_EQ(comm_.Wire(), kDataMode + kProgrammingMode);
  EXPECT_FALSE(comm_.DeviceOpen());
}

TEST_F(RelayTest, ALostDeviceIsReportedWaitedForAndTakenUpWithTheSameSettings) {
  Settings.BaudRate = 9600;
  keys_.KeyAt(50, 'A', 30, 'a');
  UnplugAt(300, 1000);
  keys_.KeyAt(500, 'B', 48, 'b');  // typed while away: dropped
  comm_.Arrive(1400, "Z");
  keys_.KeyAt(1500, 'C', 46, 'c');
  EscapeAt(1700);
  RunRelay(comm_);
  EXPECT_EQ(Row(1), "a");
  EXPECT_EQ(Row(2), "disconnected com=1: System message 1167");
  EXPECT_EQ(Row(3), "reconnected com=1");
  EXPECT_EQ(Row(4), "Zc");
  EXPECT_EQ(comm_.Wire(), "ac");
  EXPECT_EQ(comm_.CallsNamed("SetCommState").size(), 2u);
  EXPECT_EQ(comm_.DeviceDcb().BaudRate, 9600u);
  // The gone port is not drained: the one drain is the final close's.
  EXPECT_EQ(comm_.CallsNamed("FlushFileBuffers").size(), 1u);
  // Away for 700 ms: an open about every 250 ms, no more.
  const std::size_t opens = comm_.CallsNamed("CreateFileA").size();
  EXPECT_GE(opens, 1u + 3u);
  EXPECT_LE(opens, 1u + 4u);
  EXPECT_FALSE(comm_.DeviceOpen());
}

TEST_F(RelayTest, EscapeWhileAwayEndsTheRunWithoutCommandsToTheMissingBoard) {
  Settings.MyAvrMode = true;
  UnplugAt(300);
  EscapeAt(800);
  RunRelay(comm_);
  EXPECT_EQ(Row(1), "MyAVR: switching to data mode");
  EXPECT_EQ(Row(2), "disconnected com=1: System message 1167");
  EXPECT_EQ(Row(3), "");
  EXPECT_EQ(comm_.Wire(), kDataMode);
  EXPECT_TRUE(comm_.CallsNamed("FlushFileBuffers").empty());
}

TEST_F(RelayTest, AReturningBoardIsSwitchedToDataModeAndTheStcSyncStartsAgain) {
  Settings.MyAvrMode = true;
  UnplugAt(300, 600);
  EscapeAt(1200);
  RunRelay(comm_);
  EXPECT_EQ(Row(3), "reconnected com=1");
  EXPECT_EQ(Row(4), "MyAVR: switching to data mode");
  EXPECT_EQ(Row(5), "MyAVR: switching to programming mode");
  EXPECT_EQ(comm_.Wire(), kDataMode + kDataMode + kProgrammingMode);

  Settings = TerminalSettings{};
  Settings.StcMode = true;
  comm_.ClearCalls();
  screen_.set_cursor({0, 10});
  comm_.Arrive(comm_.Now() + 150, "K");
  UnplugAt(comm_.Now() + 300, comm_.Now() + 600);
  EscapeAt(comm_.Now() + 1000);
  const std::string before = comm_.Wire();
  RunRelay(comm_);
  EXPECT_EQ(Row(11), ".K");
  EXPECT_EQ(Row(12), "disconnected com=1: System message 1167");
  EXPECT_EQ(Row(13), "reconnected com=1");
  EXPECT_EQ(Row(14).substr(0, 1), ".");
  EXPECT_EQ(comm_.Wire().substr(before.size(), 2 * kStcSync.size()), kStcSync + kStcSync);
  EXPECT_EQ(ReceivedCount, 0u);
}

TEST_F(RelayTest, WithoutReconnectALossEndsTheRunWithItsErrorAfterTheClosingSteps) {
  Settings.NoReconnect = true;
  Settings.MyAvrMode = true;
  UnplugAt(300);
  try {
    RunRelay(comm_);
    FAIL() << "no exception";
  } catch (const EDorvaneError& e) {
    EXPECT_EQ(e.Message(), "Communication error 1167: System message 1167");
  }
  EXPECT_EQ(comm_.Wire(), kDataMode);
  EXPECT_TRUE(comm_.CallsNamed("FlushFileBuffers").empty());
  EXPECT_EQ(comm_.CallsNamed("CreateFileA").size(), 1u);
  EXPECT_FALSE(comm_.DeviceOpen());
}

}  // namespace
}  // namespace comterm
