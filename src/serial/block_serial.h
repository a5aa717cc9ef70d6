// TBlockSerial: one serial port, its line settings, receive buffer and error state.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "serial/comm_api.h"
#include "serial/receive_buffer.h"
#include "serial/serial_errors.h"

namespace comterm {

class TBlockSerial;

/// Why a status report is made; the value text of each is noted.
enum class THookSerialReason {
  ReasonClose = 0,       ///< ClosePort; the device name
  ReasonConnect = 1,     ///< OpenPort; the device name
  ReasonCanRead = 2,     ///< WaitReadable; empty
  ReasonCanWrite = 3,    ///< WaitWritable; empty
  ReasonReadCount = 4,   ///< ReadBuffer; bytes read, in decimal
  ReasonWriteCount = 5,  ///< WriteBuffer; bytes written, in decimal
  ReasonWait = 6,        ///< Throttle; milliseconds about to be waited, in decimal
};

/// Status callback: the reporting port, the reason and its value text.
using THookSerialStatus =
    std::function<void(TBlockSerial& sender, THookSerialReason reason, const std::string& value)>;

/// A serial port driven through the serial driver calls of CommApi. Every operation
/// records its outcome in LastErrorCode/LastErrorText and raises EDorvaneError only when
/// RaiseExcept is set.
class TBlockSerial {
 public:
  /// A closed port; makes no driver call.
  explicit TBlockSerial(CommApi& comm);
  /// Closes the port; an exception raised while closing never escapes.
  virtual ~TBlockSerial();
  TBlockSerial(const TBlockSerial&) = delete;
  TBlockSerial& operator=(const TBlockSerial&) = delete;

  // Error state and line pre-test.

  /// Stores line-error flags of ClearCommError as one of the class's codes; the last
  /// matching flag of frame, overrun, rx overflow, parity, tx full wins. Text unchanged.
  virtual void DecodeLineErrors(std::uint32_t flags);
  /// Sends a status report to OnStatus, if one is installed.
  virtual void ReportStatus(THookSerialReason reason, const std::string& value);
  /// True when the modem inputs that TestDSR and TestCTS require are active.
  virtual bool LinesReady();
  /// True (with errNotConnected or errNoAnswer recorded) when no transfer may be made.
  virtual bool LinesNotReady();
  /// "Dorvane 6.3.5".
  virtual std::string VersionText();
  /// Records the outcome of a platform call: -1 stores the platform's last error, any
  /// other value stores 0. Returns the code stored.
  virtual std::int32_t CheckResult(std::int32_t value);
  /// Raises EDorvaneError when RaiseExcept is set and LastErrorCode is not 0.
  virtual void RaiseIfError();
  /// Stores a code and its text.
  virtual void SetError(std::int32_t code);
  /// SetError, then RaiseIfError.
  virtual void SetErrorAndRaise(std::int32_t code);
  /// The text of a code: the class's own texts, or the platform's message.
  static std::string GetErrorDesc(CommApi& comm, std::int32_t code);

  // Opening, configuring and closing.

  /// Sets PortIndex from a name "COMn" (n-1) or "/dev/ttySn" (n), else -1.
  virtual void ParsePortNumber(const std::string& name);
  /// Opens and prepares the device named, then tests the modem lines.
  virtual void OpenPort(const std::string& name);
  /// Writes the line settings into Dcb and applies them to the device.
  virtual void Configure(std::int32_t baud, std::int32_t data_bits, char parity,
                         std::int32_t stop_bits, bool soft_flow, bool hard_flow);
  /// Applies Dcb to the device.
  virtual void ApplyDcb();
  /// Reads the device's settings into Dcb.
  virtual void FetchDcb();
  /// Sets the driver's input queue size and the XON/XOFF limits to a quarter of it.
  virtual void SetReceiveQueueSize(std::int32_t size);
  /// Raises or drops RTS; the outcome is not recorded.
  virtual void SetRtsLine(bool on);
  /// Raises or drops DTR; the outcome is not recorded.
  virtual void SetDtrLine(bool on);
  /// Reads the modem status bits into ModemStatus.
  virtual std::uint32_t ReadModemStatus();
  /// DSR input active, read afresh.
  virtual bool DsrActive();
  /// CTS input active, read afresh.
  virtual bool CtsActive();
  /// Carrier detect active, read afresh.
  virtual bool CarrierActive();
  /// Ring indicator active, read afresh.
  virtual bool RingActive();
  /// The port's I/O base address (0 on the NT family).
  virtual std::uint16_t QueryPortAddress();
  /// Empties both driver queues and LineBuffer, aborting pending transfers.
  virtual void PurgeQueues();
  /// Waits until the driver has sent its output queue.
  virtual void DrainOutput();
  /// Holds the line in break for `duration` milliseconds.
  virtual void SendBreak(std::int32_t duration);
  /// Sends what was written, empties the queues, drops RTS and DTR and closes the device.
  virtual void ClosePort();
  /// Closes a port whose device is gone: the handle is released with nothing sent,
  /// purged or dropped, which a missing device cannot do. The error state is kept.
  virtual void AbandonPort();

  // Sending.

  /// Writes `length` bytes, waiting at most DeadlockTimeout; returns the count written.
  virtual std::int32_t WriteBuffer(const void* buffer, std::int32_t length);
  /// Writes one byte.
  virtual void WriteByte(std::uint8_t value);
  /// Writes the bytes of a string (an empty one makes a write of 0 bytes).
  virtual void WriteText(const std::string& text);
  /// Writes 4 bytes, least significant first.
  virtual void WriteInteger(std::int32_t value);
  /// Writes the length as WriteInteger, then the bytes: two separate writes.
  virtual void WriteBlock(const std::string& block);
  /// Sends a stream's bytes from its position to its end, in pieces of at most 8192.
  virtual void WriteStream(std::istream& stream);
  /// WriteStream with the count in front, least significant byte first.
  virtual void WriteStreamWithSize(std::istream& stream);
  /// WriteStream with the count in front, most significant byte first.
  virtual void WriteStreamWithSizeMsb(std::istream& stream);
  /// Sets both send and receive bandwidth limits (bytes per second; 0 = none).
  virtual void SetBandwidth(std::int32_t bytes_per_second);
  /// Delays a transfer of `length` bytes until the time the previous one booked has
  /// passed, then books this one's time. `booked` holds the milliseconds last booked
  /// and bounds every sleep, also across the tick's wrap.
  virtual void Throttle(std::int32_t length, std::int32_t bandwidth, std::uint32_t& next_tick,
                        std::uint32_t& booked);
  /// Switches RTS toggling around writes on or off (in the driver on the NT family).
  virtual void SetRtsToggle(bool on);
  /// Bytes in the driver's output queue.
  virtual std::int32_t BytesUnsent();
  /// Waits until the output queue is empty; reports ReasonCanWrite when it is.
  virtual bool WaitWritable(std::int32_t timeout);
  /// True when the UART at `address` has shifted out its last bit (always on NT).
  virtual bool TransmitterEmpty(std::uint16_t address);

  // Receiving.

  /// One byte within `timeout` ms; 0 when nothing was read (then LastErrorCode is not 0).
  virtual std::uint8_t ReadByte(std::int32_t timeout);
  /// Up to `limit` of the bytes ReadByte would hand out over as many calls, taken at once:
  /// LineBuffer's bytes, else the first to arrive within `timeout` ms (kInfinite as a
  /// signed value waits until the line or the input wait handle has something). Empty when
  /// nothing was read (then LastErrorCode is not 0). Valid until LineBuffer next changes.
  virtual std::string_view ReadRun(std::int32_t timeout, std::size_t limit);
  /// Whatever has arrived, or the first bytes to arrive within `timeout` ms.
  virtual std::string ReadPacket(std::int32_t timeout);
  /// One driver read of up to `length` bytes, waiting at most DeadlockTimeout.
  virtual std::int32_t ReadBuffer(void* buffer, std::int32_t length);
  /// Reads exactly `length` bytes unless an error or the timeout stops it; the count.
  virtual std::int32_t ReadExact(void* buffer, std::int32_t length, std::int32_t timeout);
  /// ReadExact into a string; empty on any error.
  virtual std::string ReadExactText(std::int32_t length, std::int32_t timeout);
  /// The bytes before `terminator`; the rest stays in LineBuffer.
  virtual std::string ReadTerminated(std::int32_t timeout, const std::string& terminator);
  /// ReadTerminated with CR LF.
  virtual std::string ReadLine(std::int32_t timeout);
  /// 4 bytes, least significant first; 0 on error.
  virtual std::int32_t ReadInteger(std::int32_t timeout);
  /// A block as WriteBlock sends it: a 4-byte length, then that many bytes.
  virtual std::string ReadBlock(std::int32_t timeout);
  /// Writes received packets to `stream` until the first error.
  virtual void ReadStreamPackets(std::ostream& stream, std::int32_t timeout);
  /// Writes `size` received bytes to `stream`, in pieces of at most 8192.
  virtual void ReadStream(std::ostream& stream, std::int32_t size, std::int32_t timeout);
  /// ReadStream with the size read first, least significant byte first.
  virtual void ReadStreamWithSize(std::ostream& stream, std::int32_t timeout);
  /// ReadStream with the size read first, most significant byte first.
  virtual void ReadStreamWithSizeMsb(std::ostream& stream, std::int32_t timeout);
  /// Bytes in the driver's input queue.
  virtual std::int32_t BytesWaiting();
  /// LineBuffer's length when it holds bytes, else BytesWaiting.
  virtual std::int32_t BytesAvailable();
  /// Waits up to `timeout` ms for input; reports ReasonCanRead when there is some.
  virtual bool WaitReadable(std::int32_t timeout);
  /// True at once when LineBuffer holds bytes, else WaitReadable.
  virtual bool WaitAvailable(std::int32_t timeout);
  /// Waits up to `timeout` ms for the comm events of `mask`; true when all came. With an
  /// input wait handle set, input on it ends the wait as a timeout does.
  bool WaitEvent(std::uint32_t mask, std::int32_t timeout);
  /// An extra handle whose signal also ends WaitEvent's wait (e.g. console input).
  void SetInputWaitHandle(CommHandle handle);

  // Modem commands.

  /// Sends an AT command and collects the reply lines up to "OK" or "ERROR".
  virtual std::string AtCommand(const std::string& command);
  /// Sends a dial command and collects the reply lines up to the connect result.
  virtual std::string AtConnect(const std::string& command);

  // Fields, in the class's order.

  /// Status callback; empty = none.
  THookSerialStatus OnStatus;
  /// The open device, or kInvalidHandle.
  CommHandle Handle = kInvalidHandle;
  /// Free for the owner.
  std::int32_t Tag = 0;
  /// The name given to OpenPort, then the device path opened.
  std::string DeviceName;
  /// Code of the last recorded outcome; 0 = success.
  std::int32_t LastErrorCode = 0;
  /// Text of LastErrorCode.
  std::string LastErrorText = "OK";
  /// Bytes taken from the driver and not yet handed out.
  ReceiveBuffer LineBuffer;
  /// Raise EDorvaneError on a non-zero outcome.
  bool RaiseExcept = false;
  /// Driver input queue size requested at opening.
  std::int32_t ReceiveQueueSize = 4096;
  /// Modem status bits last read.
  std::uint32_t ModemStatus = 0;
  /// RTS raised around each write by the class itself.
  bool RtsToggle = false;
  /// Longest wait for one driver write or read, ms.
  std::int32_t DeadlockTimeout = 30000;
  /// The port is open and passed the line test.
  bool PortOpen = false;
  /// Transfers require DSR active.
  bool TestDSR = false;
  /// Transfers require CTS active.
  bool TestCTS = false;
  /// The last converted line end was a lone CR: the next read drops a leading LF.
  bool LastEndWasCr = false;
  /// The last converted line end was a lone LF: the next read drops a leading CR.
  bool LastEndWasLf = false;
  /// Longest text a terminated read accepts; 0 = no limit.
  std::int32_t MaxLineLength = 0;
  /// Stored only.
  bool LinuxLock = true;
  /// Send rate limit in bytes per second; 0 = none.
  std::int32_t SendBandwidth = 0;
  /// Earliest tick of the next send.
  std::uint32_t NextSendTick = 0;
  /// Receive rate limit in bytes per second; 0 = none.
  std::int32_t ReceiveBandwidth = 0;
  /// Earliest tick of the next driver read.
  std::uint32_t NextReceiveTick = 0;
  /// CR, LF, CR LF and LF CR all end a line read with a CR LF terminator.
  bool ConvertLineEnd = false;
  /// The last modem command saw its success reply.
  bool AtResult = false;
  /// Reply timeout of the modem commands, ms.
  std::int32_t AtTimeout = 1000;
  /// ReadExact's timeout bounds each packet wait rather than the whole read.
  bool InterPacketTimeout = true;
  /// Zero-based COM number from the port name; -1 = none.
  std::int32_t PortIndex = -1;
  /// I/O base address of the port.
  std::uint16_t PortAddress = 0;
  /// Line settings last written or read.
  ::comterm::Dcb Dcb{};
  /// Milliseconds the last send booked; bounds the next send's throttling sleep.
  std::uint32_t SendBooked = 0;
  /// Milliseconds the last driver read booked; bounds the next read's throttling sleep.
  std::uint32_t ReceiveBooked = 0;
  /// The first recorded code since OpenPort that the driver counts as the device gone,
  /// 0 while none was; later outcomes (a timeout after it, say) do not clear it.
  std::int32_t DeviceLostCode = 0;

 private:
  bool IsNtFamily();
  void CloseHeldHandle();
  std::string ReadModemReply(const std::string& command, std::int32_t timeout, bool connect);
  /// Ends a driver read or write that returned `status`: a pending one is waited for up
  /// to DeadlockTimeout and aborted with `abort_flag` after that; the outcome and the
  /// line errors are recorded. Returns the bytes transferred (`count` when done at once).
  std::uint32_t CompleteTransfer(std::uint32_t status, Overlapped& overlapped,
                                 std::uint32_t abort_flag, std::uint32_t count);

  CommApi& comm_;
  std::optional<bool> nt_family_;
  std::optional<CommHandle> input_wait_handle_;
  // Kept for the object's life: an aborted transfer may complete into them later.
  Overlapped write_overlapped_{};
  Overlapped read_overlapped_{};
};

}  // namespace comterm
