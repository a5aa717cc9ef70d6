// Network ports against a real ser2net on 127.0.0.1 whose serial side is a pty: the far
// line settings, every byte value both ways, and a server that goes away.
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "fakes/pty_pair.h"
#include "fakes/ser2net_server.h"
#include "net/net_comm.h"
#include "serial/block_serial.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using testing::PtyPair;
using testing::Ser2netServer;

std::string AllByteValues() {
  std::string bytes(256, '\0');
  for (int i = 0; i < 256; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(i);
  return bytes;
}

class Ser2netTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (testing::Ser2netPath().empty()) GTEST_SKIP() << "ser2net is not installed";
    server_ = std::make_unique<Ser2netServer>(pty_.slave_path(), GetParam());
    port_.OpenPort(server_->DeviceName());
    ASSERT_EQ(port_.LastErrorCode, 0) << port_.LastErrorText;
  }
  // The connection is through to the pty once a written byte arrives there (ser2net
  // opens its device when the client connects).
  void WaitUntilThrough() {
    port_.WriteText("~");
    ASSERT_EQ(pty_.Read(1, 5000ms), "~");
  }

  PtyPair pty_;
  std::unique_ptr<Ser2netServer> server_;
  std::unique_ptr<CommApi> comm_ = CreateNetworkComm(CreatePlatformComm());
  TBlockSerial port_{*comm_};
};

TEST_P(Ser2netTest, AllByteValuesBothWays) {
  WaitUntilThrough();
  port_.WriteText(AllByteValues());
  EXPECT_EQ(pty_.Read(256, 5000ms), AllByteValues());
  pty_.Write(AllByteValues());
  EXPECT_EQ(port_.ReadExactText(256, 5000), AllByteValues()) << port_.LastErrorText;
  EXPECT_EQ(port_.BytesWaiting(), 0);
}

TEST_P(Ser2netTest, AByteEndsTheReceiveWaitAtOnce) {
  WaitUntilThrough();
  const auto start = std::chrono::steady_clock::now();
  std::thread writer([&] {
    std::this_thread::sleep_for(100ms);
    pty_.Write("x");
  });
  EXPECT_TRUE(port_.WaitReadable(10000));
  writer.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(port_.ReadByte(0), 'x');
}

// The server closing the connection is a lost device, with the system's text.
TEST_P(Ser2netTest, AStoppedServerIsALostDevice) {
  WaitUntilThrough();
  server_->Stop();
  EXPECT_FALSE(port_.WaitReadable(5000) && port_.BytesWaiting() > 0);
  port_.BytesWaiting();
  EXPECT_TRUE(comm_->IsDeviceLost(static_cast<std::uint32_t>(port_.LastErrorCode)))
      << port_.LastErrorCode << ": " << port_.LastErrorText;
  EXPECT_EQ(port_.LastErrorText, "Connection reset by peer");
  port_.WriteText("late");
  EXPECT_TRUE(comm_->IsDeviceLost(static_cast<std::uint32_t>(port_.LastErrorCode)));
}

INSTANTIATE_TEST_SUITE_P(Schemes, Ser2netTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Rfc2217" : "Tcp");
                         });

// The far line settings, as the pty's termios shows them. A pty keeps eight data bits and
// no parity whatever is asked, so those two are seen only in ser2net's answers.
TEST(Ser2netSettings, ConfigureSetsTheFarLine) {
  if (testing::Ser2netPath().empty()) GTEST_SKIP() << "ser2net is not installed";
  const struct {
    std::int32_t baud, data_bits;
    char parity;
    std::int32_t stop_bits;
    bool soft, hard;
    speed_t speed;
    tcflag_t set, clear;
  } cases[] = {
      {57600, 8, 'N', 2, false, true, B57600, CSTOPB | CRTSCTS, 0},
      {9600, 7, 'E', 0, false, false, B9600, 0, CSTOPB | CRTSCTS},
      {115200, 8, 'O', 0, true, false, B115200, 0, CSTOPB | CRTSCTS},
  };
  for (const auto& c : cases) {
    PtyPair pty;
    Ser2netServer server(pty.slave_path(), true);
    const std::unique_ptr<CommApi> comm = CreateNetworkComm(CreatePlatformComm());
    TBlockSerial port(*comm);
    port.OpenPort(server.DeviceName());
    port.Configure(c.baud, c.data_bits, c.parity, c.stop_bits, c.soft, c.hard);
    ASSERT_EQ(port.LastErrorCode, 0) << c.baud << ": " << port.LastErrorText;
    termios mode{};
    ASSERT_EQ(tcgetattr(pty.slave(), &mode), 0);
    EXPECT_EQ(cfgetospeed(&mode), c.speed) << c.baud;
    EXPECT_EQ(mode.c_cflag & c.set, c.set) << c.baud;
    EXPECT_EQ(mode.c_cflag & c.clear, 0u) << c.baud;
    EXPECT_EQ((mode.c_iflag & IXON) != 0, c.soft) << c.baud;
  }
}

}  // namespace
}  // namespace comterm
