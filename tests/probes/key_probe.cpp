// Initialises the keyboard on its standard input and prints each code GetKey returns, in
// decimal, one per line, until Escape (27). "ready" is printed once keys can be typed.
#include <cstdio>

#include "console/console_input_api.h"
#include "console/keyboard.h"

int main() {
  using namespace comterm;
  const std::unique_ptr<ConsoleInputApi> input = CreatePlatformConsoleInput();
  InitKeyboard(*input);
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    const int key = GetKey();
    std::printf("%d\n", key);
    std::fflush(stdout);
    if (key == 27) return 0;
  }
}
