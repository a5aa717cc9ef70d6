#include "console/input_wakeup_posix.h"

#include <sys/epoll.h>
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

}  // namespace

InputWakeup::InputWakeup(int input_fd) : input_fd_(input_fd) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (epoll_ >= 0 && timer_ >= 0 && Watch(epoll_, input_fd_) && Watch(epoll_, timer_)) return;
  if (epoll_ >= 0) close(epoll_);
  if (timer_ >= 0) close(timer_);
  epoll_ = timer_ = -1;
}

InputWakeup::~InputWakeup() {
  if (epoll_ >= 0) close(epoll_);
  if (timer_ >= 0) close(timer_);
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
