// The comma-separated name lists of --imap and --omap.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace comterm {

/// The names of `value`, split at commas, each checked against `known`; raises Exception
/// "\"<name>\" is an invalid map name" for the first that is not known (an empty one
/// included).
std::vector<std::string> SplitMapNames(std::string_view value,
                                       std::initializer_list<std::string_view> known);

/// Raises Exception "\"<value>\" is an invalid map": for names that contradict each other.
[[noreturn]] void RejectMap(std::string_view value);

}  // namespace comterm
