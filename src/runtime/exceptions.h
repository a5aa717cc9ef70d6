// Exception classes shared by every layer.
#pragma once

#include <cstdint>
#include <string>

namespace comterm {

/// Base error: carries a message text and the code address at which it was raised.
class Exception {
 public:
  explicit Exception(std::string message);
  virtual ~Exception() = default;

  const std::string& Message() const { return message_; }
  /// Code address of the place that created the exception (0 when unknown).
  std::uintptr_t Address() const { return address_; }
  /// Class name as the unhandled-exception report prints it.
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
  std::uintptr_t address_;
};

/// A number text that is not a valid integer.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EConvertError"; }
};

/// A write on a stream that is not open for output; code 103 or 105.
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int code) : Exception(std::move(message)), code_(code) {}
  int Code() const { return code_; }
  const char* ClassName() const override { return "EInOutError"; }

 private:
  int code_;
};

}  // namespace comterm
