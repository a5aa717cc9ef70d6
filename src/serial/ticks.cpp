#include "serial/ticks.h"

#include <cmath>

namespace comterm {

std::uint32_t MillisecondTick(CommApi& comm) {
  std::int64_t frequency = 0;
  if (!comm.QueryPerformanceFrequency(&frequency) || frequency <= 0) return comm.GetTickCount();
  std::int64_t counter = 0;
  comm.QueryPerformanceCounter(&counter);
  // Multiplying first keeps whole milliseconds exact in extended precision.
  long double ms =
      static_cast<long double>(counter) * 1000.0L / static_cast<long double>(frequency);
  if (ms < 0) ms = 0;
  // Reduced before the conversion, which is only defined for values that fit.
  ms = std::fmod(std::trunc(ms), 4294967296.0L);
  return static_cast<std::uint32_t>(ms);
}

std::uint32_t TickElapsed(std::uint32_t old_tick, std::uint32_t new_tick) {
  if (old_tick == new_tick) return 0;
  if (new_tick < old_tick) {
    old_tick += 0x80000000u;
    new_tick += 0x80000000u;
  }
  std::uint32_t d = new_tick - old_tick;
  if (new_tick < old_tick && d > 0) d = old_tick - new_tick;
  return d;
}

}  // namespace comterm
