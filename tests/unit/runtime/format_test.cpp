#include "runtime/format.h"

#include <gtest/gtest.h>

namespace comterm {
namespace {

TEST(Format, FillsPlaceholdersInOrder) {
  EXPECT_EQ(Format("com=%d parity=%s", {-5, 'N'}), "com=-5 parity=N");
  EXPECT_EQ(Format("%s:\n%s", {"a", std::string("b")}), "a:\nb");
  EXPECT_EQ(Format("exception at %p", {FormatArg::Address(0)}), "exception at 00000000");
  EXPECT_EQ(Format("%p", {FormatArg::Address(0xABCDEF)}), "00ABCDEF");
  EXPECT_EQ(Format("100%%", {}), "100%");
}

}  // namespace
}  // namespace comterm
