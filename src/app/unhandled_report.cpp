#include "app/unhandled_report.h"

#include <cstdio>
#include <string>
#include <typeinfo>

#include "runtime/exceptions.h"
#include "runtime/format.h"

namespace comterm {
namespace {

void WriteLine(const std::string& line) {
  // CR LF: the terminal may still be in raw mode when this is written.
  std::fputs((line + "\r\n").c_str(), stdout);
}

}  // namespace

void ReportUnhandledException(std::exception_ptr error) {
  std::uintptr_t address = 0;
  std::string description;
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    address = e.Address();
    description = Format("%s : %s", {e.ClassName(), e.Message()});
  } catch (const std::exception& e) {
    description = Format("Exception object %s is not of class Exception.", {typeid(e).name()});
  } catch (...) {
    description = "Exception object of an unknown class is not of class Exception.";
  }
  WriteLine(Format("An unhandled exception occurred at $%p :", {FormatArg::Address(address)}));
  WriteLine(description);
  WriteLine(Format("  $%p", {FormatArg::Address(address)}));
  WriteLine("");
  std::fflush(stdout);
}

}  // namespace comterm
