// --omap: what is sent for Enter.
#pragma once

#include <string>
#include <string_view>

namespace comterm {

/// The translations applied to typed keys before they are sent.
struct OutputMap {
  /// crlf: a typed CR is sent as CR LF.
  bool CrToCrLf = false;
  /// lf: a typed CR is sent as LF.
  bool CrToLf = false;
};

/// The map named by `names` (crlf, lf, comma-separated); raises Exception for an
/// unknown name and for crlf with lf.
OutputMap ParseOutputMap(std::string_view names);

/// The bytes sent for the typed key codes `keys`.
std::string ApplyOutputMap(const OutputMap& map, std::string_view keys);

}  // namespace comterm
