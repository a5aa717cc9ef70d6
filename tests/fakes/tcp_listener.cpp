#include "fakes/tcp_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace comterm::testing {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool WaitReadable(int fd, Clock::time_point deadline) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, MillisecondsLeft(deadline)) > 0;
}

}  // namespace

TcpListener::TcpListener() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      listen(listener_, 4) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
}

TcpListener::~TcpListener() {
  Close();
}

bool TcpListener::Accept(std::chrono::milliseconds timeout) {
  if (!WaitReadable(listener_, Clock::now() + timeout)) return false;
  if (client_ >= 0) close(client_);
  client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  return client_ >= 0;
}

void TcpListener::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(client_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("write to the client failed");
    done += static_cast<std::size_t>(n);
  }
}

std::string TcpListener::Read(std::size_t count, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string got;
  while (got.size() < count && WaitReadable(client_, deadline)) {
    char chunk[4096];
    const ssize_t n = recv(client_, chunk, std::min(sizeof chunk, count - got.size()), 0);
    if (n <= 0) break;
    got.append(chunk, static_cast<std::size_t>(n));
  }
  return got;
}

bool TcpListener::WaitForClose(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (WaitReadable(client_, deadline)) {
    char chunk[4096];
    if (recv(client_, chunk, sizeof chunk, 0) <= 0) return true;
  }
  return false;
}

void TcpListener::Close() {
  if (client_ >= 0) close(client_);
  if (listener_ >= 0) close(listener_);
  client_ = -1;
  listener_ = -1;
}

}  // namespace comterm::testing
