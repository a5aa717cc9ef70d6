#include "console/keyboard.h"

#include <gtest/gtest.h>

#include <vector>

#include "console/screen_output.h"
#include "fakes/fake_console_input.h"

namespace comterm {
namespace {

using testing::FakeConsoleInput;

constexpr std::uint32_t kAlt = kLeftAltPressed;
constexpr std::uint32_t kRAlt = kRightAltPressed;
constexpr std::uint32_t kCtrl = kLeftCtrlPressed;
constexpr std::uint32_t kShift = kShiftPressed;
constexpr std::uint32_t kEnh = kEnhancedKey;

class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override { Bind(); }

  void Bind() {
    Keyboard = KeyboardState{};
    InitKeyboard(input);
  }

  // The codes the relay would read now: GetKey while KeyAvailable says a key is ready, up
  // to the first Escape, which ends the relay.
  std::vector<int> Drain() {
    std::vector<int> codes;
    while ((codes.empty() || codes.back() != 27) && KeyAvailable()) codes.push_back(GetKey());
    return codes;
  }

  // Alt held, the keypad digits (Num Lock off) typed, Alt released.
  void AltNumpad(const std::vector<int>& digits) {
    static const std::uint16_t kScan[] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
    input.PressKey(18, 56, 0, kAlt);
    for (int d : digits) {
      input.PressKey(0, kScan[d], 0, kAlt);
      input.ReleaseKey(0, kScan[d], kAlt);
    }
    input.ReleaseKey(18, 56, 0);
  }

  FakeConsoleInput input;
};

struct KeyCase {
  const char* name;
  std::uint16_t vk;
  std::uint16_t scan;
  char ascii;
  std::uint32_t state;
  std::vector<int> codes;
};

TEST_F(KeyboardTest, KeysGiveTheirBiosCodes) {
  const KeyCase cases[] = {
      {"Escape", 27, 1, 27, 0, {27}},
      {"Enter", 13, 28, 13, 0, {13}},
      {"keypad Enter", 13, 28, 13, kEnh, {0, 28}},
      {"Alt+Enter", 13, 28, 13, kAlt, {0, 166}},
      {"Backspace", 8, 14, 8, 0, {8}},
      {"Tab", 9, 15, 9, 0, {9}},
      {"Shift+Tab", 9, 15, 9, kShift, {0, 15}},
      {"Ctrl+Tab", 9, 15, 0, kCtrl, {0, 148}},
      {"a", 'A', 30, 'a', 0, {'a'}},
      {"Shift+A", 'A', 30, 'A', kShift, {'A'}},
      {"Ctrl+C", 'C', 46, 3, kCtrl, {3}},
      {"AltGr+Q gives its character", 'Q', 16, '@', kRAlt | kCtrl, {'@'}},
      {"Alt+A", 'A', 30, 'a', kAlt, {0, 30}},
      {"Alt+1", '1', 2, '1', kAlt, {0, 120}},
      {"Alt+=", 0xBB, 13, '=', kAlt, {0, 131}},
      {"Alt+]", 0xDD, 27, ']', kAlt, {0, 27}},
      {"Up", 38, 72, 0, kEnh, {0, 72}},
      {"Down", 40, 80, 0, kEnh, {0, 80}},
      {"Left", 37, 75, 0, kEnh, {0, 75}},
      {"Right", 39, 77, 0, kEnh, {0, 77}},
      {"Home", 36, 71, 0, kEnh, {0, 71}},
      {"End", 35, 79, 0, kEnh, {0, 79}},
      {"PgUp", 33, 73, 0, kEnh, {0, 73}},
      {"PgDn", 34, 81, 0, kEnh, {0, 81}},
      {"Ins", 45, 82, 0, kEnh, {0, 82}},
      {"Del", 46, 83, 0, kEnh, {0, 83}},
      {"Shift+Up as Up", 38, 72, 0, kEnh | kShift, {0, 72}},
      {"Ctrl+Home", 36, 71, 0, kEnh | kCtrl, {0, 119}},
      {"Ctrl+Up", 38, 72, 0, kEnh | kCtrl, {0, 141}},
      {"Ctrl+PgUp", 33, 73, 0, kEnh | kCtrl, {0, 132}},
      {"Ctrl+Left", 37, 75, 0, kEnh | kCtrl, {0, 115}},
      {"Ctrl+Right", 39, 77, 0, kEnh | kCtrl, {0, 116}},
      {"Ctrl+End", 35, 79, 0, kEnh | kCtrl, {0, 117}},
      {"Ctrl+Down", 40, 80, 0, kEnh | kCtrl, {0, 145}},
      {"Ctrl+PgDn", 34, 81, 0, kEnh | kCtrl, {0, 118}},
      {"Ctrl+Ins", 45, 82, 0, kEnh | kCtrl, {0, 146}},
      {"Ctrl+Del", 46, 83, 0, kEnh | kCtrl, {0, 147}},
      {"Ctrl+keypad plus", 107, 78, 0, kCtrl, {0, 78}},
      {"Ctrl+keypad minus", 109, 74, 0, kCtrl, {0, 142}},
      {"Ctrl+keypad 5", 12, 76, 0, kCtrl, {0, 143}},
      {"Ctrl+keypad star", 106, 55, 0, kCtrl, {0, 150}},
      {"Ctrl+keypad slash", 111, 53, 0, kEnh | kCtrl, {0, 149}},
      {"Alt+keypad slash", 111, 53, '/', kEnh | kAlt, {0, 164}},
      {"Alt+Del", 46, 83, 0, kEnh | kAlt, {0, 163}},
      {"right Alt+Del", 46, 83, 0, kEnh | kRAlt, {0, 163}},
      {"Ctrl+Alt picks Alt", 112, 59, 0, kAlt | kCtrl, {0, 104}},
      {"a repeat count delivers one key", 'A', 30, 'a', 0, {'a'}},
  };
  for (const KeyCase& c : cases) {
    input.PressKey(c.vk, c.scan, c.ascii, c.state, 3);
    input.ReleaseKey(c.vk, c.scan, c.state);
    EXPECT_EQ(Drain(), c.codes) << c.name;
    EXPECT_FALSE(KeyAvailable()) << c.name;  // the release gives nothing
  }
}

TEST_F(KeyboardTest, FunctionKeysWithEachModifier) {
  struct {
    std::uint16_t vk, scan;
    int none, shift, ctrl, alt;
  } keys[] = {
      {112, 59, 59, 84, 94, 104},  {113, 60, 60, 85, 95, 105},    {114, 61, 61, 86, 96, 106},
      {115, 62, 62, 87, 97, 107},  {116, 63, 63, 88, 98, 108},    {117, 64, 64, 89, 99, 109},
      {118, 65, 65, 90, 100, 110}, {119, 66, 66, 91, 101, 111},   {120, 67, 67, 92, 102, 112},
      {121, 68, 68, 93, 103, 113}, {122, 87, 133, 135, 137, 139}, {123, 88, 134, 136, 138, 140},
  };
  for (const auto& k : keys) {
    const std::pair<std::uint32_t, int> variants[] = {
        {0, k.none}, {kShift, k.shift}, {kCtrl, k.ctrl}, {kAlt, k.alt}};
    for (const auto& [state, code] : variants) {
      input.PressKey(k.vk, k.scan, 0, state);
      EXPECT_EQ(Drain(), (std::vector<int>{0, code})) << "F" << k.vk - 111 << " state " << state;
    }
  }
}

TEST_F(KeyboardTest, AltWithKeypadDigitsComposesOneByte) {
  struct {
    std::vector<int> digits;
    std::vector<int> codes;
  } cases[] = {
      {{2, 7}, {27}},
      {{3, 0, 0}, {44}},
      {{6, 5}, {65}},
      {{2, 5, 6}, {}},  // 256 is 0 modulo 256: nothing
  };
  for (const auto& c : cases) {
    AltNumpad(c.digits);
    EXPECT_EQ(Drain(), c.codes);
    EXPECT_EQ(input.events_waiting(), 0u);
  }
}

TEST_F(KeyboardTest, AltNumpadEntryStartsAfreshAfterAZeroValue) {
  AltNumpad({2, 5, 6});
  AltNumpad({6, 6});
  EXPECT_EQ(Drain(), (std::vector<int>{66}));
}

TEST_F(KeyboardTest, AltWithCursorKeysCountsAsKeypadDigits) {
  input.PressKey(18, 56, 0, kAlt);
  input.PressKey(37, 75, 0, kAlt | kEnh);  // Left: 4
  input.PressKey(104, 72, 0, kRAlt);       // keypad 8 under the right Alt
  input.ReleaseKey(18, 56, 0);
  EXPECT_EQ(Drain(), (std::vector<int>{48}));
}

TEST_F(KeyboardTest, ReleasingAltWithoutDigitsGivesNothing) {
  input.PressKey(18, 56, 0, kAlt);
  input.ReleaseKey(18, 56, 0);
  EXPECT_FALSE(KeyAvailable());
  EXPECT_EQ(input.events_waiting(), 0u);
}

TEST_F(KeyboardTest, InitKeyboardClearsTheAltNumpadEntryAndOpensStandardInput) {
  Keyboard.AltNumpadActive = true;
  Keyboard.AltNumpadValue = 7;
  InitKeyboard(input);
  EXPECT_FALSE(Keyboard.AltNumpadActive);
  EXPECT_EQ(Keyboard.AltNumpadValue, 0);
  EXPECT_EQ(Keyboard.InputHandle, FakeConsoleInput::kInputHandle);
  EXPECT_EQ(StandardInput.Handle, FakeConsoleInput::kInputHandle);
  EXPECT_EQ(StandardInput.State, StreamState::OpenForInput);
  EXPECT_TRUE(StandardInput.Read);
}

TEST_F(KeyboardTest, ModifierAndLockKeysAloneGiveNothing) {
  for (std::uint16_t vk : {16, 17, 18, 20, 144, 145}) {
    input.PressKey(vk, 42, 0, kShift | kCtrl | kAlt);
    input.ReleaseKey(vk, 42, 0);
  }
  EXPECT_FALSE(KeyAvailable());
  EXPECT_EQ(input.events_waiting(), 0u);
}

TEST_F(KeyboardTest, OtherEventsAreConsumedWithoutEffect) {
  for (std::uint16_t type : {kMouseEvent, kWindowBufferSizeEvent, kMenuEvent, kFocusEvent}) {
    input.QueueOther(type);
  }
  EXPECT_FALSE(KeyAvailable());
  EXPECT_EQ(input.events_waiting(), 0u);
}

TEST_F(KeyboardTest, TwoKeysBetweenPollsAreFoundOneAtATime) {
  input.QueueOther(kFocusEvent);
  input.PressKey('X', 45, 'x');
  input.PressKey(38, 72, 0, kEnh);
  input.PressKey('Y', 21, 'y');
  ASSERT_TRUE(KeyAvailable());
  EXPECT_EQ(input.events_waiting(), 2u);  // the keys behind the first stay queued
  EXPECT_TRUE(KeyAvailable());
  EXPECT_EQ(input.events_waiting(), 2u);  // a pending key reads no further event
  EXPECT_EQ(GetKey(), 'x');
  EXPECT_EQ(Drain(), (std::vector<int>{0, 72, 'y'}));
}

// A key with character 0 and scan code 0 has no code to give; it must neither count as a
// key nor leave GetKey waiting, so the next key comes through whole.
TEST_F(KeyboardTest, KeyWithoutCharacterOrScanCodeIsSkipped) {
  input.PressKey(0xE7, 0, 0);
  EXPECT_FALSE(KeyAvailable());
  input.PressKey(0xE7, 0, 0);
  input.PressKey(38, 72, 0, kEnh);
  EXPECT_EQ(Drain(), (std::vector<int>{0, 72}));
}

TEST_F(KeyboardTest, GetKeyPollsEveryMillisecondUntilAKeyArrives) {
  input.on_sleep = [&] {
    if (input.sleeps() == 5) input.PressKey(40, 80, 0, kEnh);
  };
  EXPECT_EQ(GetKey(), 0);
  EXPECT_EQ(GetKey(), 80);
  EXPECT_EQ(input.sleeps(), 5);
}

TEST_F(KeyboardTest, PipedBytesAreKeyCodesAndTheEndIsEscape) {
  input.ScriptBytes(std::string("AT\r\0\xff", 5), true);
  Bind();
  EXPECT_EQ(Drain(), (std::vector<int>{'A', 'T', 13, 0, 255, 27}));
  EXPECT_EQ(GetKey(), 27);  // the end stays the end
}

TEST_F(KeyboardTest, PipeWithoutBytesYetHasNoKeyAndGetKeyWaits) {
  input.ScriptBytes("", false);
  Bind();
  EXPECT_FALSE(KeyAvailable());
  input.on_sleep = [&] {
    if (input.sleeps() == 3) input.AppendBytes("k");
  };
  EXPECT_EQ(GetKey(), 'k');
  EXPECT_EQ(input.sleeps(), 3);
}

TEST_F(KeyboardTest, FailedReadOfNonConsoleInputEndsWithEscape) {
  input.ScriptBytes("abc", false);
  Bind();
  input.FailReads();
  EXPECT_EQ(GetKey(), 27);
}

}  // namespace
}  // namespace comterm
