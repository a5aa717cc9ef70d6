// Pure conversions between the device control block and a termios record.
#pragma once

#include <termios.h>

#include <cstdint>

#include "serial/comm_api.h"

namespace comterm {

/// Writes the line settings of `dcb` (all but the baud rate) into `mode`, starting from raw
/// mode. Returns false, leaving `mode` unchanged, when a value has no termios equivalent.
bool DcbToTermios(const Dcb& dcb, termios* mode);

/// The device control block that describes `mode` running at `baud`.
Dcb TermiosToDcb(const termios& mode, std::uint32_t baud);

/// True when `held` carries every line setting that DcbToTermios wrote into `wanted`.
bool SameLineSettings(const termios& wanted, const termios& held);

/// The Bxxx speed code of `baud`, or B0 when it is not one of the standard rates.
speed_t StandardSpeed(std::uint32_t baud);

/// The baud rate of a Bxxx speed code, or 0 for B0 and codes it does not know.
std::uint32_t SpeedToBaud(speed_t speed);

}  // namespace comterm
