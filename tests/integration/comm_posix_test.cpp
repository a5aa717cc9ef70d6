// The POSIX serial driver over real pseudo-terminal pairs.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "fakes/pty_pair.h"
#include "serial/comm_api.h"
#include "serial/line_speed_posix.h"

namespace comterm {
namespace {

using std::chrono::milliseconds;
using testing::PtyPair;

constexpr std::uint32_t kOpenFlags = kFileAttributeNormal | kFileFlagOverlapped;

std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - since).count();
}

std::string AllByteValues() {
  std::string bytes(256, '\0');
  for (int i = 0; i < 256; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(i);
  return bytes;
}

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

Dcb LineDcb(std::uint32_t baud, std::uint8_t byte_size, std::uint8_t stop_bits,
            std::uint32_t flow_flags) {
  Dcb dcb;
  dcb.DCBlength = sizeof(Dcb);
  dcb.BaudRate = baud;
  dcb.Flags = kDcbBinary | kDcbDtrControlEnable | flow_flags;
  if ((flow_flags & kDcbRtsControlMask) == 0) dcb.Flags |= kDcbRtsControlEnable;
  dcb.ByteSize = byte_size;
  dcb.StopBits = stop_bits;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return dcb;
}

class CommPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = comm_->CreateFileA(pty_.slave_path(), kGenericRead | kGenericWrite, 0, kOpenExisting,
                               kOpenFlags);
    ASSERT_NE(port_, kInvalidHandle) << comm_->FormatMessageA(comm_->GetLastError());
  }
  void TearDown() override {
    if (port_ != kInvalidHandle) comm_->CloseHandle(port_);
  }

  termios DeviceMode() {
    termios mode{};
    tcgetattr(pty_.slave(), &mode);
    return mode;
  }

  // Reads `size` bytes through pending reads driven by waits, as the port class does.
  std::string ReadAll(std::size_t size) {
    std::string received;
    while (received.size() < size) {
      std::string chunk(size - received.size(), '\0');
      Overlapped record;
      std::uint32_t count = 0;
      if (!comm_->ReadFile(port_, chunk.data(), static_cast<std::uint32_t>(chunk.size()), &count,
                           &record)) {
        EXPECT_EQ(comm_->GetLastError(), kErrorIoPending);
        if (comm_->WaitForSingleObject(port_, 5000) != kWaitObject0) {
          comm_->PurgeComm(port_, kPurgeRxAbort);
        }
        comm_->GetOverlappedResult(port_, &record, &count, false);
        if (count == 0) break;
      }
      received.append(chunk, 0, count);
    }
    return received;
  }

  std::uint32_t WriteAll(const std::string& bytes) {
    Overlapped record;
    std::uint32_t count = 0;
    if (comm_->WriteFile(port_, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &count,
                         &record)) {
      return count;
    }
    EXPECT_EQ(comm_->GetLastError(), kErrorIoPending);
    EXPECT_EQ(comm_->WaitForSingleObject(port_, 10000), kWaitObject0);
    EXPECT_TRUE(comm_->GetOverlappedResult(port_, &record, &count, false));
    return count;
  }

  PtyPair pty_;
  std::unique_ptr<CommApi> comm_ = CreatePlatformComm();
  CommHandle port_ = kInvalidHandle;
};

struct LineCase {
  const char* name;
  Dcb dcb;
  tcflag_t cflag_set;
  tcflag_t iflag_set;
};

TEST_F(CommPosixTest, AppliesLineSettingsTheDeviceHolds) {
  const LineCase cases[] = {
      {"9600 8N1", LineDcb(9600, 8, 0, 0), CS8, 0},
      {"115200 two stop bits", LineDcb(115200, 8, 2, 0), CS8 | CSTOPB, 0},
      {"RTS/CTS", LineDcb(57600, 8, 0, kDcbOutxCtsFlow | kDcbRtsControlHandshake), CRTSCTS, 0},
      {"XON/XOFF", LineDcb(38400, 8, 0, kDcbOutX | kDcbInX), 0, IXON | IXOFF},
      {"a rate between the standard ones", LineDcb(250000, 8, 0, 0), CS8, 0},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(comm_->SetCommState(port_, c.dcb)) << comm_->GetLastError();
    const termios mode = DeviceMode();
    EXPECT_EQ(mode.c_cflag & c.cflag_set, c.cflag_set);
    EXPECT_EQ(mode.c_iflag & c.iflag_set, c.iflag_set);
    EXPECT_EQ(mode.c_cc[VSTART], 0x11);
    EXPECT_EQ(mode.c_cc[VSTOP], 0x13);
    EXPECT_EQ(mode.c_lflag & (ICANON | ECHO | ISIG), 0u) << "raw mode";
    std::uint32_t baud = 0;
    ASSERT_TRUE(GetLineSpeed(pty_.slave(), &baud));
    EXPECT_EQ(baud, c.dcb.BaudRate);
    Dcb back;
    ASSERT_TRUE(comm_->GetCommState(port_, &back));
    EXPECT_EQ(back.BaudRate, c.dcb.BaudRate);
    EXPECT_EQ(back.StopBits, c.dcb.StopBits == 0 ? 0 : 2);
    EXPECT_EQ(back.Flags & (kDcbOutX | kDcbInX | kDcbOutxCtsFlow),
              c.dcb.Flags & (kDcbOutX | kDcbInX | kDcbOutxCtsFlow));
  }
}

TEST_F(CommPosixTest, RefusesSettingsTheDeviceDoesNotHoldAndKeepsThePrevious) {
  ASSERT_TRUE(comm_->SetCommState(port_, LineDcb(19200, 8, 2, kDcbOutX | kDcbInX)));
  const termios before = DeviceMode();
  Dcb seven_even = LineDcb(9600, 7, 0, 0);
  seven_even.Parity = 2;
  seven_even.Flags |= kDcbParity;
  Dcb nine_bits = LineDcb(9600, 9, 0, 0);
  // CSTOPB gives two stop bits with 8 data bits, never one and a half.
  Dcb one_and_a_half = LineDcb(9600, 8, 1, 0);
  for (const Dcb& refused : {seven_even, nine_bits, one_and_a_half}) {
    comm_->SetLastError(0);
    EXPECT_FALSE(comm_->SetCommState(port_, refused));
    EXPECT_EQ(comm_->GetLastError(), static_cast<std::uint32_t>(EINVAL));
    const termios after = DeviceMode();
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    std::uint32_t baud = 0;
    ASSERT_TRUE(GetLineSpeed(pty_.slave(), &baud));
    EXPECT_EQ(baud, 19200u);
  }
}

TEST_F(CommPosixTest, OpenFailuresGiveClearErrorCodes) {
  struct OpenCase {
    std::string path;
    int error;
    const char* text;
  };
  const OpenCase cases[] = {
      {"/dev/pts/no-such-device", ENOENT, "No such file or directory"},
      {pty_.slave_path(), EBUSY, "Device or resource busy"},
      {"", ENOENT, "No such file or directory"},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(
        comm_->CreateFileA(c.path, kGenericRead | kGenericWrite, 0, kOpenExisting, kOpenFlags),
        kInvalidHandle);
    EXPECT_EQ(comm_->GetLastError(), static_cast<std::uint32_t>(c.error));
    EXPECT_EQ(comm_->FormatMessageA(comm_->GetLastError()), c.text);
  }
}

TEST_F(CommPosixTest, ClosingReleasesTheDeviceForTheNextOpen) {
  ASSERT_TRUE(comm_->CloseHandle(port_));
  port_ = comm_->CreateFileA(pty_.slave_path(), kGenericRead | kGenericWrite, 0, kOpenExisting,
                             kOpenFlags);
  EXPECT_NE(port_, kInvalidHandle) << comm_->GetLastError();
  EXPECT_EQ(comm_->CreateFileA(pty_.slave_path(), kGenericRead | kGenericWrite, 0, kOpenExisting,
                               kOpenFlags),
            kInvalidHandle)
      << "the reopened device is held again";
}

TEST_F(CommPosixTest, CarriesEveryByteValueBothWays) {
  const std::string bytes = AllByteValues();
  EXPECT_EQ(WriteAll(bytes), 256u);
  EXPECT_EQ(pty_.Read(256, milliseconds(5000)), bytes);
  pty_.Write(bytes);
  EXPECT_EQ(ReadAll(256), bytes);
}

TEST_F(CommPosixTest, BurstOf64KiBArrivesIntactAndInOrderBothWays) {
  const std::string burst = Pattern(64 * 1024);
  std::string peer_received;
  std::thread reader([&] { peer_received = pty_.Read(burst.size(), milliseconds(10000)); });
  EXPECT_EQ(WriteAll(burst), burst.size());
  reader.join();
  EXPECT_EQ(peer_received, burst);

  std::thread writer([&] { pty_.Write(burst); });
  const std::string received = ReadAll(burst.size());
  writer.join();
  EXPECT_EQ(received, burst);
}

TEST_F(CommPosixTest, PendingReadIsCompletedByALaterWait) {
  pty_.Write("abc");
  ASSERT_EQ(pty_.Read(0, milliseconds(0)), "");
  char buffer[6] = {};
  Overlapped record;
  std::uint32_t count = 99;
  // Let the three bytes reach the input queue first.
  ComStat stat;
  for (int i = 0; i < 100 && stat.cbInQue < 3; ++i) {
    comm_->ClearCommError(port_, nullptr, &stat);
    comm_->Sleep(5);
  }
  ASSERT_FALSE(comm_->ReadFile(port_, buffer, 6, &count, &record));
  EXPECT_EQ(comm_->GetLastError(), kErrorIoPending);
  EXPECT_EQ(comm_->WaitForSingleObject(port_, 0), kWaitTimeout);
  pty_.Write("def");
  EXPECT_EQ(comm_->WaitForSingleObject(port_, 5000), kWaitObject0);
  ASSERT_TRUE(comm_->GetOverlappedResult(port_, &record, &count, false));
  EXPECT_EQ(count, 6u);
  EXPECT_EQ(std::string(buffer, 6), "abcdef");
}

TEST_F(CommPosixTest, PurgeAbortEndsAPendingReadWithWhatItHas) {
  pty_.Write("xy");
  char buffer[8] = {};
  Overlapped record;
  std::uint32_t count = 0;
  comm_->Sleep(50);
  ASSERT_FALSE(comm_->ReadFile(port_, buffer, 8, &count, &record));
  EXPECT_EQ(comm_->WaitForSingleObject(port_, 50), kWaitTimeout);
  ASSERT_TRUE(comm_->PurgeComm(port_, kPurgeRxAbort));
  EXPECT_FALSE(comm_->GetOverlappedResult(port_, &record, &count, false));
  EXPECT_EQ(comm_->GetLastError(), static_cast<std::uint32_t>(ECANCELED));
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(std::string(buffer, 2), "xy");
}

class CommEventTest : public CommPosixTest {
 protected:
  // Arms EV_RXCHAR and waits on the event as the port class does; returns the wait result.
  std::uint32_t WaitForInput(std::uint32_t timeout_ms, std::uint32_t* events) {
    const CommHandle event = comm_->CreateEventA(true, false);
    Overlapped record;
    record.hEvent = event;
    comm_->SetCommMask(port_, kEvRxChar);
    std::uint32_t result = kWaitObject0;
    if (!comm_->WaitCommEvent(port_, events, &record)) {
      EXPECT_EQ(comm_->GetLastError(), kErrorIoPending);
      result = comm_->WaitForSingleObject(event, timeout_ms);
      comm_->SetCommMask(port_, 0);
      std::uint32_t count = 0;
      EXPECT_TRUE(comm_->GetOverlappedResult(port_, &record, &count, true));
    }
    comm_->SetCommMask(port_, 0);
    comm_->CloseHandle(event);
    return result;
  }
};

TEST_F(CommEventTest, WaitEndsAsSoonAsAByteArrives) {
  std::thread peer([&] {
    std::this_thread::sleep_for(milliseconds(50));
    pty_.Write("!");
  });
  const auto start = std::chrono::steady_clock::now();
  std::uint32_t events = 0;
  EXPECT_EQ(WaitForInput(10000, &events), kWaitObject0);
  EXPECT_LT(ElapsedMs(start), 5000);
  peer.join();
  EXPECT_EQ(events, kEvRxChar);
}

TEST_F(CommEventTest, WaitRunsOutItsTimeoutWhenNothingArrives) {
  const auto start = std::chrono::steady_clock::now();
  std::uint32_t events = 99;
  EXPECT_EQ(WaitForInput(100, &events), kWaitTimeout);
  EXPECT_GE(ElapsedMs(start), 90);
  EXPECT_EQ(events, 0u) << "clearing the mask ends the wait with no event";
}

TEST_F(CommEventTest, BytesAlreadyQueuedCompleteTheWaitAtOnce) {
  pty_.Write("q");
  comm_->Sleep(50);
  std::uint32_t events = 0;
  const CommHandle event = comm_->CreateEventA(true, false);
  Overlapped record;
  record.hEvent = event;
  comm_->SetCommMask(port_, kEvRxChar | kEvTxEmpty);
  EXPECT_TRUE(comm_->WaitCommEvent(port_, &events, &record));
  EXPECT_EQ(events, kEvRxChar | kEvTxEmpty);
  comm_->CloseHandle(event);
}

TEST_F(CommPosixTest, WaitOnAPlainDescriptorEndsWhenItIsReadable) {
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const CommHandle event = comm_->CreateEventA(true, false);
  const CommHandle handles[] = {event, static_cast<CommHandle>(pipe_fds[0])};
  EXPECT_EQ(comm_->WaitForMultipleObjects(2, handles, 20), kWaitTimeout);
  ASSERT_EQ(write(pipe_fds[1], "k", 1), 1);
  EXPECT_EQ(comm_->WaitForMultipleObjects(2, handles, 5000), kWaitObject0 + 1);
  comm_->CloseHandle(event);
  close(pipe_fds[0]);
  close(pipe_fds[1]);
}

TEST_F(CommPosixTest, QueueCountsDrainAndLineCallsOfAPseudoTerminal) {
  pty_.Write("12345");
  comm_->Sleep(50);
  std::uint32_t errors = 99;
  ComStat stat;
  ASSERT_TRUE(comm_->ClearCommError(port_, &errors, &stat));
  EXPECT_EQ(errors, 0u);
  EXPECT_EQ(stat.cbInQue, 5u);
  ASSERT_TRUE(
      comm_->PurgeComm(port_, kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear));
  ASSERT_TRUE(comm_->ClearCommError(port_, &errors, &stat));
  EXPECT_EQ(stat.cbInQue, 0u);

  EXPECT_EQ(WriteAll("drained"), 7u);
  EXPECT_TRUE(comm_->FlushFileBuffers(port_));
  EXPECT_EQ(pty_.Read(7, milliseconds(5000)), "drained");

  // A pseudo-terminal has no modem lines: the calls report that they failed.
  std::uint32_t status = 0;
  comm_->SetLastError(0);
  EXPECT_FALSE(comm_->GetCommModemStatus(port_, &status));
  EXPECT_NE(comm_->GetLastError(), 0u);
  std::uint16_t address = 99;
  EXPECT_FALSE(comm_->EscapeCommFunction(port_, kGetBaseAddress, &address));
  EXPECT_EQ(comm_->GetLastError(), static_cast<std::uint32_t>(EINVAL));
  EXPECT_EQ(address, 0);
  EXPECT_TRUE(comm_->IsNtFamily());
}

TEST(CommPosixHandles, CallsOnAHandleThatIsNoPortFailWithEbadf) {
  std::unique_ptr<CommApi> comm = CreatePlatformComm();
  Dcb dcb;
  EXPECT_FALSE(comm->SetCommState(kInvalidHandle, dcb));
  EXPECT_EQ(comm->GetLastError(), static_cast<std::uint32_t>(EBADF));
  EXPECT_FALSE(comm->ClearCommError(0, nullptr, nullptr));
  EXPECT_EQ(comm->GetLastError(), static_cast<std::uint32_t>(EBADF));
}

}  // namespace
}  // namespace comterm
