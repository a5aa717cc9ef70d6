// The application frame: runs the application's work step by step, catches every error
// that leaves a step and shows it as one line on the console.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/exceptions.h"

namespace comterm {

class TCustomApplication;

/// Called instead of ShowError when an error reaches HandleError.
using TExceptionEvent = std::function<void(TCustomApplication& sender, Exception& error)>;

/// Where FindOption found an option: the argument's index and whether it is the long form.
struct OptionMatch {
  int Index = 0;
  bool LongForm = false;
};

class TCustomApplication {
 public:
  TCustomApplication() = default;
  virtual ~TCustomApplication() = default;
  TCustomApplication(const TCustomApplication&) = delete;
  TCustomApplication& operator=(const TCustomApplication&) = delete;

  TExceptionEvent OnError;
  bool StopRequested = false;
  std::string Title;
  char OptionPrefix = '-';
  bool OptionsCaseSensitive = true;
  bool StopOnError = false;

  /// Stores the application's title.
  virtual void SetTitle(const std::string& title) { Title = title; }
  /// True when the process is a console program.
  virtual bool ConsoleProgram() const;
  /// One pass of the application's work; does nothing here.
  virtual void RunStep() {}
  /// Argument `index`: the executable's path for 0, the arguments for 1 to
  /// ArgumentCount, the empty string otherwise.
  virtual std::string Argument(int index) const;
  /// The number of arguments after the executable's path.
  virtual int ArgumentCount() const;
  /// Handles the exception being handled (call it only inside a catch block).
  virtual void HandleError(TCustomApplication& sender);
  /// Sets StopRequested to false.
  virtual void ClearStopRequest() { StopRequested = false; }
  /// Writes the error line for `error` and the current raise address.
  virtual void ShowError(const Exception& error);
  /// Sets StopRequested; Run looks at it after each pass.
  virtual void RequestStop() { StopRequested = true; }

  /// Calls RunStep until a stop is requested; an error that leaves RunStep goes to
  /// HandleError.
  void Run();

  /// Checks the command line against the option specifications: letters of `short_options`
  /// (':' after a letter: a required value, "::" an optional one) and `long_options`
  /// (names with the same markers). Returns the text of the first fault, or "".
  std::string ValidateOptions(std::string_view short_options,
                              const std::vector<std::string>& long_options) const;
  /// The same with the long names in one text, separated by blanks, tabs or line ends.
  std::string ValidateOptions(std::string_view short_options, std::string_view long_options) const;
  /// The last argument that names `option` as a letter (-x) or a long name (--name).
  std::optional<OptionMatch> FindOption(std::string_view option) const;
  /// True when the letter or the long name is on the command line.
  bool OptionPresent(char letter, std::string_view name) const;
  /// The option's value: the letter's last occurrence wins over the long name.
  std::string OptionValue(char letter, std::string_view name) const;
  /// The value of an option that has a long name only (empty when absent).
  std::string OptionValue(std::string_view name) const;

 private:
  std::string CheckLongOption(int index, const std::vector<std::string>& long_options) const;
  std::string CheckLetterGroup(int index, std::string_view short_options) const;
  std::string ValueOf(const OptionMatch& found) const;
};

}  // namespace comterm
