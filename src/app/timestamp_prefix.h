// The prefix that states when a received line (or, in hex mode, a burst) arrived.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/wall_clock.h"

namespace comterm {

class CommApi;

/// What a prefix states; None: no prefixes.
enum class TimestampFormat { None, Time, Iso, Elapsed, Delta };

/// The format named `name` (time, iso, elapsed, delta); raises Exception
/// "\"<name>\" is an invalid timestamp format" for any other text.
TimestampFormat ParseTimestampFormat(std::string_view name);

/// Makes prefixes over the driver's millisecond tick (elapsed, delta) and a wall clock
/// (time, iso):
///   Time    "[HH:MM:SS.mmm] "                      local time
///   Iso     "[YYYY-MM-DDTHH:MM:SS.mmm+HH:MM] "     local time and its offset from UTC
///   Elapsed "[S.mmm] "                             since the prefix maker was made
///   Delta   "[+S.mmm] "                            since the previous prefix
class TimestampPrefix {
 public:
  /// Starts the elapsed time now.
  TimestampPrefix(TimestampFormat format, CommApi& comm, WallClock& wall);
  /// The prefix for the moment now.
  std::string Next();

 private:
  /// Milliseconds since the start, counted across wraps of the 32-bit tick.
  std::uint64_t ElapsedNow();

  TimestampFormat format_;
  CommApi& comm_;
  WallClock& wall_;
  std::uint32_t last_tick_;
  std::uint64_t elapsed_ = 0;
  std::uint64_t previous_prefix_ = 0;
  bool first_ = true;
};

/// The local calendar text of `time`: "YYYY-MM-DDTHH:MM:SS.mmm+HH:MM" when `with_date`
/// (date, time and offset), else "HH:MM:SS.mmm".
std::string LocalTimeText(const WallTime& time, bool with_date);

}  // namespace comterm
