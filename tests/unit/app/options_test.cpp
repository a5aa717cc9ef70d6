#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/argument_list.h"
#include "app/error_display.h"
#include "app/my_application.h"
#include "app/terminal_settings.h"
#include "fakes/fake_comm.h"
#include "runtime/exceptions.h"

namespace comterm {
namespace {

// Records what the frame would show instead of writing it to a console.
class RecordingApplication : public TMyApplication {
 public:
  using TMyApplication::TMyApplication;
  void ShowError(const Exception& error) override { shown = error.Message(); }
  void PrintUsage() override { usage = true; }
  void PrintPorts() override { ports = true; }
  void PrintVersion() override { version = true; }
  std::string shown;
  bool usage = false;
  bool ports = false;
  bool version = false;
};

struct Outcome {
  bool relay = false;  // the relay would run
  std::string error;   // the validation message shown, or the exception raised
  bool usage = false;
  bool ports = false;  // the port list would be printed
  bool version = false;
};

class OptionsTest : public ::testing::Test {
 protected:
  Outcome Parse(std::vector<std::string> arguments) {
    ProgramArguments.ExecutablePath = "/usr/bin/comterm";
    ProgramArguments.Arguments = std::move(arguments);
    Settings = TerminalSettings{};
    RecordingApplication application(comm_);
    Outcome outcome;
    try {
      outcome.relay = application.ReadCommandLine();
    } catch (const Exception& e) {
      outcome.error = e.Message();
    }
    // A validation fault and help stop the run themselves; a bad value leaves it to the frame.
    EXPECT_EQ(application.StopRequested, application.usage || application.ports ||
                                             application.version || !application.shown.empty());
    if (!application.shown.empty()) outcome.error = application.shown;
    outcome.usage = application.usage;
    outcome.ports = application.ports;
    outcome.version = application.version;
    return outcome;
  }
  testing::FakeComm comm_;
};

TEST_F(OptionsTest, ValidationMessages) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{"-q"}, "Invalid option at position 1: \"q\""},
      {{"-p", "3", "-q"}, "Invalid option at position 3: \"q\""},
      {{"-p"}, "Option at position 1 needs an argument : p"},
      {{"-p", "-5"}, "Option at position 1 needs an argument : p"},
      {{"--port"}, "Option at position 1 needs an argument : port"},
      {{"-pb", "3"}, "Option at position 1 needs an argument : p"},
      {{"-bp", "3"}, "Option at position 1 needs an argument : b"},
      {{"-P"}, "Invalid option at position 1: \"P\""},
      {{"--Port=3"}, "Invalid option at position 1: \"Port\""},
      {{"-help"}, "Invalid option at position 1: \"e\""},
      {{"--help=1"}, "Option at position 1 does not allow an argument: help"},
      {{"--h"}, "Invalid option at position 1: \"h\""},
      {{"--p=3"}, "Invalid option at position 1: \"p\""},
      {{"-"}, "Invalid option at position 1: \"-\""},
      {{"--"}, "Invalid option at position 1: \"\""},
      {{"-h", "-q"}, "Invalid option at position 2: \"q\""},
      {{"-:"}, "Invalid option at position 1: \":\""},
      {{"-p:"}, "Option at position 1 needs an argument : p"},
      {{"--port="}, "\"\" is an invalid integer"},
      {{"-p", "abc"}, "\"abc\" is an invalid integer"},
      {{"-b", "96 00"}, "\"96 00\" is an invalid integer"},
      {{"--parity="}, "Option --parity needs a value: N, E, O, M or S"},
      {{"--device="}, "Option --device needs a device name"},
      {{"--no-reconnect=1"}, "Option at position 1 does not allow an argument: no-reconnect"},
      {{"--list=all"}, "Option at position 1 does not allow an argument: list"},
      {{"--list", "-q"}, "Invalid option at position 2: \"q\""},
      {{"--version=1"}, "Option at position 1 does not allow an argument: version"},
      {{"-V"}, "Invalid option at position 1: \"V\""},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Parse(c.args);
    EXPECT_EQ(outcome.error, c.error) << ::testing::PrintToString(c.args);
    EXPECT_FALSE(outcome.relay) << ::testing::PrintToString(c.args);
    EXPECT_FALSE(outcome.usage) << ::testing::PrintToString(c.args);
    EXPECT_FALSE(outcome.version) << ::testing::PrintToString(c.args);
  }
}

TEST_F(OptionsTest, VersionStopsBeforeTheSettingsAndAfterHelp) {
  const Outcome version = Parse({"-p", "abc", "--version"});
  EXPECT_TRUE(version.version);
  EXPECT_FALSE(version.relay);
  EXPECT_EQ(version.error, "");
  EXPECT_EQ(Settings.PortNumber, TerminalSettings{}.PortNumber);

  const Outcome both = Parse({"--version", "-h"});
  EXPECT_TRUE(both.usage);
  EXPECT_FALSE(both.version);
}

TEST_F(OptionsTest, HelpWinsOverOtherValidOptions) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-h"}, {"--help"}, {"-p", "3", "-h"}, {"-h", "--hardflow"}}) {
    const Outcome outcome = Parse(args);
    EXPECT_TRUE(outcome.usage) << ::testing::PrintToString(args);
    EXPECT_FALSE(outcome.relay);
    EXPECT_EQ(outcome.error, "");
  }
}

TEST_F(OptionsTest, ListPrintsThePortsInsteadOfRelaying) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--list"}, {"-p", "3", "--list"}, {"--list", "--no-reconnect"}}) {
    const Outcome outcome = Parse(args);
    EXPECT_TRUE(outcome.ports) << ::testing::PrintToString(args);
    EXPECT_FALSE(outcome.relay);
    EXPECT_EQ(outcome.error, "");
  }
  const Outcome help = Parse({"--list", "-h"});
  EXPECT_TRUE(help.usage);
  EXPECT_FALSE(help.ports);
}

TEST_F(OptionsTest, SettingsFromTheCommandLine) {
  struct Case {
    std::vector<std::string> args;
    TerminalSettings expected;
  };
  auto with = [](auto change) {
    TerminalSettings s;
    change(s);
    return s;
  };
  const Case cases[] = {
      {{}, TerminalSettings{}},
      {{"-p", "3"}, with([](auto& s) { s.PortNumber = 3; })},
      {{"--port=3"}, with([](auto& s) { s.PortNumber = 3; })},
      {{"--port=+3"}, with([](auto& s) { s.PortNumber = 3; })},
      {{"--port=$10"}, with([](auto& s) { s.PortNumber = 16; })},
      {{"-p", "010"}, with([](auto& s) { s.PortNumber = 10; })},
      {{"--port=-5"}, with([](auto& s) { s.PortNumber = -5; })},
      {{"-p", "3", "-p", "4"}, with([](auto& s) { s.PortNumber = 4; })},
      {{"--port=3", "--port=4"}, with([](auto& s) { s.PortNumber = 4; })},
      {{"-p", "3", "--port=4"}, with([](auto& s) { s.PortNumber = 3; })},
      {{"--port=4", "-p", "3"}, with([](auto& s) { s.PortNumber = 3; })},
      {{"-mx"}, TerminalSettings{}},
      {{"-xp", "3"}, TerminalSettings{}},
      {{"5", "-p", "2", "7"}, with([](auto& s) { s.PortNumber = 2; })},
      {{"--parity=Even"}, with([](auto& s) { s.ParityLetter = 'E'; })},
      {{"-r", "o"}, with([](auto& s) { s.ParityLetter = 'o'; })},
      {{"-b", "9600", "-d", "7", "-s", "2"}, with([](auto& s) {
         s.BaudRate = 9600;
         s.DataBits = 7;
         s.StopBitsCode = 2;
       })},
      {{"-f", "--hardflow", "-m", "-c", "-x"},
       with([](auto& s) { s.SoftFlow = s.HardFlow = s.MyAvrMode = s.StcMode = s.HexMode = true; })},
      {{"--softflow", "--myavr", "--stc", "--hex"},
       with([](auto& s) { s.SoftFlow = s.MyAvrMode = s.StcMode = s.HexMode = true; })},
      {{"--device=loop://", "-p", "4"}, with([](auto& s) {
         s.DeviceName = "loop://";
         s.PortNumber = 4;
       })},
      {{"--no-reconnect"}, with([](auto& s) { s.NoReconnect = true; })},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Parse(c.args);
    const std::string name = ::testing::PrintToString(c.args);
    ASSERT_TRUE(outcome.relay) << name << " " << outcome.error;
    EXPECT_EQ(Settings.PortNumber, c.expected.PortNumber) << name;
    EXPECT_EQ(Settings.BaudRate, c.expected.BaudRate) << name;
    EXPECT_EQ(Settings.DataBits, c.expected.DataBits) << name;
    EXPECT_EQ(Settings.ParityLetter, c.expected.ParityLetter) << name;
    EXPECT_EQ(Settings.StopBitsCode, c.expected.StopBitsCode) << name;
    EXPECT_EQ(Settings.SoftFlow, c.expected.SoftFlow) << name;
    EXPECT_EQ(Settings.HardFlow, c.expected.HardFlow) << name;
    EXPECT_EQ(Settings.MyAvrMode, c.expected.MyAvrMode) << name;
    EXPECT_EQ(Settings.StcMode, c.expected.StcMode) << name;
    EXPECT_EQ(Settings.HexMode, c.expected.HexMode) << name;
    EXPECT_EQ(Settings.DeviceName, c.expected.DeviceName) << name;
    EXPECT_EQ(Settings.NoReconnect, c.expected.NoReconnect) << name;
  }
}

TEST_F(OptionsTest, AFailedConversionKeepsTheValuesReadBeforeIt) {
  const Outcome outcome = Parse({"-p", "7", "-b", "fast"});
  EXPECT_EQ(outcome.error, "\"fast\" is an invalid integer");
  EXPECT_EQ(Settings.PortNumber, 7);
  EXPECT_EQ(Settings.BaudRate, 19200);
}

TEST_F(OptionsTest, LineToolOptions) {
  EXPECT_TRUE(Parse({"--timestamps"}).relay);
  EXPECT_EQ(Settings.Timestamps, TimestampFormat::Time);
  EXPECT_TRUE(Parse({"--timestamps=delta", "--no-echo"}).relay);
  EXPECT_EQ(Settings.Timestamps, TimestampFormat::Delta);
  EXPECT_TRUE(Settings.NoEcho);
  EXPECT_TRUE(
      Parse({"--char-delay=20", "--line-delay=$10", "--imap=lfcrlf,igncr", "--omap=crlf"}).relay);
  EXPECT_EQ(Settings.CharDelay, 20);
  EXPECT_EQ(Settings.LineDelay, 16);
  EXPECT_TRUE(Settings.ReceiveMap.LfToCrLf && Settings.ReceiveMap.IgnoreCr);
  EXPECT_FALSE(Settings.ReceiveMap.CrToCrLf);
  EXPECT_TRUE(Settings.SendMap.CrToCrLf);
  EXPECT_TRUE(Parse({"--char-delay=0", "--line-delay=10000"}).relay);
  EXPECT_EQ(Settings.LineDelay, 10000);
}

TEST_F(OptionsTest, LineToolValuesRefused) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{"--timestamps=weekly"}, "\"weekly\" is an invalid timestamp format"},
      {{"--timestamps="}, "\"\" is an invalid timestamp format"},
      {{"--char-delay=fast"}, "\"fast\" is an invalid integer"},
      {{"--char-delay=-1"}, "\"-1\" is an invalid delay (0 to 10000 ms)"},
      {{"--line-delay=10001"}, "\"10001\" is an invalid delay (0 to 10000 ms)"},
      {{"--imap=xyz"}, "\"xyz\" is an invalid map name"},
      {{"--omap=crlf,lf"}, "\"crlf,lf\" is an invalid map"},
      {{"--log="}, "Option --log needs a file name"},
      {{"--log"}, "Option at position 1 needs an argument : log"},
      {{"--no-echo=1"}, "Option at position 1 does not allow an argument: no-echo"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Parse(c.args);
    EXPECT_FALSE(outcome.relay) << c.args[0];
    EXPECT_EQ(outcome.error, c.error) << c.args[0];
  }
}

TEST_F(OptionsTest, TheLogIsOpenedOnlyWhenEveryOtherValueIsGood) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("comterm-options-log-" + std::to_string(::getpid())))
                               .string();
  std::filesystem::remove(path);
  EXPECT_FALSE(Parse({"--log=" + path, "--imap=xyz"}).relay);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(Parse({"--log=/nonexistent/dir/log"}).error,
            "Cannot open log file \"/nonexistent/dir/log\": No such file or directory");
}

}  // namespace
}  // namespace comterm
