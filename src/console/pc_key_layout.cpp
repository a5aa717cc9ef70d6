#include "console/pc_key_layout.h"

#include <array>

namespace comterm {

namespace {

struct KeyCap {
  std::uint8_t scan;
  std::uint8_t vk;
  char plain;
  char shifted;
};

// The character keys of the US layout.
constexpr std::array<KeyCap, 48> kKeyCaps = {{
    {2, '1', '1', '!'},    {3, '2', '2', '@'},   {4, '3', '3', '#'},    {5, '4', '4', '$'},
    {6, '5', '5', '%'},    {7, '6', '6', '^'},   {8, '7', '7', '&'},    {9, '8', '8', '*'},
    {10, '9', '9', '('},   {11, '0', '0', ')'},  {12, 0xBD, '-', '_'},  {13, 0xBB, '=', '+'},
    {16, 'Q', 'q', 'Q'},   {17, 'W', 'w', 'W'},  {18, 'E', 'e', 'E'},   {19, 'R', 'r', 'R'},
    {20, 'T', 't', 'T'},   {21, 'Y', 'y', 'Y'},  {22, 'U', 'u', 'U'},   {23, 'I', 'i', 'I'},
    {24, 'O', 'o', 'O'},   {25, 'P', 'p', 'P'},  {26, 0xDB, '[', '{'},  {27, 0xDD, ']', '}'},
    {30, 'A', 'a', 'A'},   {31, 'S', 's', 'S'},  {32, 'D', 'd', 'D'},   {33, 'F', 'f', 'F'},
    {34, 'G', 'g', 'G'},   {35, 'H', 'h', 'H'},  {36, 'J', 'j', 'J'},   {37, 'K', 'k', 'K'},
    {38, 'L', 'l', 'L'},   {39, 0xBA, ';', ':'}, {40, 0xDE, '\'', '"'}, {41, 0xC0, '`', '~'},
    {43, 0xDC, '\\', '|'}, {44, 'Z', 'z', 'Z'},  {45, 'X', 'x', 'X'},   {46, 'C', 'c', 'C'},
    {47, 'V', 'v', 'V'},   {48, 'B', 'b', 'B'},  {49, 'N', 'n', 'N'},   {50, 'M', 'm', 'M'},
    {51, 0xBC, ',', '<'},  {52, 0xBE, '.', '>'}, {53, 0xBF, '/', '?'},  {57, ' ', ' ', ' '},
}};

KeyEventRecord KeyDown(std::uint16_t vk, std::uint16_t scan, std::uint8_t character,
                       std::uint32_t state) {
  return {1, 1, vk, scan, static_cast<char>(character), state};
}

KeyEventRecord PrintableKey(std::uint8_t byte) {
  for (const KeyCap& cap : kKeyCaps) {
    if (cap.plain == static_cast<char>(byte)) return KeyDown(cap.vk, cap.scan, byte, 0);
    if (cap.shifted == static_cast<char>(byte)) {
      return KeyDown(cap.vk, cap.scan, byte, kShiftPressed);
    }
  }
  return KeyDown(0, 0, byte, 0);
}

// Control characters other than the named keys come from Ctrl with a letter or symbol key.
KeyEventRecord ControlKey(std::uint8_t byte) {
  switch (byte) {
    case 0:
      return KeyDown('2', 3, 0, kLeftCtrlPressed | kShiftPressed);
    case 0x1C:
      return KeyDown(0xDC, 43, byte, kLeftCtrlPressed);
    case 0x1D:
      return KeyDown(0xDD, 27, byte, kLeftCtrlPressed);
    case 0x1E:
      return KeyDown('6', 7, byte, kLeftCtrlPressed | kShiftPressed);
    case 0x1F:
      return KeyDown(0xBD, 12, byte, kLeftCtrlPressed | kShiftPressed);
    default:
      break;
  }
  const KeyEventRecord letter = PrintableKey(static_cast<std::uint8_t>('a' + byte - 1));
  return KeyDown(letter.wVirtualKeyCode, letter.wVirtualScanCode, byte, kLeftCtrlPressed);
}

}  // namespace

KeyEventRecord AsciiKeyEvent(std::uint8_t byte) {
  switch (byte) {
    case 8:
    case 127:
      return KeyDown(8, 14, 8, 0);
    case 9:
      return KeyDown(9, 15, 9, 0);
    case 13:
      return KeyDown(13, 28, 13, 0);
    case 27:
      return KeyDown(27, 1, 27, 0);
    default:
      break;
  }
  return byte < 0x20 ? ControlKey(byte) : PrintableKey(byte);
}

KeyEventRecord ForeignCharacterKeyEvent(std::uint8_t byte) {
  return KeyDown(0, 0, byte, 0);
}

}  // namespace comterm
