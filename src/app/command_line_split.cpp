#include "app/process_api.h"

namespace comterm {
namespace {

bool IsSeparator(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 1 && byte <= 32;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> pieces;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    if (i >= line.size()) break;
    std::string piece;
    bool quoted = false;
    for (; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '"') {
        if (i + 1 < line.size() && line[i + 1] == '"') {
          ++i;  // a pair of quotes: nothing, quoting unchanged
        } else {
          quoted = !quoted;
        }
      } else if (IsSeparator(c) && !quoted) {
        break;
      } else {
        piece += c;
      }
    }
    pieces.push_back(std::move(piece));
  }
  if (!pieces.empty()) pieces.erase(pieces.begin());
  return pieces;
}

}  // namespace comterm
