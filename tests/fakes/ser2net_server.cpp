#include "fakes/ser2net_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace comterm::testing {
namespace {

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port the kernel hands out as free; ser2net binds it a moment later.
std::uint16_t FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(fd);
    throw std::runtime_error("no free port");
  }
  close(fd);
  return ntohs(address.sin_port);
}

bool Accepts(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  const bool connected =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

}  // namespace

std::string Ser2netPath() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
    if (access(path, X_OK) == 0) return path;
  }
  return "";
}

Ser2netServer::Ser2netServer(const std::string& device, bool telnet)
    : telnet_(telnet), port_(FreePort()) {
  config_path_ =
      (std::filesystem::temp_directory_path() /
       ("comterm-ser2net-" + std::to_string(getpid()) + "-" + std::to_string(port_) + ".yaml"))
          .string();
  pid_path_ = config_path_ + ".pid";
  std::ofstream(config_path_) << "connection: &port\n"
                              << "  accepter: " << (telnet ? "telnet(rfc2217),tcp," : "tcp,")
                              << "127.0.0.1," << port_ << "\n"
                              << "  connector: serialdev," << device << ",9600n81,local\n"
                              << "  options:\n"
                              << "    kickolduser: true\n";
  Start();
}

Ser2netServer::~Ser2netServer() {
  Stop();
  std::filesystem::remove(config_path_);
  std::filesystem::remove(pid_path_);
}

void Ser2netServer::Start() {
  const std::string program = Ser2netPath();
  pid_ = fork();
  if (pid_ == 0) {
    setenv("LD_PRELOAD", COMTERM_PTY_PRELOAD, 1);
    // Its output (a note that mDNS is not available) would only clutter the test log.
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    // A pid file of its own: ser2net removes it when it ends.
    execl(program.c_str(), program.c_str(), "-n", "-u", "-c", config_path_.c_str(), "-P",
          pid_path_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Accepts(port_)) {
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("ser2net not up");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void Ser2netServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string Ser2netServer::DeviceName() const {
  return std::string(telnet_ ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(port_);
}

}  // namespace comterm::testing
