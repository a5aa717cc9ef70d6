#include "app/error_display.h"

#include "console/screen_output.h"
#include "runtime/format.h"

namespace comterm {

std::uintptr_t RaiseAddress = 0;
bool ErrorShown = false;

std::string ErrorText(const Exception* error, std::uintptr_t address, std::size_t capacity) {
  std::string text = Format("exception at %p", {FormatArg::Address(address)});
  if (error != nullptr) text = Format("%s:\n%s", {text, error->Message()});
  if (text.back() != '.') text += '.';
  if (text.size() > capacity) text.resize(capacity);
  return text;
}

void WriteErrorLine(const Exception* error, std::uintptr_t address) {
  ErrorShown = true;
  PutText(ScreenOutput, ErrorText(error, address, 255));
  EndLine(ScreenOutput);
}

}  // namespace comterm
