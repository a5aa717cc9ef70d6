#include "runtime/int_convert.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "runtime/exceptions.h"

namespace comterm {
namespace {

struct Case {
  std::string text;
  std::optional<std::int32_t> value;
};

TEST(IntConvert, AcceptsAndRejectsByTheRules) {
  const Case cases[] = {
      {"0", 0},
      {"42", 42},
      {"  \t42", 42},
      {"+3", 3},
      {"-5", -5},
      {"010", 10},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"$10", 16},
      {"x1f", 31},
      {"X1F", 31},
      {"0x10", 16},
      {"0XfF", 255},
      {"%101", 5},
      {"&17", 15},
      {"$FFFFFFFF", -1},
      {"$80000000", -2147483647 - 1},
      {"-$10", -16},
      {"-$FFFFFFFF", 1},
      {"$100000000", std::nullopt},
      {"%2", std::nullopt},
      {"&8", std::nullopt},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"+-1", std::nullopt},
      {"5 ", std::nullopt},
      {"1a", std::nullopt},
      {"abc", std::nullopt},
      {"$-1", std::nullopt},
      {std::string(255, '0') , 0},
      {std::string(256, '0'), std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseInteger(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(IntConvert, StrictFormRaisesWithTheWholeText) {
  try {
    StrToInt("12 ");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "\"12 \" is an invalid integer");
  }
  try {
    StrToInt("");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "\"\" is an invalid integer");
  }
}

TEST(IntConvert, DefaultFormReturnsTheDefault) {
  EXPECT_EQ(StrToIntDef("12", -2), 12);
  EXPECT_EQ(StrToIntDef("1:", -2), -2);
  EXPECT_EQ(StrToIntDef("", 0), 0);
}

}  // namespace
}  // namespace comterm
