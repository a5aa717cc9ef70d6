#include "app/custom_application.h"

#include "app/argument_list.h"
#include "app/console_flag.h"
#include "app/error_display.h"

namespace comterm {
namespace {

// Holds the raise address while one exception is being handled.
class RaiseAddressScope {
 public:
  explicit RaiseAddressScope(std::uintptr_t address) { RaiseAddress = address; }
  ~RaiseAddressScope() { RaiseAddress = 0; }
};

}  // namespace

bool TCustomApplication::ConsoleProgram() const {
  return IsConsoleProgram;
}

std::string TCustomApplication::Argument(int index) const {
  if (index == 0) return ProgramArguments.ExecutablePath;
  if (index < 0 || index > ArgumentCount()) return std::string();
  return ProgramArguments.Arguments[static_cast<std::size_t>(index - 1)];
}

int TCustomApplication::ArgumentCount() const {
  return static_cast<int>(ProgramArguments.Arguments.size());
}

void TCustomApplication::Run() {
  do {
    try {
      RunStep();
    } catch (...) {
      HandleError(*this);
    }
  } while (!StopRequested);
}

void TCustomApplication::HandleError(TCustomApplication& sender) {
  try {
    throw;
  } catch (Exception& error) {
    RaiseAddressScope scope(error.Address());
    if (OnError) {
      OnError(sender, error);
    } else {
      ShowError(error);
    }
  } catch (...) {
    WriteErrorLine(nullptr, RaiseAddress);
  }
  if (StopOnError) StopRequested = true;
}

void TCustomApplication::ShowError(const Exception& error) {
  WriteErrorLine(&error, RaiseAddress);
}

}  // namespace comterm
