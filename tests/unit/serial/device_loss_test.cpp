#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/serial_errors.h"
#include "serial_fixture.h"

namespace comterm::testing {
namespace {

using DeviceLossTest = SerialTest;

TEST_F(DeviceLossTest, TheLossCodeOutlastsTheOutcomesAfterItUntilTheNextOpen) {
  OpenCom1();
  port.ReadByte(100);
  EXPECT_EQ(port.DeviceLostCode, 0);  // a timeout is no loss

  comm.Unplug();
  port.ReadByte(100);
  // The read's own outcome is the timeout its failed waits end in; the loss stays known.
  EXPECT_EQ(port.LastErrorCode, errTimeout);
  EXPECT_EQ(port.DeviceLostCode, static_cast<std::int32_t>(FakeComm::kDeviceGone));
  port.WriteByte('x');
  EXPECT_EQ(port.LastErrorCode, static_cast<std::int32_t>(FakeComm::kDeviceGone));

  port.AbandonPort();
  comm.AddDevice(kCom1Path);
  port.OpenPort("COM1");
  EXPECT_TRUE(port.PortOpen);
  EXPECT_EQ(port.DeviceLostCode, 0);
}

TEST_F(DeviceLossTest, OrdinaryFailuresAreNoLoss) {
  OpenCom1();
  comm.Fail("ClearCommError", 87);
  comm.Fail("WriteFile", FakeComm::kAccessDenied);
  port.ReadByte(100);
  port.WriteByte('x');
  EXPECT_EQ(port.LastErrorCode, static_cast<std::int32_t>(FakeComm::kAccessDenied));
  EXPECT_EQ(port.DeviceLostCode, 0);
}

TEST_F(DeviceLossTest, AbandoningAGonePortOnlyReleasesTheHandle) {
  OpenCom1();
  port.WriteText("queued");
  comm.Unplug();
  port.ReadByte(10);
  comm.ClearCalls();
  reports.clear();
  port.AbandonPort();
  EXPECT_EQ(DriverCalls(), (std::vector<std::string>{"CloseHandle(port)"}));
  EXPECT_EQ(reports, (std::vector<std::string>{"0:\\\\.\\COM1"}));
  EXPECT_FALSE(port.PortOpen);
  EXPECT_EQ(port.Handle, kInvalidHandle);
  EXPECT_EQ(port.DeviceLostCode, static_cast<std::int32_t>(FakeComm::kDeviceGone));
  comm.ClearCalls();
  port.ClosePort();  // the destructor's close then makes no call either
  EXPECT_TRUE(DriverCalls().empty());
}

}  // namespace
}  // namespace comterm::testing
