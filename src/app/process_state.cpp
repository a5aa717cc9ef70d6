// Process-wide state of the frame.
#include "app/argument_list.h"
#include "app/console_flag.h"

namespace comterm {

ArgumentList ProgramArguments;
bool IsConsoleProgram = false;

}  // namespace comterm
