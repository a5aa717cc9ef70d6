// The built terminal on an rfc2217:// port served by a real ser2net whose serial side is
// a pty, while the server goes away and comes back on the same port.
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <string>

#include "fakes/pty_pair.h"
#include "fakes/ser2net_server.h"
#include "fakes/terminal_session.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using testing::PtyPair;
using testing::Ser2netServer;
using testing::TerminalSession;

constexpr auto kPatience = 5000ms;
constexpr int kColumns = 160;

class Ser2netEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::Ser2netPath().empty()) GTEST_SKIP() << "ser2net is not installed";
    server_ = std::make_unique<Ser2netServer>(pty_.slave_path(), true);
  }
  std::unique_ptr<TerminalSession> Start(const std::string& options) {
    auto session = std::make_unique<TerminalSession>(
        std::string(COMTERM_BINARY) + " --device=" + server_->DeviceName() + " " + options,
        kColumns);
    EXPECT_TRUE(session->WaitForText("opening device=", kPatience)) << session->ScreenText();
    return session;
  }
  // The relay is running once a typed key reaches the pty.
  void ExpectRelaying(TerminalSession& session, const std::string& key) {
    session.Type(key);
    EXPECT_EQ(pty_.Read(key.size(), kPatience), key) << session.ScreenText();
  }
  speed_t PtySpeed() {
    termios mode{};
    tcgetattr(pty_.slave(), &mode);
    return cfgetospeed(&mode);
  }

  PtyPair pty_;
  std::unique_ptr<Ser2netServer> server_;
};

TEST_F(Ser2netEndToEnd, AStoppedServerDisconnectsAndItsReturnReconnects) {
  auto session = Start("-b 57600 -s 2 --hardflow");
  ExpectRelaying(*session, "~");
  EXPECT_EQ(PtySpeed(), B57600);
  server_->Stop();
  const std::string label = "device=" + server_->DeviceName();
  EXPECT_TRUE(
      session->WaitForText("disconnected " + label + ": Connection reset by peer\n", kPatience))
      << session->ScreenText();
  // The server opens its device at its own settings again; the terminal sets them anew.
  server_->Start();
  EXPECT_TRUE(session->WaitForText("reconnected " + label, kPatience)) << session->ScreenText();
  ExpectRelaying(*session, "k");
  EXPECT_EQ(PtySpeed(), B57600);
  pty_.Write("back");
  EXPECT_TRUE(session->WaitForText("kback", kPatience)) << session->ScreenText();
  session->PressKey("Escape");
  EXPECT_EQ(session->WaitForExit(kPatience), 0);
  EXPECT_EQ(session->ModesAfter(), session->ModesBefore());
}

TEST_F(Ser2netEndToEnd, WithoutReconnectAStoppedServerEndsTheRun) {
  auto session = Start("--no-reconnect");
  ExpectRelaying(*session, "~");
  server_->Stop();
  EXPECT_EQ(session->WaitForExit(kPatience), 1);
  EXPECT_NE(session->ScreenText().find("Communication error 104: Connection reset by peer."),
            std::string::npos)
      << session->ScreenText();
}

}  // namespace
}  // namespace comterm
