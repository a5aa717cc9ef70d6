// The serial driver calls passed to Windows.
#pragma once

#include <memory>

#include "serial/comm_api.h"

namespace comterm {

/// CommApi over the Windows communications calls; handles are Windows HANDLEs.
std::unique_ptr<CommApi> CreateWin32Comm();

}  // namespace comterm
