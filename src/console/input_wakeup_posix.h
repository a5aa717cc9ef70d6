// What a wait for console input waits on, on POSIX.
#pragma once

#include <cstdint>

namespace comterm {

/// A descriptor that is readable while standard input is, while decoded keys are queued
/// (SetReady), once a key held back by the decoder (a lone ESC in its quiet gap) is due,
/// and while `signal_fd` is (when given), so a wait on it ends in each of these cases.
/// Where epoll, eventfd or timerfd are missing it is standard input itself.
class InputWakeup {
 public:
  explicit InputWakeup(int input_fd, int signal_fd = -1);
  ~InputWakeup();
  InputWakeup(const InputWakeup&) = delete;
  InputWakeup& operator=(const InputWakeup&) = delete;

  /// The descriptor to wait on.
  int Descriptor() const { return epoll_ >= 0 ? epoll_ : input_fd_; }
  /// Keeps the descriptor readable (true) or lets only the other sources make it so.
  void SetReady(bool ready);
  /// Makes the descriptor readable `milliseconds` from now (once).
  void ArmAfter(std::uint32_t milliseconds);
  /// Cancels the timer and forgets an expiry that was not yet waited for.
  void Disarm();

 private:
  int input_fd_;
  int epoll_ = -1;
  int timer_ = -1;
  int ready_fd_ = -1;
  bool armed_ = false;
  bool ready_ = false;
};

}  // namespace comterm
