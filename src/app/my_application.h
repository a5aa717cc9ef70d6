// The terminal application: reads the command line, then runs the relay.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/custom_application.h"
#include "app/received_log.h"

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
  /// Writes the machine's serial ports to the console, one a line; opens none of them.
  virtual void PrintPorts();
  /// Writes "comterm " and the version as one line to the console.
  virtual void PrintVersion();

  /// The first half of RunStep: validates the command line (showing the first fault),
  /// prints the usage text for help, else fills Settings. True when the relay is to run.
  /// A value that is not a number raises EConvertError.
  bool ReadCommandLine();

 private:
  void ReadSettings();
  void ReadLineTools();
  /// A delay option's value: an integer from 0 to 10000, else EConvertError.
  std::int32_t ReadDelay(std::string_view name) const;

  CommApi& comm_;
  /// The log of received bytes, opened when the settings are read.
  std::unique_ptr<ReceivedLog> log_;
};

}  // namespace comterm
