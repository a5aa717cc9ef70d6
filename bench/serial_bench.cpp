// Throughput of the serial port class over the POSIX driver: a pseudo-terminal pair with
// TBlockSerial on one end and a peer thread on the other, in each direction.
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "serial/block_serial.h"
#include "serial/comm_api.h"

namespace comterm {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kVolume = 16 * kMiB;
constexpr std::size_t kChunk = 4096;

/// Both ends of a raw pseudo-terminal; the slave stands for the serial device.
struct Pty {
  Pty() {
    char name[256] = {};
    openpty(&master, &slave, name, nullptr, nullptr);
    path = name;
    termios mode{};
    tcgetattr(slave, &mode);
    cfmakeraw(&mode);
    tcsetattr(slave, TCSANOW, &mode);
  }
  ~Pty() {
    close(slave);
    close(master);
  }
  int master = -1;
  int slave = -1;
  std::string path;
};

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void PeerWrite(int fd, std::size_t volume) {
  const std::string chunk(kChunk, 'x');
  for (std::size_t sent = 0; sent < volume;) {
    const ssize_t n = write(fd, chunk.data(), std::min(kChunk, volume - sent));
    if (n > 0) sent += static_cast<std::size_t>(n);
  }
}

void PeerRead(int fd, std::size_t volume) {
  char buffer[kChunk];
  for (std::size_t got = 0; got < volume;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return;
    got += static_cast<std::size_t>(n);
  }
}

/// Moves kVolume bytes in one direction; prints the rate and this side's CPU cost.
template <typename Transfer>
void Measure(const char* direction, Transfer transfer) {
  const double cpu_start = ThreadCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  const std::size_t moved = transfer();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = ThreadCpuSeconds() - cpu_start;
  const double mib = static_cast<double>(moved) / kMiB;
  std::printf("%-10s %10.0f bytes/s  %8.4f CPU s/MiB  (%zu bytes)\n", direction,
              static_cast<double>(moved) / seconds, cpu / mib, moved);
}

std::size_t Receive(TBlockSerial& serial, int peer) {
  std::thread writer(PeerWrite, peer, kVolume);
  std::size_t received = 0;
  while (received < kVolume) {
    const std::string packet = serial.ReadPacket(1000);
    if (packet.empty()) break;
    received += packet.size();
  }
  writer.join();
  return received;
}

std::size_t Send(TBlockSerial& serial, int peer) {
  std::thread reader(PeerRead, peer, kVolume);
  const std::string chunk(kChunk, 'y');
  std::size_t sent = 0;
  while (sent < kVolume) {
    const std::int32_t n = serial.WriteBuffer(chunk.data(), static_cast<std::int32_t>(kChunk));
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  reader.join();
  return sent;
}

}  // namespace
}  // namespace comterm

int main() {
  using namespace comterm;
  Pty pty;
  std::unique_ptr<CommApi> comm = CreatePlatformComm();
  TBlockSerial serial(*comm);
  serial.OpenPort(pty.path);
  serial.Configure(115200, 8, 'N', 0, false, false);
  if (!serial.PortOpen) {
    std::fprintf(stderr, "serial_bench: cannot open %s: %s\n", pty.path.c_str(),
                 serial.LastErrorText.c_str());
    return 1;
  }
  Measure("receiving", [&] { return Receive(serial, pty.master); });
  Measure("sending", [&] { return Send(serial, pty.master); });
  return 0;
}
