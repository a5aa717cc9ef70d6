// Pure conversions of the POSIX driver: DCB to termios and back, line-error deltas, and
// COM names to device paths.
#include "serial/termios_dcb_posix.h"

#include <gtest/gtest.h>

#include "fakes/pty_pair.h"
#include "serial/comm_posix.h"
#include "serial/line_errors_posix.h"
#include "serial/line_speed_posix.h"
#include "serial/speed_code_posix.h"

namespace comterm {
namespace {

Dcb MakeDcb(std::uint8_t byte_size, std::uint8_t parity, std::uint8_t stop_bits,
            std::uint32_t flags) {
  Dcb dcb;
  dcb.BaudRate = 9600;
  dcb.ByteSize = byte_size;
  dcb.Parity = parity;
  dcb.StopBits = stop_bits;
  dcb.Flags = kDcbBinary | flags;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return dcb;
}

TEST(TermiosDcb, LineSettingsBecomeTermiosFlagsAndReadBack) {
  struct Case {
    Dcb dcb;
    tcflag_t cflag;  // expected among CSIZE, PARENB, PARODD, CMSPAR, CSTOPB, CRTSCTS
    tcflag_t iflag;  // expected among IXON, IXOFF, INPCK
    std::uint8_t stop_bits_back;
  };
  const Case cases[] = {
      {MakeDcb(8, 0, 0, 0), CS8, 0, 0},
      {MakeDcb(5, 0, 0, 0), CS5, 0, 0},
      {MakeDcb(6, 1, 0, kDcbParity), CS6 | PARENB | PARODD, INPCK, 0},
      {MakeDcb(7, 2, 2, kDcbParity), CS7 | PARENB | CSTOPB, INPCK, 2},
      {MakeDcb(7, 3, 0, 0), CS7 | PARENB | PARODD | CMSPAR, 0, 0},
      {MakeDcb(8, 4, 0, 0), CS8 | PARENB | CMSPAR, 0, 0},
      {MakeDcb(5, 0, 1, 0), CS5 | CSTOPB, 0, 2},  // 1.5 stop bits exist with 5 data bits
      {MakeDcb(8, 0, 2, 0), CS8 | CSTOPB, 0, 2},
      {MakeDcb(8, 0, 0, kDcbOutxCtsFlow | kDcbRtsControlHandshake), CS8 | CRTSCTS, 0, 0},
      {MakeDcb(8, 0, 0, kDcbOutX | kDcbInX), CS8, IXON | IXOFF, 0},
  };
  const tcflag_t line_bits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.dcb.ByteSize) << " bits, parity "
                                      << int(c.dcb.Parity) << ", flags " << c.dcb.Flags);
    termios mode{};
    mode.c_lflag = ICANON | ECHO;
    mode.c_iflag = IXANY | ICRNL;
    ASSERT_TRUE(DcbToTermios(c.dcb, &mode));
    EXPECT_EQ(mode.c_cflag & line_bits, c.cflag);
    EXPECT_EQ(mode.c_iflag & (IXON | IXOFF | INPCK | IXANY | ICRNL), c.iflag);
    EXPECT_EQ(mode.c_cflag & (CLOCAL | CREAD), tcflag_t{CLOCAL | CREAD});
    EXPECT_EQ(mode.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(mode.c_cc[VMIN], 0);
    EXPECT_EQ(mode.c_cc[VTIME], 0);

    const Dcb back = TermiosToDcb(mode, 9600);
    EXPECT_EQ(back.ByteSize, c.dcb.ByteSize);
    EXPECT_EQ(back.Parity, c.dcb.Parity);
    EXPECT_EQ(back.StopBits, c.stop_bits_back);
    EXPECT_EQ(back.Flags & (kDcbOutX | kDcbInX | kDcbOutxCtsFlow | kDcbParity),
              c.dcb.Flags & (kDcbOutX | kDcbInX | kDcbOutxCtsFlow | kDcbParity));
    EXPECT_EQ(back.XonChar, 0x11);
    EXPECT_EQ(back.XoffChar, 0x13);
    EXPECT_TRUE(SameLineSettings(mode, mode));
  }
}

TEST(TermiosDcb, ValuesWithoutATermiosEquivalentAreRefusedAndChangeNothing) {
  // CSTOPB gives 2 stop bits with 6 to 8 data bits and 1.5 with 5: the other pairs have
  // no termios equivalent.
  for (const Dcb& dcb :
       {MakeDcb(4, 0, 0, 0), MakeDcb(9, 0, 0, 0), MakeDcb(8, 5, 0, 0), MakeDcb(8, 0, 3, 0),
        MakeDcb(6, 0, 1, 0), MakeDcb(7, 0, 1, 0), MakeDcb(8, 0, 1, 0), MakeDcb(5, 0, 2, 0)}) {
    SCOPED_TRACE(::testing::Message()
                 << int(dcb.ByteSize) << " bits, stop code " << int(dcb.StopBits));
    termios mode{};
    mode.c_cflag = CS7 | PARENB;
    EXPECT_FALSE(DcbToTermios(dcb, &mode));
    EXPECT_EQ(mode.c_cflag, tcflag_t{CS7 | PARENB});
  }
}

TEST(TermiosDcb, SameLineSettingsSeesWhatADeviceChanged) {
  termios wanted{};
  ASSERT_TRUE(DcbToTermios(MakeDcb(7, 2, 0, kDcbOutX), &wanted));
  termios held = wanted;
  held.c_cflag = (held.c_cflag & ~(CSIZE | PARENB)) | CS8;
  EXPECT_FALSE(SameLineSettings(wanted, held));
  held = wanted;
  held.c_cc[VSTART] = 0;
  EXPECT_FALSE(SameLineSettings(wanted, held));
  held = wanted;
  held.c_oflag ^= OPOST;
  EXPECT_TRUE(SameLineSettings(wanted, held)) << "settings the DCB does not carry are ignored";
}

TEST(TermiosDcb, StandardSpeedsMapBothWays) {
  EXPECT_EQ(SpeedToBaud(B57600), 57600u);
  EXPECT_EQ(SpeedToBaud(B4000000), 4000000u);
}

// A standard rate is set as its constant, any other as a custom rate; a pty keeps what it
// is given, so reading it back shows which.
TEST(TermiosDcb, StandardRatesAreSetAsTheirConstantsOthersAsCustomRates) {
  const std::pair<std::uint32_t, speed_t> cases[] = {
      {9600, B9600}, {115200, B115200}, {4000000, B4000000}, {250000, B0}, {123457, B0}};
  testing::PtyPair pty;
  for (const auto& [baud, code] : cases) {
    SCOPED_TRACE(baud);
    EXPECT_EQ(StandardSpeed(baud), code);
    EXPECT_EQ(StandardSpeedCode(baud), static_cast<std::uint32_t>(code));
    ASSERT_TRUE(SetLineSpeed(pty.slave(), baud));
    termios held{};
    ASSERT_EQ(tcgetattr(pty.slave(), &held), 0);
    if (code != B0) {
      EXPECT_EQ(cfgetospeed(&held), code);
      EXPECT_EQ(cfgetispeed(&held), code);
    } else {
      EXPECT_EQ(SpeedToBaud(cfgetospeed(&held)), 0u) << "a custom rate has no constant";
    }
    std::uint32_t back = 0;
    ASSERT_TRUE(GetLineSpeed(pty.slave(), &back));
    EXPECT_EQ(back, baud);
  }
}

TEST(LineErrors, CounterChangesBecomeFlags) {
  const LineCounts before{1, 2, 3, 4, 5};
  EXPECT_EQ(LineErrorFlags(before, before), 0u);
  EXPECT_EQ(LineErrorFlags(before, LineCounts{2, 2, 3, 4, 5}), kCeFrame);
  EXPECT_EQ(LineErrorFlags(before, LineCounts{1, 3, 4, 4, 5}), kCeOverrun | kCeRxParity);
  EXPECT_EQ(LineErrorFlags(before, LineCounts{1, 2, 3, 5, 6}), kCeBreak | kCeRxOver);
  EXPECT_EQ(LineErrorFlags(LineCounts{0xFFFFFFFFu, 0, 0, 0, 0}, LineCounts{0, 0, 0, 0, 0}),
            kCeFrame)
      << "a counter that wrapped still counts";
}

TEST(DevicePath, ComNamesBecomeSerialDevicesOtherNamesStay) {
  EXPECT_EQ(DevicePathOf("\\\\.\\COM1"), "/dev/ttyS0");
  EXPECT_EQ(DevicePathOf("\\\\.\\COM12"), "/dev/ttyS11");
  EXPECT_EQ(DevicePathOf("\\\\.\\COM0"), "\\\\.\\COM0");
  EXPECT_EQ(DevicePathOf("\\\\.\\COM-1"), "\\\\.\\COM-1");
  EXPECT_EQ(DevicePathOf("\\\\.\\COM"), "\\\\.\\COM");
  EXPECT_EQ(DevicePathOf("\\\\.\\COM99999999999"), "\\\\.\\COM99999999999");
  EXPECT_EQ(DevicePathOf("/dev/pts/3"), "/dev/pts/3");
  EXPECT_EQ(DevicePathOf(""), "");
}

}  // namespace
}  // namespace comterm
