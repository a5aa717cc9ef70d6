// Decodes what a VT terminal sends for keys (characters in UTF-8, control characters and
// escape sequences) into the key events a PC console reports. Pure: fed bytes and the
// time, it makes no system calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_input_api.h"

namespace comterm {

/// Turns terminal input into key-down events. Bytes that may still become part of a
/// longer sequence are held until the rest arrives or a quiet gap passes.
class VtKeyDecoder {
 public:
  /// How long input must stay quiet before a held ESC counts as the Escape key.
  static constexpr std::uint32_t kEscapeGapMs = 30;

  /// Decodes `bytes`, received at `now_ms` (a millisecond tick that may wrap), and returns
  /// the keys they complete.
  std::vector<KeyEventRecord> Feed(std::string_view bytes, std::uint32_t now_ms);

  /// Returns the keys held back once `kEscapeGapMs` have passed at `now_ms` since the last
  /// byte: a lone ESC becomes Escape, ESC before an unfinished sequence Alt with its next
  /// byte, an unfinished UTF-8 character '?'.
  std::vector<KeyEventRecord> Expire(std::uint32_t now_ms);

  /// True while bytes are held back.
  bool Holding() const { return !held_.empty(); }

 private:
  std::vector<KeyEventRecord> Decode(bool quiet);

  std::string held_;
  std::uint32_t last_byte_ms_ = 0;
};

}  // namespace comterm
