// The POSIX serial driver when the device hangs up: a pseudo-terminal whose far end
// closes, as a USB adapter's tty is hung up when it is unplugged.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>

#include "fakes/pty_pair.h"
#include "serial/comm_api.h"

namespace comterm {
namespace {

using testing::PtyPair;

class CommHangUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = comm_->CreateFileA(pty_->slave_path(), kGenericRead | kGenericWrite, 0, kOpenExisting,
                               kFileAttributeNormal | kFileFlagOverlapped);
    ASSERT_NE(port_, kInvalidHandle);
  }
  void TearDown() override { comm_->CloseHandle(port_); }

  // The last failure was reported, and as the device gone.
  void ExpectLost(bool ok, const char* call) {
    EXPECT_FALSE(ok) << call;
    EXPECT_TRUE(comm_->IsDeviceLost(comm_->GetLastError())) << call << " " << comm_->GetLastError();
  }

  std::unique_ptr<CommApi> comm_ = CreatePlatformComm();
  std::optional<PtyPair> pty_{std::in_place};
  CommHandle port_ = kInvalidHandle;
};

TEST_F(CommHangUpTest, APendingWaitEndsAtTheHangUpAndEveryCallThenReportsTheLoss) {
  ASSERT_TRUE(comm_->SetCommMask(port_, kEvRxChar));
  const CommHandle event = comm_->CreateEventA(true, false);
  Overlapped wait{};
  wait.hEvent = event;
  std::uint32_t events = 0;
  ASSERT_FALSE(comm_->WaitCommEvent(port_, &events, &wait));
  ASSERT_EQ(comm_->GetLastError(), kErrorIoPending);

  pty_.reset();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(comm_->WaitForSingleObject(event, 5000), kWaitObject0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  std::uint32_t count = 0;
  ExpectLost(comm_->GetOverlappedResult(port_, &wait, &count, true), "GetOverlappedResult");
  EXPECT_EQ(events, 0u);

  ComStat stat;
  ExpectLost(comm_->ClearCommError(port_, nullptr, &stat), "ClearCommError");
  ExpectLost(comm_->WaitCommEvent(port_, &events, &wait), "WaitCommEvent");
  char buffer[16];
  Overlapped transfer{};
  ExpectLost(comm_->ReadFile(port_, buffer, sizeof buffer, &count, &transfer), "ReadFile");
  ExpectLost(comm_->WriteFile(port_, "x", 1, &count, &transfer), "WriteFile");
  comm_->CloseHandle(event);
}

TEST_F(CommHangUpTest, OnlyTheCodesOfAGoneDeviceCountAsLoss) {
  for (int code : {EIO, ENXIO, ENODEV}) EXPECT_TRUE(comm_->IsDeviceLost(code)) << code;
  for (int code : {0, EAGAIN, ENOENT, EBADF, EBUSY, EINVAL, ECANCELED, ETIMEDOUT, EACCES}) {
    EXPECT_FALSE(comm_->IsDeviceLost(code)) << code;
  }
}

}  // namespace
}  // namespace comterm
