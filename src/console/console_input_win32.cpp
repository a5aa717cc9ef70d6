// Console input on Windows: each call passed to the console, our records copied from the
// real ones; a file or a pipe is read with ReadFile.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <vector>

#include "console/console_input_api.h"

namespace comterm {

namespace {

HANDLE ToHandle(ConsoleHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

InputRecord FromWindows(const INPUT_RECORD& event) {
  InputRecord record;
  record.EventType = event.EventType;
  if (event.EventType == KEY_EVENT) {
    const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
    record.KeyEvent.bKeyDown = key.bKeyDown;
    record.KeyEvent.wRepeatCount = key.wRepeatCount;
    record.KeyEvent.wVirtualKeyCode = key.wVirtualKeyCode;
    record.KeyEvent.wVirtualScanCode = key.wVirtualScanCode;
    record.KeyEvent.AsciiChar = key.uChar.AsciiChar;
    record.KeyEvent.dwControlKeyState = key.dwControlKeyState;
  }
  return record;
}

class Win32ConsoleInput : public ConsoleInputApi {
 public:
  ConsoleHandle GetStdHandle(std::int32_t which) override {
    return reinterpret_cast<ConsoleHandle>(::GetStdHandle(static_cast<DWORD>(which)));
  }

  bool GetNumberOfConsoleInputEvents(ConsoleHandle handle, std::uint32_t* count) override {
    DWORD events = 0;
    const bool ok = ::GetNumberOfConsoleInputEvents(ToHandle(handle), &events) != 0;
    *count = ok ? events : 0;
    return ok;
  }

  bool ReadConsoleInputA(ConsoleHandle handle, InputRecord* buffer, std::uint32_t length,
                         std::uint32_t* read) override {
    std::vector<INPUT_RECORD> events(length);
    DWORD got = 0;
    const bool ok = ::ReadConsoleInputA(ToHandle(handle), events.data(), length, &got) != 0;
    *read = ok ? got : 0;
    for (std::uint32_t i = 0; i < *read; ++i) buffer[i] = FromWindows(events[i]);
    return ok;
  }

  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

  bool IsConsole(ConsoleHandle handle) override {
    DWORD mode = 0;
    return ::GetConsoleMode(ToHandle(handle), &mode) != 0;
  }

  // A pipe is ready when bytes wait or its writer has gone (the read then reports the
  // end); a file or a device is always ready.
  bool InputWaiting(ConsoleHandle handle) override {
    if (::GetFileType(ToHandle(handle)) != FILE_TYPE_PIPE) return true;
    DWORD available = 0;
    if (!::PeekNamedPipe(ToHandle(handle), nullptr, 0, nullptr, &available, nullptr)) return true;
    return available > 0;
  }

  bool ReadFile(ConsoleHandle handle, char* bytes, std::uint32_t length,
                std::uint32_t* read) override {
    DWORD got = 0;
    const bool ok = ::ReadFile(ToHandle(handle), bytes, length, &got, nullptr) != 0;
    *read = got;
    return ok;
  }

  std::uintptr_t WaitHandle() override {
    return reinterpret_cast<std::uintptr_t>(::GetStdHandle(STD_INPUT_HANDLE));
  }
};

}  // namespace

std::unique_ptr<ConsoleInputApi> CreatePlatformConsoleInput() {
  return std::make_unique<Win32ConsoleInput>();
}

}  // namespace comterm
