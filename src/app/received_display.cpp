#include "app/received_display.h"

#include "console/screen_output.h"
#include "serial/ticks.h"

namespace comterm {
namespace {

// A gap in arrival this long (the relay's receive wait) ends a hex burst.
constexpr std::uint32_t kBurstGap = 100;

}  // namespace

ReceivedDisplay::ReceivedDisplay(const TerminalSettings& settings, CommApi& comm, WallClock& wall)
    : hex_(settings.HexMode), map_(settings.ReceiveMap), comm_(comm) {
  if (settings.Timestamps != TimestampFormat::None)
    stamps_.emplace(settings.Timestamps, comm, wall);
}

void ReceivedDisplay::Show(std::string_view run) {
  if (hex_) {
    ShowHex(run);
  } else {
    ShowCharacters(run);
  }
}

void ReceivedDisplay::ShowCharacters(std::string_view run) {
  if (map_.Any()) {
    mapped_.clear();
    ApplyInputMap(map_, run, mapped_);
    run = mapped_;
  }
  if (!stamps_) {
    PutText(ScreenOutput, run);
    return;
  }
  // The prefix goes before a line's first byte, so that it states when that byte came.
  while (!run.empty()) {
    if (line_start_) PutText(ScreenOutput, stamps_->Next());
    const std::size_t end = run.find('\n');
    const std::size_t length = end == std::string_view::npos ? run.size() : end + 1;
    PutText(ScreenOutput, run.substr(0, length));
    line_start_ = end != std::string_view::npos;
    run.remove_prefix(length);
  }
}

void ReceivedDisplay::ShowHex(std::string_view run) {
  if (stamps_) StartBurstIfDue();
  // The tokens of a run go to the stream a block at a time, not one call per byte.
  static const char kDigits[] = "0123456789ABCDEF";
  char tokens[4 * 256];
  while (!run.empty()) {
    const std::string_view part = run.substr(0, sizeof tokens / 4);
    char* at = tokens;
    for (const char c : part) {
      const auto b = static_cast<std::uint8_t>(c);
      *at++ = '#';
      *at++ = kDigits[b >> 4];
      *at++ = kDigits[b & 15];
      *at++ = ' ';
    }
    PutText(ScreenOutput, std::string_view(tokens, static_cast<std::size_t>(at - tokens)));
    run.remove_prefix(part.size());
  }
}

void ReceivedDisplay::StartBurstIfDue() {
  const std::uint32_t now = MillisecondTick(comm_);
  if (!last_arrival_ || TickElapsed(*last_arrival_, now) >= kBurstGap) {
    if (row_has_text_) PutText(ScreenOutput, "\r\n");
    PutText(ScreenOutput, stamps_->Next());
  }
  last_arrival_ = now;
  row_has_text_ = true;
}

}  // namespace comterm
