// Wall time for the time-of-day stamps: what the system clock says, and the local offset
// from UTC at that moment. A seam so that tests can stand still at any time and zone.
#pragma once

#include <cstdint>

namespace comterm {

/// A moment: milliseconds since 1970-01-01 00:00 UTC, and the local offset from UTC.
struct WallTime {
  std::int64_t UtcMilliseconds = 0;
  std::int32_t UtcOffsetMinutes = 0;
};

/// Tells the wall time.
class WallClock {
 public:
  virtual ~WallClock() = default;
  /// The moment now.
  virtual WallTime Now() = 0;
};

/// The system's clock and time zone.
WallClock& SystemWallClock();

}  // namespace comterm
