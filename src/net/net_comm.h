// Network ports "tcp://HOST:PORT" and "rfc2217://HOST:PORT", in front of a platform driver.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "net/net_address.h"
#include "net/rfc2217_session.h"
#include "net/socket_transport.h"
#include "serial/comm_api.h"

namespace comterm {

/// The error codes the network ports report, in the platform driver's numbering.
struct NetErrorCodes {
  std::uint32_t bad_handle = 0;    ///< a handle that is no open port
  std::uint32_t bad_argument = 0;  ///< a value the call or the far port does not take
  std::uint32_t bad_name = 0;      ///< a network device name that does not parse
  std::uint32_t aborted = 0;       ///< a read ended by PurgeComm
  std::uint32_t incomplete = 0;    ///< GetOverlappedResult on an operation still pending
  std::uint32_t busy = 0;          ///< a second read while one is pending
  std::uint32_t no_answer = 0;     ///< the server did not answer a setting in time
};

/// A read that waits for bytes not yet received.
struct NetRead {
  Overlapped* record = nullptr;  ///< the caller's record, which names the read
  char* data = nullptr;          ///< the caller's buffer
  std::uint32_t length = 0;      ///< bytes asked for
  std::uint32_t done = 0;        ///< bytes delivered
  std::uint32_t error = 0;       ///< set when aborted or the connection ended
  bool ended = false;
};

/// A WaitCommEvent that waits for bytes not yet received.
struct NetCommWait {
  Overlapped* record = nullptr;   ///< the caller's record
  std::uint32_t* mask = nullptr;  ///< where the events that ended the wait are stored
  std::uint32_t error = 0;        ///< set when the connection ended
  bool ended = false;
};

/// One open network port.
struct NetPort {
  NetScheme scheme = NetScheme::Raw;
  std::unique_ptr<SocketTransport> socket;
  rfc2217::Session session;     ///< the telnet state (rfc2217:// only)
  std::string received;         ///< data bytes received and not yet read
  std::uint32_t lost = 0;       ///< the code that ended the connection; 0 while it lasts
  std::uint32_t mask = 0;       ///< armed comm events
  Dcb dcb;                      ///< the settings last applied
  std::optional<NetRead> read;  ///< a pending read
  std::optional<NetCommWait> comm_wait;
};

/// CommApi that opens the network device names as connections and passes every other
/// device, every event and every time call to the platform driver it is built on.
/// Writes go to the socket at once, so the output queue is always empty; received data
/// waits in the port until read, and a wait for it watches the socket through the
/// platform driver's wait.
class NetworkComm final : public CommApi {
 public:
  NetworkComm(std::unique_ptr<CommApi> platform, NetErrorCodes codes);
  ~NetworkComm() override;

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

  std::string FormatMessageA(std::uint32_t code) override;
  bool IsDeviceLost(std::uint32_t code) override;
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
  /// A host name that did not resolve, kept to name it in the error text.
  struct ResolverFailure {
    std::uint32_t code = 0;
    std::string host;
    std::string text;
  };

  /// The network port of `handle`, or null when it is none.
  NetPort* Find(CommHandle handle);
  /// The network port whose handle or pending operation `handle` names, or null.
  NetPort* Watched(CommHandle handle);
  /// True when `handle`, a handle Watched found, is signalled.
  bool Signalled(const NetPort& port, CommHandle handle) const;
  /// Records `code` with the platform driver and returns false.
  bool Fail(std::uint32_t code);
  /// Takes what the socket has without waiting, answers the telnet negotiations, and
  /// hands data to a pending read or wait.
  void Pump(NetPort* port);
  /// Sends `bytes`; a failure that ends the connection marks the port lost.
  bool Send(NetPort* port, std::string_view bytes);
  /// Pumps the port until `done` holds, the connection ends or `timeout_ms` has passed.
  template <typename Done>
  bool AwaitServer(NetPort* port, std::uint32_t timeout_ms, Done done);
  /// Sends the settings of `dcb` to the far port and checks the server's answers.
  bool SetFarPort(NetPort* port, const Dcb& dcb);
  /// Sends one SET-CONTROL value; the answer is not waited for.
  bool SetControl(NetPort* port, std::uint8_t value);

  std::unique_ptr<CommApi> platform_;
  NetErrorCodes codes_;
  std::map<CommHandle, NetPort> ports_;
  CommHandle next_handle_;
  std::optional<ResolverFailure> resolver_failure_;
};

/// The driver for this platform with the network ports in front: `platform` serves
/// every other device name.
std::unique_ptr<CommApi> CreateNetworkComm(std::unique_ptr<CommApi> platform);

}  // namespace comterm
