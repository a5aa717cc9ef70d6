// The console input calls, as an interface. The keyboard reaches standard input only
// through this seam; each backend gives every call the meaning described here.
#pragma once

#include <cstdint>
#include <memory>

#include "console/console_api.h"

namespace comterm {

/// Event types of an input record.
inline constexpr std::uint16_t kKeyEvent = 0x0001;
inline constexpr std::uint16_t kMouseEvent = 0x0002;
inline constexpr std::uint16_t kWindowBufferSizeEvent = 0x0004;
inline constexpr std::uint16_t kMenuEvent = 0x0008;
inline constexpr std::uint16_t kFocusEvent = 0x0010;

/// Bits of a key event's control key state.
inline constexpr std::uint32_t kRightAltPressed = 0x0001;
inline constexpr std::uint32_t kLeftAltPressed = 0x0002;
inline constexpr std::uint32_t kRightCtrlPressed = 0x0004;
inline constexpr std::uint32_t kLeftCtrlPressed = 0x0008;
inline constexpr std::uint32_t kShiftPressed = 0x0010;
inline constexpr std::uint32_t kEnhancedKey = 0x0100;

/// One key pressed or released, as a PC console reports it.
struct KeyEventRecord {
  std::int32_t bKeyDown = 0;
  std::uint16_t wRepeatCount = 0;
  std::uint16_t wVirtualKeyCode = 0;
  std::uint16_t wVirtualScanCode = 0;
  /// The key's character in the console's input code page; 0 when it produces none.
  char AsciiChar = 0;
  std::uint32_t dwControlKeyState = 0;
};

/// One console input event. Only key events carry fields the keyboard looks at.
struct InputRecord {
  std::uint16_t EventType = 0;
  KeyEventRecord KeyEvent;
};

/// The console input calls. The first four have the meaning of the Windows calls of the
/// same name; the rest serve standard input that is not a console.
class ConsoleInputApi {
 public:
  virtual ~ConsoleInputApi() = default;

  /// The standard handle `which` (kStdInputHandle for the keyboard).
  virtual ConsoleHandle GetStdHandle(std::int32_t which) = 0;
  /// The number of input events waiting; false when the handle is not a console.
  virtual bool GetNumberOfConsoleInputEvents(ConsoleHandle handle, std::uint32_t* count) = 0;
  /// Removes up to `length` of the oldest waiting events into `buffer`; called only while
  /// events are waiting, so it does not block.
  virtual bool ReadConsoleInputA(ConsoleHandle handle, InputRecord* buffer, std::uint32_t length,
                                 std::uint32_t* read) = 0;
  /// Pauses for about `milliseconds`.
  virtual void Sleep(std::uint32_t milliseconds) = 0;

  /// True when the handle is a console (a terminal), false for a file or a pipe.
  virtual bool IsConsole(ConsoleHandle handle) = 0;
  /// For a handle that is not a console: true when a read would not block, because bytes
  /// are waiting or the input has ended.
  virtual bool InputWaiting(ConsoleHandle handle) = 0;
  /// For a handle that is not a console: reads up to `length` bytes; `*read` is 0 at the
  /// end of the input. False when the read failed.
  virtual bool ReadFile(ConsoleHandle handle, char* bytes, std::uint32_t length,
                        std::uint32_t* read) = 0;

  /// What a wait for input can wait on: a descriptor on POSIX, the console input handle on
  /// Windows. It is signalled while a key event is ready to be read: input bytes waiting,
  /// decoded keys queued, or a lone ESC whose quiet gap has passed (POSIX).
  virtual std::uintptr_t WaitHandle() = 0;
};

/// The console input backend of this platform.
std::unique_ptr<ConsoleInputApi> CreatePlatformConsoleInput();

}  // namespace comterm
