// The terminal application: reads the command line, then runs the relay.
#pragma once

#include "app/custom_application.h"

namespace comterm {

class CommApi;

class TMyApplication : public TCustomApplication {
 public:
  /// `comm` is the serial driver the relay opens its port with.
  explicit TMyApplication(CommApi& comm);

  /// Validates the options, prints the usage text for help, fills Settings, then relays.
  void RunStep() override;
  /// Writes the usage text to the console.
  virtual void PrintUsage();
  /// Writes the machine's serial ports to the console, one a line; opens none of them.
  virtual void PrintPorts();

  /// The first half of RunStep: validates the command line (showing the first fault),
  /// prints the usage text for help, else fills Settings. True when the relay is to run.
  /// A value that is not a number raises EConvertError.
  bool ReadCommandLine();

 private:
  void ReadSettings();
  CommApi& comm_;
};

}  // namespace comterm
