#include "console/vt_key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace comterm {
namespace {

constexpr std::uint32_t S = kShiftPressed;
constexpr std::uint32_t A = kLeftAltPressed;
constexpr std::uint32_t C = kLeftCtrlPressed;
constexpr std::uint32_t E = kEnhancedKey;

struct Key {
  int vk, scan, ch;
  std::uint32_t state;
  bool operator==(const Key&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Key& k) {
  return os << "{" << k.vk << "," << k.scan << "," << k.ch << ",0x" << std::hex << k.state
            << std::dec << "}";
}

Key Of(const KeyEventRecord& r) {
  EXPECT_EQ(r.bKeyDown, 1);
  EXPECT_EQ(r.wRepeatCount, 1);
  return {r.wVirtualKeyCode, r.wVirtualScanCode, static_cast<unsigned char>(r.AsciiChar),
          r.dwControlKeyState};
}

// Feeds the reads 1 ms apart, then lets the input stay quiet, and collects every key.
std::vector<Key> Decode(const std::vector<std::string>& reads) {
  VtKeyDecoder decoder;
  std::vector<Key> keys;
  std::uint32_t now = 1000;
  for (const std::string& read : reads) {
    for (const KeyEventRecord& r : decoder.Feed(read, now++)) keys.push_back(Of(r));
  }
  for (const KeyEventRecord& r : decoder.Expire(now + VtKeyDecoder::kEscapeGapMs)) {
    keys.push_back(Of(r));
  }
  EXPECT_FALSE(decoder.Holding());
  return keys;
}

struct Case {
  const char* name;
  std::vector<std::string> reads;
  std::vector<Key> keys;
};

const Key kUp{38, 72, 0, E}, kDown{40, 80, 0, E}, kRight{39, 77, 0, E}, kLeft{37, 75, 0, E};
const Key kHome{36, 71, 0, E}, kEnd{35, 79, 0, E}, kPgUp{33, 73, 0, E}, kPgDn{34, 81, 0, E};
const Key kIns{45, 82, 0, E}, kDel{46, 83, 0, E}, kEscape{27, 1, 27, 0};

Key F(int n, std::uint32_t state = 0) {
  return {111 + n, n <= 10 ? 58 + n : 76 + n, 0, state};
}

TEST(VtKeyDecoderTest, ByteSequencesGiveTheKeysAPcConsoleReports) {
  std::vector<Key> kTenOnesAndTilde(10, Key{'1', 2, '1', 0});
  kTenOnesAndTilde.push_back({0xC0, 41, '~', S});
  const Case cases[] = {
      {"letters and Shift", {"aZ"}, {{'A', 30, 'a', 0}, {'Z', 44, 'Z', S}}},
      {"digits and symbols",
       {"1!/ "},
       {{'1', 2, '1', 0}, {'1', 2, '!', S}, {0xBF, 53, '/', 0}, {' ', 57, ' ', 0}}},
      {"Enter", {"\r"}, {{13, 28, 13, 0}}},
      {"Backspace as DEL and BS", {"\x7f\b"}, {{8, 14, 8, 0}, {8, 14, 8, 0}}},
      {"Tab", {"\t"}, {{9, 15, 9, 0}}},
      {"Shift+Tab", {"\x1b[Z"}, {{9, 15, 9, S}}},
      {"Ctrl+letters", {"\x01\x03\x1a"}, {{'A', 30, 1, C}, {'C', 46, 3, C}, {'Z', 44, 26, C}}},
      {"Ctrl+@ gives character 0", {std::string(1, '\0')}, {{'2', 3, 0, C | S}}},
      {"Ctrl+]", {"\x1d"}, {{0xDD, 27, 0x1d, C}}},
      {"lone ESC after the quiet gap", {"\x1b"}, {kEscape}},
      {"ESC ESC is two Escapes", {"\x1b\x1b"}, {kEscape, kEscape}},
      {"Alt+a",
       {"\x1b"
        "a"},
       {{'A', 30, 'a', A}}},
      {"Alt+1",
       {"\x1b"
        "1"},
       {{'1', 2, '1', A}}},
      {"Alt+[ when nothing follows", {"\x1b["}, {{0xDB, 26, '[', A}}},
      {"Alt+O when nothing follows", {"\x1bO"}, {{'O', 24, 'O', A | S}}},
      {"xterm cursor keys",
       {"\x1b[A\x1b[B\x1b[C\x1b[D\x1b[H\x1b[F"},
       {kUp, kDown, kRight, kLeft, kHome, kEnd}},
      {"application cursor keys", {"\x1bOA\x1bOD\x1bOH\x1bOF"}, {kUp, kLeft, kHome, kEnd}},
      {"VT220 block",
       {"\x1b[1~\x1b[2~\x1b[3~\x1b[4~\x1b[5~\x1b[6~\x1b[7~\x1b[8~"},
       {kHome, kIns, kDel, kEnd, kPgUp, kPgDn, kHome, kEnd}},
      {"F1-F4 xterm", {"\x1bOP\x1bOQ\x1bOR\x1bOS"}, {F(1), F(2), F(3), F(4)}},
      {"F1-F12 VT220",
       {"\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~"
        "\x1b[23~\x1b[24~"},
       {F(1), F(2), F(3), F(4), F(5), F(6), F(7), F(8), F(9), F(10), F(11), F(12)}},
      {"F1-F5 Linux console",
       {"\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E"},
       {F(1), F(2), F(3), F(4), F(5)}},
      {"modifiers on cursor keys",
       {"\x1b[1;2A\x1b[1;3B\x1b[1;5C\x1b[1;7D"},
       {{38, 72, 0, E | S}, {40, 80, 0, E | A}, {39, 77, 0, E | C}, {37, 75, 0, E | A | C}}},
      {"modifiers on the VT220 block",
       {"\x1b[3;3~\x1b[5;5~"},
       {{46, 83, 0, E | A}, {33, 73, 0, E | C}}},
      {"modifiers on function keys",
       {"\x1b[1;2P\x1b[15;5~\x1b[24;3~\x1bO5S"},
       {F(1, S), F(5, C), F(12, A), F(4, C)}},
      {"keypad Enter", {"\x1bOM"}, {{13, 28, 13, E}}},
      {"UTF-8 to Windows-1252", {"\xc3\xa9\xe2\x82\xac"}, {{0, 0, 0xe9, 0}, {0, 0, 0x80, 0}}},
      {"UTF-8 without a Windows-1252 byte", {"\xe4\xb8\xad"}, {{0xBF, 53, '?', S}}},
      {"UTF-8 C1 control and overlong NUL",
       {"\xc2\x9b\xc0\x80"},
       {{0xBF, 53, '?', S}, {0xBF, 53, '?', S}, {0xBF, 53, '?', S}}},
      {"UTF-8 cut short by a byte",
       {"\xc3"
        "a"},
       {{0xBF, 53, '?', S}, {'A', 30, 'a', 0}}},
      {"UTF-8 unfinished when input goes quiet", {"\xe2\x82"}, {{0xBF, 53, '?', S}}},
      {"Alt with a UTF-8 character", {"\x1b\xc3\xa9"}, {{0, 0, 0xe9, A}}},
      {"sequence split over two reads", {"\x1b[1;", "5A"}, {{38, 72, 0, E | C}}},
      {"ESC and the rest in two reads", {"\x1b", "[6~"}, {kPgDn}},
      {"UTF-8 split over two reads", {"\xc3", "\xa9"}, {{0, 0, 0xe9, 0}}},
      {"unknown sequences give nothing",
       {"\x1b[200~\x1b[?1;2c\x1b[M\x1bOz"
        "x"},
       {{'X', 45, 'x', 0}}},
      {"a report is not F3", {"\x1b[24;80R"}, {}},
      // The first 32 bytes are dropped; what follows them is typed text again.
      {"over-long sequence dropped", {"\x1b[" + std::string(40, '1') + "~"}, kTenOnesAndTilde},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.reads), c.keys) << c.name;
}

TEST(VtKeyDecoderTest, LoneEscWaitsForTheQuietGap) {
  VtKeyDecoder decoder;
  EXPECT_TRUE(decoder.Feed("\x1b", 0xFFFFFFF0u).empty());
  EXPECT_TRUE(decoder.Expire(0xFFFFFFF0u + VtKeyDecoder::kEscapeGapMs - 1).empty());
  EXPECT_TRUE(decoder.Holding());
  // A byte within the gap makes it a sequence, and the gap restarts with every byte.
  EXPECT_TRUE(decoder.Feed("[", 0xFFFFFFF0u + 20).empty());
  EXPECT_TRUE(decoder.Expire(0xFFFFFFF0u + 40).empty());
  const std::vector<KeyEventRecord> keys = decoder.Feed("B", 0xFFFFFFF0u + 45);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(Of(keys[0]), kDown);
  EXPECT_FALSE(decoder.Holding());

  EXPECT_TRUE(decoder.Feed("\x1b", 5).empty());
  const std::vector<KeyEventRecord> later = decoder.Expire(5 + VtKeyDecoder::kEscapeGapMs);
  ASSERT_EQ(later.size(), 1u);
  EXPECT_EQ(Of(later[0]), kEscape);
}

}  // namespace
}  // namespace comterm
