#include "hostapp/scene/json_limits.h"

namespace tess::render {

size_t LineNestedTooDeep(std::string_view text) {
  size_t line = 1;
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') ++line;
    if (inString) {
      // An escaped quote does not end the string; a newline is counted even
      // where malformed text escapes one.
      if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n')
        ++i;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > maxJsonDepth) return line;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return 0;
}

std::string NestedTooDeepReason() {
  return "JSON nested deeper than " + std::to_string(maxJsonDepth) + " levels";
}

std::string CheckJsonDepth(std::string_view text, const std::string& label) {
  const size_t line = LineNestedTooDeep(text);
  if (line == 0) return {};
  return label + ":" + std::to_string(line) + ": " + NestedTooDeepReason();
}

}  // namespace tess::render
