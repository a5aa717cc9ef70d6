#include <gtest/gtest.h>

#include "serial_fixture.h"

namespace comterm::testing {
namespace {

using ReadTest = SerialTest;

TEST_F(ReadTest, IdleReadByteWaitsOnTheEventAndTimesOut) {
  OpenCom1();
  EXPECT_EQ(port.ReadByte(100), 0);
  const std::vector<std::string> expected = {
      "Sleep(0)",
      "ClearCommError(port)",
      "ClearCommError(port)",
      "CreateEventA(1,0)",
      "SetCommMask(port,1)",
      "ClearCommError(port)",
      "WaitCommEvent(port)",
      "WaitForSingleObject(event,100)",
      "SetCommMask(port,0)",
      "GetOverlappedResult(port,1)",
      "SetCommMask(port,0)",
      "CloseHandle(event)",
  };
  EXPECT_EQ(DriverCalls(), expected);
  EXPECT_EQ(port.LastErrorCode, errTimeout);
  EXPECT_EQ(port.LastErrorText, "Timeout during operation");
  EXPECT_EQ(comm.Now(), 100u);
  EXPECT_TRUE(reports.empty());
}

TEST_F(ReadTest, ByteArrivingDuringTheWaitEndsItAtOnce) {
  OpenCom1();
  comm.Arrive(40, "A");
  EXPECT_EQ(port.ReadByte(100), 'A');
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(comm.Now(), 40u);
  EXPECT_EQ(reports, (std::vector<std::string>{"2:", "4:1"}));
}

TEST_F(ReadTest, QueuedBurstCostsOneDriverReadThenNoCalls) {
  OpenCom1();
  comm.Arrive(0, "HELLO");
  EXPECT_EQ(port.ReadByte(100), 'H');
  EXPECT_EQ(DriverCalls(), (std::vector<std::string>{"Sleep(0)", "ClearCommError(port)",
                                                     "ReadFile(port,5)", "ClearCommError(port)"}));
  comm.ClearCalls();
  std::string rest;
  for (int i = 0; i < 4; ++i) rest += static_cast<char>(port.ReadByte(100));
  EXPECT_EQ(rest, "ELLO");
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_TRUE(comm.Calls().empty());
  EXPECT_EQ(comm.Now(), 0u);
}

TEST_F(ReadTest, ReceivedZeroByteIsTellableFromATimeout) {
  OpenCom1();
  comm.Arrive(0, std::string(1, '\0'));
  EXPECT_EQ(port.ReadByte(100), 0);
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(port.ReadByte(100), 0);
  EXPECT_EQ(port.LastErrorCode, errTimeout);
}

TEST_F(ReadTest, PacketWithALineErrorIsKeptForTheNextRead) {
  OpenCom1();
  comm.Arrive(0, "AB");
  comm.SetReadLineErrors(kCeFrame | kCeOverrun);
  EXPECT_EQ(port.ReadByte(100), 0);
  EXPECT_EQ(port.LastErrorCode, errOverrun);
  EXPECT_EQ(port.LastErrorText, "OK");
  EXPECT_EQ(port.LineBuffer, "AB");
  comm.ClearCalls();
  EXPECT_EQ(port.ReadByte(100), 'A');
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(port.ReadByte(100), 'B');
  EXPECT_TRUE(comm.Calls().empty());
}

TEST_F(ReadTest, LineErrorsSeenOnlyByTheQueueCountAreNotRecorded) {
  OpenCom1();
  comm.Arrive(0, "C", kCeRxParity);
  EXPECT_EQ(port.ReadByte(100), 'C');
  EXPECT_EQ(port.LastErrorCode, 0);
}

TEST_F(ReadTest, ReadPacketWithZeroTimeoutPolls) {
  OpenCom1();
  comm.Arrive(0, "xy");
  comm.Arrive(50, "z");
  EXPECT_EQ(port.ReadPacket(0), "xy");
  EXPECT_EQ(port.ReadPacket(0), "");
  EXPECT_EQ(port.LastErrorCode, errTimeout);
  EXPECT_EQ(comm.Now(), 0u);
}

TEST_F(ReadTest, ReadExactSpendsItsTimeoutPerPacketOrInAll) {
  for (bool inter_packet : {true, false}) {
    FakeComm comm;
    comm.AddDevice(kCom1Path);
    TBlockSerial port(comm);
    port.OpenPort("COM1");
    port.InterPacketTimeout = inter_packet;
    for (int i = 1; i <= 4; ++i) comm.Arrive(80u * i, std::string(1, static_cast<char>('0' + i)));
    char buffer[4] = {};
    const int n = port.ReadExact(buffer, 4, 100);
    if (inter_packet) {
      EXPECT_EQ(n, 4);
      EXPECT_EQ(std::string(buffer, 4), "1234");
      EXPECT_EQ(port.LastErrorCode, 0);
      EXPECT_EQ(comm.Now(), 320u);
    } else {
      EXPECT_EQ(n, 1);
      EXPECT_EQ(buffer[0], '1');
      EXPECT_EQ(port.LastErrorCode, errTimeout);
      EXPECT_EQ(comm.Now(), 100u);
    }
  }
}

TEST_F(ReadTest, ReadExactLeavesTheSurplusFirstForTheNextRead) {
  OpenCom1();
  comm.Arrive(0, "ABCDEF");
  char buffer[4] = {};
  EXPECT_EQ(port.ReadExact(buffer, 4, 100), 4);
  EXPECT_EQ(std::string(buffer, 4), "ABCD");
  EXPECT_EQ(port.LineBuffer, "EF");
  EXPECT_EQ(port.ReadExactText(2, 100), "EF");
}

TEST_F(ReadTest, ReadExactTextThatTimesOutReturnsNothing) {
  OpenCom1();
  comm.Arrive(0, "AB");
  EXPECT_EQ(port.ReadExactText(4, 100), "");
  EXPECT_EQ(port.LastErrorCode, errTimeout);
}

TEST_F(ReadTest, NegativeLengthsReadNothingAndNeverOverrunTheBuffer) {
  OpenCom1();
  comm.Arrive(0, "ABC");
  char buffer[1] = {};
  EXPECT_EQ(port.ReadExact(buffer, -1, 100), 0);
  EXPECT_EQ(port.LineBuffer, "ABC");
  port.LineBuffer.clear();
  comm.Arrive(0, "DEF");
  EXPECT_EQ(port.ReadBuffer(buffer, -5), 0);
  EXPECT_EQ(comm.CallsNamed("ReadFile").back(), "ReadFile(port,0)");
}

TEST_F(ReadTest, DriverReadHeldPastTheDeadlockTimeoutIsAborted) {
  OpenCom1();
  port.DeadlockTimeout = 1000;
  comm.Arrive(0, "abc");
  comm.Arrive(5000, "defghijk");
  char buffer[10] = {};
  EXPECT_EQ(port.ReadBuffer(buffer, 10), 0);
  EXPECT_EQ(port.LastErrorCode, errTimeout);
  EXPECT_EQ(comm.Now(), 1000u);
  EXPECT_EQ(comm.CallsNamed("PurgeComm").back(), "PurgeComm(port,0x2)");

  comm.Arrive(1500, "defghij");
  EXPECT_EQ(port.ReadBuffer(buffer, 10), 10);
  EXPECT_EQ(std::string(buffer, 10), "abcdefghij");
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(comm.Now(), 1500u);
}

TEST_F(ReadTest, WaitEventSeesBytesAlreadyQueuedWithoutWaiting) {
  OpenCom1();
  comm.Arrive(0, "z");
  EXPECT_TRUE(port.WaitEvent(kEvRxChar, 100));
  EXPECT_TRUE(comm.CallsNamed("WaitCommEvent").empty());
  EXPECT_EQ(comm.CallsNamed("SetCommMask").back(), "SetCommMask(port,0)");
  EXPECT_EQ(comm.CallsNamed("CloseHandle"), std::vector<std::string>{"CloseHandle(event)"});
}

TEST_F(ReadTest, InputWaitHandleEndsTheWaitLikeATimeout) {
  OpenCom1();
  port.SetInputWaitHandle(FakeComm::kInput);
  comm.SetInputReadyAt(30);
  EXPECT_EQ(port.ReadByte(100), 0);
  EXPECT_EQ(port.LastErrorCode, errTimeout);
  EXPECT_EQ(comm.Now(), 30u);
  EXPECT_EQ(comm.CallsNamed("WaitForMultipleObjects"),
            std::vector<std::string>{"WaitForMultipleObjects(event+input,100)"});
  EXPECT_TRUE(comm.CallsNamed("WaitForSingleObject").empty());

  comm.Arrive(60, "k");
  comm.SetInputReadyAt(1000);
  EXPECT_EQ(port.ReadByte(100), 'k');
}

TEST_F(ReadTest, AvailableCountsTheBufferOrElseTheQueue) {
  OpenCom1();
  comm.Arrive(0, "abc");
  EXPECT_EQ(port.BytesAvailable(), 3);
  port.ReadByte(0);
  comm.Arrive(0, "defg");
  EXPECT_EQ(port.BytesAvailable(), 2);
  EXPECT_EQ(port.BytesWaiting(), 4);
  EXPECT_TRUE(port.WaitAvailable(0));
}

TEST_F(ReadTest, ClosedPortGivesEveryReadItsEmptyResultAtOnce) {
  char buffer[4] = {};
  const auto checks = {
      +[](TBlockSerial& p, char*) { return std::to_string(p.ReadByte(100)); },
      +[](TBlockSerial& p, char*) { return p.ReadPacket(100); },
      +[](TBlockSerial& p, char* b) { return std::to_string(p.ReadBuffer(b, 4)); },
      +[](TBlockSerial& p, char* b) { return std::to_string(p.ReadExact(b, 4, 100)); },
      +[](TBlockSerial& p, char*) { return p.ReadExactText(4, 100); },
      +[](TBlockSerial& p, char*) { return p.ReadLine(100); },
  };
  const std::vector<std::string> empty = {"0", "", "0", "0", "", ""};
  std::size_t i = 0;
  for (auto check : checks) {
    port.LineBuffer = "kept";
    EXPECT_EQ(check(port, buffer), empty[i++]);
    EXPECT_EQ(port.LastErrorCode, errNotConnected);
    EXPECT_EQ(port.LineBuffer, "kept");
  }
  EXPECT_TRUE(comm.Calls().empty());
  EXPECT_EQ(comm.Now(), 0u);
  EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace comterm::testing
