#include <gtest/gtest.h>

#include "serial_fixture.h"

namespace comterm::testing {
namespace {

using LineControlTest = SerialTest;

TEST_F(LineControlTest, BreakHoldsForItsDurationAndAFailureIsNeverRaised) {
  OpenCom1();
  port.RaiseExcept = true;
  comm.Fail("ClearCommBreak", 31);
  EXPECT_NO_THROW(port.SendBreak(250));
  EXPECT_EQ(DriverCalls(),
            (std::vector<std::string>{"SetCommBreak(port)", "Sleep(250)", "ClearCommBreak(port)"}));
  EXPECT_EQ(comm.Now(), 250u);
  EXPECT_EQ(port.LastErrorCode, 31);
}

TEST_F(LineControlTest, PurgeEmptiesLineBufferEvenWhenItFails) {
  OpenCom1();
  comm.Arrive(0, "queued");
  port.LineBuffer = "held";
  comm.Fail("PurgeComm", 5);
  port.PurgeQueues();
  EXPECT_EQ(port.LineBuffer, "");
  EXPECT_EQ(port.LastErrorCode, 5);
}

TEST_F(LineControlTest, QueueCountsAndTheirFailures) {
  OpenCom1();
  comm.SetOutQueue(7);
  EXPECT_EQ(port.BytesUnsent(), 7);
  EXPECT_FALSE(port.WaitWritable(50));
  EXPECT_EQ(comm.Now(), 50u);
  port.DrainOutput();
  EXPECT_EQ(port.BytesUnsent(), 0);
  EXPECT_TRUE(port.WaitWritable(50));
  comm.Fail("ClearCommError", 6);
  EXPECT_EQ(port.BytesWaiting(), 0);
  EXPECT_EQ(port.LastErrorCode, 6);
  EXPECT_EQ(port.BytesUnsent(), 0);
  EXPECT_EQ(port.LastErrorCode, 6);
}

}  // namespace
}  // namespace comterm::testing
