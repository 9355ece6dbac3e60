// Reading the committed assets as text and changing one thing in them.
#ifndef TESSALINE_TESTS_ASSETS_ASSET_TEXT_H
#define TESSALINE_TESTS_ASSETS_ASSET_TEXT_H

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace tess::test {

inline std::string Text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The text with the first `from` replaced; a `from` that is not there fails the test.
inline std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

}  // namespace tess::test

#endif
