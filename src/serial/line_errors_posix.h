// Line errors of a serial device, from the driver's running error counters.
#pragma once

#include <cstdint>

namespace comterm {

/// The driver's running counts of receive errors and breaks.
struct LineCounts {
  std::uint32_t frame = 0;
  std::uint32_t overrun = 0;
  std::uint32_t parity = 0;
  std::uint32_t brk = 0;
  std::uint32_t buffer_overrun = 0;
};

/// Reads the counters of `fd`; false where the device or the system keeps none.
bool ReadLineCounts(int fd, LineCounts* counts);

/// The ClearCommError flags (kCe...) of the errors counted between `before` and `now`.
std::uint32_t LineErrorFlags(const LineCounts& before, const LineCounts& now);

}  // namespace comterm
