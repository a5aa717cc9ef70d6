#include <gtest/gtest.h>

#include <string>

#include "app/error_display.h"

namespace comterm {
namespace {

TEST(ErrorText, BuildsTheOneLineText) {
  const Exception plain("bad thing");
  const Exception dotted("done.");
  const Exception empty("");
  EXPECT_EQ(ErrorText(&plain, 0, 255), "exception at 00000000:\nbad thing.");
  EXPECT_EQ(ErrorText(&dotted, 0x1234ABCD, 255), "exception at 1234ABCD:\ndone.");
  EXPECT_EQ(ErrorText(&empty, 0, 255), "exception at 00000000:\n.");
  EXPECT_EQ(ErrorText(nullptr, 0x10, 255), "exception at 00000010.");
}

TEST(ErrorText, CutsAtTheCapacityDroppingTheAddedPeriod) {
  const std::string prefix = "exception at 00000000:\n";
  const Exception fits(std::string(255 - prefix.size() - 1, 'm'));
  const Exception over(std::string(255 - prefix.size(), 'm'));
  EXPECT_EQ(ErrorText(&fits, 0, 255), prefix + fits.Message() + ".");
  EXPECT_EQ(ErrorText(&over, 0, 255), prefix + over.Message());
  EXPECT_EQ(ErrorText(&over, 0, 255).size(), 255u);
}

}  // namespace
}  // namespace comterm
