#include "app/input_map.h"

#include "app/map_names.h"

namespace comterm {

InputMap ParseInputMap(std::string_view names) {
  InputMap map;
  for (const std::string& name : SplitMapNames(names, {"lfcrlf", "crlf", "igncr"})) {
    if (name == "lfcrlf") map.LfToCrLf = true;
    if (name == "crlf") map.CrToCrLf = true;
    if (name == "igncr") map.IgnoreCr = true;
  }
  if (map.CrToCrLf && map.IgnoreCr) RejectMap(names);
  return map;
}

void ApplyInputMap(const InputMap& map, std::string_view received, std::string& shown) {
  for (const char byte : received) {
    if (byte == '\r' && map.IgnoreCr) continue;
    if ((byte == '\n' && map.LfToCrLf) || (byte == '\r' && map.CrToCrLf)) {
      shown += "\r\n";
    } else {
      shown += byte;
    }
  }
}

}  // namespace comterm
