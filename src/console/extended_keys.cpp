// Extended key codes: the scan code of a special key, shifted by the modifier held.
#include "console/keyboard.h"

namespace comterm {

const std::array<std::uint8_t, 13> CtrlKeypadCodes = {119, 141, 132, 142, 115, 143, 116,
                                                      78,  117, 145, 118, 146, 147};

namespace {

enum class Modifier { kNone, kShift, kCtrl, kAlt };

// Only the strongest modifier held counts.
Modifier StrongestModifier(std::uint8_t state) {
  if (state & (kLeftAltPressed | kRightAltPressed)) return Modifier::kAlt;
  if (state & (kLeftCtrlPressed | kRightCtrlPressed)) return Modifier::kCtrl;
  if (state & kShiftPressed) return Modifier::kShift;
  return Modifier::kNone;
}

bool IsCursorBlock(std::uint8_t scan) {
  return scan >= 71 && scan <= 83 && scan != 74 && scan != 76 && scan != 78;
}

std::uint8_t WithAlt(std::uint8_t scan) {
  if (scan >= 2 && scan <= 13) return scan + 118;
  if (scan == 28) return 166;
  if (scan == 53) return 164;
  if (scan >= 59 && scan <= 68) return scan + 45;
  if (IsCursorBlock(scan)) return scan + 80;
  if (scan == 87 || scan == 88) return scan + 52;
  return scan;
}

std::uint8_t WithCtrl(std::uint8_t scan) {
  if (scan == 15) return 148;
  if (scan == 53) return 149;
  if (scan == 55) return 150;
  if (scan >= 59 && scan <= 68) return scan + 35;
  if (scan >= 71 && scan <= 83) return CtrlKeypadCodes[scan - 71];
  if (scan == 87 || scan == 88) return scan + 50;
  return scan;
}

std::uint8_t WithShift(std::uint8_t scan) {
  if (scan >= 59 && scan <= 68) return scan + 25;
  if (scan == 87 || scan == 88) return scan + 48;
  return scan;
}

std::uint8_t Unmodified(std::uint8_t scan) {
  if (scan == 87 || scan == 88) return scan + 46;
  return scan;
}

}  // namespace

std::uint8_t TranslateExtendedKey(std::uint8_t scan, std::uint8_t state) {
  switch (StrongestModifier(state)) {
    case Modifier::kAlt:
      return WithAlt(scan);
    case Modifier::kCtrl:
      return WithCtrl(scan);
    case Modifier::kShift:
      return WithShift(scan);
    case Modifier::kNone:
      break;
  }
  return Unmodified(scan);
}

}  // namespace comterm
