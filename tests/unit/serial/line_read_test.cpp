#include <gtest/gtest.h>

#include "serial_fixture.h"

namespace comterm::testing {
namespace {

using LineReadTest = SerialTest;

TEST_F(LineReadTest, LineEndsAtTheTerminatorAndTheRestWaits) {
  OpenCom1();
  comm.Arrive(0, "abc\r\ndef\r\n");
  EXPECT_EQ(port.ReadLine(100), "abc");
  EXPECT_EQ(port.LineBuffer, "def\r\n");
  EXPECT_EQ(port.ReadTerminated(100, "e"), "d");
  EXPECT_EQ(port.LineBuffer, "f\r\n");
  EXPECT_EQ(port.ReadLine(100), "f");
  // Without conversion a lone LF does not end a line.
  comm.Arrive(0, "g\nh");
  EXPECT_EQ(port.ReadLine(0), "");
  EXPECT_EQ(port.LastErrorCode, errTimeout);
}

TEST_F(LineReadTest, ConvertedLineEndsAcceptEveryPairingAndDropTheSplitPartner) {
  OpenCom1();
  port.ConvertLineEnd = true;
  comm.Arrive(0, "a\rb\nc\r\nd\n\re\r");
  for (const char* line : {"a", "b", "c", "d", "e"}) EXPECT_EQ(port.ReadLine(100), line);
  EXPECT_TRUE(port.LastEndWasCr);
  comm.Arrive(10, "\nf\r\n");
  EXPECT_EQ(port.ReadLine(100), "f");
  EXPECT_FALSE(port.LastEndWasCr);
  EXPECT_EQ(port.LineBuffer, "");
}

TEST_F(LineReadTest, TimedOutLineIsKeptUntilItsEndArrives) {
  OpenCom1();
  comm.Arrive(0, "par");
  EXPECT_EQ(port.ReadLine(100), "");
  EXPECT_EQ(port.LastErrorCode, errTimeout);
  EXPECT_EQ(comm.Now(), 100u);
  comm.Arrive(150, "tial\r\n");
  EXPECT_EQ(port.ReadLine(100), "partial");
}

TEST_F(LineReadTest, OverlongLineIsDroppedWithBufferLimit) {
  OpenCom1();
  port.MaxLineLength = 3;
  comm.Arrive(0, "abcdef\r\nxy\r\n");
  EXPECT_EQ(port.ReadLine(100), "");
  EXPECT_EQ(port.LastErrorCode, errBufferLimit);
  EXPECT_EQ(port.ReadLine(100), "xy");
  EXPECT_EQ(port.LastErrorCode, 0);
}

TEST_F(LineReadTest, IntegersAndBlocksReadBackWhatWriteBlockSends) {
  OpenCom1();
  comm.Arrive(0, std::string("\x03\0\0\0abc\x78\x56\x34\x12", 11));
  EXPECT_EQ(port.ReadBlock(100), "abc");
  EXPECT_EQ(port.ReadInteger(100), 0x12345678);
  EXPECT_EQ(port.ReadInteger(100), 0);
  EXPECT_EQ(port.LastErrorCode, errTimeout);
}

using ModemCommandTest = SerialTest;

TEST_F(ModemCommandTest, AtCommandCollectsTheReplyAfterTheEcho) {
  OpenCom1();
  comm.Arrive(5, "ATZ\r\r\nOK\r\n");
  EXPECT_EQ(port.AtCommand("ATZ"), "\r\nOK\r\n");
  EXPECT_TRUE(port.AtResult);
  EXPECT_FALSE(port.ConvertLineEnd);
  EXPECT_EQ(comm.Wire(), "ATZ\r");
}

TEST_F(ModemCommandTest, AtConnectEndsAtTheDialResult) {
  const struct {
    const char* reply;
    const char* collected;
    bool result;
  } cases[] = {
      {"ATD1\r\nCONNECT 9600\r\n", "CONNECT 9600\r\n", true},
      {"BUSY\r\nCONNECT\r\n", "BUSY\r\n", false},
      {"RING\r\nNO CARRIER\r\n", "RING\r\nNO CARRIER\r\n", false},
  };
  for (const auto& c : cases) {
    FakeComm comm;
    comm.AddDevice(kCom1Path);
    TBlockSerial port(comm);
    port.OpenPort("COM1");
    comm.Arrive(10, c.reply);
    EXPECT_EQ(port.AtConnect("ATD1"), c.collected);
    EXPECT_EQ(port.AtResult, c.result);
  }
}

TEST_F(ModemCommandTest, SilentModemStopsAtTheTimeout) {
  OpenCom1();
  EXPECT_EQ(port.AtCommand("AT"), "");
  EXPECT_FALSE(port.AtResult);
  EXPECT_EQ(port.LastErrorCode, errTimeout);
  EXPECT_EQ(comm.Now(), 1000u);
  EXPECT_EQ(port.AtConnect("ATD"), "");
  EXPECT_EQ(comm.Now(), 91000u);
}

}  // namespace
}  // namespace comterm::testing
