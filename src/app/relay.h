// The terminal relay: states the settings, opens the port and relays both ways until
// Escape.
#pragma once

namespace comterm {

class CommApi;

/// Runs the relay with the process-wide Settings over the serial driver `comm`. Returns
/// after Escape, with the port closed; an error leaves it as an exception, after the
/// closing steps have run.
void RunRelay(CommApi& comm);

}  // namespace comterm
