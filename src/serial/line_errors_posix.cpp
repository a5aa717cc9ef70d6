#include "serial/line_errors_posix.h"

#include <sys/ioctl.h>

#include "serial/comm_api.h"

#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace comterm {

#if defined(__linux__)
bool ReadLineCounts(int fd, LineCounts* counts) {
  serial_icounter_struct raw{};
  if (ioctl(fd, TIOCGICOUNT, &raw) != 0) return false;
  counts->frame = static_cast<std::uint32_t>(raw.frame);
  counts->overrun = static_cast<std::uint32_t>(raw.overrun);
  counts->parity = static_cast<std::uint32_t>(raw.parity);
  counts->brk = static_cast<std::uint32_t>(raw.brk);
  counts->buffer_overrun = static_cast<std::uint32_t>(raw.buf_overrun);
  return true;
}
#else
bool ReadLineCounts(int, LineCounts*) {
  return false;
}
#endif

std::uint32_t LineErrorFlags(const LineCounts& before, const LineCounts& now) {
  // The counters only grow, but wrap: any change means new errors of that kind.
  std::uint32_t flags = 0;
  if (now.frame != before.frame) flags |= kCeFrame;
  if (now.overrun != before.overrun) flags |= kCeOverrun;
  if (now.parity != before.parity) flags |= kCeRxParity;
  if (now.brk != before.brk) flags |= kCeBreak;
  if (now.buffer_overrun != before.buffer_overrun) flags |= kCeRxOver;
  return flags;
}

}  // namespace comterm
