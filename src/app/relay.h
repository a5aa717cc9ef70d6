// The terminal relay: states the settings, opens the port and relays both ways until
// Escape.
#pragma once

namespace comterm {

class CommApi;
class ReceivedLog;

/// Runs the relay with the process-wide Settings over the serial driver `comm`, appending
/// every received byte to `log` when there is one. Returns after Escape, with the port
/// closed; an error leaves it as an exception, after the closing steps have run.
void RunRelay(CommApi& comm, ReceivedLog* log = nullptr);

}  // namespace comterm
