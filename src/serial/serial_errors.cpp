#include "serial/serial_errors.h"

#include <array>
#include <utility>

#include "runtime/format.h"

namespace comterm {

namespace {

// Texts of codes 9991 to 10003, kept as the system has always shown them.
constexpr std::array<std::string_view, 13> kOwnTexts = {
    "Port owned by other process", "Instance already in use",   "Wrong paramter at call",
    "Instance not yet connected",  "No device answer detected", "Maximal buffer length exceeded",
    "Timeout during operation",    "Reading of data failed",    "Receive framing error",
    "Receive Overrun Error",       "Receive Queue overflow",    "Receive Parity Error",
    "Tranceive Queue is full",
};

}  // namespace

std::optional<std::string_view> OwnErrorText(std::int32_t code) {
  if (code == errOk) return "OK";
  if (code >= errPortOwned && code <= errTxFull) return kOwnTexts[code - errPortOwned];
  return std::nullopt;
}

EDorvaneError::EDorvaneError(std::int32_t code, std::string description)
    : Exception(Format("Communication error %d: %s", {code, description})),
      Code(code),
      Description(std::move(description)) {}

}  // namespace comterm
