#include <cerrno>
#include <memory>
#include <utility>

#include "net/net_comm.h"

namespace comterm {

std::unique_ptr<CommApi> CreateNetworkComm(std::unique_ptr<CommApi> platform) {
  const NetErrorCodes codes{EBADF, EINVAL, EINVAL, ECANCELED, EINPROGRESS, EBUSY, ETIMEDOUT};
  return std::make_unique<NetworkComm>(std::move(platform), codes);
}

}  // namespace comterm
