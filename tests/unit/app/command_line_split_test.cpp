#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/process_api.h"

namespace comterm {
namespace {

TEST(SplitCommandLine, FollowsTheQuotingRules) {
  struct Case {
    std::string line;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {"comterm.exe", {}},
      {"comterm.exe -p 3", {"-p", "3"}},
      {"  comterm.exe \t -p\t\t3  ", {"-p", "3"}},
      {"\"C:\\Program Files\\comterm.exe\" -x", {"-x"}},
      {"comterm \"a b\" c", {"a b", "c"}},
      {"comterm a\"b c\"d", {"ab cd"}},
      {"comterm ab\"\"cd", {"abcd"}},
      {"comterm \"a\"\"b c\"", {"ab c"}},
      {"comterm --device=\\\\.\\COM12", {"--device=\\\\.\\COM12"}},
      {"comterm \"\" x", {"", "x"}},
      {"comterm a\x01"
       "b",
       {"a", "b"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << c.line;
  }
}

}  // namespace
}  // namespace comterm
