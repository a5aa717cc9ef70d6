// --char-delay and --line-delay: typed keys go out one at a time with a pause after each,
// for devices that cannot keep up and have no flow control.
#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string_view>

namespace comterm {

class CommApi;

class SendPacer {
 public:
  /// MillisecondsUntilDue when no key is held.
  static constexpr std::int32_t kNothingDue = std::numeric_limits<std::int32_t>::max();

  /// A pause of `char_delay` ms after each key, and `line_delay` ms more after a CR.
  SendPacer(CommApi& comm, std::int32_t char_delay, std::int32_t line_delay);

  /// True when there are pauses to keep.
  bool Active() const { return char_delay_ > 0 || line_delay_ > 0; }
  /// Holds typed keys, in order, until their turn.
  void Hold(std::string_view keys);
  /// The next held key when the pause before it is over; its own pause starts now.
  std::optional<char> TakeDue();
  /// Milliseconds until the next held key is due: 0 when it is, kNothingDue when none
  /// is held.
  std::int32_t MillisecondsUntilDue();

 private:
  CommApi& comm_;
  std::int32_t char_delay_;
  std::int32_t line_delay_;
  std::deque<char> held_;
  std::uint32_t pause_start_ = 0;
  std::uint32_t pause_ = 0;
};

}  // namespace comterm
