#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "app/argument_list.h"
#include "app/custom_application.h"
#include "app/error_display.h"
#include "app/unhandled_report.h"
#include "console/console_init.h"
#include "fakes/fake_console_input.h"
#include "fakes/fake_console_output.h"

namespace comterm {
namespace {

using testing::FakeConsoleOutput;

constexpr int kColumns = 80;

// A frame whose work is a script of steps.
class ScriptedApplication : public TCustomApplication {
 public:
  void RunStep() override {
    ++steps;
    if (steps == 1) throw Exception("first step failed");
    if (steps == 2) throw std::runtime_error("not one of ours");
    RequestStop();
  }
  int steps = 0;
};

class FrameTest : public ::testing::Test {
 protected:
  FrameTest() : screen_({kColumns, 25}, {0, 0, kColumns - 1, 24}) {
    InitConsole(screen_, keys_);
    ErrorShown = false;
  }
  std::string Row(int y) {
    std::string row = screen_.Row(y, 0, kColumns - 1);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    return row;
  }
  FakeConsoleOutput screen_;
  testing::FakeConsoleInput keys_;
};

TEST_F(FrameTest, ShowErrorWithNothingBeingHandledWritesEightZeros) {
  TCustomApplication application;
  application.ShowError(Exception("Invalid option at position 1: \"q\""));
  EXPECT_EQ(Row(0), "exception at 00000000:");
  // The line feed in the text moves down and keeps the column.
  EXPECT_EQ(Row(1), std::string(22, ' ') + "Invalid option at position 1: \"q\".");
  EXPECT_EQ(screen_.cursor().Y, 2);
  EXPECT_EQ(screen_.cursor().X, 0);
  EXPECT_TRUE(ErrorShown);
}

TEST_F(FrameTest, WithoutStopOnErrorTheFrameRunsAgainAfterEachError) {
  ScriptedApplication application;
  application.Run();
  EXPECT_EQ(application.steps, 3);
  // A raised exception shows its raise address; an object of another class only the
  // address line.
  EXPECT_EQ(Row(0).substr(0, 13), "exception at ");
  EXPECT_NE(Row(0), "exception at 00000000:");
  EXPECT_EQ(Row(1), std::string(22, ' ') + "first step failed.");
  EXPECT_EQ(Row(2), "exception at 00000000.");
}

TEST_F(FrameTest, StopOnErrorEndsTheRunAndOnErrorReplacesTheLine) {
  ScriptedApplication application;
  application.StopOnError = true;
  std::string seen;
  application.OnError = [&](TCustomApplication& sender, Exception& error) {
    EXPECT_EQ(&sender, &application);
    seen = error.Message();
  };
  application.Run();
  EXPECT_EQ(application.steps, 1);
  EXPECT_EQ(seen, "first step failed");
  EXPECT_EQ(Row(0), "");
  EXPECT_FALSE(ErrorShown);
}

TEST_F(FrameTest, ArgumentsOutsideTheListAreEmpty) {
  ProgramArguments = {"/opt/comterm", {"-p", "3"}};
  TCustomApplication application;
  EXPECT_EQ(application.ArgumentCount(), 2);
  EXPECT_EQ(application.Argument(0), "/opt/comterm");
  EXPECT_EQ(application.Argument(2), "3");
  EXPECT_EQ(application.Argument(3), "");
  EXPECT_EQ(application.Argument(-1), "");
}

TEST(UnhandledReport, NamesTheAddressTheClassAndTheMessage) {
  ::testing::internal::CaptureStdout();
  try {
    throw EConvertError("\"x\" is an invalid integer");
  } catch (...) {
    ReportUnhandledException(std::current_exception());
  }
  const std::string report = ::testing::internal::GetCapturedStdout();
  const std::string first = "An unhandled exception occurred at $";
  ASSERT_GT(report.size(), first.size() + 10);
  EXPECT_EQ(report.substr(0, first.size()), first);
  EXPECT_EQ(report.find_first_not_of("0123456789ABCDEF", first.size()), first.size() + 8);
  EXPECT_EQ(report.substr(first.size() + 8, 47),
            " :\r\nEConvertError : \"x\" is an invalid integer\r\n");
  EXPECT_EQ(report.substr(report.size() - 4), "\r\n\r\n");
}

}  // namespace
}  // namespace comterm
