// The speed code of a standard rate, for code that uses the kernel's termios record
// and so cannot include the C library's <termios.h>.
#pragma once

#include <cstdint>

namespace comterm {

/// The value of the Bxxx constant of `baud` (the same in the kernel's and the C library's
/// headers), or 0 (B0) when `baud` is not one of the standard rates.
std::uint32_t StandardSpeedCode(std::uint32_t baud);

}  // namespace comterm
