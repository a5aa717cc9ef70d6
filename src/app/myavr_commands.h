// The commands that switch a myAVR board between its programming and data modes.
#pragma once

#include <string>

namespace comterm {

inline const std::string kMyAvrCommandPrefix = "\xD5\xA6\xFD\xE1\xF7\xE2\xC6";
/// Sent after opening, and again when the board's port returns.
inline const std::string kDataModeCommand = kMyAvrCommandPrefix + "d";
/// Sent by the closing steps while the board's port is present.
inline const std::string kProgrammingModeCommand = kMyAvrCommandPrefix + "p";

}  // namespace comterm
