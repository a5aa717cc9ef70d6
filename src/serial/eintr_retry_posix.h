// Retrying system calls that a signal interrupted.
#pragma once

#include <cerrno>

namespace comterm {

/// Calls `call` again for as long as it fails with EINTR; returns its last result.
template <typename Call>
auto RetryAfterSignal(Call call) {
  auto result = call();
  while (result == -1 && errno == EINTR) result = call();
  return result;
}

}  // namespace comterm
