// Copies between our driver records and the Windows ones.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "serial/comm_api.h"

namespace comterm {

/// The Windows DCB of `dcb`, bit field by bit field.
DCB ToWindowsDcb(const Dcb& dcb);

/// Our Dcb of the Windows `dcb`.
Dcb FromWindowsDcb(const DCB& dcb);

/// The Windows COMMTIMEOUTS of `timeouts`.
COMMTIMEOUTS ToWindowsTimeouts(const CommTimeouts& timeouts);

/// Our ComStat of the Windows `stat`, its hold flags packed as in the Windows record.
ComStat FromWindowsComStat(const COMSTAT& stat);

}  // namespace comterm
