// The console start-up: output window, attribute and the two standard streams.
#pragma once

#include "console/console_api.h"
#include "console/console_input_api.h"

namespace comterm {

/// Binds the console state, ScreenOutput and the keyboard to the given backends. Runs
/// once at start-up, before any text is written or key read.
void InitConsole(ConsoleOutputApi& output, ConsoleInputApi& input);

/// Takes the console's visible window again as OutputWindow when the backend reports
/// that it changed (a resized terminal); the writer calls it before it fetches the cursor.
void FollowWindowChange();

}  // namespace comterm
