// Text formatting with the placeholders %d, %s and %p.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace comterm {

/// One value for a placeholder: %d takes a number, %s a text or a single character,
/// %p an address.
class FormatArg {
 public:
  FormatArg(std::int64_t v) : value_(v) {}
  FormatArg(int v) : value_(std::int64_t{v}) {}
  FormatArg(unsigned v) : value_(std::int64_t{v}) {}
  FormatArg(char c) : value_(std::string(1, c)) {}
  FormatArg(const char* s) : value_(std::string(s)) {}
  FormatArg(std::string s) : value_(std::move(s)) {}
  FormatArg(std::string_view s) : value_(std::string(s)) {}
  FormatArg(const void* p) : value_(reinterpret_cast<std::uintptr_t>(p)) {}
  static FormatArg Address(std::uintptr_t a) { return FormatArg(a, 0); }

  std::string Decimal() const;
  std::string Text() const;
  std::string Hex8() const;

 private:
  FormatArg(std::uintptr_t a, int) : value_(a) {}
  std::variant<std::int64_t, std::string, std::uintptr_t> value_;
};

/// Fills the placeholders of `format` in order; "%%" gives a single '%'.
std::string Format(std::string_view format, std::initializer_list<FormatArg> args);

/// A signed number in decimal: a minus sign when negative, no leading blanks or zeros.
std::string DecimalText(std::int64_t value);

/// An address as exactly 8 uppercase hexadecimal digits.
std::string AddressText(std::uintptr_t address);

}  // namespace comterm
