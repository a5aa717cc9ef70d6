#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/my_application.h"

namespace comterm {
namespace {

std::string ManPage() {
  std::ifstream file(COMTERM_MAN_PAGE);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// An option name as roff writes it, every dash escaped: "no-echo" as "no\-echo".
std::string RoffName(const std::string& name) {
  std::string escaped;
  for (char c : name) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
  return escaped;
}

TEST(ManPage, DescribesEveryLongOption) {
  const std::string page = ManPage();
  ASSERT_FALSE(page.empty()) << COMTERM_MAN_PAGE;
  for (std::string name : LongOptionList()) {
    name = name.substr(0, name.find(':'));
    EXPECT_NE(page.find("\\-\\-" + RoffName(name)), std::string::npos)
        << "the manual page lacks --" << name;
  }
}

TEST(ManPage, NamesTheProgramsVersion) {
  EXPECT_NE(ManPage().find("\"comterm " COMTERM_VERSION "\""), std::string::npos);
}

TEST(ManPage, FormatsWithoutWarnings) {
  const std::string command = "groff -man -ww -Tutf8 '" COMTERM_MAN_PAGE "' 2>&1 >/dev/null";
  std::FILE* groff = popen(command.c_str(), "r");
  ASSERT_NE(groff, nullptr);
  std::string warnings;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, groff)) warnings += buffer;
  EXPECT_EQ(pclose(groff), 0);
  EXPECT_EQ(warnings, "");
}

}  // namespace
}  // namespace comterm
