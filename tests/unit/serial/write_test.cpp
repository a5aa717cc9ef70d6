#include <gtest/gtest.h>

#include "serial_fixture.h"

namespace comterm::testing {
namespace {

using WriteTest = SerialTest;

TEST_F(WriteTest, BlocksGoOutLengthFirstInTwoReportedWrites) {
  const struct {
    std::string block;
    std::string wire;
    std::vector<std::string> reports;
  } cases[] = {
      {"\x7F", std::string("\x01\0\0\0\x7F", 5), {"5:4", "5:1"}},
      {"", std::string(4, '\0'), {"5:4", "5:0"}},
      {"ABCDEFGH", std::string("\x08\0\0\0", 4) + "ABCDEFGH", {"5:4", "5:8"}},
  };
  for (const auto& c : cases) {
    FakeComm comm;
    comm.AddDevice(kCom1Path);
    TBlockSerial port(comm);
    port.OpenPort("COM1");
    std::vector<std::string> seen;
    port.OnStatus = [&](TBlockSerial&, THookSerialReason r, const std::string& v) {
      seen.push_back(ReportText(r, v));
    };
    port.WriteBlock(c.block);
    EXPECT_EQ(comm.Wire(), c.wire);
    EXPECT_EQ(seen, c.reports);
    EXPECT_EQ(comm.CallsNamed("WriteFile").size(), 2u);
    port.OnStatus = nullptr;
  }
}

TEST_F(WriteTest, KeyCostsOneWriteAndOneLineErrorCheck) {
  OpenCom1();
  port.WriteByte('k');
  EXPECT_EQ(DriverCalls(), (std::vector<std::string>{"WriteFile(port,1)", "ClearCommError(port)"}));
  EXPECT_EQ(comm.Wire(), "k");
  EXPECT_EQ(port.LastErrorCode, 0);
}

TEST_F(WriteTest, WriteHeldByFlowControlIsAbortedAfterTheDeadlockTimeout) {
  OpenCom1();
  comm.HoldWrites(true);
  port.WriteByte('x');
  const std::vector<std::string> expected = {
      "WriteFile(port,1)",    "WaitForSingleObject(port,30000)",
      "PurgeComm(port,0x1)",  "GetOverlappedResult(port,0)",
      "ClearCommError(port)",
  };
  EXPECT_EQ(DriverCalls(), expected);
  EXPECT_EQ(port.LastErrorCode, errTimeout);
  EXPECT_EQ(comm.Now(), 30000u);
  EXPECT_EQ(comm.Wire(), "");
  EXPECT_EQ(reports, std::vector<std::string>{"5:0"});
}

TEST_F(WriteTest, PendingWriteCompletesWhenTheHoldEnds) {
  OpenCom1();
  comm.HoldWrites(true, 500);
  EXPECT_EQ(port.WriteBuffer("abc", 3), 3);
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(comm.Now(), 500u);
  EXPECT_EQ(comm.Wire(), "abc");
}

TEST_F(WriteTest, FailuresAndLineErrorsAreRecordedWithTheCount) {
  OpenCom1();
  comm.Arrive(0, "", kCeOverrun);
  EXPECT_EQ(port.WriteBuffer("ab", 2), 2);
  EXPECT_EQ(port.LastErrorCode, errOverrun);

  comm.Fail("WriteFile", 22);
  EXPECT_EQ(port.WriteBuffer("cd", 2), 0);
  EXPECT_EQ(port.LastErrorCode, 22);
  EXPECT_EQ(port.LastErrorText, "System message 22\r\n");
  EXPECT_EQ(reports, (std::vector<std::string>{"5:2", "5:0"}));
}

TEST_F(WriteTest, ClosedPortSendsNothingReportsNothingAndWaitsForNothing) {
  port.WriteByte('a');
  port.WriteBlock("abc");
  EXPECT_EQ(port.WriteBuffer("abc", 3), 0);
  EXPECT_EQ(port.LastErrorCode, errNotConnected);
  EXPECT_TRUE(comm.Calls().empty());
  EXPECT_TRUE(reports.empty());
}

TEST_F(WriteTest, NegativeLengthWritesNothing) {
  OpenCom1();
  EXPECT_EQ(port.WriteBuffer("abc", -3), 0);
  EXPECT_EQ(comm.CallsNamed("WriteFile"), std::vector<std::string>{"WriteFile(port,0)"});
}

using ThrottleTest = SerialTest;

TEST_F(ThrottleTest, BandwidthDelaysTheNextSendByTheTimeThePreviousBooked) {
  OpenCom1();
  port.SetBandwidth(9600);
  EXPECT_EQ(port.ReceiveBandwidth, 9600);
  comm.SetNow(1000);
  port.WriteText(std::string(100, 'a'));
  EXPECT_EQ(port.NextSendTick, 1010u);
  EXPECT_TRUE(comm.CallsNamed("Sleep").empty());
  comm.SetNow(1004);
  port.WriteByte('b');
  EXPECT_EQ(comm.CallsNamed("Sleep"), std::vector<std::string>{"Sleep(6)"});
  EXPECT_EQ(comm.Now(), 1010u);
  EXPECT_EQ(reports, (std::vector<std::string>{"5:100", "6:6", "5:1"}));
}

TEST_F(ThrottleTest, ReadsAreThrottledWithTheirOwnBooking) {
  OpenCom1();
  port.SetBandwidth(1000);
  comm.Arrive(0, std::string(50, 'r'));
  port.ReadPacket(0);
  EXPECT_EQ(port.NextReceiveTick, 50u);
  EXPECT_EQ(port.NextSendTick, 0u);
  comm.Arrive(10, "s");
  comm.SetNow(10);
  port.ReadPacket(0);
  EXPECT_EQ(comm.CallsNamed("Sleep").back(), "Sleep(40)");
}

TEST_F(ThrottleTest, NoBandwidthNeverDelaysNorBooks) {
  OpenCom1();
  port.WriteText(std::string(1000, 'a'));
  port.WriteText(std::string(1000, 'a'));
  EXPECT_EQ(port.NextSendTick, 0u);
  EXPECT_TRUE(comm.CallsNamed("Sleep").empty());
}

TEST_F(ThrottleTest, NoSleepExceedsTheBookingAcrossTheTickWrap) {
  OpenCom1();
  port.SetBandwidth(1000);
  const std::uint64_t wrap = std::uint64_t{1} << 32;
  // A booking that ends after the wrap is still waited for.
  comm.SetNow(wrap - 5);
  port.WriteText(std::string(100, 'a'));
  EXPECT_EQ(port.NextSendTick, 95u);
  comm.SetNow(wrap + 20);
  port.WriteByte('b');
  EXPECT_EQ(comm.CallsNamed("Sleep").back(), "Sleep(75)");

  // A booking that ended just before the wrap, read after it, asks for no wait.
  comm.SetNow(2 * wrap - 5);
  port.WriteText(std::string(3, 'c'));
  EXPECT_EQ(port.NextSendTick, 0xFFFFFFFEu);
  comm.ClearCalls();
  comm.SetNow(2 * wrap + 10);
  port.WriteByte('d');
  EXPECT_TRUE(comm.CallsNamed("Sleep").empty());
  EXPECT_EQ(comm.Now(), 2 * wrap + 10);
}

using RtsToggleTest = SerialTest;

TEST_F(RtsToggleTest, NtFamilyLeavesTogglingToTheDriver) {
  OpenCom1();
  comm.ClearCalls();
  port.SetRtsToggle(true);
  EXPECT_EQ((comm.DeviceDcb().Flags & kDcbRtsControlMask), kDcbRtsControlToggle);
  EXPECT_FALSE(port.RtsToggle);
  port.SetRtsToggle(false);
  EXPECT_EQ((comm.DeviceDcb().Flags & kDcbRtsControlMask), 0u);
}

TEST_F(RtsToggleTest, OlderFamilyRaisesRtsAroundEachWrite) {
  comm.SetNtFamily(false);
  OpenCom1();
  port.SetRtsToggle(true);
  EXPECT_TRUE(port.RtsToggle);
  EXPECT_FALSE(comm.Rts());
  comm.ClearCalls();
  reports.clear();
  port.WriteByte('t');
  const std::vector<std::string> expected = {
      "FlushFileBuffers(port)", "EscapeCommFunction(port,3)", "WriteFile(port,1)",
      "ClearCommError(port)",   "FlushFileBuffers(port)",     "ClearCommError(port)",
      "ReadPortByte(0x3FD)",    "EscapeCommFunction(port,4)",
  };
  EXPECT_EQ(comm.CallsWithout({"GetLastError", "QueryPerformanceFrequency",
                               "QueryPerformanceCounter", "IsNtFamily"}),
            expected);
  EXPECT_FALSE(comm.Rts());
  EXPECT_EQ(reports, (std::vector<std::string>{"3:", "5:1"}));
}

TEST_F(RtsToggleTest, TransmitterTestGivesUpAfter255Milliseconds) {
  comm.SetNtFamily(false);
  comm.SetLineStatus(0);
  OpenCom1();
  EXPECT_TRUE(port.WaitWritable(100));
  EXPECT_GT(comm.CallsNamed("ReadPortByte").size(), 1u);
  EXPECT_EQ(reports, std::vector<std::string>{"3:"});
}

}  // namespace
}  // namespace comterm::testing
