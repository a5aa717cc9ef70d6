#include "fakes/pty_pair.h"

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace comterm::testing {

PtyPair::PtyPair() {
  char name[256] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    throw std::runtime_error("openpty failed");
  }
  slave_path_ = name;
  termios mode{};
  tcgetattr(slave_, &mode);
  cfmakeraw(&mode);
  tcsetattr(slave_, TCSANOW, &mode);
}

PtyPair::~PtyPair() {
  CloseSlave();
  if (master_ >= 0) close(master_);
}

void PtyPair::CloseSlave() {
  if (slave_ >= 0) close(slave_);
  slave_ = -1;
}

void PtyPair::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{master_, POLLOUT, 0};
      poll(&p, 1, 100);
      continue;
    }
    if (n < 0) throw std::runtime_error("write to pty master failed");
    done += static_cast<std::size_t>(n);
  }
}

std::string PtyPair::Read(std::size_t count, std::chrono::milliseconds timeout) {
  std::string out;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (out.size() < count) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[4096];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

std::string PtyPair::ReadUntilQuiet(std::chrono::milliseconds quiet) {
  std::string out;
  for (;;) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0) break;
    char buffer[4096];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

}  // namespace comterm::testing
