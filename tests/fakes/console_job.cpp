#include "fakes/console_job.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace comterm::testing {
namespace {

using Clock = std::chrono::steady_clock;

bool Readable(int fd, std::chrono::milliseconds timeout) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, static_cast<int>(timeout.count())) > 0;
}

void CloseAllFrom(int first) {
  for (int fd = first; fd < 1024; ++fd) close(fd);
}

// The job: its own process group, made the terminal's foreground group (as the shell
// does, with SIGTTOU ignored for that call), no core files.
[[noreturn]] void RunJob(const std::vector<std::string>& arguments, int console, int output) {
  setpgid(0, 0);
  signal(SIGTTOU, SIG_IGN);
  tcsetpgrp(console, getpid());
  signal(SIGTTOU, SIG_DFL);
  const rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  dup2(console, STDIN_FILENO);
  dup2(output >= 0 ? output : console, STDOUT_FILENO);
  dup2(console, STDERR_FILENO);
  CloseAllFrom(3);
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// The job's parent, the session leader: reports the job's pid, then each wait status.
[[noreturn]] void RunParent(const std::vector<std::string>& arguments, int console, int output,
                            int report) {
  // Descriptors of the test (a pipe's read end above all) must not stay open here.
  for (int fd = 3; fd < 1024; ++fd) {
    if (fd != console && fd != output && fd != report) close(fd);
  }
  setsid();
  ioctl(console, TIOCSCTTY, 0);
  const pid_t job = fork();
  if (job == 0) RunJob(arguments, console, output);
  setpgid(job, job);
  if (write(report, &job, sizeof job) != sizeof job) _exit(1);
  for (;;) {
    int status = 0;
    if (waitpid(job, &status, WUNTRACED | WCONTINUED) < 0) {
      if (errno == EINTR) continue;
      _exit(1);
    }
    if (write(report, &status, sizeof status) != sizeof status) _exit(1);
    if (WIFEXITED(status) || WIFSIGNALED(status)) _exit(0);
  }
}

bool ReadWhole(int fd, void* into, std::size_t size, std::chrono::milliseconds timeout) {
  if (!Readable(fd, timeout)) return false;
  return read(fd, into, size) == static_cast<ssize_t>(size);
}

}  // namespace

ConsoleJob::ConsoleJob(const std::vector<std::string>& arguments, int output_fd) {
  int slave = -1;
  winsize size{24, 80, 0, 0};
  if (openpty(&master_, &slave, nullptr, nullptr, &size) != 0) {
    throw std::runtime_error("openpty failed");
  }
  tcgetattr(master_, &before_);
  int report[2];
  if (pipe(report) != 0) throw std::runtime_error("pipe failed");
  parent_ = fork();
  if (parent_ == 0) {
    close(master_);
    close(report[0]);
    RunParent(arguments, slave, output_fd, report[1]);
  }
  close(slave);
  close(report[1]);
  status_ = report[0];
  if (!ReadWhole(status_, &pid_, sizeof pid_, std::chrono::seconds(5))) {
    throw std::runtime_error("the job did not start");
  }
}

ConsoleJob::~ConsoleJob() {
  kill(pid_, SIGKILL);
  kill(pid_, SIGCONT);
  waitpid(parent_, nullptr, 0);
  close(status_);
  close(master_);
}

termios ConsoleJob::Modes() const {
  termios modes{};
  tcgetattr(master_, &modes);
  return modes;
}

bool ConsoleJob::WaitForRawMode(bool raw, std::chrono::milliseconds timeout) const {
  const auto deadline = Clock::now() + timeout;
  while (((Modes().c_lflag & ICANON) == 0) != raw) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool ConsoleJob::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (output_.find(text) == std::string::npos && Clock::now() < deadline) {
    if (!Readable(master_, std::chrono::milliseconds(20))) continue;
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    output_.append(buffer, static_cast<std::size_t>(n));
    const std::size_t question = output_.find("\x1b[6n");
    if (question != std::string::npos) {
      output_.erase(question, 4);
      Type("\x1b[1;1R");
    }
  }
  return output_.find(text) != std::string::npos;
}

void ConsoleJob::Type(const std::string& bytes) const {
  if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("write to the console failed");
  }
}

std::optional<int> ConsoleJob::NextStatus(std::chrono::milliseconds timeout) {
  int status = 0;
  if (!ReadWhole(status_, &status, sizeof status, timeout)) return std::nullopt;
  return status;
}

bool SameModes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

}  // namespace comterm::testing
