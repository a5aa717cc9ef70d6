// A key typed on a silent line reaches the wire at once, not at the end of a receive wait.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "fakes/pty_pair.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs the terminal with its console on a pseudo-terminal the test holds.
class ConsoleOnPty {
 public:
  explicit ConsoleOnPty(const std::string& device) {
    winsize size{24, 80, 0, 0};
    pid_ = forkpty(&console_, nullptr, nullptr, &size);
    if (pid_ == 0) {
      const std::string option = "--device=" + device;
      execl(COMTERM_BINARY, COMTERM_BINARY, option.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~ConsoleOnPty() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    close(console_);
  }
  // Reads the console until `text` appeared; answers the cursor position query.
  bool WaitFor(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (screen_.find(text) == std::string::npos && Clock::now() < deadline) {
      pollfd p{console_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[4096];
      const ssize_t n = read(console_, buffer, sizeof buffer);
      if (n <= 0) break;
      screen_.append(buffer, static_cast<std::size_t>(n));
      if (screen_.find("\x1b[6n") != std::string::npos) {
        screen_.erase(screen_.find("\x1b[6n"), 4);
        Type("\x1b[1;1R");
      }
    }
    return screen_.find(text) != std::string::npos;
  }
  void Type(const std::string& keys) {
    EXPECT_EQ(write(console_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  void Drain() { WaitFor("\x01never\x01", 0ms); }

 private:
  int console_ = -1;
  pid_t pid_ = -1;
  std::string screen_;
};

TEST(KeyLatency, KeysOnASilentLineDoNotWaitForTheReceiveWait) {
  testing::PtyPair serial;
  ConsoleOnPty terminal(serial.slave_path());
  ASSERT_TRUE(terminal.WaitFor("opening device=", 5000ms));
  terminal.Type("~");  // the port is open once a key comes through
  ASSERT_EQ(serial.Read(1, 5000ms), "~");

  std::mt19937 random(7);
  std::uniform_int_distribution<int> gap(5, 120);
  int slow = 0;
  for (int i = 0; i < 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
    terminal.Drain();
    const auto typed = Clock::now();
    terminal.Type("k");
    ASSERT_EQ(serial.Read(1, 5000ms), "k");
    if (Clock::now() - typed > 60ms) ++slow;
  }
  // Polling the keyboard only between 100 ms waits would make about four in ten slow.
  EXPECT_LT(slow, 3);
}

}  // namespace
}  // namespace comterm
