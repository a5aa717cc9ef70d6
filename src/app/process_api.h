// What the frame needs of the process: its arguments and its executable's path.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace comterm {

/// The command-line arguments after the program name, as the platform hands them over
/// (on Windows split from GetCommandLineA; elsewhere argv from 1).
std::vector<std::string> PlatformArguments(int argc, char** argv);

/// The full path of the running executable as the system reports it.
std::string PlatformExecutablePath();

/// Splits a whole command line into arguments, dropping the first piece (the program as
/// typed). Bytes 1 to 32 outside quotes separate; a double quote toggles quoting; two
/// double quotes in a row contribute nothing.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace comterm
