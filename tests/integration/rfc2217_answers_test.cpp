// The RFC 2217 client against a scripted server of the test's own: the exact bytes it
// sends, and how it takes answers that differ, answers that never come and a refused
// option.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "fakes/tcp_listener.h"
#include "net/net_comm.h"
#include "serial/block_serial.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using testing::TcpListener;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes += static_cast<char>(v);
  return bytes;
}

std::string Sb(std::initializer_list<int> payload) {
  return Bytes({255, 250, 44}) + Bytes(payload) + Bytes({255, 240});
}

const std::string kOpening =
    Bytes({255, 251, 0, 255, 253, 0, 255, 251, 3, 255, 253, 3, 255, 251, 44});
// At opening: RTS and DTR raised, the server's buffer of received bytes purged.
const std::string kOpenCommands = Sb({5, 11}) + Sb({5, 8}) + Sb({12, 1});
// 57600 baud, 8 data bits, even parity, two stop bits, hardware flow control.
const std::string kSettings =
    Sb({1, 0, 0, 0xE1, 0}) + Sb({2, 8}) + Sb({3, 3}) + Sb({4, 2}) + Sb({5, 3});
const std::string kAnswers =
    Sb({101, 0, 0, 0xE1, 0}) + Sb({102, 8}) + Sb({103, 3}) + Sb({104, 2}) + Sb({105, 3});

class Rfc2217Answers : public ::testing::Test {
 protected:
  // Serves one client: agrees to (or refuses) the option, checks what the client sends,
  // then sends `after_settings`.
  void Serve(bool agree, const std::string& after_settings) {
    server_ = std::thread([this, agree, after_settings] {
      ASSERT_TRUE(listener_.Accept(5000ms));
      EXPECT_EQ(listener_.Read(kOpening.size(), 5000ms), kOpening);
      listener_.Write(Bytes({255, agree ? 253 : 254, 44, 255, 253, 0, 255, 251, 0}));
      // Without the option, no command goes out at all.
      EXPECT_EQ(listener_.Read(kOpenCommands.size(), agree ? 5000ms : 200ms),
                agree ? kOpenCommands : "");
      if (!agree) return;
      EXPECT_EQ(listener_.Read(kSettings.size(), 5000ms), kSettings);
      listener_.Write(after_settings);
    });
  }
  void Configure() {
    port_.OpenPort("rfc2217://127.0.0.1:" + std::to_string(listener_.port()));
    ASSERT_EQ(port_.LastErrorCode, 0) << port_.LastErrorText;
    port_.Configure(57600, 8, 'E', 2, false, true);
    server_.join();
  }

  TcpListener listener_;
  std::thread server_;
  std::unique_ptr<CommApi> comm_ = CreateNetworkComm(CreatePlatformComm());
  TBlockSerial port_{*comm_};
};

TEST_F(Rfc2217Answers, MatchingAnswersAmidDataAndNotifications) {
  // Data before, between and after the answers, a doubled 0xFF and a modem state.
  Serve(true, "a" + kAnswers.substr(0, 10) + Bytes({'b', 255, 255}) + kAnswers.substr(10) +
                  Sb({107, 0x30}) + "c");
  Configure();
  EXPECT_EQ(port_.LastErrorCode, 0) << port_.LastErrorText;
  EXPECT_EQ(port_.ReadExactText(4, 2000), Bytes({'a', 'b', 255, 'c'}));
  EXPECT_EQ(port_.ReadModemStatus(), kMsCtsOn | kMsDsrOn);
}

TEST_F(Rfc2217Answers, AnotherValueIsRefusedAsBadSettings) {
  std::string answers = kAnswers;
  answers[6] = static_cast<char>(0x96);  // 38400 instead of 57600
  Serve(true, answers);
  Configure();
  EXPECT_EQ(port_.LastErrorCode, EINVAL);
  EXPECT_EQ(port_.LastErrorText, "Invalid argument");
}

TEST_F(Rfc2217Answers, NoAnswerEndsTheWaitAfterTwoSeconds) {
  Serve(true, kAnswers.substr(0, kAnswers.size() - 7));  // flow control never answered
  const auto start = std::chrono::steady_clock::now();
  Configure();
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1900ms);
  EXPECT_EQ(port_.LastErrorCode, ETIMEDOUT);
}

TEST_F(Rfc2217Answers, ARefusedOptionRefusesEverySetting) {
  Serve(false, "");
  Configure();
  EXPECT_EQ(port_.LastErrorCode, EINVAL);
}

}  // namespace
}  // namespace comterm
