// A scripted serial device on a virtual clock, standing in for the serial driver calls.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serial/comm_api.h"

namespace comterm::testing {

/// Records every driver call in order, as "Name(arg,...)" with handles shown as "port",
/// "event", "input" or "invalid", and answers from a script: devices that exist, modem
/// lines, bytes arriving at virtual times, flow-control holds and failing calls. Time
/// calls read the virtual clock; Sleep and waits advance it. Nothing sleeps for real.
class FakeComm : public CommApi {
 public:
  /// The handle CreateFileA returns for a device.
  static constexpr CommHandle kPort = 100;
  /// A handle standing for console input, for WaitForMultipleObjects.
  static constexpr CommHandle kInput = 200;
  /// The code a failed CreateFileA of a missing device sets.
  static constexpr std::uint32_t kFileNotFound = 2;
  /// The code CreateFileA of a device already open sets.
  static constexpr std::uint32_t kAccessDenied = 5;
  /// The code a call on a handle that is not open sets.
  static constexpr std::uint32_t kInvalidHandleError = 6;
  /// The code calls on an unplugged device set; the one IsDeviceLost accepts.
  static constexpr std::uint32_t kDeviceGone = 1167;

  // Script.

  /// Makes a device path openable.
  void AddDevice(const std::string& path) { devices_.push_back(path); }
  /// Unplugs the devices: every call on the open port fails with kDeviceGone except
  /// CloseHandle, and no path opens until AddDevice adds it again.
  void Unplug();
  /// The modem status bits GetCommModemStatus reports.
  void SetModemStatus(std::uint32_t bits) { modem_status_ = bits; }
  /// Queues `bytes` at virtual time `at_ms`, with line-error flags raised at that time.
  void Arrive(std::uint64_t at_ms, const std::string& bytes, std::uint32_t line_errors = 0);
  /// Line-error flags the next driver read raises, as errors found in the bytes it takes.
  void SetReadLineErrors(std::uint32_t flags) { read_line_errors_ = flags; }
  /// While held (flow control), writes stay pending; `release_at` ends the hold then.
  void HoldWrites(bool held, std::optional<std::uint64_t> release_at = std::nullopt);
  /// The output queue count that ClearCommError reports.
  void SetOutQueue(std::uint32_t count) { out_queue_ = count; }
  /// Every later call of that name fails with `code`.
  void Fail(const std::string& call, std::uint32_t code) { failures_[call] = code; }
  /// The platform family IsNtFamily reports (default NT).
  void SetNtFamily(bool nt) { nt_family_ = nt; }
  /// Without a performance counter, MillisecondTick falls back to GetTickCount.
  void SetPerformanceCounter(bool present) { performance_counter_ = present; }
  /// Sets the virtual clock, in milliseconds.
  void SetNow(std::uint64_t ms) { now_ = ms; }
  /// The time at which kInput becomes signalled.
  void SetInputReadyAt(std::uint64_t at_ms) { input_ready_at_ = at_ms; }
  /// The UART line status byte ReadPortByte returns; each read takes 1 ms.
  void SetLineStatus(std::uint8_t value) { line_status_ = value; }

  // Observation.

  /// The virtual clock, in milliseconds.
  std::uint64_t Now() const { return now_; }
  /// Every call so far, in order.
  const std::vector<std::string>& Calls() const { return calls_; }
  /// The calls so far, leaving out those with the names given.
  std::vector<std::string> CallsWithout(std::initializer_list<std::string_view> names) const;
  /// The calls so far that have this name.
  std::vector<std::string> CallsNamed(std::string_view name) const;
  /// Forgets the calls so far.
  void ClearCalls() { calls_.clear(); }
  /// Every byte written to the line so far.
  const std::string& Wire() const { return wire_; }
  /// The settings last applied with SetCommState.
  const Dcb& DeviceDcb() const { return device_dcb_; }
  /// RTS and DTR as last set.
  bool Rts() const { return rts_; }
  bool Dtr() const { return dtr_; }
  /// Bytes arrived and not yet read.
  const std::string& InputQueue() const { return rx_; }
  /// True while the device is open.
  bool DeviceOpen() const { return open_; }

  // CommApi.
  CommHandle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share_mode,
                         std::uint32_t creation, std::uint32_t flags) override;
  bool CloseHandle(CommHandle handle) override;
  std::uint32_t GetLastError() override;
  void SetLastError(std::uint32_t code) override;
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
  /// Not recorded: it asks nothing of a device.
  bool IsDeviceLost(std::uint32_t code) override { return code == kDeviceGone; }
  bool IsNtFamily() override;
  std::uint8_t ReadPortByte(std::uint16_t address) override;
  bool QueryPerformanceFrequency(std::int64_t* frequency) override;
  bool QueryPerformanceCounter(std::int64_t* counter) override;
  std::uint32_t GetTickCount() override;
  void Sleep(std::uint32_t milliseconds) override;

 private:
  struct Arrival {
    std::uint64_t at;
    std::string bytes;
    std::uint32_t errors;
  };
  struct PendingRead {
    char* buffer;
    std::uint32_t length;
    Overlapped* overlapped;
  };
  struct PendingWrite {
    std::string bytes;
    Overlapped* overlapped;
  };
  struct PendingEventWait {
    std::uint32_t* mask;
    CommHandle event;
  };

  void Record(std::string_view name, std::initializer_list<std::string> args);
  std::string HandleName(CommHandle handle) const;
  bool Failing(const std::string& call);
  bool BadPort(CommHandle handle);
  void Deliver();
  std::optional<std::uint64_t> SignalTime(CommHandle handle) const;
  void Signal(CommHandle handle);
  std::uint32_t WaitUntilSignalled(const CommHandle* handles, std::uint32_t count,
                                   std::uint32_t milliseconds);

  std::vector<std::string> calls_;
  std::vector<std::string> devices_;
  std::vector<Arrival> arrivals_;
  std::map<std::string, std::uint32_t> failures_;
  std::map<const Overlapped*, std::uint32_t> transferred_;
  std::vector<CommHandle> events_;
  std::optional<PendingRead> pending_read_;
  std::optional<PendingWrite> pending_write_;
  std::optional<PendingEventWait> pending_event_wait_;
  std::optional<std::uint64_t> release_at_;
  std::optional<std::uint64_t> input_ready_at_;
  std::string rx_;
  std::string wire_;
  Dcb device_dcb_{};
  std::uint64_t now_ = 0;
  std::uint32_t last_error_ = 0;
  std::uint32_t modem_status_ = 0;
  std::uint32_t line_errors_ = 0;
  std::uint32_t read_line_errors_ = 0;
  std::uint32_t out_queue_ = 0;
  std::uint32_t armed_mask_ = 0;
  CommHandle next_event_ = 1000;
  std::uint8_t line_status_ = 0x40;
  bool open_ = false;
  bool unplugged_ = false;
  bool held_ = false;
  bool rts_ = false;
  bool dtr_ = false;
  bool nt_family_ = true;
  bool performance_counter_ = true;
};

}  // namespace comterm::testing
