// The terminal's process-wide settings.
#include "app/terminal_settings.h"

namespace comterm {

TerminalSettings Settings;
std::uint64_t ReceivedCount = 0;

}  // namespace comterm
