// The line speed of a terminal device, in baud, at any rate the system allows.
#pragma once

#include <cstdint>

namespace comterm {

/// Sets both directions of `fd` to `baud`. False with errno set when the device refuses.
bool SetLineSpeed(int fd, std::uint32_t baud);

/// Reads the output speed of `fd` in baud. False with errno set on failure.
bool GetLineSpeed(int fd, std::uint32_t* baud);

}  // namespace comterm
