// Shows received bytes on the screen: as characters through the input map, or as hex
// tokens, each line or burst after its timestamp when stamps are asked for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/input_map.h"
#include "app/terminal_settings.h"
#include "app/timestamp_prefix.h"

namespace comterm {

class CommApi;

class ReceivedDisplay {
 public:
  /// Takes the display settings; elapsed stamps count from now.
  ReceivedDisplay(const TerminalSettings& settings, CommApi& comm, WallClock& wall);

  /// Writes a run of received bytes to ScreenOutput without ending the statement.
  void Show(std::string_view run);
  /// Other text (an echo, an STC dot) was shown on the row: a hex burst that follows starts
  /// a new row.
  void OtherTextShown() { row_has_text_ = true; }

 private:
  void ShowCharacters(std::string_view run);
  void ShowHex(std::string_view run);
  /// Starts a new row with its prefix when the bytes arriving now begin a burst.
  void StartBurstIfDue();

  bool hex_;
  InputMap map_;
  CommApi& comm_;
  std::optional<TimestampPrefix> stamps_;
  /// A character line has ended (or none began): its next byte shown gets a prefix.
  bool line_start_ = true;
  /// Tick at which the last hex run arrived; none before the first.
  std::optional<std::uint32_t> last_arrival_;
  /// The cursor's row holds text: the opening line left it empty.
  bool row_has_text_ = false;
  std::string mapped_;
};

}  // namespace comterm
