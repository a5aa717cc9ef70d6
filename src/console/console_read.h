// The console line reader bound to StandardInput.
#pragma once

#include "console/screen_output.h"

namespace comterm {

/// Fills `stream`'s buffer with one line typed and edited on the console, ended by CR LF,
/// echoing it at the console's cursor. Waits for keys.
void ConsoleRead(TextStream& stream);

}  // namespace comterm
