#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>
#include <utility>

#include "net/net_comm.h"

namespace comterm {

std::unique_ptr<CommApi> CreateNetworkComm(std::unique_ptr<CommApi> platform) {
  const NetErrorCodes codes{ERROR_INVALID_HANDLE,    ERROR_INVALID_PARAMETER, ERROR_INVALID_NAME,
                            ERROR_OPERATION_ABORTED, ERROR_IO_INCOMPLETE,     ERROR_BUSY,
                            ERROR_SEM_TIMEOUT};
  return std::make_unique<NetworkComm>(std::move(platform), codes);
}

}  // namespace comterm
