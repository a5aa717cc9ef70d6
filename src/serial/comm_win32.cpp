// Each driver call passed to Windows. Windows writes the result of an overlapped
// transfer into its OVERLAPPED record when the transfer ends, possibly after the call
// that started it returned; so the real records live here, one per handle and kind
// of transfer, until the handle is closed.
#include "serial/comm_win32.h"

#include <map>
#include <utility>
#include <vector>

#include "serial/comm_records_win32.h"

namespace comterm {
namespace {

HANDLE ToHandle(CommHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

enum class TransferKind { kRead, kWrite, kCommWait };

/// The real record of one kind of transfer on one handle.
struct TransferSlot {
  OVERLAPPED record{};
  DWORD events = 0;                     ///< where Windows stores a comm wait's events
  std::uint32_t* events_out = nullptr;  ///< the caller's copy of `events`
};

class Win32Comm final : public CommApi {
 public:
  CommHandle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share_mode,
                         std::uint32_t creation, std::uint32_t flags) override {
    return reinterpret_cast<CommHandle>(
        ::CreateFileA(path.c_str(), access, share_mode, nullptr, creation, flags, nullptr));
  }

  bool CloseHandle(CommHandle handle) override {
    EndTransfers(handle);
    return ::CloseHandle(ToHandle(handle)) != 0;
  }

  std::uint32_t GetLastError() override { return ::GetLastError(); }
  void SetLastError(std::uint32_t code) override { ::SetLastError(code); }

  bool SetCommMask(CommHandle handle, std::uint32_t mask) override {
    return ::SetCommMask(ToHandle(handle), mask) != 0;
  }

  bool SetupComm(CommHandle handle, std::uint32_t in_queue, std::uint32_t out_queue) override {
    return ::SetupComm(ToHandle(handle), in_queue, out_queue) != 0;
  }

  bool SetCommTimeouts(CommHandle handle, const CommTimeouts& timeouts) override {
    COMMTIMEOUTS real = ToWindowsTimeouts(timeouts);
    return ::SetCommTimeouts(ToHandle(handle), &real) != 0;
  }

  bool EscapeCommFunction(CommHandle handle, std::uint32_t function,
                          std::uint16_t* base_address) override {
    // The older family answers kGetBaseAddress with the address as the result.
    const BOOL result = ::EscapeCommFunction(ToHandle(handle), function);
    if (function == kGetBaseAddress && base_address != nullptr) {
      *base_address = static_cast<std::uint16_t>(result);
    }
    return result != 0;
  }

  bool GetCommModemStatus(CommHandle handle, std::uint32_t* status) override {
    DWORD real = 0;
    const BOOL ok = ::GetCommModemStatus(ToHandle(handle), &real);
    *status = real;
    return ok != 0;
  }

  bool GetCommState(CommHandle handle, Dcb* dcb) override {
    DCB real{};
    real.DCBlength = sizeof(DCB);
    if (::GetCommState(ToHandle(handle), &real) == 0) return false;
    *dcb = FromWindowsDcb(real);
    return true;
  }

  bool SetCommState(CommHandle handle, const Dcb& dcb) override {
    DCB real = ToWindowsDcb(dcb);
    return ::SetCommState(ToHandle(handle), &real) != 0;
  }

  bool PurgeComm(CommHandle handle, std::uint32_t flags) override {
    return ::PurgeComm(ToHandle(handle), flags) != 0;
  }

  bool FlushFileBuffers(CommHandle handle) override {
    return ::FlushFileBuffers(ToHandle(handle)) != 0;
  }

  bool SetCommBreak(CommHandle handle) override { return ::SetCommBreak(ToHandle(handle)) != 0; }

  bool ClearCommBreak(CommHandle handle) override {
    return ::ClearCommBreak(ToHandle(handle)) != 0;
  }

  bool ClearCommError(CommHandle handle, std::uint32_t* errors, ComStat* stat) override {
    DWORD real_errors = 0;
    COMSTAT real_stat{};
    if (::ClearCommError(ToHandle(handle), &real_errors, &real_stat) == 0) return false;
    if (errors != nullptr) *errors = real_errors;
    if (stat != nullptr) *stat = FromWindowsComStat(real_stat);
    return true;
  }

  bool ReadFile(CommHandle handle, void* buffer, std::uint32_t length, std::uint32_t* count,
                Overlapped* overlapped) override {
    DWORD done = 0;
    const BOOL ok = ::ReadFile(ToHandle(handle), buffer, length, &done,
                               Start(handle, TransferKind::kRead, overlapped));
    if (count != nullptr) *count = done;
    return ok != 0;
  }

  bool WriteFile(CommHandle handle, const void* buffer, std::uint32_t length, std::uint32_t* count,
                 Overlapped* overlapped) override {
    DWORD done = 0;
    const BOOL ok = ::WriteFile(ToHandle(handle), buffer, length, &done,
                                Start(handle, TransferKind::kWrite, overlapped));
    if (count != nullptr) *count = done;
    return ok != 0;
  }

  bool GetOverlappedResult(CommHandle handle, Overlapped* overlapped, std::uint32_t* count,
                           bool wait) override {
    const auto kind = kinds_.find(overlapped);
    if (kind == kinds_.end()) {
      ::SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    TransferSlot& slot = slots_[{handle, kind->second}];
    DWORD done = 0;
    const BOOL ok = ::GetOverlappedResult(ToHandle(handle), &slot.record, &done, wait);
    if (count != nullptr) *count = done;
    if (slot.events_out != nullptr && HasOverlappedIoCompleted(&slot.record)) {
      *slot.events_out = slot.events;
    }
    overlapped->Internal = slot.record.Internal;
    overlapped->InternalHigh = slot.record.InternalHigh;
    return ok != 0;
  }

  bool WaitCommEvent(CommHandle handle, std::uint32_t* mask, Overlapped* overlapped) override {
    OVERLAPPED* record = Start(handle, TransferKind::kCommWait, overlapped);
    TransferSlot& slot = slots_[{handle, TransferKind::kCommWait}];
    slot.events_out = mask;
    const BOOL ok = ::WaitCommEvent(ToHandle(handle), &slot.events, record);
    *mask = slot.events;
    return ok != 0;
  }

  CommHandle CreateEventA(bool manual_reset, bool initial_state) override {
    return reinterpret_cast<CommHandle>(
        ::CreateEventA(nullptr, manual_reset, initial_state, nullptr));
  }

  std::uint32_t WaitForSingleObject(CommHandle handle, std::uint32_t milliseconds) override {
    return ::WaitForSingleObject(ToHandle(handle), milliseconds);
  }

  std::uint32_t WaitForMultipleObjects(std::uint32_t count, const CommHandle* handles,
                                       std::uint32_t milliseconds) override {
    std::vector<HANDLE> real(count);
    for (std::uint32_t i = 0; i < count; ++i) real[i] = ToHandle(handles[i]);
    return ::WaitForMultipleObjects(count, real.data(), FALSE, milliseconds);
  }

  std::string FormatMessageA(std::uint32_t code) override {
    char text[255] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    return text;
  }

  // The codes a port gives once its device was removed (a USB adapter unplugged, a
  // Bluetooth or virtual port torn down), or when the removed name is opened again.
  // ERROR_NOT_READY is what a port whose device hung up gives under wine.
  bool IsDeviceLost(std::uint32_t code) override {
    switch (code) {
      case ERROR_ACCESS_DENIED:
      case ERROR_BAD_COMMAND:
      case ERROR_DEVICE_NOT_CONNECTED:
      case ERROR_GEN_FAILURE:
      case ERROR_OPERATION_ABORTED:
      case ERROR_FILE_NOT_FOUND:
      case ERROR_NOT_READY:
        return true;
      default:
        return false;
    }
  }

  bool IsNtFamily() override {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return ::GetVersionExA(&version) == 0 || version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  }

  // User mode on the NT family cannot reach I/O ports.
  std::uint8_t ReadPortByte(std::uint16_t) override { return 0; }

  bool QueryPerformanceFrequency(std::int64_t* frequency) override {
    LARGE_INTEGER real{};
    const BOOL ok = ::QueryPerformanceFrequency(&real);
    *frequency = real.QuadPart;
    return ok != 0;
  }

  bool QueryPerformanceCounter(std::int64_t* counter) override {
    LARGE_INTEGER real{};
    const BOOL ok = ::QueryPerformanceCounter(&real);
    *counter = real.QuadPart;
    return ok != 0;
  }

  std::uint32_t GetTickCount() override { return ::GetTickCount(); }
  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

 private:
  // The real record for a new transfer. A transfer of the same kind that an abort
  // left running still owns the record: it is waited for before the record is reused.
  OVERLAPPED* Start(CommHandle handle, TransferKind kind, Overlapped* overlapped) {
    if (overlapped == nullptr) return nullptr;
    TransferSlot& slot = slots_[{handle, kind}];
    if (slot.record.hEvent != nullptr || slot.record.Internal != 0) Settle(handle, &slot);
    slot = TransferSlot{};
    slot.record.Offset = overlapped->Offset;
    slot.record.OffsetHigh = overlapped->OffsetHigh;
    slot.record.hEvent = ToHandle(overlapped->hEvent);
    kinds_[overlapped] = kind;
    return &slot.record;
  }

  static void Settle(CommHandle handle, TransferSlot* slot) {
    if (HasOverlappedIoCompleted(&slot->record)) return;
    DWORD done = 0;
    ::GetOverlappedResult(ToHandle(handle), &slot->record, &done, TRUE);
  }

  // Cancels what still runs on the handle and waits until Windows let go of the records.
  void EndTransfers(CommHandle handle) {
    bool cancelled = false;
    for (auto it = slots_.begin(); it != slots_.end();) {
      if (it->first.first != handle) {
        ++it;
        continue;
      }
      if (!cancelled) ::CancelIo(ToHandle(handle));
      cancelled = true;
      Settle(handle, &it->second);
      it = slots_.erase(it);
    }
  }

  std::map<std::pair<CommHandle, TransferKind>, TransferSlot> slots_;
  std::map<const Overlapped*, TransferKind> kinds_;
};

}  // namespace

std::unique_ptr<CommApi> CreateWin32Comm() {
  return std::make_unique<Win32Comm>();
}

}  // namespace comterm
