// Keys typed while the terminal was being asked for its cursor, on POSIX.
#pragma once

#include <string>
#include <string_view>

namespace comterm::posix {

/// Keeps bytes of the keyboard's terminal that were read while waiting for the cursor's
/// answer and are not part of it: keys typed meanwhile.
void KeepTypedAhead(std::string_view bytes);

/// The bytes kept so far, oldest first; the keyboard decodes them before what it reads
/// itself. Empties the store.
std::string TakeTypedAhead();

}  // namespace comterm::posix
