// Opening and closing network ports, their settings, modem lines and queues.
#include "net/net_comm.h"

#include <utility>

#include "serial/ticks.h"

namespace comterm {
namespace {

// Odd values above the loopback device's, and never a Windows handle (those are
// multiples of four).
constexpr CommHandle kFirstNetHandle = 0x30000001;
constexpr std::uint32_t kConnectTimeoutMs = 5000;
constexpr std::uint32_t kAnswerTimeoutMs = 2000;
constexpr std::uint32_t kAllPurgeFlags =
    kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear;

Dcb DefaultDcb() {
  Dcb dcb;
  dcb.DCBlength = sizeof(Dcb);
  dcb.BaudRate = 9600;
  dcb.Flags = kDcbBinary | kDcbDtrControlEnable | kDcbRtsControlEnable;
  dcb.ByteSize = 8;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return dcb;
}

bool Acceptable(const Dcb& dcb) {
  return dcb.BaudRate != 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 && dcb.Parity <= 4 &&
         dcb.StopBits <= 2;
}

std::string WithoutTrailingStop(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

NetworkComm::NetworkComm(std::unique_ptr<CommApi> platform, NetErrorCodes codes)
    : platform_(std::move(platform)), codes_(codes), next_handle_(kFirstNetHandle) {}

NetworkComm::~NetworkComm() = default;

CommHandle NetworkComm::CreateFileA(const std::string& path, std::uint32_t access,
                                    std::uint32_t share_mode, std::uint32_t creation,
                                    std::uint32_t flags) {
  if (!HasNetScheme(path)) return platform_->CreateFileA(path, access, share_mode, creation, flags);
  const std::optional<NetAddress> address = ParseNetAddress(path);
  if (!address) {
    Fail(codes_.bad_name);
    return kInvalidHandle;
  }
  ConnectFailure failure;
  std::unique_ptr<SocketTransport> socket =
      SocketTransport::Connect(address->host, address->port, kConnectTimeoutMs, &failure);
  if (!socket) {
    if (failure.resolver)
      resolver_failure_ = ResolverFailure{failure.code, address->host, failure.text};
    Fail(failure.code);
    return kInvalidHandle;
  }
  const CommHandle handle = next_handle_;
  next_handle_ += 2;
  NetPort& port = ports_[handle];
  port.scheme = address->scheme;
  port.socket = std::move(socket);
  port.dcb = DefaultDcb();
  if (port.scheme == NetScheme::Rfc2217) {
    // The far port takes commands once the server has agreed to the option.
    const bool sent = Send(&port, port.session.Opening());
    if (!sent ||
        !AwaitServer(&port, kAnswerTimeoutMs, [&] { return port.session.ComPortSettled(); })) {
      const std::uint32_t code = !sent            ? GetLastError()
                                 : port.lost != 0 ? port.lost
                                                  : codes_.no_answer;
      ports_.erase(handle);
      Fail(code);
      return kInvalidHandle;
    }
  }
  return handle;
}

bool NetworkComm::CloseHandle(CommHandle handle) {
  if (ports_.erase(handle) != 0) return true;
  return platform_->CloseHandle(handle);
}

bool NetworkComm::SetCommMask(CommHandle handle, std::uint32_t mask) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->SetCommMask(handle, mask);
  port->mask = mask;
  // A new mask ends a pending wait, which then reports no event.
  if (port->comm_wait && !port->comm_wait->ended) {
    port->comm_wait->ended = true;
    *port->comm_wait->mask = 0;
  }
  return true;
}

bool NetworkComm::SetupComm(CommHandle handle, std::uint32_t in_queue, std::uint32_t out_queue) {
  if (Find(handle) == nullptr) return platform_->SetupComm(handle, in_queue, out_queue);
  return true;
}

bool NetworkComm::SetCommTimeouts(CommHandle handle, const CommTimeouts& timeouts) {
  if (Find(handle) == nullptr) return platform_->SetCommTimeouts(handle, timeouts);
  return true;
}

bool NetworkComm::EscapeCommFunction(CommHandle handle, std::uint32_t function,
                                     std::uint16_t* base_address) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->EscapeCommFunction(handle, function, base_address);
  if (function == kGetBaseAddress && base_address != nullptr) *base_address = 0;
  if (function < kSetRts || function > kClrDtr) return Fail(codes_.bad_argument);
  if (port->scheme == NetScheme::Raw) return true;
  switch (function) {
    case kSetRts:
      return SetControl(port, rfc2217::kRtsOn);
    case kClrRts:
      return SetControl(port, rfc2217::kRtsOff);
    case kSetDtr:
      return SetControl(port, rfc2217::kDtrOn);
    default:
      return SetControl(port, rfc2217::kDtrOff);
  }
}

bool NetworkComm::GetCommModemStatus(CommHandle handle, std::uint32_t* status) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->GetCommModemStatus(handle, status);
  if (port->scheme == NetScheme::Raw) {
    // A raw stream has no modem lines; they read as a ready device's would.
    *status = kMsCtsOn | kMsDsrOn | kMsRlsdOn;
    return true;
  }
  Pump(port);
  *status = port->session.ModemState();
  return true;
}

bool NetworkComm::GetCommState(CommHandle handle, Dcb* dcb) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->GetCommState(handle, dcb);
  *dcb = port->dcb;
  return true;
}

bool NetworkComm::SetCommState(CommHandle handle, const Dcb& dcb) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->SetCommState(handle, dcb);
  if (!Acceptable(dcb)) return Fail(codes_.bad_argument);
  if (port->scheme == NetScheme::Rfc2217 && !SetFarPort(port, dcb)) return false;
  port->dcb = dcb;
  return true;
}

bool NetworkComm::PurgeComm(CommHandle handle, std::uint32_t flags) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->PurgeComm(handle, flags);
  if (flags == 0 || (flags & ~kAllPurgeFlags) != 0) return Fail(codes_.bad_argument);
  if ((flags & kPurgeRxAbort) != 0 && port->read && !port->read->ended) {
    port->read->ended = true;
    port->read->error = codes_.aborted;
  }
  if ((flags & kPurgeRxClear) == 0) return true;
  Pump(port);
  port->received.clear();
  // What was written has left this driver's queue already, as bytes drained onto a line
  // have: only the server's buffer of bytes from its port is emptied.
  if (port->scheme == NetScheme::Rfc2217 && port->lost == 0 && !port->session.ComPortRefused()) {
    return Send(port, rfc2217::Command(rfc2217::kPurgeData, rfc2217::kPurgeReceive));
  }
  return true;
}

bool NetworkComm::FlushFileBuffers(CommHandle handle) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->FlushFileBuffers(handle);
  return port->lost == 0 || Fail(port->lost);
}

bool NetworkComm::SetCommBreak(CommHandle handle) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->SetCommBreak(handle);
  return port->scheme == NetScheme::Raw || SetControl(port, rfc2217::kBreakOn);
}

bool NetworkComm::ClearCommBreak(CommHandle handle) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->ClearCommBreak(handle);
  return port->scheme == NetScheme::Raw || SetControl(port, rfc2217::kBreakOff);
}

bool NetworkComm::ClearCommError(CommHandle handle, std::uint32_t* errors, ComStat* stat) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->ClearCommError(handle, errors, stat);
  Pump(port);
  if (errors != nullptr) *errors = 0;
  if (port->received.empty() && port->lost != 0) return Fail(port->lost);
  if (stat != nullptr) *stat = ComStat{0, static_cast<std::uint32_t>(port->received.size()), 0};
  return true;
}

std::string NetworkComm::FormatMessageA(std::uint32_t code) {
  if (!resolver_failure_ || resolver_failure_->code != code) return platform_->FormatMessageA(code);
  const std::string why =
      resolver_failure_->text.empty() ? platform_->FormatMessageA(code) : resolver_failure_->text;
  return "Cannot resolve host " + resolver_failure_->host + ": " + WithoutTrailingStop(why);
}

bool NetworkComm::IsDeviceLost(std::uint32_t code) {
  return SocketTransport::IsConnectionLost(code) || platform_->IsDeviceLost(code);
}

bool NetworkComm::SetFarPort(NetPort* port, const Dcb& dcb) {
  using rfc2217::Topic;
  if (port->session.ComPortRefused()) return Fail(codes_.bad_argument);
  const std::uint8_t flow = (dcb.Flags & kDcbOutxCtsFlow) != 0 ? rfc2217::kFlowHardware
                            : (dcb.Flags & kDcbOutX) != 0      ? rfc2217::kFlowXonXoff
                                                               : rfc2217::kFlowNone;
  static constexpr std::uint8_t kStopSizes[3] = {1, 3, 2};  // one, one and a half, two
  const std::pair<Topic, std::uint32_t> asked[] = {
      {Topic::BaudRate, dcb.BaudRate},
      {Topic::DataSize, dcb.ByteSize},
      {Topic::Parity, dcb.Parity + 1u},
      {Topic::StopSize, kStopSizes[dcb.StopBits]},
      {Topic::Flow, flow},
  };
  for (const auto& [topic, value] : asked) port->session.Forget(topic);
  std::string wire = rfc2217::SetBaudRate(dcb.BaudRate);
  wire += rfc2217::Command(rfc2217::kSetDataSize, dcb.ByteSize);
  wire += rfc2217::Command(rfc2217::kSetParity, static_cast<std::uint8_t>(dcb.Parity + 1));
  wire += rfc2217::Command(rfc2217::kSetStopSize, kStopSizes[dcb.StopBits]);
  wire += rfc2217::Command(rfc2217::kSetControl, flow);
  if (!Send(port, wire)) return false;
  const auto all_answered = [&] {
    for (const auto& [topic, value] : asked) {
      if (!port->session.Answer(topic)) return false;
    }
    return true;
  };
  if (!AwaitServer(port, kAnswerTimeoutMs, all_answered)) {
    return Fail(port->lost != 0 ? port->lost : codes_.no_answer);
  }
  for (const auto& [topic, value] : asked) {
    if (*port->session.Answer(topic) != value) return Fail(codes_.bad_argument);
  }
  return true;
}

bool NetworkComm::SetControl(NetPort* port, std::uint8_t value) {
  if (port->lost != 0) return Fail(port->lost);
  // Without the option the server has no far port to control.
  if (port->session.ComPortRefused()) return true;
  return Send(port, rfc2217::Command(rfc2217::kSetControl, value));
}

template <typename Done>
bool NetworkComm::AwaitServer(NetPort* port, std::uint32_t timeout_ms, Done done) {
  const std::uint32_t start = platform_->GetTickCount();
  for (;;) {
    Pump(port);
    if (done()) return true;
    const std::uint32_t elapsed = TickElapsed(start, platform_->GetTickCount());
    if (port->lost != 0 || elapsed >= timeout_ms) return false;
    const CommHandle socket = port->socket->WaitHandle();
    platform_->WaitForMultipleObjects(1, &socket, timeout_ms - elapsed);
  }
}

NetPort* NetworkComm::Find(CommHandle handle) {
  const auto found = ports_.find(handle);
  return found == ports_.end() ? nullptr : &found->second;
}

bool NetworkComm::Fail(std::uint32_t code) {
  platform_->SetLastError(code);
  return false;
}

}  // namespace comterm
