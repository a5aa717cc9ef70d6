// The process-wide console flag, set by the entry point before anything else runs.
#pragma once

namespace comterm {

/// True when the process is a console program.
extern bool IsConsoleProgram;

}  // namespace comterm
