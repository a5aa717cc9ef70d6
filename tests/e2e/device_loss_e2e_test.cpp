// The built terminal end to end while its device goes away and comes back: the device is
// a symlink to a pseudo-terminal, removed with the pty's far end and later pointed at a
// new pty, as a USB adapter's node vanishes and returns under the same name.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "fakes/pty_pair.h"
#include "fakes/terminal_session.h"
#include "serial/line_speed_posix.h"

namespace comterm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::PtyPair;
using testing::TerminalSession;

constexpr auto kPatience = 5000ms;
constexpr int kColumns = 160;
const std::string kDataMode("\x08\0\0\0\xD5\xA6\xFD\xE1\xF7\xE2\xC6\x64", 12);
const std::string kProgrammingMode("\x08\0\0\0\xD5\xA6\xFD\xE1\xF7\xE2\xC6\x70", 12);

// Nanoseconds the process has run on a CPU so far.
std::uint64_t CpuNanoseconds(const std::string& pid) {
  std::ifstream schedstat("/proc/" + pid + "/schedstat");
  std::uint64_t ns = 0;
  schedstat >> ns;
  return ns;
}

class DeviceLossEndToEnd : public ::testing::Test {
 protected:
  DeviceLossEndToEnd() {
    std::string pattern = (fs::temp_directory_path() / "comterm-loss-XXXXXX").string();
    directory_ = mkdtemp(pattern.data());
    link_ = directory_ / "ttyUSB0";
  }
  ~DeviceLossEndToEnd() override {
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
  }

  // The pty's ends are kept from the processes the test starts (the tmux server among
  // them), so that closing them here is what hangs the terminal's device up.
  void Plug() {
    pty_.emplace();
    fcntl(pty_->master(), F_SETFD, FD_CLOEXEC);
    fcntl(pty_->slave(), F_SETFD, FD_CLOEXEC);
    fs::create_symlink(pty_->slave_path(), link_);
  }
  // The far end closes and the name goes: the terminal's descriptor is hung up.
  void Unplug() {
    fs::remove(link_);
    pty_.reset();
  }

  // Starts the terminal on the link (its process id kept) and waits until it relays.
  std::unique_ptr<TerminalSession> Start(const std::string& options) {
    const fs::path pid_file = directory_ / "pid";
    auto session = std::make_unique<TerminalSession>(
        "sh -c 'echo $$ > " + pid_file.string() + "; exec " + COMTERM_BINARY +
            " --device=" + link_.string() + " " + options + "'",
        kColumns);
    EXPECT_TRUE(session->WaitForText("opening device=", kPatience)) << session->ScreenText();
    std::ifstream(pid_file) >> pid_;
    return session;
  }
  void ExpectRelaying(TerminalSession& session, const std::string& key) {
    session.Type(key);
    EXPECT_EQ(pty_->Read(key.size(), kPatience), key);
  }
  std::string Label() const { return "device=" + link_.string(); }

  fs::path directory_;
  fs::path link_;
  std::optional<PtyPair> pty_;
  std::string pid_;
};

TEST_F(DeviceLossEndToEnd, LossIsReportedQuietlyWaitedOutAndTheReturnTakenUp) {
  Plug();
  auto session = Start("-b 57600");
  ExpectRelaying(*session, "~");

  Unplug();
  EXPECT_TRUE(session->WaitForText("disconnected " + Label() + ": Input/output error", kPatience))
      << session->ScreenText();
  session->Type("q");  // goes nowhere: neither shown nor sent once the device is back
  const std::uint64_t cpu_before = CpuNanoseconds(pid_);
  std::this_thread::sleep_for(1s);
  const std::uint64_t cpu_used = CpuNanoseconds(pid_) - cpu_before;
  EXPECT_LT(cpu_used, 10'000'000u) << "ns of CPU in a second of waiting";
  RecordProperty("idle_cpu_ns", std::to_string(cpu_used));

  Plug();
  EXPECT_TRUE(session->WaitForText("reconnected " + Label(), kPatience)) << session->ScreenText();
  std::uint32_t baud = 0;
  ASSERT_TRUE(GetLineSpeed(pty_->slave(), &baud));
  EXPECT_EQ(baud, 57600u);
  ExpectRelaying(*session, "k");
  pty_->Write("back");
  EXPECT_TRUE(session->WaitForText("back", kPatience)) << session->ScreenText();
  const auto rows = session->Screen();
  EXPECT_EQ(rows.at(1), "~");
  EXPECT_EQ(rows.at(2), "disconnected " + Label() + ": Input/output error");
  EXPECT_EQ(rows.at(3), "reconnected " + Label());
  EXPECT_EQ(rows.at(4), "kback");
  session->PressKey("Escape");
  EXPECT_EQ(session->WaitForExit(kPatience), 0);
  EXPECT_EQ(pty_->ReadUntilQuiet(100ms), "");
  EXPECT_EQ(session->ModesAfter(), session->ModesBefore());
}

TEST_F(DeviceLossEndToEnd, WithoutReconnectALossEndsTheRunWithItsError) {
  Plug();
  auto session = Start("--no-reconnect");
  ExpectRelaying(*session, "~");
  Unplug();
  EXPECT_EQ(session->WaitForExit(kPatience), 1);
  EXPECT_TRUE(session->WaitForText("Communication error 5: Input/output error.", kPatience))
      << session->ScreenText();
  EXPECT_EQ(session->ScreenText().find("disconnected"), std::string::npos);
}

TEST_F(DeviceLossEndToEnd, AReturningMyAvrBoardIsSwitchedToDataModeAgain) {
  Plug();
  auto session = Start("-m");
  EXPECT_EQ(pty_->Read(kDataMode.size(), kPatience), kDataMode);
  Unplug();
  EXPECT_TRUE(session->WaitForText("disconnected", kPatience)) << session->ScreenText();
  Plug();
  EXPECT_EQ(pty_->Read(kDataMode.size(), kPatience), kDataMode);
  EXPECT_TRUE(session->WaitForText("reconnected", kPatience)) << session->ScreenText();
  session->PressKey("Escape");
  EXPECT_EQ(session->WaitForExit(kPatience), 0);
  EXPECT_EQ(pty_->Read(kProgrammingMode.size(), kPatience), kProgrammingMode);
}

TEST_F(DeviceLossEndToEnd, EscapeWhileTheDeviceIsAwayEndsTheRun) {
  Plug();
  auto session = Start("-m");
  EXPECT_EQ(pty_->Read(kDataMode.size(), kPatience), kDataMode);
  Unplug();
  EXPECT_TRUE(session->WaitForText("disconnected", kPatience)) << session->ScreenText();
  session->PressKey("Escape");
  EXPECT_EQ(session->WaitForExit(kPatience), 0);
  EXPECT_EQ(session->ScreenText().find("programming mode"), std::string::npos);
  EXPECT_EQ(session->ModesAfter(), session->ModesBefore());
}

}  // namespace
}  // namespace comterm
