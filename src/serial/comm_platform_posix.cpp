#include <cerrno>
#include <memory>

#include "serial/comm_api.h"
#include "serial/comm_loop.h"
#include "serial/comm_posix.h"

namespace comterm {

std::unique_ptr<CommApi> CreatePlatformComm() {
  const LoopErrorCodes codes{EBADF, EINVAL, ECANCELED, EINPROGRESS, EBUSY};
  return std::make_unique<LoopbackComm>(std::make_unique<PosixComm>(), codes);
}

}  // namespace comterm
