// The terminal application: reads the command line, then runs the relay.
#pragma once

#include <string>
#include <vector>

#include "app/custom_application.h"

namespace comterm {

class CommApi;

/// The long names of the option table, as ValidateOptions takes them ("port:" takes a
/// value).
const std::vector<std::string>& LongOptionList();

class TMyApplication : public TCustomApplication {
 public:
  /// `comm` is the serial driver the relay opens its port with.
  explicit TMyApplication(CommApi& comm);

  /// Validates the options, prints the usage text for help, fills Settings, then relays.
  void RunStep() override;
  /// Writes the usage text to the console.
  virtual void PrintUsage();
  /// Writes "comterm " and the version as one line to the console.
  virtual void PrintVersion();

  /// The first half of RunStep: validates the command line (showing the first fault),
  /// prints the usage text for help, else fills Settings. True when the relay is to run.
  /// A value that is not a number raises EConvertError.
  bool ReadCommandLine();

 private:
  void ReadSettings();
  CommApi& comm_;
};

}  // namespace comterm
