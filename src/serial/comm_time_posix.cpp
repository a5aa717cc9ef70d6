#include <sched.h>
#include <time.h>

#include "serial/comm_posix.h"
#include "serial/eintr_retry_posix.h"

namespace comterm {
namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1000000000;

std::int64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

}  // namespace

std::int64_t MonotonicMilliseconds() {
  return MonotonicNanoseconds() / 1000000;
}

bool PosixComm::QueryPerformanceFrequency(std::int64_t* frequency) {
  *frequency = kNanosecondsPerSecond;
  return true;
}

bool PosixComm::QueryPerformanceCounter(std::int64_t* counter) {
  *counter = MonotonicNanoseconds();
  return true;
}

std::uint32_t PosixComm::GetTickCount() {
  return static_cast<std::uint32_t>(MonotonicMilliseconds());
}

void PosixComm::Sleep(std::uint32_t milliseconds) {
  // 0 gives up the rest of the time slice; a zero nanosleep would sleep for the timer slack
  // (50 us and more), once per driver read.
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  // nanosleep leaves the time still to sleep in `left` when a signal interrupts it.
  RetryAfterSignal([&] { return nanosleep(&left, &left); });
}

}  // namespace comterm
