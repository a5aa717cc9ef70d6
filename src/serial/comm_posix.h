// The serial driver calls over POSIX terminal devices: termios for the line settings,
// non-blocking I/O whose completion later waits drive, and poll for every wait.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "serial/comm_api.h"
#include "serial/line_errors_posix.h"

namespace comterm {

/// A ReadFile or WriteFile that could not finish at once.
struct PendingTransfer {
  Overlapped* record = nullptr;  ///< the caller's record, which names the transfer
  char* data = nullptr;          ///< the caller's buffer
  std::uint32_t length = 0;      ///< bytes asked for
  std::uint32_t done = 0;        ///< bytes moved so far
  bool write = false;            ///< true for WriteFile
  bool ended = false;            ///< complete, failed or aborted
  int error = 0;                 ///< errno that ended it; 0 when complete
};

/// A WaitCommEvent that did not complete at once.
struct PendingCommWait {
  Overlapped* record = nullptr;   ///< the caller's record; its hEvent is signalled at the end
  std::uint32_t* mask = nullptr;  ///< where the events that ended the wait are stored
  bool ended = false;             ///< an armed event came true or the mask was changed
};

/// What the driver keeps for one open device.
struct PortState {
  std::uint32_t mask = 0;  ///< armed comm events
  CommTimeouts timeouts;   ///< as last set
  std::optional<PendingTransfer> read;
  std::optional<PendingTransfer> write;
  std::optional<PendingCommWait> comm_wait;
  LineCounts counts;     ///< error counters at the last ClearCommError
  bool hung_up = false;  ///< poll or a read saw the device hang up: it is gone for good
  /// The device keeps error counters (a pseudo-terminal has none): asked once, at opening.
  bool has_line_counts = false;
};

/// An event made by CreateEventA.
struct EventState {
  bool manual_reset = true;  ///< stays signalled until reset, else a wait consumes it
  bool signalled = false;
};

/// CommApi over POSIX. A port handle is the device's descriptor; events live above
/// every descriptor; any other handle in a wait is a plain descriptor.
class PosixComm final : public CommApi {
 public:
  CommHandle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share_mode,
                         std::uint32_t creation, std::uint32_t flags) override;
  bool CloseHandle(CommHandle handle) override;
  std::uint32_t GetLastError() override { return last_error_; }
  void SetLastError(std::uint32_t code) override { last_error_ = code; }

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
  CommHandle CreateEventA(bool manual_reset, bool initial_state) override;
  std::uint32_t WaitForSingleObject(CommHandle handle, std::uint32_t milliseconds) override;
  std::uint32_t WaitForMultipleObjects(std::uint32_t count, const CommHandle* handles,
                                       std::uint32_t milliseconds) override;

  std::string FormatMessageA(std::uint32_t code) override;
  bool IsDeviceLost(std::uint32_t code) override;
  bool IsNtFamily() override { return true; }
  std::uint8_t ReadPortByte(std::uint16_t) override { return 0; }

  bool QueryPerformanceFrequency(std::int64_t* frequency) override;
  bool QueryPerformanceCounter(std::int64_t* counter) override;
  std::uint32_t GetTickCount() override;
  void Sleep(std::uint32_t milliseconds) override;

 private:
  /// One handle of a wait, as poll sees it.
  struct Waiter {
    CommHandle handle = 0;
    bool readable = false;  ///< a plain descriptor that poll found readable
    bool quiet = false;     ///< hung up or invalid: no longer polled in this wait
  };

  /// The state of an open port, or null with EBADF recorded.
  PortState* Port(CommHandle handle);
  /// Records `code` and returns false, for the failure paths of the calls.
  bool Fail(int code);
  /// Records the failure of `transfer`, or returns true when it completed.
  bool Finish(const PendingTransfer& transfer, std::uint32_t* count);
  /// Moves bytes of a pending transfer without blocking; ends it when done or failed.
  void Advance(int fd, PendingTransfer* transfer);
  /// Ends the pending comm wait of `port` with `events` and signals its event.
  void EndCommWait(PortState* port, std::uint32_t events);
  /// The armed events of `port` that hold now: bytes queued, output queue empty.
  std::uint32_t EventsNow(int fd, const PortState& port);
  /// Where poll can watch a handle's progress.
  struct PollPlan {
    int fd = -1;           ///< the descriptor to poll, -1 for none
    short events = 0;      ///< POLLIN or POLLOUT
    bool stepped = false;  ///< a condition poll cannot see: look again after a short step
  };

  /// Ends `transfer` with `error` (0: complete) and signals its event, if it has one.
  void EndTransfer(PendingTransfer* transfer, int error);
  /// Ends what is pending on a port whose device hung up; later calls fail with EIO.
  void HangUp(PortState* port);
  /// Marks an event signalled; unknown handles are ignored.
  void Signal(CommHandle event);
  /// Drives everything the handle waits for; true when it is signalled.
  bool Progress(const Waiter& waiter);
  /// How poll can watch `handle`.
  PollPlan PlanFor(CommHandle handle);
  /// One poll over the waiters, at most `timeout_ms` (-1: no limit).
  void PollOnce(std::vector<Waiter>* waiters, int timeout_ms);
  /// The open port whose pending operation signals `event` at its end, or null.
  PortState* PortOfEvent(CommHandle event, int* fd);

  std::uint32_t last_error_ = 0;
  std::map<int, PortState> ports_;
  std::map<CommHandle, EventState> events_;
  CommHandle next_event_ = CommHandle{1} << 30;
};

/// The device path of a CreateFileA name: "\\.\COMn" (n from 1) is /dev/ttyS(n-1);
/// any other name is a path as it stands.
std::string DevicePathOf(const std::string& name);

/// Milliseconds of the monotonic clock.
std::int64_t MonotonicMilliseconds();

}  // namespace comterm
