#include "runtime/format.h"

#include <cstdio>

namespace comterm {

std::string DecimalText(std::int64_t value) { return std::to_string(value); }

std::string AddressText(std::uintptr_t address) {
  char text[32];
  // Always 8 digits: on a 64-bit build the low 32 bits of the address are shown.
  std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(address & 0xFFFFFFFFu));
  return text;
}

std::string FormatArg::Decimal() const {
  if (auto* n = std::get_if<std::int64_t>(&value_)) return DecimalText(*n);
  if (auto* a = std::get_if<std::uintptr_t>(&value_)) return std::to_string(*a);
  return std::get<std::string>(value_);
}

std::string FormatArg::Text() const {
  if (auto* s = std::get_if<std::string>(&value_)) return *s;
  return Decimal();
}

std::string FormatArg::Hex8() const {
  if (auto* a = std::get_if<std::uintptr_t>(&value_)) return AddressText(*a);
  if (auto* n = std::get_if<std::int64_t>(&value_)) {
    return AddressText(static_cast<std::uintptr_t>(*n));
  }
  return std::get<std::string>(value_);
}

std::string Format(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%' || i + 1 == format.size()) {
      out += c;
      continue;
    }
    char kind = format[++i];
    if (kind == '%') {
      out += '%';
      continue;
    }
    if (next == args.end()) {
      out += '%';
      out += kind;
      continue;
    }
    const FormatArg& arg = *next++;
    switch (kind) {
      case 'd': out += arg.Decimal(); break;
      case 's': out += arg.Text(); break;
      case 'p': out += arg.Hex8(); break;
      default:
        out += '%';
        out += kind;
        --next;
    }
  }
  return out;
}

}  // namespace comterm
