#include "console/typed_ahead_posix.h"

namespace comterm::posix {
namespace {

std::string typed_ahead;

}  // namespace

void KeepTypedAhead(std::string_view bytes) {
  typed_ahead.append(bytes);
}

std::string TakeTypedAhead() {
  std::string taken;
  taken.swap(typed_ahead);
  return taken;
}

}  // namespace comterm::posix
