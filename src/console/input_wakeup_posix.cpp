#include "console/input_wakeup_posix.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace comterm {
namespace {

bool Watch(int epoll, int fd) {
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = fd;
  return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) == 0;
}

void CloseIfOpen(int fd) {
  if (fd >= 0) close(fd);
}

}  // namespace

InputWakeup::InputWakeup(int input_fd, int signal_fd) : input_fd_(input_fd) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  ready_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (epoll_ >= 0 && timer_ >= 0 && ready_fd_ >= 0 && Watch(epoll_, input_fd_) &&
      Watch(epoll_, timer_) && Watch(epoll_, ready_fd_) &&
      (signal_fd < 0 || Watch(epoll_, signal_fd))) {
    return;
  }
  CloseIfOpen(epoll_);
  CloseIfOpen(timer_);
  CloseIfOpen(ready_fd_);
  epoll_ = timer_ = ready_fd_ = -1;
}

InputWakeup::~InputWakeup() {
  CloseIfOpen(epoll_);
  CloseIfOpen(timer_);
  CloseIfOpen(ready_fd_);
}

// The event counter stays above 0 (readable) until it is read back to 0.
void InputWakeup::SetReady(bool ready) {
  if (ready_fd_ < 0 || ready == ready_) return;
  std::uint64_t value = 1;
  if (ready) {
    ready_ = write(ready_fd_, &value, sizeof value) == sizeof value;
    return;
  }
  // Non-blocking: a counter already at 0 has nothing to read.
  [[maybe_unused]] const ssize_t n = read(ready_fd_, &value, sizeof value);
  ready_ = false;
}

void InputWakeup::ArmAfter(std::uint32_t milliseconds) {
  if (timer_ < 0) return;
  itimerspec when{};
  when.it_value.tv_sec = milliseconds / 1000;
  when.it_value.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  armed_ = timerfd_settime(timer_, 0, &when, nullptr) == 0;
}

void InputWakeup::Disarm() {
  if (timer_ < 0 || !armed_) return;
  const itimerspec never{};
  timerfd_settime(timer_, 0, &never, nullptr);
  std::uint64_t expiries = 0;
  // Non-blocking: nothing to read when the timer had not fired.
  [[maybe_unused]] const ssize_t n = read(timer_, &expiries, sizeof expiries);
  armed_ = false;
}

}  // namespace comterm
