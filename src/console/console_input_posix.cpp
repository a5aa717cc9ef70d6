// Console input on POSIX: standard input as a terminal in raw mode, its bytes decoded into
// the key events a PC console reports; a file or a pipe is read as plain bytes.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <thread>

#include "console/console_input_api.h"
#include "console/input_wakeup_posix.h"
#include "console/terminal_mode_posix.h"
#include "console/terminal_signals_posix.h"
#include "console/typed_ahead_posix.h"
#include "console/vt_key_decoder.h"

namespace comterm {

namespace {

int Descriptor(ConsoleHandle handle) {
  return static_cast<int>(handle);
}

std::uint32_t NowMs() {
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count());
}

bool Readable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  int ready;
  do {
    ready = poll(&entry, 1, 0);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

ssize_t ReadRetrying(int fd, char* bytes, std::size_t length) {
  ssize_t n;
  do {
    n = read(fd, bytes, length);
  } while (n < 0 && errno == EINTR);
  return n;
}

class PosixConsoleInput : public ConsoleInputApi {
 public:
  PosixConsoleInput() { posix::EnterRawMode(); }

  ConsoleHandle GetStdHandle(std::int32_t which) override {
    // The standard handles -10, -11, -12 are descriptors 0, 1, 2.
    return static_cast<ConsoleHandle>(-10 - which);
  }

  bool GetNumberOfConsoleInputEvents(ConsoleHandle handle, std::uint32_t* count) override {
    if (!IsConsole(handle)) return false;
    // Keys already decoded are counted without a system call: a paste decoded in one read
    // is taken key by key, and standard input is looked at again once they are used up.
    if (keys_.empty()) Collect(Descriptor(handle));
    *count = static_cast<std::uint32_t>(keys_.size());
    return true;
  }

  bool ReadConsoleInputA(ConsoleHandle handle, InputRecord* buffer, std::uint32_t length,
                         std::uint32_t* read) override {
    *read = 0;
    if (!IsConsole(handle)) return false;
    for (; *read < length && !keys_.empty(); ++*read) {
      buffer[*read].EventType = kKeyEvent;
      buffer[*read].KeyEvent = keys_.front();
      keys_.pop_front();
    }
    return true;
  }

  void Sleep(std::uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }

  // Asked once per handle: the keyboard asks on every poll, and a terminal stays one.
  bool IsConsole(ConsoleHandle handle) override {
    if (!console_handle_ || *console_handle_ != handle) {
      console_handle_ = handle;
      is_console_ = isatty(Descriptor(handle)) == 1;
    }
    return is_console_;
  }

  bool InputWaiting(ConsoleHandle handle) override { return Readable(Descriptor(handle)); }

  bool ReadFile(ConsoleHandle handle, char* bytes, std::uint32_t length,
                std::uint32_t* read) override {
    const ssize_t n = ReadRetrying(Descriptor(handle), bytes, length);
    *read = n > 0 ? static_cast<std::uint32_t>(n) : 0;
    return n >= 0;
  }

  std::uintptr_t WaitHandle() override { return static_cast<std::uintptr_t>(wakeup_.Descriptor()); }

 private:
  // Decodes what the terminal has sent so far; a lone ESC is let through once the quiet
  // gap has passed. A terminal that has hung up can send no more keys: it gives Escape,
  // so the program ends instead of waiting for ever.
  void Collect(int fd) {
    posix::ResumeRawMode();
    bool fed = FeedTypedAhead();
    if (Readable(fd)) {
      char bytes[256];
      const ssize_t n = ReadRetrying(fd, bytes, sizeof bytes);
      fed = fed || n > 0;
      if (n > 0) {
        Take(decoder_.Feed(std::string_view(bytes, static_cast<std::size_t>(n)), NowMs()));
      } else if (n == 0 || errno != EAGAIN) {
        Take(decoder_.Feed("\x1b", NowMs()));
        Take(decoder_.Expire(NowMs() + VtKeyDecoder::kEscapeGapMs));
      }
    }
    Take(decoder_.Expire(NowMs()));
    // Keys queued end the next wait at once: the keyboard takes one key per poll. The
    // handle stays signalled until a poll finds nothing, which also covers the second
    // code of an extended key that the keyboard holds after the queue ran empty.
    wakeup_.SetReady(!keys_.empty());
    ArmForHeldKey(fed);
  }

  // A wait for input also ends when a held key is due.
  void ArmForHeldKey(bool fed) {
    if (!decoder_.Holding()) {
      wakeup_.Disarm();
      return;
    }
    if (fed) held_due_ = NowMs() + VtKeyDecoder::kEscapeGapMs + 1;
    const std::uint32_t now = NowMs();
    wakeup_.ArmAfter(held_due_ > now ? held_due_ - now : 1);
  }

  // Keys the cursor question read before its answer come first.
  bool FeedTypedAhead() {
    const std::string bytes = posix::TakeTypedAhead();
    if (bytes.empty()) return false;
    Take(decoder_.Feed(bytes, NowMs()));
    return true;
  }

  void Take(const std::vector<KeyEventRecord>& keys) {
    keys_.insert(keys_.end(), keys.begin(), keys.end());
  }

  VtKeyDecoder decoder_;
  InputWakeup wakeup_{STDIN_FILENO, posix::ContinueWakeDescriptor()};
  std::uint32_t held_due_ = 0;
  std::optional<ConsoleHandle> console_handle_;
  bool is_console_ = false;
  std::deque<KeyEventRecord> keys_;
};

}  // namespace

std::unique_ptr<ConsoleInputApi> CreatePlatformConsoleInput() {
  return std::make_unique<PosixConsoleInput>();
}

}  // namespace comterm
