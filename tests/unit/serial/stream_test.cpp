#include <gtest/gtest.h>

#include <sstream>

#include "serial_fixture.h"

namespace comterm::testing {
namespace {

using StreamTest = SerialTest;

TEST_F(StreamTest, StreamIsSentFromItsPositionInPiecesOf8192) {
  OpenCom1();
  std::istringstream in("skip" + std::string(20000, 'x'));
  in.seekg(4);
  port.WriteStream(in);
  EXPECT_EQ(comm.CallsNamed("WriteFile"),
            (std::vector<std::string>{"WriteFile(port,8192)", "WriteFile(port,8192)",
                                      "WriteFile(port,3616)"}));
  EXPECT_EQ(comm.Wire(), std::string(20000, 'x'));
}

TEST_F(StreamTest, SizedStreamsPutTheCountInFrontInEitherByteOrder) {
  OpenCom1();
  std::istringstream lsb("abc");
  port.WriteStreamWithSize(lsb);
  std::istringstream msb("de");
  port.WriteStreamWithSizeMsb(msb);
  EXPECT_EQ(comm.Wire(), std::string("\x03\0\0\0abc\0\0\0\x02"
                                     "de",
                                     13));
}

TEST_F(StreamTest, ReceivedBytesAreWrittenToTheStream) {
  OpenCom1();
  comm.Arrive(0, std::string("\x05\0\0\0hello\0\0\0\x02hi", 15));
  std::ostringstream lsb;
  port.ReadStreamWithSize(lsb, 100);
  EXPECT_EQ(lsb.str(), "hello");
  std::ostringstream msb;
  port.ReadStreamWithSizeMsb(msb, 100);
  EXPECT_EQ(msb.str(), "hi");

  comm.Arrive(0, "ab");
  comm.Arrive(50, "cd");
  std::ostringstream packets;
  port.ReadStreamPackets(packets, 100);
  EXPECT_EQ(packets.str(), "abcd");
  EXPECT_EQ(port.LastErrorCode, errTimeout);
}

}  // namespace
}  // namespace comterm::testing
