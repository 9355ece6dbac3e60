// Text made valid for JSON: well-formed UTF-8 stays as it is, every byte of a
// broken sequence becomes U+FFFD, and the JSON writer takes the result.
#include <gtest/gtest.h>

#include "hostapp/scene/json_access.h"
#include "hostapp/assets/utf8.h"

namespace tess::test {
namespace {

using assets::ValidUtf8;

const std::string replacement = "\xEF\xBF\xBD";

TEST(ValidUtf8, KeepsWellFormedText) {
  for (const std::string& text :
       {std::string(), std::string("plain ascii\n"), std::string("gr\xC3\xBC\xC3\x9F"), std::string("\xE2\x82\xAC 100"),
        std::string("\xF0\x9F\x98\x80"), std::string("\xF4\x8F\xBF\xBF"), std::string("nul \0 inside", 12)})
    EXPECT_EQ(ValidUtf8(text), text);
}

TEST(ValidUtf8, ReplacesEachByteOfABrokenSequence) {
  EXPECT_EQ(ValidUtf8("\n\xFF"), "\n" + replacement);
  EXPECT_EQ(ValidUtf8("a\x80z"), "a" + replacement + "z");             // a lone continuation
  EXPECT_EQ(ValidUtf8("\xC3"), replacement);                           // cut short at the end
  EXPECT_EQ(ValidUtf8("\xE2\x82z"), replacement + replacement + "z");  // cut short inside
  EXPECT_EQ(ValidUtf8("\xC0\xAF"), replacement + replacement);         // overlong '/'
  EXPECT_EQ(ValidUtf8("\xE0\x80\xAF"), replacement + replacement + replacement);
  EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), replacement + replacement + replacement);                    // a surrogate
  EXPECT_EQ(ValidUtf8("\xF4\x90\x80\x80"), replacement + replacement + replacement + replacement);  // past U+10FFFF
  EXPECT_EQ(ValidUtf8("\xF5\xFE"), replacement + replacement);
}

TEST(ValidUtf8, WhatItGivesTheJsonWriterTakes) {
  std::string every;
  for (int byte = 0; byte < 256; ++byte) every += static_cast<char>(byte);
  for (int byte = 0; byte < 256; ++byte) every += std::string("\xE2") + static_cast<char>(byte) + "\x82";
  render::Json value = {{"text", ValidUtf8(every)}};
  const std::string dumped = value.dump();
  EXPECT_EQ(render::Json::parse(dumped)["text"], ValidUtf8(every));
}

}  // namespace
}  // namespace tess::test
