#include <gtest/gtest.h>

#include <string>

#include "app/input_map.h"
#include "app/output_map.h"
#include "runtime/exceptions.h"

namespace comterm {
namespace {

std::string Shown(const char* names, std::string_view received) {
  std::string shown;
  ApplyInputMap(ParseInputMap(names), received, shown);
  return shown;
}

TEST(InputMapTest, LineEndsAsShown) {
  const std::string received = "a\rb\nc\r\n";
  EXPECT_EQ(Shown("lfcrlf", received), "a\rb\r\nc\r\r\n");
  EXPECT_EQ(Shown("crlf", received), "a\r\nb\nc\r\n\n");
  EXPECT_EQ(Shown("igncr", received), "ab\nc\n");
  EXPECT_EQ(Shown("igncr,lfcrlf", received), "ab\r\nc\r\n");
  EXPECT_EQ(Shown("lfcrlf,lfcrlf", std::string("\0\n", 2)), std::string("\0\r\n", 3));
  EXPECT_FALSE(ParseInputMap("igncr").LfToCrLf);
}

TEST(OutputMapTest, EnterAsSent) {
  EXPECT_EQ(ApplyOutputMap(ParseOutputMap("crlf"), "a\rb"), "a\r\nb");
  EXPECT_EQ(ApplyOutputMap(ParseOutputMap("lf"), "a\rb\n"), "a\nb\n");
  EXPECT_EQ(ApplyOutputMap(OutputMap{}, std::string("\r\0\x48", 3)), std::string("\r\0\x48", 3));
}

TEST(MapNamesTest, UnknownNamesAndContradictions) {
  struct Case {
    bool input;
    const char* names;
    const char* error;
  };
  const Case cases[] = {
      {true, "xyz", "\"xyz\" is an invalid map name"},
      {true, "lfcrlf,lf", "\"lf\" is an invalid map name"},
      {true, "", "\"\" is an invalid map name"},
      {true, "crlf,", "\"\" is an invalid map name"},
      {true, "CRLF", "\"CRLF\" is an invalid map name"},
      {true, "crlf,igncr", "\"crlf,igncr\" is an invalid map"},
      {true, "igncr,lfcrlf,crlf", "\"igncr,lfcrlf,crlf\" is an invalid map"},
      {false, "igncr", "\"igncr\" is an invalid map name"},
      {false, "crlf,lf", "\"crlf,lf\" is an invalid map"},
  };
  for (const Case& c : cases) {
    try {
      if (c.input) {
        ParseInputMap(c.names);
      } else {
        ParseOutputMap(c.names);
      }
      ADD_FAILURE() << c.names;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.error);
    }
  }
}

}  // namespace
}  // namespace comterm
