#include "runtime/exceptions.h"

#include <utility>

namespace comterm {

// Not inline, so that the return address is the code that constructs (raises) the exception.
__attribute__((noinline)) Exception::Exception(std::string message)
    : message_(std::move(message)),
      address_(reinterpret_cast<std::uintptr_t>(__builtin_return_address(0))) {}

}  // namespace comterm
