#include "app/my_application.h"

#include "app/input_map.h"
#include "app/output_map.h"
#include "app/received_log.h"
#include "app/relay.h"
#include "app/terminal_settings.h"
#include "app/timestamp_prefix.h"
#include "console/screen_output.h"
#include "runtime/exceptions.h"
#include "runtime/format.h"
#include "runtime/int_convert.h"
#include "serial/port_list.h"

namespace comterm {
namespace {

constexpr const char* kShortOptions = "hp:b:d:r:s:fmcx";
const std::vector<std::string> kLongOptions = {
    "help",         "port:", "baud:",       "data:",       "parity:", "stop:",        "softflow",
    "hardflow",     "myavr", "stc",         "hex",         "device:", "no-reconnect", "list",
    "timestamps::", "log:",  "char-delay:", "line-delay:", "no-echo", "imap:",        "omap:",
    "version",  // stops like help, before the settings are read
};

constexpr std::int32_t kLongestDelay = 10000;

}  // namespace

const std::vector<std::string>& LongOptionList() {
  return kLongOptions;
}

TMyApplication::TMyApplication(CommApi& comm) : comm_(comm) {
  StopOnError = true;
}

void TMyApplication::RunStep() {
  if (!ReadCommandLine()) return;
  RunRelay(comm_, log_.get());
  RequestStop();
}

bool TMyApplication::ReadCommandLine() {
  const std::string error = ValidateOptions(kShortOptions, kLongOptions);
  if (!error.empty()) {
    ShowError(Exception(error));
    RequestStop();
    return false;
  }
  if (OptionPresent('h', "help")) {
    PrintUsage();
    RequestStop();
    return false;
  }
  if (FindOption("version")) {
    PrintVersion();
    RequestStop();
    return false;
  }
  if (FindOption("list")) {
    PrintPorts();
    RequestStop();
    return false;
  }
  ReadSettings();
  return true;
}

void TMyApplication::ReadSettings() {
  if (OptionPresent('p', "port")) Settings.PortNumber = StrToInt(OptionValue('p', "port"));
  if (OptionPresent('b', "baud")) Settings.BaudRate = StrToInt(OptionValue('b', "baud"));
  if (OptionPresent('d', "data")) Settings.DataBits = StrToInt(OptionValue('d', "data"));
  if (OptionPresent('r', "parity")) {
    const std::string parity = OptionValue('r', "parity");
    // Without a first character there is no parity to choose: refuse rather than guess.
    if (parity.empty()) throw Exception("Option --parity needs a value: N, E, O, M or S");
    Settings.ParityLetter = parity[0];
  }
  if (OptionPresent('s', "stop")) Settings.StopBitsCode = StrToInt(OptionValue('s', "stop"));
  if (OptionPresent('f', "softflow")) Settings.SoftFlow = true;
  if (OptionPresent('h', "hardflow")) Settings.HardFlow = true;
  if (OptionPresent('m', "myavr")) Settings.MyAvrMode = true;
  if (OptionPresent('c', "stc")) Settings.StcMode = true;
  if (OptionPresent('x', "hex")) Settings.HexMode = true;
  if (FindOption("device")) {
    Settings.DeviceName = OptionValue("device");
    if (Settings.DeviceName.empty()) throw Exception("Option --device needs a device name");
  }
  if (FindOption("no-reconnect")) Settings.NoReconnect = true;
  ReadLineTools();
}

// The options that exist as long names only, for stamps, the log, pacing, echo and maps.
// The log is opened last, so that a bad value of another option creates no file.
void TMyApplication::ReadLineTools() {
  if (const auto stamps = FindOption("timestamps")) {
    const bool valued = Argument(stamps->Index).find('=') != std::string::npos;
    Settings.Timestamps =
        valued ? ParseTimestampFormat(OptionValue("timestamps")) : TimestampFormat::Time;
  }
  if (FindOption("char-delay")) Settings.CharDelay = ReadDelay("char-delay");
  if (FindOption("line-delay")) Settings.LineDelay = ReadDelay("line-delay");
  if (FindOption("no-echo")) Settings.NoEcho = true;
  if (FindOption("imap")) Settings.ReceiveMap = ParseInputMap(OptionValue("imap"));
  if (FindOption("omap")) Settings.SendMap = ParseOutputMap(OptionValue("omap"));
  if (FindOption("log")) {
    Settings.LogFileName = OptionValue("log");
    if (Settings.LogFileName.empty()) throw Exception("Option --log needs a file name");
    log_ = std::make_unique<ReceivedLog>(Settings.LogFileName);
  }
}

std::int32_t TMyApplication::ReadDelay(std::string_view name) const {
  const std::string value = OptionValue(name);
  const std::int32_t ms = StrToInt(value);
  if (ms < 0 || ms > kLongestDelay) {
    throw EConvertError(Format("\"%s\" is an invalid delay (0 to 10000 ms)", {value}));
  }
  return ms;
}

void TMyApplication::PrintUsage() {
  static const char* const kLines[] = {
      " -p --port         1, 2, 3 etc.",
      " -b --baud         9600, 19200, etc.",
      " -d --data         8 or 7",
      " -r --parity       N, E, O",
      " -s --stop         0=one, 1=1.5, 2=two",
      " -f --softflow     softflow",
      " -h --hardflow     hardflow",
      " -m --myavr        switch to myAVR data mode",
      " -c --stc          switch to STC mode",
      " -x --hex          enable hex mode",
      "    --device=NAME  open NAME instead of COM<port> (a device path, or loop://)",
      "    --no-reconnect end the run when the device is lost instead of waiting for it",
      "    --list         list the serial ports of this machine and exit",
      "    --timestamps=F stamp received lines; F: time (default), iso, elapsed, delta",
      "    --log=FILE     append every received byte to FILE",
      "    --char-delay=N pause N ms after each key sent (0 to 10000)",
      "    --line-delay=N pause N ms more after each Enter sent (0 to 10000)",
      "    --no-echo      send typed keys without showing them",
      "    --imap=NAMES   show received line ends: lfcrlf, crlf, igncr",
      "    --omap=NAMES   send Enter as: crlf, lf",
      "    --version      print the version and stop",
  };
  PutText(ScreenOutput, "Usage: ");
  PutText(ScreenOutput, Argument(0));
  PutText(ScreenOutput, " -h");
  EndLine(ScreenOutput);
  for (const char* line : kLines) {
    PutText(ScreenOutput, line);
    EndLine(ScreenOutput);
  }
}

void TMyApplication::PrintPorts() {
  for (const std::string& port : ListSerialPorts()) {
    PutText(ScreenOutput, port);
    EndLine(ScreenOutput);
  }
}

void TMyApplication::PrintVersion() {
  PutText(ScreenOutput, "comterm " COMTERM_VERSION);
  EndLine(ScreenOutput);
}

}  // namespace comterm
