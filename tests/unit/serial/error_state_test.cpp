#include <gtest/gtest.h>

#include "serial_fixture.h"

namespace comterm::testing {
namespace {

TEST(NewPortTest, StartsClosedWithTheDocumentedValuesAndNoCall) {
  FakeComm comm;
  TBlockSerial port(comm);
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(port.LastErrorText, "OK");
  EXPECT_EQ(port.Handle, kInvalidHandle);
  EXPECT_EQ(port.PortIndex, -1);
  EXPECT_EQ(port.ReceiveQueueSize, 4096);
  EXPECT_EQ(port.DeadlockTimeout, 30000);
  EXPECT_EQ(port.AtTimeout, 1000);
  EXPECT_TRUE(port.LinuxLock);
  EXPECT_TRUE(port.InterPacketTimeout);
  for (bool flag : {port.RaiseExcept, port.RtsToggle, port.PortOpen, port.TestDSR, port.TestCTS,
                    port.LastEndWasCr, port.LastEndWasLf, port.ConvertLineEnd, port.AtResult}) {
    EXPECT_FALSE(flag);
  }
  EXPECT_EQ(port.Tag, 0);
  EXPECT_EQ(port.DeviceName, "");
  EXPECT_EQ(port.LineBuffer, "");
  EXPECT_EQ(port.SendBandwidth, 0);
  EXPECT_EQ(port.NextSendTick, 0u);
  EXPECT_EQ(port.MaxLineLength, 0);
  EXPECT_EQ(port.Dcb.DCBlength, 0u);
  EXPECT_FALSE(port.OnStatus);
  EXPECT_EQ(port.VersionText(), "Dorvane 6.3.5");
  EXPECT_TRUE(comm.Calls().empty());
}

TEST(ErrorDescTest, OwnCodesHaveTheirTextsAndOthersAskThePlatform) {
  FakeComm comm;
  const struct {
    int code;
    const char* text;
  } own[] = {
      {0, "OK"},
      {9991, "Port owned by other process"},
      {9992, "Instance already in use"},
      {9993, "Wrong paramter at call"},
      {9994, "Instance not yet connected"},
      {9995, "No device answer detected"},
      {9996, "Maximal buffer length exceeded"},
      {9997, "Timeout during operation"},
      {9998, "Reading of data failed"},
      {9999, "Receive framing error"},
      {10000, "Receive Overrun Error"},
      {10001, "Receive Queue overflow"},
      {10002, "Receive Parity Error"},
      {10003, "Tranceive Queue is full"},
  };
  for (const auto& c : own) EXPECT_EQ(TBlockSerial::GetErrorDesc(comm, c.code), c.text);
  EXPECT_TRUE(comm.Calls().empty());

  EXPECT_EQ(TBlockSerial::GetErrorDesc(comm, 9990), "System message 9990\r\n");
  EXPECT_EQ(TBlockSerial::GetErrorDesc(comm, 10004), "System message 10004\r\n");
  EXPECT_EQ(TBlockSerial::GetErrorDesc(comm, -1), "System message 4294967295\r\n");
  EXPECT_EQ(comm.Calls(), (std::vector<std::string>{"FormatMessageA(9990)", "FormatMessageA(10004)",
                                                    "FormatMessageA(4294967295)"}));
}

TEST(CheckResultTest, OnlyMinusOneTakesThePlatformCode) {
  FakeComm comm;
  TBlockSerial port(comm);
  comm.SetLastError(5);
  EXPECT_EQ(port.CheckResult(5), 0);
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(port.LastErrorText, "OK");
  EXPECT_EQ(port.CheckResult(-1), 5);
  EXPECT_EQ(port.LastErrorCode, 5);
  EXPECT_EQ(port.LastErrorText, "System message 5\r\n");
}

TEST(DecodeLineErrorsTest, LastMatchingFlagWinsAndTheTextIsKept) {
  FakeComm comm;
  TBlockSerial port(comm);
  const struct {
    std::uint32_t flags;
    int code;
  } cases[] = {
      {0x0008, errFraming}, {0x0002, errOverrun}, {0x0001, errRxOverflow}, {0x0004, errRxParity},
      {0x0100, errTxFull},  {0x000A, errOverrun}, {0x0105, errTxFull},     {0x000C, errRxParity},
      {0x0010, 0},          {0xFE00, 0},
  };
  for (const auto& c : cases) {
    port.SetError(0);
    port.DecodeLineErrors(c.flags);
    EXPECT_EQ(port.LastErrorCode, c.code) << std::hex << c.flags;
    EXPECT_EQ(port.LastErrorText, "OK");
  }
  port.SetError(errTimeout);
  port.DecodeLineErrors(kCeBreak);
  EXPECT_EQ(port.LastErrorCode, errTimeout);
}

TEST(RaiseExceptTest, ClosedPortTransferRaisesOnlyWhenAsked) {
  FakeComm comm;
  TBlockSerial port(comm);
  EXPECT_EQ(port.ReadByte(100), 0);
  EXPECT_EQ(port.LastErrorCode, errNotConnected);

  port.RaiseExcept = true;
  try {
    port.WriteByte('x');
    FAIL() << "no exception";
  } catch (const EDorvaneError& e) {
    EXPECT_EQ(e.Code, 9994);
    EXPECT_EQ(e.Description, "Instance not yet connected");
    EXPECT_EQ(e.Message(), "Communication error 9994: Instance not yet connected");
    EXPECT_STREQ(e.ClassName(), "EDorvaneError");
  }
  EXPECT_EQ(port.LastErrorCode, errNotConnected);
}

TEST(RaiseExceptTest, DescriptionIsLookedUpAfreshNotTakenFromTheText) {
  FakeComm comm;
  TBlockSerial port(comm);
  port.SetError(0);
  port.DecodeLineErrors(kCeFrame);
  port.RaiseExcept = true;
  try {
    port.RaiseIfError();
    FAIL() << "no exception";
  } catch (const EDorvaneError& e) {
    EXPECT_EQ(e.Message(), "Communication error 9999: Receive framing error");
  }
}

using LinesTest = SerialTest;

TEST_F(LinesTest, NoTestMeansNoCallAndTheErrorStateUntouched) {
  OpenCom1();
  port.SetError(errTimeout);
  EXPECT_FALSE(port.LinesNotReady());
  EXPECT_EQ(port.LastErrorCode, errTimeout);
  EXPECT_TRUE(comm.Calls().empty());
}

TEST_F(LinesTest, InactiveRequiredLineRefusesTransfers) {
  OpenCom1();
  port.TestDSR = true;
  port.TestCTS = true;
  comm.SetModemStatus(kMsCtsOn);
  EXPECT_TRUE(port.LinesNotReady());
  EXPECT_EQ(port.LastErrorCode, errNoAnswer);
  // CTS is not read once DSR failed.
  EXPECT_EQ(comm.CallsNamed("GetCommModemStatus").size(), 1u);
  port.WriteByte('x');
  EXPECT_EQ(comm.Wire(), "");

  comm.SetModemStatus(kMsCtsOn | kMsDsrOn);
  EXPECT_FALSE(port.LinesNotReady());
  EXPECT_EQ(port.LastErrorCode, 0);
}

TEST_F(LinesTest, ModemStatusReadsEachLineAfresh) {
  OpenCom1();
  comm.SetModemStatus(kMsRingOn | kMsRlsdOn);
  EXPECT_TRUE(port.RingActive());
  EXPECT_TRUE(port.CarrierActive());
  EXPECT_FALSE(port.DsrActive());
  EXPECT_FALSE(port.CtsActive());
  EXPECT_EQ(port.ModemStatus, kMsRingOn | kMsRlsdOn);
  EXPECT_EQ(comm.CallsNamed("GetCommModemStatus").size(), 4u);
  comm.Fail("GetCommModemStatus", 31);
  EXPECT_EQ(port.ReadModemStatus(), 0u);
  EXPECT_EQ(port.ModemStatus, 0u);
  EXPECT_EQ(port.LastErrorCode, 31);
}

}  // namespace
}  // namespace comterm::testing
