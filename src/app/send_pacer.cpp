#include "app/send_pacer.h"

#include "serial/ticks.h"

namespace comterm {

SendPacer::SendPacer(CommApi& comm, std::int32_t char_delay, std::int32_t line_delay)
    : comm_(comm), char_delay_(char_delay), line_delay_(line_delay) {}

void SendPacer::Hold(std::string_view keys) {
  held_.insert(held_.end(), keys.begin(), keys.end());
}

std::optional<char> SendPacer::TakeDue() {
  if (MillisecondsUntilDue() != 0) return std::nullopt;
  const char key = held_.front();
  held_.pop_front();
  pause_start_ = MillisecondTick(comm_);
  pause_ = static_cast<std::uint32_t>(char_delay_ + (key == '\r' ? line_delay_ : 0));
  return key;
}

std::int32_t SendPacer::MillisecondsUntilDue() {
  if (held_.empty()) return kNothingDue;
  const std::uint32_t passed = TickElapsed(pause_start_, MillisecondTick(comm_));
  return passed >= pause_ ? 0 : static_cast<std::int32_t>(pause_ - passed);
}

}  // namespace comterm
