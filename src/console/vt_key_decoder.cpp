#include "console/vt_key_decoder.h"

#include <optional>

#include "console/pc_key_layout.h"
#include "console/windows1252_encode.h"

namespace comterm {

namespace {

constexpr char kEsc = 0x1B;
// A sequence longer than this is not a key; it is dropped rather than held for ever.
constexpr std::size_t kMaxSequence = 32;

// The outcome of decoding the front of the input: how many bytes it takes (0 when they
// are not complete yet) and the key they stand for, if any.
struct Step {
  std::size_t length = 0;
  std::optional<KeyEventRecord> key;
};

constexpr Step kIncomplete{};

KeyEventRecord SpecialKey(std::uint16_t vk, std::uint16_t scan, std::uint32_t state,
                          char character = 0) {
  return {1, 1, vk, scan, character, state};
}

KeyEventRecord CursorKey(std::uint16_t vk, std::uint16_t scan, std::uint32_t state) {
  return SpecialKey(vk, scan, state | kEnhancedKey);
}

KeyEventRecord FunctionKey(int number, std::uint32_t state) {
  const auto vk = static_cast<std::uint16_t>(111 + number);
  const auto scan = static_cast<std::uint16_t>(number <= 10 ? 58 + number : 76 + number);
  return SpecialKey(vk, scan, state);
}

// The xterm modifier parameter: 1 + (1 Shift, 2 Alt, 4 Ctrl, 8 Meta taken as Alt).
std::uint32_t ModifierState(int parameter) {
  if (parameter < 2 || parameter > 16) return 0;
  const int bits = parameter - 1;
  std::uint32_t state = 0;
  if (bits & 1) state |= kShiftPressed;
  if (bits & (2 | 8)) state |= kLeftAltPressed;
  if (bits & 4) state |= kLeftCtrlPressed;
  return state;
}

// Cursor keys and F1 to F4 named by a final letter, as in ESC [ A, ESC O P, ESC [ 1;5 A.
std::optional<KeyEventRecord> LetterKey(char final, std::uint32_t state) {
  switch (final) {
    case 'A':
      return CursorKey(38, 72, state);
    case 'B':
      return CursorKey(40, 80, state);
    case 'C':
      return CursorKey(39, 77, state);
    case 'D':
      return CursorKey(37, 75, state);
    case 'H':
      return CursorKey(36, 71, state);
    case 'F':
      return CursorKey(35, 79, state);
    case 'P':
      return FunctionKey(1, state);
    case 'Q':
      return FunctionKey(2, state);
    case 'R':
      return FunctionKey(3, state);
    case 'S':
      return FunctionKey(4, state);
    default:
      return std::nullopt;
  }
}

// Keys of the VT220 form ESC [ n ~ and ESC [ n ; m ~.
std::optional<KeyEventRecord> TildeKey(int number, std::uint32_t state) {
  switch (number) {
    case 1:
    case 7:
      return CursorKey(36, 71, state);
    case 2:
      return CursorKey(45, 82, state);
    case 3:
      return CursorKey(46, 83, state);
    case 4:
    case 8:
      return CursorKey(35, 79, state);
    case 5:
      return CursorKey(33, 73, state);
    case 6:
      return CursorKey(34, 81, state);
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return FunctionKey(number - 10, state);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return FunctionKey(number - 11, state);
    case 23:
    case 24:
      return FunctionKey(number - 12, state);
    default:
      return std::nullopt;
  }
}

// Numeric parameters separated by ';'; nothing when another byte is among them.
std::optional<std::vector<int>> Parameters(std::string_view text) {
  std::vector<int> values(1, 0);
  for (char c : text) {
    if (c == ';') {
      values.push_back(0);
    } else if (c >= '0' && c <= '9' && values.back() < 1000) {
      values.back() = values.back() * 10 + (c - '0');
    } else {
      return std::nullopt;
    }
  }
  return values;
}

std::optional<KeyEventRecord> CsiKey(std::string_view parameters, char final) {
  const std::optional<std::vector<int>> values = Parameters(parameters);
  if (!values) return std::nullopt;
  const std::uint32_t state = values->size() > 1 ? ModifierState((*values)[1]) : 0;
  if (final == '~') return TildeKey((*values)[0], state);
  if (final == 'Z' && parameters.empty()) return SpecialKey(9, 15, kShiftPressed, 9);
  // A first parameter above 1 is a report (such as the cursor position), not a key.
  if ((*values)[0] > 1) return std::nullopt;
  return LetterKey(final, state);
}

// ESC [ followed by parameters and a final byte, or the Linux console's ESC [ [ A to E.
Step DecodeCsi(std::string_view s) {
  if (s.size() < 3) return kIncomplete;
  if (s[2] == '[') {
    if (s.size() < 4) return kIncomplete;
    if (s[3] >= 'A' && s[3] <= 'E') return {4, FunctionKey(s[3] - 'A' + 1, 0)};
    return {4, std::nullopt};
  }
  for (std::size_t i = 2; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x40 && c <= 0x7E) return {i + 1, CsiKey(s.substr(2, i - 2), s[i])};
    if (c < 0x20 || c > 0x3F || i >= kMaxSequence) return {i, std::nullopt};
  }
  return kIncomplete;
}

// ESC O followed by an optional modifier digit and a final byte.
Step DecodeSs3(std::string_view s) {
  std::size_t i = 2;
  std::uint32_t state = 0;
  if (i < s.size() && s[i] >= '1' && s[i] <= '9') state = ModifierState(s[i++] - '0');
  if (i >= s.size()) return kIncomplete;
  if (s[i] < 0x40 || s[i] > 0x7E) return {i, std::nullopt};
  if (s[i] == 'M') return {i + 1, SpecialKey(13, 28, kEnhancedKey, 13)};
  return {i + 1, LetterKey(s[i], state)};
}

// The byte count of a UTF-8 character from its first byte; 0 for a byte that cannot
// start one.
std::size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

KeyEventRecord Unrepresentable() {
  return AsciiKeyEvent('?');
}

// A character in UTF-8, given as its Windows-1252 byte, or '?' where it has none.
Step DecodeUtf8(std::string_view s, bool quiet) {
  const std::size_t length = Utf8Length(static_cast<unsigned char>(s[0]));
  if (length == 0) return {1, Unrepresentable()};
  char32_t code_point = static_cast<unsigned char>(s[0]) & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= s.size()) return quiet ? Step{i, Unrepresentable()} : kIncomplete;
    const auto c = static_cast<unsigned char>(s[i]);
    if ((c & 0xC0) != 0x80) return {i, Unrepresentable()};
    code_point = (code_point << 6) | (c & 0x3F);
  }
  // Overlong forms of ASCII and control characters must not pass as characters.
  const std::optional<unsigned char> byte =
      code_point >= 0x80 ? Windows1252Byte(code_point) : std::nullopt;
  return {length, byte ? ForeignCharacterKeyEvent(*byte) : Unrepresentable()};
}

Step DecodePlain(std::string_view s, bool quiet) {
  const auto c = static_cast<unsigned char>(s[0]);
  if (c < 0x80) return {1, AsciiKeyEvent(c)};
  return DecodeUtf8(s, quiet);
}

Step WithAlt(Step step) {
  if (step.length == 0) return step;
  ++step.length;
  if (step.key) step.key->dwControlKeyState |= kLeftAltPressed;
  return step;
}

// ESC alone is Escape once the input stays quiet; ESC [ and ESC O start sequences; ESC
// before any other key is that key with Alt.
Step DecodeEscape(std::string_view s, bool quiet) {
  if (s.size() == 1) return quiet ? Step{1, AsciiKeyEvent(27)} : kIncomplete;
  if (s[1] == kEsc) return {1, AsciiKeyEvent(27)};
  if (s[1] == '[' || s[1] == 'O') {
    const Step step = s[1] == '[' ? DecodeCsi(s) : DecodeSs3(s);
    // Cut short at once, or never finished: it was Alt with '[' or 'O'.
    if (step.length == 2 || (step.length == 0 && quiet)) {
      return WithAlt({1, AsciiKeyEvent(static_cast<std::uint8_t>(s[1]))});
    }
    return step;
  }
  return WithAlt(DecodePlain(s.substr(1), quiet));
}

Step DecodeOne(std::string_view s, bool quiet) {
  return s[0] == kEsc ? DecodeEscape(s, quiet) : DecodePlain(s, quiet);
}

}  // namespace

std::vector<KeyEventRecord> VtKeyDecoder::Feed(std::string_view bytes, std::uint32_t now_ms) {
  if (!bytes.empty()) last_byte_ms_ = now_ms;
  held_.append(bytes);
  return Decode(false);
}

std::vector<KeyEventRecord> VtKeyDecoder::Expire(std::uint32_t now_ms) {
  if (held_.empty() || now_ms - last_byte_ms_ < kEscapeGapMs) return {};
  return Decode(true);
}

std::vector<KeyEventRecord> VtKeyDecoder::Decode(bool quiet) {
  std::vector<KeyEventRecord> keys;
  std::size_t used = 0;
  while (used < held_.size()) {
    const Step step = DecodeOne(std::string_view(held_).substr(used), quiet);
    if (step.length == 0) break;
    if (step.key) keys.push_back(*step.key);
    used += step.length;
  }
  held_.erase(0, used);
  return keys;
}

}  // namespace comterm
