#include "app/output_map.h"

#include "app/map_names.h"

namespace comterm {

OutputMap ParseOutputMap(std::string_view names) {
  OutputMap map;
  for (const std::string& name : SplitMapNames(names, {"crlf", "lf"})) {
    if (name == "crlf") map.CrToCrLf = true;
    if (name == "lf") map.CrToLf = true;
  }
  if (map.CrToCrLf && map.CrToLf) RejectMap(names);
  return map;
}

std::string ApplyOutputMap(const OutputMap& map, std::string_view keys) {
  std::string sent;
  for (const char key : keys) {
    if (key != '\r') {
      sent += key;
    } else if (map.CrToCrLf) {
      sent += "\r\n";
    } else {
      sent += map.CrToLf ? '\n' : '\r';
    }
  }
  return sent;
}

}  // namespace comterm
