// The loopback device "loop://" through the platform driver factory.
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "serial/block_serial.h"
#include "serial/comm_api.h"

namespace comterm {
namespace {

using std::chrono::milliseconds;

std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - since).count();
}

class LoopDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = comm_->CreateFileA("loop://", kGenericRead | kGenericWrite, 0, kOpenExisting,
                               kFileAttributeNormal | kFileFlagOverlapped);
    ASSERT_NE(port_, kInvalidHandle);
  }
  void TearDown() override { comm_->CloseHandle(port_); }

  std::unique_ptr<CommApi> comm_ = CreatePlatformComm();
  CommHandle port_ = kInvalidHandle;
};

TEST_F(LoopDeviceTest, WhatIsWrittenIsReadBackInOrder) {
  std::string bytes(256, '\0');
  for (int i = 0; i < 256; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(i);
  Overlapped record;
  std::uint32_t count = 0;
  ASSERT_TRUE(comm_->WriteFile(port_, bytes.data(), 256, &count, &record));
  ASSERT_TRUE(comm_->WriteFile(port_, "tail", 4, &count, &record));
  ComStat stat;
  ASSERT_TRUE(comm_->ClearCommError(port_, nullptr, &stat));
  EXPECT_EQ(stat.cbInQue, 260u);
  std::string back(260, '\0');
  ASSERT_TRUE(comm_->ReadFile(port_, back.data(), 260, &count, &record));
  EXPECT_EQ(count, 260u);
  EXPECT_EQ(back, bytes + "tail");
}

TEST_F(LoopDeviceTest, PendingReadIsCompletedByALaterWriteOrAbortedByPurge) {
  char buffer[4] = {};
  Overlapped record;
  std::uint32_t count = 0;
  ASSERT_TRUE(comm_->WriteFile(port_, "ab", 2, &count, &record));
  Overlapped read_record;
  ASSERT_FALSE(comm_->ReadFile(port_, buffer, 4, &count, &read_record));
  EXPECT_EQ(comm_->GetLastError(), kErrorIoPending);
  EXPECT_EQ(comm_->WaitForSingleObject(port_, 0), kWaitTimeout);
  ASSERT_TRUE(comm_->WriteFile(port_, "cd", 2, &count, &record));
  EXPECT_EQ(comm_->WaitForSingleObject(port_, 0), kWaitObject0);
  ASSERT_TRUE(comm_->GetOverlappedResult(port_, &read_record, &count, false));
  EXPECT_EQ(std::string(buffer, count), "abcd");

  ASSERT_FALSE(comm_->ReadFile(port_, buffer, 4, &count, &read_record));
  ASSERT_TRUE(comm_->PurgeComm(port_, kPurgeRxAbort | kPurgeRxClear));
  EXPECT_FALSE(comm_->GetOverlappedResult(port_, &read_record, &count, false));
  EXPECT_EQ(count, 0u);
}

TEST_F(LoopDeviceTest, CommEventWaitOnAnEmptyLoopSleepsItsTimeoutOrEndsOnConsoleInput) {
  const CommHandle event = comm_->CreateEventA(true, false);
  Overlapped record;
  record.hEvent = event;
  std::uint32_t events = 99;
  ASSERT_TRUE(comm_->SetCommMask(port_, kEvRxChar));
  ASSERT_FALSE(comm_->WaitCommEvent(port_, &events, &record));
  EXPECT_EQ(comm_->GetLastError(), kErrorIoPending);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(comm_->WaitForSingleObject(event, 100), kWaitTimeout);
  EXPECT_GE(ElapsedMs(start), 90);

  int console[2];
  ASSERT_EQ(pipe(console), 0);
  ASSERT_EQ(write(console[1], "k", 1), 1);
  const CommHandle handles[] = {event, static_cast<CommHandle>(console[0])};
  EXPECT_EQ(comm_->WaitForMultipleObjects(2, handles, 10000), kWaitObject0 + 1);
  close(console[0]);
  close(console[1]);

  ASSERT_TRUE(comm_->SetCommMask(port_, 0));
  std::uint32_t count = 0;
  EXPECT_TRUE(comm_->GetOverlappedResult(port_, &record, &count, true));
  EXPECT_EQ(events, 0u);
  comm_->CloseHandle(event);
}

TEST_F(LoopDeviceTest, ModemLinesLoopBackAndSettingsAreKept) {
  std::uint32_t status = 0;
  ASSERT_TRUE(comm_->EscapeCommFunction(port_, kSetRts));
  ASSERT_TRUE(comm_->GetCommModemStatus(port_, &status));
  EXPECT_EQ(status, kMsCtsOn);
  ASSERT_TRUE(comm_->EscapeCommFunction(port_, kSetDtr));
  ASSERT_TRUE(comm_->EscapeCommFunction(port_, kClrRts));
  ASSERT_TRUE(comm_->GetCommModemStatus(port_, &status));
  EXPECT_EQ(status, kMsDsrOn | kMsRlsdOn);

  Dcb dcb;
  dcb.BaudRate = 1234;
  dcb.ByteSize = 7;
  dcb.Parity = 3;
  ASSERT_TRUE(comm_->SetCommState(port_, dcb));
  Dcb back;
  ASSERT_TRUE(comm_->GetCommState(port_, &back));
  EXPECT_EQ(back.BaudRate, 1234u);
  EXPECT_EQ(back.Parity, 3);
  dcb.ByteSize = 9;
  EXPECT_FALSE(comm_->SetCommState(port_, dcb));
  EXPECT_EQ(comm_->GetLastError(), static_cast<std::uint32_t>(EINVAL));
}

TEST(LoopDeviceSerial, PortClassEchoesThroughTheLoop) {
  std::unique_ptr<CommApi> comm = CreatePlatformComm();
  TBlockSerial serial(*comm);
  serial.OpenPort("loop://");
  ASSERT_TRUE(serial.PortOpen) << serial.LastErrorText;
  serial.Configure(9600, 8, 'N', 0, false, false);
  EXPECT_EQ(serial.LastErrorCode, 0);
  serial.WriteBlock("hi");
  EXPECT_EQ(serial.ReadExactText(6, 100), std::string("\x02\x00\x00\x00hi", 6));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(serial.ReadByte(100), 0);
  EXPECT_EQ(serial.LastErrorCode, 9997);
  EXPECT_GE(ElapsedMs(start), 90);
}

}  // namespace
}  // namespace comterm
