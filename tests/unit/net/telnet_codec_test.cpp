// The telnet byte stream: data escaped for the wire, and commands taken out of it
// however the stream is cut into reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/telnet_codec.h"

namespace comterm::telnet {
namespace {

using Kind = Command::Kind;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes += static_cast<char>(v);
  return bytes;
}

TEST(TelnetEscape, DoublesOnlyIac) {
  EXPECT_EQ(EscapeData(Bytes({1, 255, 2, 255, 255})), Bytes({1, 255, 255, 2, 255, 255, 255, 255}));
  EXPECT_EQ(EscapeData(Bytes({0, 254, 250, 240})), Bytes({0, 254, 250, 240}));
  EXPECT_EQ(Subnegotiation(44, Bytes({1, 0, 0, 255, 0})),
            Bytes({255, 250, 44, 1, 0, 0, 255, 255, 0, 255, 240}));
}

struct DecodeCase {
  const char* name;
  std::string wire;
  std::string data;
  std::vector<Command> commands;
};

class TelnetDecode : public ::testing::TestWithParam<DecodeCase> {};

// Each case is fed whole, and again one byte per read: the outcome must not differ.
TEST_P(TelnetDecode, DataAndCommandsWholeAndSplit) {
  const DecodeCase& c = GetParam();
  for (const std::size_t piece : {c.wire.size(), std::size_t{1}}) {
    Decoder decoder;
    std::string data;
    std::vector<Command> commands;
    for (std::size_t at = 0; at < c.wire.size(); at += piece) {
      decoder.Feed(std::string_view(c.wire).substr(at, piece), &data, &commands);
    }
    EXPECT_EQ(data, c.data) << "pieces of " << piece;
    EXPECT_EQ(commands, c.commands) << "pieces of " << piece;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TelnetDecode,
    ::testing::Values(
        DecodeCase{"PlainData", "hello", "hello", {}},
        DecodeCase{"DoubledIacIsOneByte", Bytes({'a', 255, 255, 'b'}), Bytes({'a', 255, 'b'}), {}},
        DecodeCase{"Negotiations",
                   Bytes({'x', 255, 251, 0, 255, 253, 44, 'y'}),
                   "xy",
                   {{Kind::Negotiation, kWill, 0, ""}, {Kind::Negotiation, kDo, 44, ""}}},
        DecodeCase{"OtherCommandsVanish",
                   Bytes({'a', 255, 241, 'b', 255, 249}),
                   "ab",
                   {{Kind::Other, 241, 0, ""}, {Kind::Other, 249, 0, ""}}},
        DecodeCase{"Subnegotiation",
                   Bytes({255, 250, 44, 101, 0, 0, 0xE1, 0, 255, 240, 'z'}),
                   "z",
                   {{Kind::Subnegotiation, kSb, 44, Bytes({101, 0, 0, 0xE1, 0})}}},
        DecodeCase{"IacDoubledInsideSubnegotiation",
                   Bytes({255, 250, 44, 101, 0, 0, 255, 255, 255, 240}),
                   "",
                   {{Kind::Subnegotiation, kSb, 44, Bytes({101, 0, 0, 255})}}},
        // A subnegotiation cut short by another command ends there; the data after it
        // is not swallowed.
        DecodeCase{
            "UnterminatedSubnegotiation",
            Bytes({255, 250, 44, 107, 255, 253, 3, 'q'}),
            "q",
            {{Kind::Subnegotiation, kSb, 44, Bytes({107})}, {Kind::Negotiation, kDo, 3, ""}}},
        DecodeCase{"AllByteValuesBesideCommands",
                   Bytes({0, 10, 13, 127, 128, 254, 255, 255}),
                   Bytes({0, 10, 13, 127, 128, 254, 255}),
                   {}}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace comterm::telnet
