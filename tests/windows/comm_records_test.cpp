// Unit tests of the Win32 serial backend's record copies, run under wine by the Windows
// suite. They compare against the real Windows records, so they show what a pty cannot:
// 1.5 stop bits, data bits other than 8, mark and space parity, and every DCB flag. Built
// for the architecture of the build under test, they also hold the records' sizes and
// offsets there: the ones that differ between i686 and x86-64 are checked when compiling,
// so a machine that cannot run a 32-bit program still proves the 32-bit layouts.
// Prints one line per failed check and exits with 1 when any failed.
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "serial/comm_records_win32.h"

namespace comterm {
namespace {

int g_failures = 0;

void Expect(bool ok, const char* what, unsigned long actual, unsigned long expected, int line) {
  if (ok) return;
  ++g_failures;
  std::printf("line %d: %s: found 0x%lX, expected 0x%lX\n", line, what, actual, expected);
}

#define EXPECT_SAME(actual, expected) \
  Expect((actual) == (expected), #actual, (actual), (expected), __LINE__)

constexpr bool k32Bit = sizeof(void*) == 4;

// The transfer record and the handles are where the two architectures part.
static_assert(sizeof(HANDLE) == (k32Bit ? 4 : 8));
static_assert(sizeof(OVERLAPPED) == (k32Bit ? 20 : 32));
static_assert(offsetof(OVERLAPPED, Offset) == (k32Bit ? 8 : 16));
static_assert(offsetof(OVERLAPPED, hEvent) == (k32Bit ? 16 : 24));
static_assert(sizeof(Overlapped) == sizeof(OVERLAPPED));
// The line records are the same on both.
static_assert(sizeof(DCB) == 28 && sizeof(Dcb) == 28);
static_assert(sizeof(COMMTIMEOUTS) == 20 && sizeof(CommTimeouts) == 20);
static_assert(sizeof(COMSTAT) == 12 && sizeof(ComStat) == 12);

// Every field of our records sits where the Windows record has it, on this architecture.
void TestLayouts() {
  struct Field {
    const char* name;
    std::size_t ours;
    std::size_t windows;
  };
#define FIELD(ours, windows, field) \
  { #windows "." #field, offsetof(ours, field), offsetof(windows, field) }
  const Field fields[] = {
      FIELD(Dcb, DCB, DCBlength),
      FIELD(Dcb, DCB, BaudRate),
      FIELD(Dcb, DCB, wReserved),
      FIELD(Dcb, DCB, XonLim),
      FIELD(Dcb, DCB, XoffLim),
      FIELD(Dcb, DCB, ByteSize),
      FIELD(Dcb, DCB, Parity),
      FIELD(Dcb, DCB, StopBits),
      FIELD(Dcb, DCB, XonChar),
      FIELD(Dcb, DCB, XoffChar),
      FIELD(Dcb, DCB, ErrorChar),
      FIELD(Dcb, DCB, EofChar),
      FIELD(Dcb, DCB, EvtChar),
      FIELD(Dcb, DCB, wReserved1),
      FIELD(CommTimeouts, COMMTIMEOUTS, ReadIntervalTimeout),
      FIELD(CommTimeouts, COMMTIMEOUTS, ReadTotalTimeoutMultiplier),
      FIELD(CommTimeouts, COMMTIMEOUTS, ReadTotalTimeoutConstant),
      FIELD(CommTimeouts, COMMTIMEOUTS, WriteTotalTimeoutMultiplier),
      FIELD(CommTimeouts, COMMTIMEOUTS, WriteTotalTimeoutConstant),
      FIELD(ComStat, COMSTAT, cbInQue),
      FIELD(ComStat, COMSTAT, cbOutQue),
      FIELD(Overlapped, OVERLAPPED, Internal),
      FIELD(Overlapped, OVERLAPPED, InternalHigh),
      FIELD(Overlapped, OVERLAPPED, Offset),
      FIELD(Overlapped, OVERLAPPED, OffsetHigh),
      FIELD(Overlapped, OVERLAPPED, hEvent),
  };
#undef FIELD
  for (const Field& field : fields) {
    if (field.ours == field.windows) continue;
    ++g_failures;
    std::printf("%s: ours at offset %zu, Windows at %zu\n", field.name, field.ours, field.windows);
  }
}

// The DCB's flag word as Windows lays out its bit fields: the 32 bits after BaudRate.
DWORD FlagWord(const DCB& dcb) {
  DWORD word;
  std::memcpy(&word, reinterpret_cast<const char*>(&dcb) + offsetof(DCB, BaudRate) + 4,
              sizeof word);
  return word;
}

// Every flag value lands on the bit fields of the same positions, and comes back whole.
void TestDcbFlags() {
  const std::uint32_t cases[] = {
      kDcbBinary,
      kDcbParity,
      kDcbOutxCtsFlow,
      kDcbOutxDsrFlow,
      kDcbDtrControlEnable,
      0x0020,
      kDcbDsrSensitivity,
      kDcbTxContinueOnXoff,
      kDcbOutX,
      kDcbInX,
      kDcbErrorChar,
      kDcbNull,
      kDcbRtsControlEnable,
      kDcbRtsControlHandshake,
      kDcbRtsControlToggle,
      kDcbAbortOnError,
      0x1011,  // as configured: no flow control, no parity
      0x2317,  // both flow controls with parity
  };
  for (std::uint32_t flags : cases) {
    Dcb ours;
    ours.Flags = flags;
    const DCB windows = ToWindowsDcb(ours);
    EXPECT_SAME(FlagWord(windows), static_cast<DWORD>(flags));
    EXPECT_SAME(FromWindowsDcb(windows).Flags, flags);
  }
}

// The named fields that matter to the terminal, for the settings it writes.
void TestDcbNamedFlags() {
  Dcb hard_flow;
  hard_flow.Flags = 0x2317;
  const DCB windows = ToWindowsDcb(hard_flow);
  EXPECT_SAME(windows.fBinary, 1u);
  EXPECT_SAME(windows.fParity, 1u);
  EXPECT_SAME(windows.fOutxCtsFlow, 1u);
  EXPECT_SAME(windows.fOutxDsrFlow, 0u);
  EXPECT_SAME(windows.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
  EXPECT_SAME(windows.fOutX, 1u);
  EXPECT_SAME(windows.fInX, 1u);
  EXPECT_SAME(windows.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
}

// Every other field, with values a pty cannot take, one distinct value each.
void TestDcbFields() {
  Dcb ours;
  ours.DCBlength = 28;
  ours.BaudRate = 250000;
  ours.wReserved = 0;
  ours.XonLim = 1024;
  ours.XoffLim = 1000;
  ours.ByteSize = 7;
  ours.Parity = 3;    // mark
  ours.StopBits = 1;  // one and a half
  ours.XonChar = 17;
  ours.XoffChar = 19;
  ours.ErrorChar = 0x3F;
  ours.EofChar = 0x1A;
  ours.EvtChar = 0x0D;
  const DCB windows = ToWindowsDcb(ours);
  EXPECT_SAME(sizeof(DCB), sizeof(Dcb));
  EXPECT_SAME(windows.DCBlength, static_cast<DWORD>(sizeof(DCB)));
  EXPECT_SAME(windows.BaudRate, 250000ul);
  EXPECT_SAME(windows.XonLim, 1024u);
  EXPECT_SAME(windows.XoffLim, 1000u);
  EXPECT_SAME(windows.ByteSize, 7u);
  EXPECT_SAME(windows.Parity, static_cast<unsigned>(MARKPARITY));
  EXPECT_SAME(windows.StopBits, static_cast<unsigned>(ONE5STOPBITS));
  EXPECT_SAME(windows.XonChar, 17);
  EXPECT_SAME(windows.XoffChar, 19);
  EXPECT_SAME(windows.ErrorChar, 0x3F);
  EXPECT_SAME(windows.EofChar, 0x1A);
  EXPECT_SAME(windows.EvtChar, 0x0D);

  Dcb space_two_stop;
  space_two_stop.Parity = 4;
  space_two_stop.StopBits = 2;
  space_two_stop.ByteSize = 5;
  const DCB other = ToWindowsDcb(space_two_stop);
  EXPECT_SAME(other.Parity, static_cast<unsigned>(SPACEPARITY));
  EXPECT_SAME(other.StopBits, static_cast<unsigned>(TWOSTOPBITS));
  EXPECT_SAME(other.ByteSize, 5u);

  const Dcb back = FromWindowsDcb(windows);
  EXPECT_SAME(back.BaudRate, ours.BaudRate);
  EXPECT_SAME(back.XonLim, ours.XonLim);
  EXPECT_SAME(back.XoffLim, ours.XoffLim);
  EXPECT_SAME(back.ByteSize, ours.ByteSize);
  EXPECT_SAME(back.Parity, ours.Parity);
  EXPECT_SAME(back.StopBits, ours.StopBits);
  EXPECT_SAME(back.XonChar, ours.XonChar);
  EXPECT_SAME(back.XoffChar, ours.XoffChar);
  EXPECT_SAME(back.ErrorChar, ours.ErrorChar);
  EXPECT_SAME(back.EofChar, ours.EofChar);
  EXPECT_SAME(back.EvtChar, ours.EvtChar);
}

void TestTimeouts() {
  CommTimeouts ours;
  ours.ReadIntervalTimeout = 0xFFFF;
  ours.ReadTotalTimeoutMultiplier = 2;
  ours.ReadTotalTimeoutConstant = 3;
  ours.WriteTotalTimeoutMultiplier = 4;
  ours.WriteTotalTimeoutConstant = 5;
  const COMMTIMEOUTS windows = ToWindowsTimeouts(ours);
  EXPECT_SAME(windows.ReadIntervalTimeout, 0xFFFFul);
  EXPECT_SAME(windows.ReadTotalTimeoutMultiplier, 2ul);
  EXPECT_SAME(windows.ReadTotalTimeoutConstant, 3ul);
  EXPECT_SAME(windows.WriteTotalTimeoutMultiplier, 4ul);
  EXPECT_SAME(windows.WriteTotalTimeoutConstant, 5ul);
}

// Each hold flag of COMSTAT keeps its bit position; the queue counts pass unchanged.
void TestComStat() {
  for (int bit = 0; bit < 7; ++bit) {
    COMSTAT windows{};
    const DWORD word = 1u << bit;
    std::memcpy(&windows, &word, sizeof word);
    windows.cbInQue = 4096;
    windows.cbOutQue = 17;
    const ComStat ours = FromWindowsComStat(windows);
    EXPECT_SAME(ours.Flags, static_cast<std::uint32_t>(word));
    EXPECT_SAME(ours.cbInQue, 4096u);
    EXPECT_SAME(ours.cbOutQue, 17u);
  }
}

}  // namespace
}  // namespace comterm

int main() {
  std::printf("records of the %d-bit build\n", comterm::k32Bit ? 32 : 64);
  comterm::TestLayouts();
  comterm::TestDcbFlags();
  comterm::TestDcbNamedFlags();
  comterm::TestDcbFields();
  comterm::TestTimeouts();
  comterm::TestComStat();
  std::printf("%d failed\n", comterm::g_failures);
  return comterm::g_failures == 0 ? 0 : 1;
}
