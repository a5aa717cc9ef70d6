// The report of an exception that escaped the application frame.
#pragma once

#include <exception>

namespace comterm {

/// Exit status of a process ended by an unhandled exception.
inline constexpr int kUnhandledExitStatus = 217;

/// Writes the report for `error` to the process's standard output, bypassing the console
/// writer: the raise address, the class and message, the call chain, an empty line.
void ReportUnhandledException(std::exception_ptr error);

}  // namespace comterm
