// The console output calls passed to the Windows console.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "console/cell_run_output.h"
#include "console/console_api.h"

namespace comterm {
namespace {

HANDLE ToHandle(ConsoleHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

COORD ToCoord(Coord at) {
  return COORD{at.X, at.Y};
}

SMALL_RECT ToRect(const SmallRect& rect) {
  return SMALL_RECT{rect.Left, rect.Top, rect.Right, rect.Bottom};
}

Coord FromCoord(COORD at) {
  return Coord{at.X, at.Y};
}

class Win32ConsoleOutput : public ConsoleOutputApi {
 public:
  ConsoleHandle GetStdHandle(std::int32_t which) override {
    return reinterpret_cast<ConsoleHandle>(::GetStdHandle(static_cast<DWORD>(which)));
  }

  bool GetConsoleScreenBufferInfo(ConsoleHandle handle, ConsoleScreenBufferInfo* info) override {
    CONSOLE_SCREEN_BUFFER_INFO real{};
    if (!::GetConsoleScreenBufferInfo(ToHandle(handle), &real)) return false;
    info->dwSize = FromCoord(real.dwSize);
    info->dwCursorPosition = FromCoord(real.dwCursorPosition);
    info->wAttributes = real.wAttributes;
    info->srWindow = {real.srWindow.Left, real.srWindow.Top, real.srWindow.Right,
                      real.srWindow.Bottom};
    info->dwMaximumWindowSize = FromCoord(real.dwMaximumWindowSize);
    return true;
  }

  bool SetConsoleCursorPosition(ConsoleHandle handle, Coord position) override {
    return ::SetConsoleCursorPosition(ToHandle(handle), ToCoord(position)) != 0;
  }

  bool WriteConsoleOutputCharacterA(ConsoleHandle handle, const char* characters,
                                    std::uint32_t length, Coord at,
                                    std::uint32_t* written) override {
    DWORD count = 0;
    const BOOL ok =
        ::WriteConsoleOutputCharacterA(ToHandle(handle), characters, length, ToCoord(at), &count);
    *written = count;
    return ok != 0;
  }

  bool WriteConsoleOutputAttribute(ConsoleHandle handle, const std::uint16_t* attributes,
                                   std::uint32_t length, Coord at,
                                   std::uint32_t* written) override {
    DWORD count = 0;
    const BOOL ok =
        ::WriteConsoleOutputAttribute(ToHandle(handle), attributes, length, ToCoord(at), &count);
    *written = count;
    return ok != 0;
  }

  bool ScrollConsoleScreenBufferA(ConsoleHandle handle, const SmallRect& scroll,
                                  const SmallRect* clip, Coord destination,
                                  const CharInfo& fill) override {
    const SMALL_RECT real_scroll = ToRect(scroll);
    SMALL_RECT real_clip{};
    if (clip != nullptr) real_clip = ToRect(*clip);
    CHAR_INFO real_fill{};
    real_fill.Char.AsciiChar = fill.AsciiChar;
    real_fill.Attributes = fill.Attributes;
    return ::ScrollConsoleScreenBufferA(ToHandle(handle), &real_scroll,
                                        clip != nullptr ? &real_clip : nullptr,
                                        ToCoord(destination), &real_fill) != 0;
  }

  std::uint32_t GetConsoleOutputCP() override { return ::GetConsoleOutputCP(); }
  bool SetConsoleOutputCP(std::uint32_t code_page) override {
    return ::SetConsoleOutputCP(code_page) != 0;
  }
  std::uint32_t GetACP() override { return ::GetACP(); }
  void SetActiveWindow() override { ::SetActiveWindow(nullptr); }

  bool IsConsole(ConsoleHandle handle) override {
    DWORD mode = 0;
    return ::GetConsoleMode(ToHandle(handle), &mode) != 0;
  }

  bool WriteFile(ConsoleHandle handle, const char* bytes, std::uint32_t length) override {
    while (length > 0) {
      DWORD done = 0;
      if (!::WriteFile(ToHandle(handle), bytes, length, &done, nullptr) || done == 0) return false;
      bytes += done;
      length -= done;
    }
    return true;
  }
};

}  // namespace

// The writer's cells reach the console a run per row, not one call per cell.
std::unique_ptr<ConsoleOutputApi> CreatePlatformConsoleOutput() {
  return std::make_unique<CellRunOutput>(std::make_unique<Win32ConsoleOutput>());
}

}  // namespace comterm
