#include "app/map_names.h"

#include <algorithm>

#include "runtime/exceptions.h"
#include "runtime/format.h"

namespace comterm {

std::vector<std::string> SplitMapNames(std::string_view value,
                                       std::initializer_list<std::string_view> known) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = value.find(',', start);
    const std::string_view name = value.substr(start, comma - start);
    if (std::find(known.begin(), known.end(), name) == known.end()) {
      throw Exception(Format("\"%s\" is an invalid map name", {name}));
    }
    names.emplace_back(name);
    if (comma == std::string_view::npos) return names;
    start = comma + 1;
  }
}

void RejectMap(std::string_view value) {
  throw Exception(Format("\"%s\" is an invalid map", {value}));
}

}  // namespace comterm
