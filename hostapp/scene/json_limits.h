// The one bound on JSON nesting that every JSON reader of the host applies
// before it parses: the parser recurses once per level, so a text of a few
// hundred thousand brackets would otherwise overflow the stack.
#ifndef TESSALINE_HOSTAPP_SCENE_JSON_LIMITS_H
#define TESSALINE_HOSTAPP_SCENE_JSON_LIMITS_H

#include <cstddef>
#include <string>
#include <string_view>

namespace tess::render {

// Scenes nest about six levels deep; anything near this is no real input.
constexpr int maxJsonDepth = 64;

// The line (from 1) of the first bracket that opens a level deeper than
// maxJsonDepth; 0 when the text keeps within it. Brackets inside strings do
// not count. Malformed text is left for the parser to report.
size_t LineNestedTooDeep(std::string_view text);

// Empty when the text keeps within maxJsonDepth; otherwise
// "LABEL:LINE: JSON nested deeper than 64 levels".
std::string CheckJsonDepth(std::string_view text, const std::string& label);

// The reason alone, for readers that name the place themselves.
std::string NestedTooDeepReason();

}  // namespace tess::render

#endif
