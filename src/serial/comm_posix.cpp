#include "serial/comm_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/int_convert.h"
#include "serial/eintr_retry_posix.h"

namespace comterm {
namespace {

constexpr char kComPrefix[] = "\\\\.\\COM";

// Exclusive use: no further open of the tty (TIOCEXCL), and an advisory lock that
// cooperating programs honour, and that holds even against root.
int LockExclusive(int fd) {
  if (RetryAfterSignal([&] { return flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
    return errno == EWOULDBLOCK ? EBUSY : errno;
  }
  ioctl(fd, TIOCEXCL);
  return 0;
}

}  // namespace

std::string DevicePathOf(const std::string& path) {
  const std::size_t prefix = sizeof kComPrefix - 1;
  if (path.compare(0, prefix, kComPrefix) != 0) return path;
  const std::string digits = path.substr(prefix);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return path;
  const int number = StrToIntDef(digits, 0);
  if (number < 1) return path;
  return "/dev/ttyS" + std::to_string(number - 1);
}

CommHandle PosixComm::CreateFileA(const std::string& path, std::uint32_t, std::uint32_t share_mode,
                                  std::uint32_t, std::uint32_t) {
  const std::string device = DevicePathOf(path);
  const int fd = RetryAfterSignal(
      [&] { return open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) {
    Fail(errno);
    return kInvalidHandle;
  }
  const int locked = share_mode == 0 ? LockExclusive(fd) : 0;
  if (locked != 0) {
    close(fd);
    Fail(locked);
    return kInvalidHandle;
  }
  PortState& port = ports_[fd];
  port.has_line_counts = ReadLineCounts(fd, &port.counts);
  return static_cast<CommHandle>(fd);
}

bool PosixComm::CloseHandle(CommHandle handle) {
  if (events_.erase(handle) != 0) return true;
  if (Port(handle) == nullptr) return false;
  const int fd = static_cast<int>(handle);
  ports_.erase(fd);
  // The exclusive flag outlives this descriptor while others hold the tty.
  ioctl(fd, TIOCNXCL);
  return close(fd) == 0 || Fail(errno);
}

bool PosixComm::SetupComm(CommHandle handle, std::uint32_t, std::uint32_t) {
  return Port(handle) != nullptr;
}

bool PosixComm::SetCommTimeouts(CommHandle handle, const CommTimeouts& timeouts) {
  PortState* port = Port(handle);
  if (port == nullptr) return false;
  port->timeouts = timeouts;
  return true;
}

CommHandle PosixComm::CreateEventA(bool manual_reset, bool initial_state) {
  const CommHandle handle = next_event_++;
  events_[handle] = EventState{manual_reset, initial_state};
  return handle;
}

std::string PosixComm::FormatMessageA(std::uint32_t code) {
  return std::strerror(static_cast<int>(code));
}

// A terminal that hung up (a pty whose far end closed, an unplugged USB adapter) fails
// with EIO; a device node whose driver is gone gives ENXIO or ENODEV.
bool PosixComm::IsDeviceLost(std::uint32_t code) {
  return code == EIO || code == ENXIO || code == ENODEV;
}

PortState* PosixComm::Port(CommHandle handle) {
  const auto found = handle <= static_cast<CommHandle>(INT32_MAX)
                         ? ports_.find(static_cast<int>(handle))
                         : ports_.end();
  if (found == ports_.end()) {
    Fail(EBADF);
    return nullptr;
  }
  return &found->second;
}

bool PosixComm::Fail(int code) {
  last_error_ = static_cast<std::uint32_t>(code);
  return false;
}

}  // namespace comterm
