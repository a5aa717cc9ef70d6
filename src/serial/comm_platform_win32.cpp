#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>

#include "serial/comm_api.h"
#include "serial/comm_loop.h"
#include "serial/comm_win32.h"

namespace comterm {

std::unique_ptr<CommApi> CreatePlatformComm() {
  const LoopErrorCodes codes{ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER, ERROR_OPERATION_ABORTED,
                             ERROR_IO_INCOMPLETE, ERROR_BUSY};
  return std::make_unique<LoopbackComm>(CreateWin32Comm(), codes);
}

}  // namespace comterm
