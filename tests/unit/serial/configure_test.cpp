#include <gtest/gtest.h>

#include "serial_fixture.h"

namespace comterm::testing {
namespace {

using ConfigureTest = SerialTest;

TEST_F(ConfigureTest, TerminalDefaultsGiveTheDcbOfNoFlowNoParity) {
  OpenCom1();
  port.Configure(19200, 8, 'N', 0, false, false);
  const Dcb& dcb = comm.DeviceDcb();
  EXPECT_EQ(dcb.DCBlength, 28u);
  EXPECT_EQ(dcb.BaudRate, 19200u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, 0);
  EXPECT_EQ(dcb.StopBits, 0);
  EXPECT_EQ(dcb.Flags, 0x1011u);
  EXPECT_EQ(dcb.XonLim, 1024);
  EXPECT_EQ(dcb.XoffLim, 1024);
  EXPECT_EQ(dcb.XonChar, 17);
  EXPECT_EQ(dcb.XoffChar, 19);
  EXPECT_EQ(dcb.ErrorChar | dcb.EofChar | dcb.EvtChar | dcb.wReserved | dcb.wReserved1, 0);
  EXPECT_EQ(port.LastErrorCode, 0);
  EXPECT_EQ(DriverCalls(), std::vector<std::string>{"SetCommState(port)"});
}

TEST_F(ConfigureTest, FlowControlAndParityFlagWords) {
  OpenCom1();
  const struct {
    char parity;
    bool soft, hard;
    std::uint32_t flags;
  } cases[] = {
      {'N', false, false, 0x1011}, {'E', false, false, 0x1013}, {'N', true, false, 0x1311},
      {'N', false, true, 0x2015},  {'e', true, true, 0x2317},
  };
  for (const auto& c : cases) {
    port.Configure(9600, 7, c.parity, 2, c.soft, c.hard);
    EXPECT_EQ(comm.DeviceDcb().Flags, c.flags) << c.parity << c.soft << c.hard;
    EXPECT_EQ(comm.DeviceDcb().StopBits, 2);
    EXPECT_EQ(comm.DeviceDcb().ByteSize, 7);
  }
}

TEST_F(ConfigureTest, ParityLettersInEitherCaseAndNoneForOthers) {
  OpenCom1();
  const struct {
    char letter;
    int parity;
  } cases[] = {
      {'N', 0}, {'n', 0}, {'O', 1}, {'o', 1}, {'E', 2}, {'e', 2},  {'M', 3},
      {'m', 3}, {'S', 4}, {'s', 4}, {'X', 0}, {'1', 0}, {'\0', 0},
  };
  for (const auto& c : cases) {
    port.Configure(9600, 8, c.letter, 0, false, false);
    EXPECT_EQ(comm.DeviceDcb().Parity, c.parity) << c.letter;
    EXPECT_EQ((comm.DeviceDcb().Flags & kDcbParity) != 0, c.parity != 0) << c.letter;
  }
}

TEST_F(ConfigureTest, ValuesGoToTheDeviceUnvalidatedAndRejectionIsRecorded) {
  OpenCom1();
  comm.Fail("SetCommState", 87);
  port.Configure(123457, 9, 'N', 7, false, false);
  EXPECT_EQ(port.Dcb.BaudRate, 123457u);
  EXPECT_EQ(port.Dcb.ByteSize, 9);
  EXPECT_EQ(port.Dcb.StopBits, 7);
  EXPECT_EQ(port.LastErrorCode, 87);
  EXPECT_EQ(port.LastErrorText, "System message 87\r\n");
}

TEST_F(ConfigureTest, ReceiveQueueSizeSetsTheXonXoffLimits) {
  OpenCom1();
  port.SetReceiveQueueSize(1000);
  EXPECT_EQ(port.ReceiveQueueSize, 1000);
  EXPECT_EQ(comm.DeviceDcb().XonLim, 250);
  EXPECT_EQ(comm.DeviceDcb().XoffLim, 250);
  EXPECT_EQ(DriverCalls(), (std::vector<std::string>{"SetupComm(port,1000,0)", "GetCommState(port)",
                                                     "SetCommState(port)"}));
}

}  // namespace
}  // namespace comterm::testing
