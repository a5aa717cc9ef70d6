// --imap: how received line ends are shown.
#pragma once

#include <string>
#include <string_view>

namespace comterm {

/// The line-end translations applied to received bytes shown as characters.
struct InputMap {
  /// lfcrlf: a received LF is shown as CR LF.
  bool LfToCrLf = false;
  /// crlf: a received CR is shown as CR LF.
  bool CrToCrLf = false;
  /// igncr: a received CR is not shown.
  bool IgnoreCr = false;

  /// True when some translation is on.
  bool Any() const { return LfToCrLf || CrToCrLf || IgnoreCr; }
};

/// The map named by `names` (lfcrlf, crlf, igncr, comma-separated); raises Exception for
/// an unknown name and for crlf with igncr.
InputMap ParseInputMap(std::string_view names);

/// Appends `received` to `shown`, translated by `map`.
void ApplyInputMap(const InputMap& map, std::string_view received, std::string& shown);

}  // namespace comterm
