// Reading the committed assets as text and changing one thing in them.
#ifndef TESSALINE_TESTS_ASSETS_ASSET_TEXT_H
#define TESSALINE_TESTS_ASSETS_ASSET_TEXT_H

#include <gtest/gtest.h>

#include <filesystem>
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

// A relative path from the folder of `file` up to the root: one ".." for
// every folder on the way, however deep the file lies.
inline std::string UpToRoot(const std::string& file) {
  std::string up;
  for (const auto& part : std::filesystem::absolute(file).lexically_normal().parent_path().relative_path()) {
    if (!part.empty()) up += "../";
  }
  return up;
}

}  // namespace tess::test

#endif
