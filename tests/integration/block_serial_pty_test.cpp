// The serial port class over the POSIX driver and a real pseudo-terminal pair.
#include <termios.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "fakes/pty_pair.h"
#include "serial/block_serial.h"
#include "serial/comm_api.h"
#include "serial/line_speed_posix.h"

namespace comterm {
namespace {

using std::chrono::milliseconds;
using testing::PtyPair;

constexpr std::int32_t kTimeoutCode = 9997;

std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - since).count();
}

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 13 + i / 256) & 0xFF);
  return bytes;
}

class BlockSerialPtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    serial_->OpenPort(pty_.slave_path());
    ASSERT_TRUE(serial_->PortOpen) << serial_->LastErrorText;
    serial_->Configure(115200, 8, 'N', 0, false, false);
    ASSERT_EQ(serial_->LastErrorCode, 0) << serial_->LastErrorText;
  }

  PtyPair pty_;
  std::unique_ptr<CommApi> comm_ = CreatePlatformComm();
  std::unique_ptr<TBlockSerial> serial_ = std::make_unique<TBlockSerial>(*comm_);
};

TEST_F(BlockSerialPtyTest, ReadByteReturnsAsSoonAsAByteArrives) {
  std::thread peer([&] {
    std::this_thread::sleep_for(milliseconds(30));
    pty_.Write("A");
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(serial_->ReadByte(5000), 'A');
  EXPECT_LT(ElapsedMs(start), 2500);
  EXPECT_EQ(serial_->LastErrorCode, 0);
  peer.join();
}

TEST_F(BlockSerialPtyTest, ReadByteTimesOutAfterAbout100Milliseconds) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(serial_->ReadByte(100), 0);
  EXPECT_EQ(serial_->LastErrorCode, kTimeoutCode);
  EXPECT_GE(ElapsedMs(start), 90);
}

TEST_F(BlockSerialPtyTest, BurstOf64KiBIsReceivedIntactAndInOrder) {
  const std::string burst = Pattern(64 * 1024);
  std::thread peer([&] { pty_.Write(burst); });
  std::string received;
  while (received.size() < burst.size()) {
    const std::string packet = serial_->ReadPacket(2000);
    if (packet.empty()) break;
    received += packet;
  }
  peer.join();
  EXPECT_EQ(received, burst);
}

TEST_F(BlockSerialPtyTest, BurstOf64KiBIsSentIntactAndInOrder) {
  const std::string burst = Pattern(64 * 1024);
  std::string peer_received;
  std::thread peer([&] { peer_received = pty_.Read(burst.size(), milliseconds(10000)); });
  serial_->WriteText(burst);
  EXPECT_EQ(serial_->LastErrorCode, 0) << serial_->LastErrorText;
  peer.join();
  EXPECT_EQ(peer_received, burst);
}

TEST_F(BlockSerialPtyTest, ConfigureReachesTheDeviceAndRefusedSettingsKeepItsState) {
  serial_->Configure(57600, 8, 'N', 2, true, true);
  ASSERT_EQ(serial_->LastErrorCode, 0) << serial_->LastErrorText;
  termios mode{};
  ASSERT_EQ(tcgetattr(pty_.slave(), &mode), 0);
  EXPECT_EQ(mode.c_cflag & (CSIZE | CSTOPB | CRTSCTS | PARENB), CS8 | CSTOPB | CRTSCTS);
  EXPECT_EQ(mode.c_iflag & (IXON | IXOFF), IXON | IXOFF);
  std::uint32_t baud = 0;
  ASSERT_TRUE(GetLineSpeed(pty_.slave(), &baud));
  EXPECT_EQ(baud, 57600u);

  // A pseudo-terminal holds only 8 data bits without parity.
  serial_->Configure(9600, 7, 'E', 0, false, false);
  EXPECT_EQ(serial_->LastErrorCode, EINVAL);
  termios after{};
  ASSERT_EQ(tcgetattr(pty_.slave(), &after), 0);
  EXPECT_EQ(after.c_cflag, mode.c_cflag);
  ASSERT_TRUE(GetLineSpeed(pty_.slave(), &baud));
  EXPECT_EQ(baud, 57600u);
}

TEST_F(BlockSerialPtyTest, TheLastBlockWrittenBeforeClosingArrivesWhole) {
  const std::string block = Pattern(3000);
  serial_->WriteBlock(block);
  serial_.reset();
  const std::string expected = std::string("\xB8\x0B\x00\x00", 4) + block;
  EXPECT_EQ(pty_.Read(expected.size(), milliseconds(5000)), expected);
}

}  // namespace
}  // namespace comterm
