// The millisecond tick: a 32-bit count that wraps at 2^32, and elapsed time between two.
#pragma once

#include <cstdint>

#include "serial/comm_api.h"

namespace comterm {

/// The current tick: the performance counter in milliseconds, low 32 bits, or the
/// system tick count where no performance counter exists.
std::uint32_t MillisecondTick(CommApi& comm);

/// Milliseconds from `old_tick` to `new_tick`, allowing for one wrap of the counter; a
/// tick that stepped back gives the distance backwards.
std::uint32_t TickElapsed(std::uint32_t old_tick, std::uint32_t new_tick);

}  // namespace comterm
