#include <gtest/gtest.h>

#include <memory>

#include "serial_fixture.h"

namespace comterm::testing {
namespace {

using OpenPortTest = SerialTest;

TEST_F(OpenPortTest, PreparesTheDeviceInOrderAndReportsTheConnection) {
  port.LineBuffer = "stale";
  port.OpenPort("COM1");
  const std::vector<std::string> expected = {
      "SetLastError(0)",
      "CreateFileA(\\\\.\\COM1,0xC0000000,0,3,0x40000080)",
      "SetCommMask(port,0)",
      "SetupComm(port,4096,0)",
      "SetCommTimeouts(port,65535,0,0,0,0)",
      "IsNtFamily()",
      "EscapeCommFunction(port,3)",
      "EscapeCommFunction(port,5)",
      "PurgeComm(port,0xF)",
  };
  EXPECT_EQ(DriverCalls(), expected);
  EXPECT_TRUE(port.PortOpen);
  EXPECT_EQ(port.Handle, FakeComm::kPort);
  EXPECT_EQ(port.PortIndex, 0);
  EXPECT_EQ(port.PortAddress, 0);
  EXPECT_EQ(port.LineBuffer, "");
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(port.LastErrorText, "OK");
  EXPECT_TRUE(comm.Rts() && comm.Dtr());
  EXPECT_EQ(reports, std::vector<std::string>{"1:\\\\.\\COM1"});
}

TEST_F(OpenPortTest, AsksTheOlderFamilyForThePortAddress) {
  comm.SetNtFamily(false);
  port.OpenPort("COM1");
  EXPECT_EQ(comm.CallsNamed("EscapeCommFunction").front(), "EscapeCommFunction(port,10)");
  EXPECT_EQ(port.PortAddress, 0x3F8);
}

TEST_F(OpenPortTest, MissingDeviceLeavesThePortClosedAndEveryTransferRefused) {
  port.OpenPort("COM7");
  EXPECT_FALSE(port.PortOpen);
  EXPECT_EQ(port.Handle, kInvalidHandle);
  EXPECT_EQ(port.LastErrorCode, static_cast<int>(FakeComm::kFileNotFound));
  EXPECT_EQ(port.LastErrorText, "System message 2\r\n");
  EXPECT_EQ(port.PortIndex, 6);
  EXPECT_EQ(port.DeviceName, "\\\\.\\COM7");
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(comm.CallsNamed("SetCommMask").empty());

  port.Configure(19200, 8, 'N', 0, false, false);
  EXPECT_EQ(port.LastErrorCode, static_cast<int>(FakeComm::kInvalidHandleError));

  comm.ClearCalls();
  EXPECT_EQ(port.ReadByte(100), 0);
  EXPECT_EQ(port.LastErrorCode, errNotConnected);
  EXPECT_EQ(port.LastErrorText, "Instance not yet connected");
  EXPECT_EQ(comm.Now(), 0u);
  EXPECT_TRUE(comm.Calls().empty());
}

TEST_F(OpenPortTest, SecondOpenKeepsThePortOpenAndRecordsInstanceInUse) {
  OpenCom1();
  port.OpenPort("COM2");
  EXPECT_EQ(port.LastErrorCode, errInstanceInUse);
  EXPECT_TRUE(port.PortOpen);
  EXPECT_EQ(port.DeviceName, kCom1Path);
  EXPECT_TRUE(comm.Calls().empty());
  EXPECT_TRUE(reports.empty());
  port.WriteByte('a');
  EXPECT_EQ(comm.Wire(), "a");
}

TEST_F(OpenPortTest, FailedLineTestClosesTheHandleAndStillReportsTheConnection) {
  port.TestCTS = true;
  comm.SetModemStatus(kMsDsrOn);
  port.OpenPort("COM1");
  EXPECT_EQ(port.LastErrorCode, errNoAnswer);
  EXPECT_EQ(port.LastErrorText, "No device answer detected");
  EXPECT_FALSE(port.PortOpen);
  EXPECT_EQ(port.Handle, kInvalidHandle);
  EXPECT_EQ(port.PortIndex, -1);
  EXPECT_FALSE(comm.DeviceOpen());
  EXPECT_EQ(comm.CallsNamed("EscapeCommFunction").size(), 0u);
  EXPECT_EQ(reports, std::vector<std::string>{"1:\\\\.\\COM1"});
}

TEST_F(OpenPortTest, LineTestPassesWithTheRequiredLinesActive) {
  port.TestDSR = true;
  port.TestCTS = true;
  comm.SetModemStatus(kMsDsrOn | kMsCtsOn);
  port.OpenPort("COM1");
  EXPECT_TRUE(port.PortOpen);
  EXPECT_EQ(comm.CallsNamed("GetCommModemStatus").size(), 2u);
}

TEST_F(OpenPortTest, RaisedOpenFailureCarriesThePlatformCode) {
  port.RaiseExcept = true;
  try {
    port.OpenPort("COM9");
    FAIL() << "no exception";
  } catch (const EDorvaneError& e) {
    EXPECT_EQ(e.Code, 2);
    EXPECT_EQ(e.Description, "System message 2\r\n");
  }
  EXPECT_TRUE(reports.empty());
}

using ClosePortTest = SerialTest;

TEST_F(ClosePortTest, DrainsBeforePurgingSoNothingWrittenIsDiscarded) {
  OpenCom1();
  port.WriteText("last words");
  comm.ClearCalls();
  port.ClosePort();
  const std::vector<std::string> expected = {
      "FlushFileBuffers(port)",     "PurgeComm(port,0xF)", "EscapeCommFunction(port,4)",
      "EscapeCommFunction(port,6)", "CloseHandle(port)",
  };
  EXPECT_EQ(DriverCalls(), expected);
  EXPECT_EQ(comm.Wire(), "last words");
}

TEST_F(ClosePortTest, SecondCloseMakesNoCallAndReportsAgain) {
  OpenCom1();
  port.ClosePort();
  comm.ClearCalls();
  port.ClosePort();
  EXPECT_TRUE(comm.Calls().empty());
  EXPECT_EQ(reports, (std::vector<std::string>{"0:\\\\.\\COM1", "0:\\\\.\\COM1"}));
  EXPECT_EQ(port.DeviceName, kCom1Path);
  EXPECT_FALSE(port.PortOpen);
  EXPECT_EQ(port.Handle, kInvalidHandle);
  EXPECT_EQ(port.PortIndex, -1);
  EXPECT_EQ(port.LastErrorCode, 0);
}

TEST_F(ClosePortTest, FailedDrainDoesNotStopTheClose) {
  OpenCom1();
  comm.Fail("FlushFileBuffers", 31);
  port.ClosePort();
  EXPECT_FALSE(comm.DeviceOpen());
  EXPECT_EQ(port.LastErrorCode, 0);
}

TEST(DestructorTest, NeverOpenedPortMakesNoCallAndReportsClose) {
  FakeComm comm;
  std::vector<std::string> reports;
  {
    TBlockSerial port(comm);
    port.OnStatus = [&](TBlockSerial&, THookSerialReason r, const std::string& v) {
      reports.push_back(ReportText(r, v));
    };
  }
  EXPECT_TRUE(comm.Calls().empty());
  EXPECT_EQ(reports, std::vector<std::string>{"0:"});
}

TEST(DestructorTest, RaisedCloseFailureIsContainedAndTheHandleReleased) {
  FakeComm comm;
  comm.AddDevice(kCom1Path);
  auto port = std::make_unique<TBlockSerial>(comm);
  port->OpenPort("COM1");
  port->RaiseExcept = true;
  comm.Fail("PurgeComm", 5);
  EXPECT_THROW(port->ClosePort(), EDorvaneError);
  EXPECT_TRUE(port->PortOpen);
  EXPECT_NO_THROW(port.reset());
  EXPECT_FALSE(comm.DeviceOpen());
}

TEST(DestructorTest, ReleasesAHandleLeftByAnInterruptedOpen) {
  FakeComm comm;
  comm.AddDevice(kCom1Path);
  comm.Fail("GetCommModemStatus", 31);
  auto port = std::make_unique<TBlockSerial>(comm);
  port->RaiseExcept = true;
  port->TestDSR = true;
  EXPECT_THROW(port->OpenPort("COM1"), EDorvaneError);
  EXPECT_FALSE(port->PortOpen);
  EXPECT_TRUE(comm.DeviceOpen());
  port.reset();
  EXPECT_FALSE(comm.DeviceOpen());
}

}  // namespace
}  // namespace comterm::testing
