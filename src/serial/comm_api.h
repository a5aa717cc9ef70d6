// The serial driver calls, as an interface. The serial port class reaches a device only
// through this seam; each backend gives every call the meaning described here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace comterm {

using CommHandle = std::uintptr_t;
/// The failure handle of CreateFileA: all ones (-1 read as signed).
inline constexpr CommHandle kInvalidHandle = ~CommHandle{0};

// CreateFileA arguments.
inline constexpr std::uint32_t kGenericRead = 0x80000000u;
inline constexpr std::uint32_t kGenericWrite = 0x40000000u;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
inline constexpr std::uint32_t kFileFlagOverlapped = 0x40000000u;

// Error codes the callers test for.
inline constexpr std::uint32_t kErrorIoPending = 997;
inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// Comm event mask bits.
inline constexpr std::uint32_t kEvRxChar = 0x0001;
inline constexpr std::uint32_t kEvTxEmpty = 0x0004;

// PurgeComm flags.
inline constexpr std::uint32_t kPurgeTxAbort = 0x0001;
inline constexpr std::uint32_t kPurgeRxAbort = 0x0002;
inline constexpr std::uint32_t kPurgeTxClear = 0x0004;
inline constexpr std::uint32_t kPurgeRxClear = 0x0008;

// EscapeCommFunction functions.
inline constexpr std::uint32_t kSetRts = 3;
inline constexpr std::uint32_t kClrRts = 4;
inline constexpr std::uint32_t kSetDtr = 5;
inline constexpr std::uint32_t kClrDtr = 6;
inline constexpr std::uint32_t kGetBaseAddress = 10;

// Line-error flags of ClearCommError.
inline constexpr std::uint32_t kCeRxOver = 0x0001;
inline constexpr std::uint32_t kCeOverrun = 0x0002;
inline constexpr std::uint32_t kCeRxParity = 0x0004;
inline constexpr std::uint32_t kCeFrame = 0x0008;
inline constexpr std::uint32_t kCeBreak = 0x0010;
inline constexpr std::uint32_t kCeTxFull = 0x0100;

// Modem status bits of GetCommModemStatus.
inline constexpr std::uint32_t kMsCtsOn = 0x10;
inline constexpr std::uint32_t kMsDsrOn = 0x20;
inline constexpr std::uint32_t kMsRingOn = 0x40;
inline constexpr std::uint32_t kMsRlsdOn = 0x80;

/// The device control block: the line settings, 28 bytes in the platform's layout.
struct Dcb {
  std::uint32_t DCBlength = 0;
  std::uint32_t BaudRate = 0;
  std::uint32_t Flags = 0;  ///< the flag bits below, bit 0 least significant
  std::uint16_t wReserved = 0;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 0;
  std::uint8_t Parity = 0;    ///< 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t StopBits = 0;  ///< 0 one, 1 one and a half, 2 two
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  std::uint16_t wReserved1 = 0;
};
static_assert(sizeof(Dcb) == 28, "the device control block is 28 bytes");

// Dcb::Flags bits.
inline constexpr std::uint32_t kDcbBinary = 0x0001;
inline constexpr std::uint32_t kDcbParity = 0x0002;
inline constexpr std::uint32_t kDcbOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t kDcbOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t kDcbDtrControlMask = 0x0030;
inline constexpr std::uint32_t kDcbDtrControlEnable = 0x0010;
inline constexpr std::uint32_t kDcbDsrSensitivity = 0x0040;
inline constexpr std::uint32_t kDcbTxContinueOnXoff = 0x0080;
inline constexpr std::uint32_t kDcbOutX = 0x0100;
inline constexpr std::uint32_t kDcbInX = 0x0200;
inline constexpr std::uint32_t kDcbErrorChar = 0x0400;
inline constexpr std::uint32_t kDcbNull = 0x0800;
inline constexpr std::uint32_t kDcbRtsControlMask = 0x3000;
inline constexpr std::uint32_t kDcbRtsControlEnable = 0x1000;
inline constexpr std::uint32_t kDcbRtsControlHandshake = 0x2000;
inline constexpr std::uint32_t kDcbRtsControlToggle = 0x3000;
inline constexpr std::uint32_t kDcbAbortOnError = 0x4000;

/// Driver time-outs, in milliseconds.
struct CommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

/// Queue counts reported by ClearCommError.
struct ComStat {
  std::uint32_t Flags = 0;
  std::uint32_t cbInQue = 0;
  std::uint32_t cbOutQue = 0;
};

/// The record of one overlapped transfer or comm event wait. hEvent 0 means the
/// completion signals the port handle itself. The backend may keep its own state for
/// the transfer; the caller only keeps the record alive until the transfer has ended.
struct Overlapped {
  std::uintptr_t Internal = 0;
  std::uintptr_t InternalHigh = 0;
  std::uint32_t Offset = 0;
  std::uint32_t OffsetHigh = 0;
  CommHandle hEvent = 0;
};

/// The serial driver calls. Every call has the meaning of the Windows call of the same
/// name; a failed call sets the code that GetLastError then returns.
class CommApi {
 public:
  virtual ~CommApi() = default;

  virtual CommHandle CreateFileA(const std::string& path, std::uint32_t access,
                                 std::uint32_t share_mode, std::uint32_t creation,
                                 std::uint32_t flags) = 0;
  virtual bool CloseHandle(CommHandle handle) = 0;
  virtual std::uint32_t GetLastError() = 0;
  virtual void SetLastError(std::uint32_t code) = 0;

  virtual bool SetCommMask(CommHandle handle, std::uint32_t mask) = 0;
  virtual bool SetupComm(CommHandle handle, std::uint32_t in_queue, std::uint32_t out_queue) = 0;
  virtual bool SetCommTimeouts(CommHandle handle, const CommTimeouts& timeouts) = 0;
  /// `base_address` receives the port's I/O base address for kGetBaseAddress.
  virtual bool EscapeCommFunction(CommHandle handle, std::uint32_t function,
                                  std::uint16_t* base_address = nullptr) = 0;
  virtual bool GetCommModemStatus(CommHandle handle, std::uint32_t* status) = 0;
  virtual bool GetCommState(CommHandle handle, Dcb* dcb) = 0;
  virtual bool SetCommState(CommHandle handle, const Dcb& dcb) = 0;
  virtual bool PurgeComm(CommHandle handle, std::uint32_t flags) = 0;
  virtual bool FlushFileBuffers(CommHandle handle) = 0;
  virtual bool SetCommBreak(CommHandle handle) = 0;
  virtual bool ClearCommBreak(CommHandle handle) = 0;
  /// `stat` may be null.
  virtual bool ClearCommError(CommHandle handle, std::uint32_t* errors, ComStat* stat) = 0;

  virtual bool ReadFile(CommHandle handle, void* buffer, std::uint32_t length, std::uint32_t* count,
                        Overlapped* overlapped) = 0;
  virtual bool WriteFile(CommHandle handle, const void* buffer, std::uint32_t length,
                         std::uint32_t* count, Overlapped* overlapped) = 0;
  virtual bool GetOverlappedResult(CommHandle handle, Overlapped* overlapped, std::uint32_t* count,
                                   bool wait) = 0;
  virtual bool WaitCommEvent(CommHandle handle, std::uint32_t* mask, Overlapped* overlapped) = 0;
  virtual CommHandle CreateEventA(bool manual_reset, bool initial_state) = 0;
  /// Waits on a port handle (for its pending transfer) or on an event.
  virtual std::uint32_t WaitForSingleObject(CommHandle handle, std::uint32_t milliseconds) = 0;
  /// Waits until any one of the handles is signalled; returns kWaitObject0 + its index,
  /// or kWaitTimeout. Besides ports and events it takes the console input handle, which
  /// is signalled while console input is waiting (on POSIX: a readable descriptor).
  virtual std::uint32_t WaitForMultipleObjects(std::uint32_t count, const CommHandle* handles,
                                               std::uint32_t milliseconds) = 0;

  /// The platform's message text for an error code (empty when it has none).
  virtual std::string FormatMessageA(std::uint32_t code) = 0;
  /// True when `code`, as GetLastError gave it after a failed call, means the device is
  /// gone (unplugged, hung up, connection closed) rather than an ordinary error.
  virtual bool IsDeviceLost(std::uint32_t code) = 0;
  /// True on the NT family of Windows (and on every POSIX system).
  virtual bool IsNtFamily() = 0;
  /// Reads one byte from an I/O port (the UART's registers on the older family only).
  virtual std::uint8_t ReadPortByte(std::uint16_t address) = 0;

  virtual bool QueryPerformanceFrequency(std::int64_t* frequency) = 0;
  virtual bool QueryPerformanceCounter(std::int64_t* counter) = 0;
  virtual std::uint32_t GetTickCount() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

/// The driver for this platform: devices by path, and "loop://" for the loopback device.
std::unique_ptr<CommApi> CreatePlatformComm();

}  // namespace comterm
