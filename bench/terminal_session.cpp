#include "terminal_session.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

namespace comterm::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char kCursorQuery[] = "\x1b[6n";
constexpr std::size_t kReadChunk = 1 << 16;

void MakeRaw(int fd) {
  termios mode{};
  tcgetattr(fd, &mode);
  cfmakeraw(&mode);
  tcsetattr(fd, TCSANOW, &mode);
}

[[noreturn]] void Exec(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

bool Readable(int fd, int timeout_ms) {
  pollfd ready{fd, POLLIN, 0};
  return poll(&ready, 1, timeout_ms) > 0 && (ready.revents & POLLIN) != 0;
}

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

}  // namespace

TerminalSession::TerminalSession(const CommandFor& command) {
  char path[256] = {};
  if (openpty(&serial_master_, &serial_slave_, path, nullptr, nullptr) != 0) return;
  MakeRaw(serial_slave_);
  winsize size{24, 80, 0, 0};
  pid_ = forkpty(&console_, nullptr, nullptr, &size);
  if (pid_ == 0) Exec(command(path));
  if (pid_ < 0) return;
  ready_ = WaitUntilRelaying();
}

TerminalSession::~TerminalSession() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    // Console output still owed must not block the program's exit.
    DrainConsole(std::chrono::milliseconds(50));
    waitpid(pid_, nullptr, 0);
  }
  for (int fd : {console_, serial_master_, serial_slave_}) {
    if (fd >= 0) close(fd);
  }
}

// A key typed before the program reads its console may be lost in start-up, so the key
// is typed again until one comes through.
bool TerminalSession::WaitUntilRelaying() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    DrainConsole(std::chrono::milliseconds(100));
    Type("~");
    if (ReadSerial(1, std::chrono::milliseconds(100)) == "~") {
      DrainConsole(std::chrono::milliseconds(200));
      DrainSerial();
      return true;
    }
  }
  return false;
}

double TerminalSession::CpuSeconds() const {
  // schedstat counts nanoseconds; stat only clock ticks.
  std::ifstream schedstat("/proc/" + std::to_string(pid_) + "/schedstat");
  double nanoseconds = 0;
  if (schedstat >> nanoseconds) return nanoseconds / 1e9;
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 15 && stat >> field; ++i) {
    if (i >= 14) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void TerminalSession::Type(const std::string& keys) {
  // A long text fills the terminal's input queue: the rest follows as the program reads.
  for (std::size_t done = 0; done < keys.size();) {
    const ssize_t n = write(console_, keys.data() + done, keys.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::perror("console write");
      return;
    }
    done += static_cast<std::size_t>(n);
  }
}

bool TerminalSession::ReadConsoleOnce(int timeout_ms) {
  if (!Readable(console_, timeout_ms)) return false;
  char buffer[kReadChunk];
  const ssize_t n = read(console_, buffer, sizeof buffer);
  if (n <= 0) return false;
  window_.append(buffer, static_cast<std::size_t>(n));
  AnswerCursorQueries();
  return true;
}

// The program's question for the cursor is answered as a terminal would: top left.
void TerminalSession::AnswerCursorQueries() {
  for (std::size_t at = window_.find(kCursorQuery); at != std::string::npos;
       at = window_.find(kCursorQuery)) {
    window_.erase(at, sizeof kCursorQuery - 1);
    Type("\x1b[1;1R");
  }
}

bool TerminalSession::WaitForConsoleText(const std::string& text,
                                         std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const std::size_t keep = std::max(text.size(), sizeof kCursorQuery);
  for (;;) {
    const std::size_t at = window_.find(text);
    if (at != std::string::npos) {
      window_.erase(0, at + text.size());
      return true;
    }
    if (window_.size() > keep) window_.erase(0, window_.size() - keep);
    if (Clock::now() >= deadline) return false;
    ReadConsoleOnce(MillisecondsLeft(deadline));
  }
}

void TerminalSession::DrainConsole(std::chrono::milliseconds duration) {
  const auto deadline = Clock::now() + duration;
  // Whatever is already readable is taken even when the time is up.
  while (ReadConsoleOnce(MillisecondsLeft(deadline)) || Clock::now() < deadline) {
    if (window_.size() > sizeof kCursorQuery) {
      window_.erase(0, window_.size() - sizeof kCursorQuery);
    }
  }
}

std::string TerminalSession::ReadSerial(std::size_t count, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string bytes;
  while (bytes.size() < count && Readable(serial_master_, MillisecondsLeft(deadline))) {
    char buffer[4096];
    const ssize_t n = read(serial_master_, buffer, std::min(sizeof buffer, count - bytes.size()));
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

void TerminalSession::WaitForOutput(std::chrono::milliseconds timeout) {
  pollfd ready[2] = {{console_, POLLIN, 0}, {serial_master_, POLLIN, 0}};
  poll(ready, 2, static_cast<int>(timeout.count()));
}

void TerminalSession::DrainSerial() {
  char buffer[4096];
  while (Readable(serial_master_, 0) && read(serial_master_, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace comterm::bench
