// The entry point: builds the argument list, starts the console, runs the application.
#include <memory>

#include "app/argument_list.h"
#include "app/console_flag.h"
#include "app/error_display.h"
#include "app/my_application.h"
#include "app/process_api.h"
#include "app/unhandled_report.h"
#include "console/console_api.h"
#include "console/console_init.h"
#include "console/console_input_api.h"
#include "net/net_comm.h"
#include "serial/comm_api.h"

int main(int argc, char** argv) {
  using namespace comterm;
  IsConsoleProgram = true;
  ProgramArguments.ExecutablePath = PlatformExecutablePath();
  ProgramArguments.Arguments = PlatformArguments(argc, argv);
  const std::unique_ptr<ConsoleOutputApi> output = CreatePlatformConsoleOutput();
  const std::unique_ptr<ConsoleInputApi> input = CreatePlatformConsoleInput();
  InitConsole(*output, *input);
  const std::unique_ptr<CommApi> comm = CreateNetworkComm(CreatePlatformComm());
  try {
    auto application = std::make_unique<TMyApplication>(*comm);
    application->SetTitle("My Application");
    application->Run();
  } catch (...) {
    ReportUnhandledException(std::current_exception());
    return kUnhandledExitStatus;
  }
  return ErrorShown ? 1 : 0;
}
