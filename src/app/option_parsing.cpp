// The command-line option machinery of the application frame.
#include <algorithm>
#include <cctype>

#include "app/custom_application.h"
#include "runtime/format.h"

namespace comterm {
namespace {

constexpr const char* kInvalidOption = "Invalid option at position %d: \"%s\"";
constexpr const char* kNoArgumentAllowed = "Option at position %d does not allow an argument: %s";
constexpr const char* kArgumentNeeded = "Option at position %d needs an argument : %s";

bool SameText(std::string_view a, std::string_view b, bool case_sensitive) {
  if (case_sensitive) return a == b;
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

bool Listed(const std::vector<std::string>& list, const std::string& entry, bool case_sensitive) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& e) { return SameText(e, entry, case_sensitive); });
}

std::vector<std::string> SplitNames(std::string_view text) {
  std::vector<std::string> names;
  std::string name;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!name.empty()) names.push_back(name);
      name.clear();
    } else {
      name += c;
    }
  }
  if (!name.empty()) names.push_back(name);
  return names;
}

}  // namespace

std::string TCustomApplication::ValidateOptions(std::string_view short_options,
                                                std::string_view long_options) const {
  return ValidateOptions(short_options, SplitNames(long_options));
}

std::string TCustomApplication::ValidateOptions(
    std::string_view short_options, const std::vector<std::string>& long_options) const {
  std::string error;
  for (int i = 1; i <= ArgumentCount() && error.empty(); ++i) {
    const std::string arg = Argument(i);
    if (arg.empty() || arg[0] != OptionPrefix) continue;
    if (arg.size() == 1) {
      error = Format(kInvalidOption, {i, arg});
    } else if (arg[1] == OptionPrefix) {
      error = CheckLongOption(i, long_options);
    } else {
      const std::string next = Argument(i + 1);
      const bool value_at_hand = i < ArgumentCount() && !next.empty() && next[0] != OptionPrefix;
      error = CheckLetterGroup(i, short_options);
      if (value_at_hand) ++i;
    }
  }
  return error;
}

std::string TCustomApplication::CheckLongOption(
    int index, const std::vector<std::string>& long_options) const {
  const std::string arg = Argument(index);
  const std::size_t equals = arg.find('=');
  const bool has_value = equals != std::string::npos;
  const std::string name = arg.substr(2, has_value ? equals - 2 : std::string::npos);
  if (Listed(long_options, name, OptionsCaseSensitive)) {
    return has_value ? Format(kNoArgumentAllowed, {index, name}) : std::string();
  }
  if (Listed(long_options, name + ":", OptionsCaseSensitive)) {
    return has_value ? std::string() : Format(kArgumentNeeded, {index, name});
  }
  if (Listed(long_options, name + "::", OptionsCaseSensitive)) return std::string();
  return Format(kInvalidOption, {index, name});
}

std::string TCustomApplication::CheckLetterGroup(int index, std::string_view short_options) const {
  const std::string arg = Argument(index);
  const std::string next = Argument(index + 1);
  const bool value_at_hand = index < ArgumentCount() && !next.empty() && next[0] != OptionPrefix;
  for (std::size_t j = 1; j < arg.size(); ++j) {
    const char letter = arg[j];
    std::size_t at = std::string_view::npos;
    for (std::size_t k = 0; k < short_options.size() && letter != ':'; ++k) {
      if (SameText(short_options.substr(k, 1), std::string_view(&letter, 1),
                   OptionsCaseSensitive)) {
        at = k;
        break;
      }
    }
    if (at == std::string_view::npos) return Format(kInvalidOption, {index, letter});
    const bool required =
        short_options.substr(at + 1, 1) == ":" && short_options.substr(at + 2, 1) != ":";
    const bool last = j + 1 == arg.size();
    if (required && (!last || !value_at_hand)) return Format(kArgumentNeeded, {index, letter});
  }
  return std::string();
}

std::optional<OptionMatch> TCustomApplication::FindOption(std::string_view option) const {
  for (int i = ArgumentCount(); i >= 1; --i) {
    const std::string arg = Argument(i);
    if (arg.empty() || arg[0] != OptionPrefix) continue;
    const std::string_view rest = std::string_view(arg).substr(1);
    if (SameText(rest, option, OptionsCaseSensitive)) return OptionMatch{i, false};
    if (!rest.empty() && rest[0] == OptionPrefix) {
      const std::string_view name = rest.substr(1, rest.find('=') - 1);
      if (SameText(name, option, OptionsCaseSensitive)) return OptionMatch{i, true};
    }
  }
  return std::nullopt;
}

bool TCustomApplication::OptionPresent(char letter, std::string_view name) const {
  return FindOption(std::string_view(&letter, 1)) || FindOption(name);
}

std::string TCustomApplication::OptionValue(char letter, std::string_view name) const {
  std::optional<OptionMatch> found = FindOption(std::string_view(&letter, 1));
  if (!found) found = FindOption(name);
  return found ? ValueOf(*found) : std::string();
}

std::string TCustomApplication::OptionValue(std::string_view name) const {
  const std::optional<OptionMatch> found = FindOption(name);
  return found ? ValueOf(*found) : std::string();
}

std::string TCustomApplication::ValueOf(const OptionMatch& found) const {
  const std::string arg = Argument(found.Index);
  if (found.LongForm) {
    const std::size_t equals = arg.find('=');
    return equals == std::string::npos ? std::string() : arg.substr(equals + 1);
  }
  return Argument(found.Index + 1);
}

}  // namespace comterm
