// The loopback device "loop://", in front of a platform driver.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>

#include "serial/comm_api.h"

namespace comterm {

/// The error codes the loopback device reports, in the platform driver's numbering.
struct LoopErrorCodes {
  std::uint32_t bad_handle = 0;    ///< a handle that is no open port
  std::uint32_t bad_argument = 0;  ///< a value the call does not take
  std::uint32_t aborted = 0;       ///< a read ended by PurgeComm
  std::uint32_t incomplete = 0;    ///< GetOverlappedResult on a read still pending
  std::uint32_t busy = 0;          ///< a second read while one is pending
};

/// A read that waits for bytes not yet written.
struct LoopRead {
  Overlapped* record = nullptr;  ///< the caller's record, which names the read
  char* data = nullptr;          ///< the caller's buffer
  std::uint32_t length = 0;      ///< bytes asked for
  std::uint32_t done = 0;        ///< bytes delivered so far
  std::uint32_t error = 0;       ///< set when aborted
  bool ended = false;            ///< complete or aborted
};

/// A WaitCommEvent that waits for bytes not yet written.
struct LoopCommWait {
  Overlapped* record = nullptr;   ///< the caller's record
  std::uint32_t* mask = nullptr;  ///< where the events that ended the wait are stored
  bool ended = false;             ///< ended by a write or by a new mask
};

/// One open loopback device: what is written is queued to be read back.
struct LoopPort {
  std::deque<char> queue;                 ///< bytes written and not yet read, oldest first
  std::uint32_t mask = 0;                 ///< armed comm events
  std::uint32_t raised = 0;               ///< modem lines raised, as kMs... bits they loop to
  Dcb dcb;                                ///< the settings last applied
  std::optional<LoopRead> read;           ///< a pending read
  std::optional<LoopCommWait> comm_wait;  ///< a pending comm event wait
};

/// CommApi that opens "loop://" as a loopback device and passes every other device,
/// every event and every time call to the platform driver it is built on. A loop port
/// is always ready to write, and readable once bytes were written to it; since nothing
/// else writes to it, a wait for its input only sleeps out its timeout.
class LoopbackComm final : public CommApi {
 public:
  /// The device name that opens a loopback device.
  static constexpr const char* kPath = "loop://";

  /// Builds the loopback device in front of `platform`, reporting errors as `codes`.
  LoopbackComm(std::unique_ptr<CommApi> platform, LoopErrorCodes codes);

  CommHandle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share_mode,
                         std::uint32_t creation, std::uint32_t flags) override;
  bool CloseHandle(CommHandle handle) override;
  std::uint32_t GetLastError() override { return platform_->GetLastError(); }
  void SetLastError(std::uint32_t code) override { platform_->SetLastError(code); }

  bool SetCommMask(CommHandle handle, std::uint32_t mask) override;
  bool SetupComm(CommHandle handle, std::uint32_t in_queue, std::uint32_t out_queue) override;
  bool SetCommTimeouts(CommHandle handle, const CommTimeouts& timeouts) override;
  bool EscapeCommFunction(CommHandle handle, std::uint32_t function,
                          std::uint16_t* base_address) override;
  bool GetCommModemStatus(CommHandle handle, std::uint32_t* status) override;
  bool GetCommState(CommHandle handle, Dcb* dcb) override;
  bool SetCommState(CommHandle handle, const Dcb& dcb) override;
  bool PurgeComm(CommHandle handle, std::uint32_t flags) override;
  bool FlushFileBuffers(CommHandle handle) override;
  bool SetCommBreak(CommHandle handle) override;
  bool ClearCommBreak(CommHandle handle) override;
  bool ClearCommError(CommHandle handle, std::uint32_t* errors, ComStat* stat) override;

  bool ReadFile(CommHandle handle, void* buffer, std::uint32_t length, std::uint32_t* count,
                Overlapped* overlapped) override;
  bool WriteFile(CommHandle handle, const void* buffer, std::uint32_t length, std::uint32_t* count,
                 Overlapped* overlapped) override;
  bool GetOverlappedResult(CommHandle handle, Overlapped* overlapped, std::uint32_t* count,
                           bool wait) override;
  bool WaitCommEvent(CommHandle handle, std::uint32_t* mask, Overlapped* overlapped) override;
  CommHandle CreateEventA(bool manual_reset, bool initial_state) override {
    return platform_->CreateEventA(manual_reset, initial_state);
  }
  std::uint32_t WaitForSingleObject(CommHandle handle, std::uint32_t milliseconds) override {
    return WaitForMultipleObjects(1, &handle, milliseconds);
  }
  std::uint32_t WaitForMultipleObjects(std::uint32_t count, const CommHandle* handles,
                                       std::uint32_t milliseconds) override;

  std::string FormatMessageA(std::uint32_t code) override {
    return platform_->FormatMessageA(code);
  }
  bool IsDeviceLost(std::uint32_t code) override { return platform_->IsDeviceLost(code); }
  bool IsNtFamily() override { return platform_->IsNtFamily(); }
  std::uint8_t ReadPortByte(std::uint16_t address) override {
    return platform_->ReadPortByte(address);
  }
  bool QueryPerformanceFrequency(std::int64_t* frequency) override {
    return platform_->QueryPerformanceFrequency(frequency);
  }
  bool QueryPerformanceCounter(std::int64_t* counter) override {
    return platform_->QueryPerformanceCounter(counter);
  }
  std::uint32_t GetTickCount() override { return platform_->GetTickCount(); }
  void Sleep(std::uint32_t milliseconds) override { platform_->Sleep(milliseconds); }

 private:
  /// The loop port of `handle`, or null when it is none.
  LoopPort* Find(CommHandle handle);
  /// Records `code` with the platform driver and returns false.
  bool Fail(std::uint32_t code);
  /// Hands queued bytes to a pending read and ends a pending wait for them.
  void Deliver(LoopPort* port);

  std::unique_ptr<CommApi> platform_;
  LoopErrorCodes codes_;
  std::map<CommHandle, LoopPort> ports_;
  CommHandle next_handle_;
};

}  // namespace comterm
