// The nesting bound every JSON reader of the host applies before parsing.
#include <gtest/gtest.h>

#include <string>

#include "hostapp/scene/json_limits.h"

namespace tess::render {
namespace {

std::string Nested(int depth, const std::string& inner = "") {
  return std::string(static_cast<size_t>(depth), '[') + inner + std::string(static_cast<size_t>(depth), ']');
}

TEST(JsonDepth, TheLimitItselfPassesAndOneLevelMoreIsRefused) {
  EXPECT_EQ(LineNestedTooDeep(Nested(maxJsonDepth)), 0u);
  EXPECT_EQ(LineNestedTooDeep(Nested(maxJsonDepth + 1)), 1u);
  // Depth is what is open at once, not how many brackets there are.
  std::string siblings = "[";
  for (int i = 0; i < 1000; ++i) siblings += Nested(maxJsonDepth - 1) + ",";
  siblings += "0]";
  EXPECT_EQ(LineNestedTooDeep(siblings), 0u);
  EXPECT_EQ(LineNestedTooDeep(R"({"a": {"b": )" + Nested(maxJsonDepth - 1) + "}}"), 1u);
}

TEST(JsonDepth, BracketsInsideStringsDoNotCount) {
  const std::string brackets(200, '[');
  EXPECT_EQ(LineNestedTooDeep(R"({"name": ")" + brackets + R"("})"), 0u);
  // An escaped quote does not end the string; an escaped backslash does not escape the quote after it.
  EXPECT_EQ(LineNestedTooDeep(R"({"name": "a\")" + brackets + R"("})"), 0u);
  EXPECT_NE(LineNestedTooDeep(R"({"name": "a\\")" + brackets + "}"), 0u);
}

TEST(JsonDepth, TheErrorNamesTheLineOfTheFirstBracketTooDeep) {
  const std::string text = "{\n\"objects\":\n" + Nested(maxJsonDepth + 5, "\n") + "\n}";
  EXPECT_EQ(LineNestedTooDeep(text), 3u);
  EXPECT_EQ(CheckJsonDepth(text, "scene.json"), "scene.json:3: JSON nested deeper than 64 levels");
  EXPECT_EQ(CheckJsonDepth("{\"a\": [1, 2]}", "scene.json"), "");
}

}  // namespace
}  // namespace tess::render
