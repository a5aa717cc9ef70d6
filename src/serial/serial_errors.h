// The serial port's own error codes, their texts, and the exception it raises.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/exceptions.h"

namespace comterm {

/// Code of a successful outcome.
inline constexpr std::int32_t errOk = 0;
/// The port is held by another process (no operation sets it).
inline constexpr std::int32_t errPortOwned = 9991;
/// OpenPort on an instance whose port is already open.
inline constexpr std::int32_t errInstanceInUse = 9992;
/// A wrong parameter (no operation sets it).
inline constexpr std::int32_t errBadParameter = 9993;
/// A transfer on an instance whose port is not open.
inline constexpr std::int32_t errNotConnected = 9994;
/// A modem input line required by TestDSR or TestCTS is inactive.
inline constexpr std::int32_t errNoAnswer = 9995;
/// A terminated read gathered more than MaxLineLength bytes.
inline constexpr std::int32_t errBufferLimit = 9996;
/// A wait or a transfer ran out of time.
inline constexpr std::int32_t errTimeout = 9997;
/// Reading failed (no operation sets it).
inline constexpr std::int32_t errReadFailed = 9998;
/// Line errors decoded from ClearCommError's flags.
inline constexpr std::int32_t errFraming = 9999;
inline constexpr std::int32_t errOverrun = 10000;
inline constexpr std::int32_t errRxOverflow = 10001;
inline constexpr std::int32_t errRxParity = 10002;
inline constexpr std::int32_t errTxFull = 10003;

/// The text of a code the class owns (0 and 9991 to 10003), or nothing for a code
/// that belongs to the platform.
std::optional<std::string_view> OwnErrorText(std::int32_t code);

/// A serial failure, raised only when the port object's RaiseExcept is set.
class EDorvaneError : public Exception {
 public:
  /// Message "Communication error <code>: <description>".
  EDorvaneError(std::int32_t code, std::string description);
  const char* ClassName() const override { return "EDorvaneError"; }

  /// The error code.
  std::int32_t Code;
  /// The text of the code.
  std::string Description;
};

}  // namespace comterm
