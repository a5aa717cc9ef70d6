// The client session: the options it negotiates, the commands it frames, and what it
// makes of the server's answers.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "net/rfc2217_session.h"

namespace comterm::rfc2217 {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes += static_cast<char>(v);
  return bytes;
}

std::string Neg(int verb, int option) {
  return Bytes({255, verb, option});
}

std::string ServerAnswer(std::initializer_list<int> payload) {
  std::string framed = Bytes({255, 250, 44});
  for (const int v : payload) {
    framed += static_cast<char>(v);
    if (v == 255) framed += static_cast<char>(v);
  }
  return framed + Bytes({255, 240});
}

TEST(Rfc2217Frames, SetCommands) {
  EXPECT_EQ(SetBaudRate(57600), Bytes({255, 250, 44, 1, 0, 0, 0xE1, 0x00, 255, 240}));
  // A baud rate with a 0xFF byte has it doubled inside the subnegotiation.
  EXPECT_EQ(SetBaudRate(0x1FF), Bytes({255, 250, 44, 1, 0, 0, 1, 255, 255, 255, 240}));
  EXPECT_EQ(Command(kSetControl, kFlowHardware), Bytes({255, 250, 44, 5, 3, 255, 240}));
  EXPECT_EQ(Command(kPurgeData, kPurgeReceive), Bytes({255, 250, 44, 12, 1, 255, 240}));
}

TEST(Rfc2217Negotiation, OpeningOffersAndAsks) {
  Session session;
  EXPECT_EQ(session.Opening(),
            Neg(251, 0) + Neg(253, 0) + Neg(251, 3) + Neg(253, 3) + Neg(251, 44));
  EXPECT_FALSE(session.ComPortSettled());
}

// Each step: what the server sends, and what the client must send back.
struct Step {
  std::string server;
  std::string reply;
};

TEST(Rfc2217Negotiation, AnswersOnlyWhatChangesState) {
  const std::vector<Step> steps = {
      {Neg(253, 0) + Neg(251, 0), ""},  // the server agrees to BINARY both ways
      {Neg(253, 0), ""},                // said again: no echo back
      {Neg(253, 1), Neg(252, 1)},       // ECHO by this side: refused
      {Neg(251, 1), Neg(254, 1)},       // ECHO by the server: refused
      {Neg(251, 3), ""},                // SGA agreed as asked
      {Neg(254, 0), Neg(252, 0)},       // the server turns BINARY off: acknowledged
      {Neg(253, 0), Neg(251, 0)},       // and on again: acknowledged
      {Neg(252, 3), Neg(254, 3)},       // the server stops suppressing go-ahead
      {Neg(252, 3), ""},                // already off
  };
  Session session;
  session.Opening();
  for (std::size_t i = 0; i < steps.size(); ++i) {
    std::string data;
    EXPECT_EQ(session.Receive(steps[i].server, &data), steps[i].reply) << "step " << i;
    EXPECT_EQ(data, "") << "step " << i;
  }
}

TEST(Rfc2217Negotiation, ComPortAgreedOrRefused) {
  Session agreed;
  agreed.Opening();
  std::string data;
  EXPECT_EQ(agreed.Receive(Neg(253, 44), &data), "");
  EXPECT_TRUE(agreed.ComPortSettled());
  EXPECT_FALSE(agreed.ComPortRefused());

  Session refused;
  refused.Opening();
  EXPECT_EQ(refused.Receive(Neg(254, 44), &data), "");
  EXPECT_TRUE(refused.ComPortSettled());
  EXPECT_TRUE(refused.ComPortRefused());
}

TEST(Rfc2217Answers, EachSetCommandAndTheModemState) {
  const struct {
    std::string wire;
    Topic topic;
    std::uint32_t value;
  } cases[] = {
      {ServerAnswer({101, 0, 0, 0xE1, 0}), Topic::BaudRate, 57600},
      {ServerAnswer({101, 0, 1, 0xC2, 0}), Topic::BaudRate, 115200},
      {ServerAnswer({101, 0, 0, 1, 255}), Topic::BaudRate, 0x1FF},
      {ServerAnswer({102, 7}), Topic::DataSize, 7},
      {ServerAnswer({103, 3}), Topic::Parity, 3},
      {ServerAnswer({104, 2}), Topic::StopSize, 2},
      {ServerAnswer({105, 3}), Topic::Flow, 3},
      {ServerAnswer({105, 1}), Topic::Flow, 1},
      {ServerAnswer({105, 8}), Topic::Dtr, 8},
      {ServerAnswer({105, 12}), Topic::Rts, 12},
      {ServerAnswer({105, 6}), Topic::Break, 6},
  };
  for (const auto& c : cases) {
    Session session;
    std::string data;
    EXPECT_EQ(session.Receive("a" + c.wire + "b", &data), "");
    EXPECT_EQ(data, "ab");
    EXPECT_EQ(session.Answer(c.topic), c.value) << static_cast<int>(c.topic);
    session.Forget(c.topic);
    EXPECT_FALSE(session.Answer(c.topic).has_value());
  }

  Session session;
  std::string data;
  // DSR and carrier detect on, with a delta bit that is not a line.
  session.Receive(ServerAnswer({107, 0xA2}), &data);
  EXPECT_EQ(session.ModemState(), 0xA0);
  // A flow answer does not stand for a DTR answer, nor a short answer for any.
  session.Receive(ServerAnswer({105, 3}) + ServerAnswer({101, 0, 0}), &data);
  EXPECT_FALSE(session.Answer(Topic::Dtr).has_value());
  EXPECT_FALSE(session.Answer(Topic::BaudRate).has_value());
}

}  // namespace
}  // namespace comterm::rfc2217
