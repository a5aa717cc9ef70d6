// Turning an error into its one-line text and writing it to the console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/exceptions.h"

namespace comterm {

/// Code address at which the exception being handled was raised; 0 when none is.
extern std::uintptr_t RaiseAddress;

/// True once an error line has been written: the process then ends with status 1.
extern bool ErrorShown;

/// "exception at XXXXXXXX", then for an Exception ":" LF and its message; a final '.'
/// unless there is one; cut to `capacity` characters. `error` is null for a raised
/// object that is not an Exception.
std::string ErrorText(const Exception* error, std::uintptr_t address, std::size_t capacity);

/// Writes ErrorText(error, address, 255) as one line to ScreenOutput.
void WriteErrorLine(const Exception* error, std::uintptr_t address);

}  // namespace comterm
