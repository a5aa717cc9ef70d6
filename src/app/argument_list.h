// The process-wide argument list: argument 0 is the executable's path, then the
// command-line arguments in order.
#pragma once

#include <string>
#include <vector>

namespace comterm {

struct ArgumentList {
  std::string ExecutablePath;
  std::vector<std::string> Arguments;  ///< arguments 1 to ArgumentCount
};

/// The one argument list of the process, built at start-up.
extern ArgumentList ProgramArguments;

}  // namespace comterm
