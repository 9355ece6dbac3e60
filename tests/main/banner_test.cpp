// The version text and the five banner lines, as the console shows them.
#include <regex>
#include <string>

#include "main/tessaline.h"
#include "tests/main/module_harness.h"
#include "tessaline_version.h"

namespace tess::test {
namespace {

using Banner = ModuleHarness;

std::string Text(const String& s) {
  HostString* copy = host::StringTable()->copy(s.Handle());
  std::string text = host::TextOf(copy);
  host::StringTable()->release(copy);
  return text;
}

TEST_F(Banner, VersionTextIsTheBuildsVersionWithPaddedMinorAndBuild) {
  ASSERT_EQ(Init(), 1);
  const std::string text = Text(GetVersionText());
  EXPECT_EQ(text, TESSALINE_VERSION);
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d+\.\d\d\.\d\d\d)"))) << text;
}

TEST_F(Banner, StartPrintsFiveLinesFramedByRulesOf42Characters) {
  ASSERT_EQ(Launch(), 1);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "||" + std::string(40, '-'));
  EXPECT_EQ(lines[0].size(), 42u);
  EXPECT_EQ(lines[1], "||  Tessaline v" TESSALINE_VERSION);
  EXPECT_EQ(lines[2].rfind("||  ", 0), 0u);
  EXPECT_NE(lines[2].find("(c)"), std::string::npos);
  EXPECT_EQ(lines[3], "||  https://tessaline.example");
  EXPECT_EQ(lines[4], lines[0]);
}

TEST_F(Banner, BannerUsesTheNameItIsGiven) {
  ASSERT_EQ(Init(), 1);
  PrintBanner(String("Other"));
  ASSERT_EQ(Lines().size(), 5u);
  EXPECT_EQ(Lines()[1], "||  Other v" TESSALINE_VERSION);
}

}  // namespace
}  // namespace tess::test
